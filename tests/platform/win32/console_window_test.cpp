// kestrel's console of its own, played by a console this test allocates with its standard handles on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/console_events.h"
#include "support/attached_console_win32.h"

namespace {

class OwnConsole : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(console_.attached());
        useStd(console_.input(), console_.output());
    }
    void TearDown() override { CloseHandle(nul_); }  // leaving the console puts back the runner's handles
    static void useStd(HANDLE input, HANDLE output) {
        SetStdHandle(STD_INPUT_HANDLE, input);
        SetStdHandle(STD_OUTPUT_HANDLE, output);
    }

    const HANDLE runner_[2] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE)};
    AttachedConsole console_;
    const HANDLE nul_ = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);  // a character device, no console
};

TEST_F(OwnConsole, OwnedOnlyWhenInputAndOutputAreTheConsole) {
    const HANDLE input = console_.input(), output = console_.output();
    const struct {
        HANDLE input, output;
        int owned;
    } cases[] = {{input, output, 1}, {nul_, output, 0}, {input, nul_, 0}, {runner_[0], runner_[1], 0}};
    for (const auto& c : cases) {
        useStd(c.input, c.output);
        EXPECT_EQ(platformOwnsConsole(), c.owned) << &c - cases;
    }
}

// Meanwhile a console close has no stop path to wait for: the system may end the process at once.
TEST_F(OwnConsole, TheWaitEndsOnAnEnterAfterItsPromptOrAtTheEndOfItsInput) {
    ASSERT_EQ(platformAddConsoleCtrlHandler([](uint32_t) { return 1; }), 1);  // a stop path still to come
    testing::internal::CaptureStdout();
    console_.press('\r', VK_RETURN);  // typed before the prompt: no answer to it
    std::atomic<bool> ended{false};
    std::thread wait([&] {
        platformWaitForEnter();
        ended = true;
    });
    Sleep(500);
    EXPECT_FALSE(ended);
    for (; !ended; Sleep(100))
        console_.press('\r', VK_RETURN);
    wait.join();
    useStd(nul_, console_.output());
    platformWaitForEnter();
    const std::string prompt = std::string(kPressEnterText) + "\r\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), prompt + prompt);
    const DWORD before = GetTickCount();
    EXPECT_EQ(win32ConsoleCtrlRoutine(CTRL_CLOSE_EVENT), 1);
    EXPECT_LT(GetTickCount() - before, 1000u);
}

}  // namespace
