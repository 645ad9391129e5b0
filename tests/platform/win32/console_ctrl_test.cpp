// The console control routine as the system calls it: for a console close, logoff or shutdown the
// process ends when it returns, so it returns only once the stop path is done, or after its bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/console_events.h"

namespace {

std::atomic<int> handled{0};

int countingHandler(uint32_t /*ctrlType*/) {
    ++handled;
    return 1;
}

TEST(ConsoleCtrlRoutine, EventsThatEndTheProcessWaitForTheStopPath) {
    struct Case {
        DWORD type;
        bool waits;
    } cases[] = {{CTRL_C_EVENT, false},
                 {CTRL_BREAK_EVENT, false},
                 {CTRL_CLOSE_EVENT, true},
                 {CTRL_LOGOFF_EVENT, true},
                 {CTRL_SHUTDOWN_EVENT, true}};
    handled = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(platformAddConsoleCtrlHandler(countingHandler), 1);  // a stop path still to come
        std::atomic<bool> returned{false};
        std::thread system([&] {
            EXPECT_EQ(win32ConsoleCtrlRoutine(c.type), 1);
            returned = true;
        });
        if (c.waits) {
            Sleep(300);
            EXPECT_FALSE(returned.load());
            platformConsoleStopDone();
        }
        system.join();
        EXPECT_TRUE(returned.load());
    }
    EXPECT_EQ(handled.load(), 5);

    // A stop path that never ends holds the event only for the bound (about 4 s), not for good.
    ASSERT_EQ(platformAddConsoleCtrlHandler(countingHandler), 1);
    EXPECT_EQ(win32ConsoleCtrlRoutine(CTRL_CLOSE_EVENT), 1);
}

}  // namespace
