// kestrel's console of its own, played by a console this test allocates for itself with its standard
// handles put on it (under the test runner they are redirected, as in every test).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/console_events.h"
#include "support/attached_console_win32.h"

namespace {

int handled(uint32_t) {
    return 1;
}

class OwnConsole : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(console_.attached());
        input_ = console_.input();
        output_ = console_.output();
        // The mode a console window starts with on Windows and under Wine's console.
        ASSERT_TRUE(SetConsoleMode(input_, kWindowDefault));
        useStd(input_, output_);
    }

    void TearDown() override { useStd(saved_[0], saved_[1]); }

    void useStd(HANDLE input, HANDLE output) {
        SetStdHandle(STD_INPUT_HANDLE, input);
        SetStdHandle(STD_OUTPUT_HANDLE, output);
    }

    void type(const char* keys) {
        for (const char* c = keys; *c; ++c)
            console_.press(*c, *c == '\r' ? VK_RETURN : static_cast<WORD>(toupper(*c)));
    }

    static constexpr DWORD kWindowDefault = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                            ENABLE_MOUSE_INPUT | ENABLE_INSERT_MODE | ENABLE_QUICK_EDIT_MODE |
                                            ENABLE_EXTENDED_FLAGS | ENABLE_AUTO_POSITION;
    const HANDLE saved_[2] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE)};
    AttachedConsole console_{AttachedConsole::kOwnConsole};
    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE output_ = INVALID_HANDLE_VALUE;
};

TEST(ConsoleOwnership, TheSuitesRedirectedHandlesAreNoConsoleOfItsOwn) {
    EXPECT_EQ(platformOwnsConsole(), 0);
}

TEST_F(OwnConsole, OwnedOnlyWhenInputAndOutputAreTheConsole) {
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);  // a character device, but no console
    const struct {
        HANDLE input, output;
        int owned;
    } cases[] = {{input_, output_, 1}, {nul, output_, 0}, {input_, nul, 0}, {saved_[0], saved_[1], 0}};
    for (const auto& c : cases) {
        useStd(c.input, c.output);
        EXPECT_EQ(platformOwnsConsole(), c.owned) << &c - cases;
    }
    CloseHandle(nul);
}

// The wait ends on an Enter typed after its prompt, not on one typed before; meanwhile a console close
// has no stop path to wait for, so the system can end the process at once.
TEST_F(OwnConsole, TheWaitEndsOnAnEnterTypedAfterItsPrompt) {
    ASSERT_EQ(platformAddConsoleCtrlHandler(handled), 1);  // a stop path still to come
    type("x\r");
    std::atomic<bool> done{false};
    std::atomic<int> enters{0};
    std::thread pilot([&] {
        for (int i = 0; i < 100; ++i) {
            Sleep(100);
            if (done) return;
            type("\r");
            ++enters;
        }
    });
    testing::internal::CaptureStdout();
    platformWaitForEnter();
    done = true;
    const std::string printed = testing::internal::GetCapturedStdout();
    pilot.join();
    EXPECT_EQ(printed, "Press Enter to close this window.\r\n");
    EXPECT_GE(enters.load(), 1);
    const DWORD before = GetTickCount();
    EXPECT_EQ(win32ConsoleCtrlRoutine(CTRL_CLOSE_EVENT), 1);
    EXPECT_LT(GetTickCount() - before, 1000u);
}

TEST_F(OwnConsole, TheWaitEndsAtTheEndOfItsInput) {
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    useStd(nul, output_);
    testing::internal::CaptureStdout();
    platformWaitForEnter();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Press Enter to close this window.\r\n");
    CloseHandle(nul);
}

}  // namespace
