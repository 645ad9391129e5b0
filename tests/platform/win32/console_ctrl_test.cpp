// The console control routine as the system calls it. After a console close, logoff or shutdown the
// process ends when the routine returns, so it returns only once the stop path is done (or after 4 s).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/console_events.h"

namespace {

std::atomic<uint32_t> lastEvent{0xFFFFFFFF};

int handled(uint32_t ctrlType) {
    lastEvent = ctrlType;
    return 1;
}

TEST(ConsoleCtrlRoutine, EventsThatEndTheProcessWaitForTheStopPath) {
    for (DWORD type :
         {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        SCOPED_TRACE(type);
        const bool waits = type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT;
        ASSERT_EQ(platformAddConsoleCtrlHandler(handled), 1);  // a stop path still to come
        std::atomic<bool> returned{false};
        std::thread system([&] { returned = win32ConsoleCtrlRoutine(type) == 1; });
        if (waits) {
            Sleep(300);
            EXPECT_FALSE(returned.load());
            platformConsoleStopDone();
        }
        system.join();
        EXPECT_TRUE(returned.load());
    }
    // A stop path that never ends holds the event only for the bound, not for good.
    ASSERT_EQ(platformAddConsoleCtrlHandler(handled), 1);
    EXPECT_EQ(win32ConsoleCtrlRoutine(CTRL_CLOSE_EVENT), 1);
}

// The system tells a program with windows of a logoff or shutdown through WM_ENDSESSION, and ends it
// once the message is answered: the answer waits for the stop path too.
TEST(ConsoleCtrlRoutine, SessionEndReachesTheHandlerAndWaitsForTheStopPath) {
    ASSERT_EQ(platformAddConsoleCtrlHandler(handled), 1);
    // This process's own window: a kestrel.exe of another test on the display has one too.
    auto ownWindow = [] {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kSessionEndWindowClass, nullptr));) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId()) return w;
        }
        return HWND{};
    };
    HWND window = nullptr;
    for (int i = 0; i < 100 && !window; ++i, Sleep(20))
        window = ownWindow();
    ASSERT_NE(window, nullptr);
    for (LPARAM how : {static_cast<LPARAM>(ENDSESSION_LOGOFF), LPARAM{0}}) {
        ASSERT_EQ(platformAddConsoleCtrlHandler(handled), 1);
        lastEvent = 0xFFFFFFFF;
        EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, how), TRUE);
        std::atomic<bool> answered{false};
        std::thread system([&] {
            SendMessageA(window, WM_ENDSESSION, TRUE, how);
            answered = true;
        });
        Sleep(300);
        EXPECT_FALSE(answered.load());
        platformConsoleStopDone();
        system.join();
        EXPECT_EQ(lastEvent.load(), how ? uint32_t{CTRL_LOGOFF_EVENT} : uint32_t{CTRL_SHUTDOWN_EVENT});
    }
}

}  // namespace
