// The console control routine as the system calls it. After a console close, logoff or shutdown the
// process ends when the routine returns, so it returns only once the stop path is done (or after 4 s).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/console_events.h"

namespace {

int handled(uint32_t) {
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

}  // namespace
