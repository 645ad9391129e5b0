// kestrel.exe started as a double-click starts it, in a console window of its own: QuickEdit is off
// while it runs, and a failed start keeps its reason on screen until Enter or the window's close. In
// a console it shares, as with a command prompt, it never waits. The test reads and types into
// kestrel's console by attaching to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "platform/platform.h"
#include "support/attached_console_win32.h"
#include "support/test_paths.h"

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; !done(); waited += 20) {
        if (waited > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

// A simulator folder without a scenery library: the start fails after it has talked to the simulator,
// which tells the test that kestrel has looked at its console before the test attaches to it.
TEST(OwnConsole, AFailedStartWaitsUntilEnterOrTheWindowsClose) {
    for (const bool byClose : {false, true}) {
        SCOPED_TRACE(byClose ? "closed" : "Enter");
        FlightFixture f;
        ASSERT_TRUE(f.startSim({"--verbose"}));
        ASSERT_TRUE(f.kestrel.startOnConsole(ChildProcess::Console::own, builtProgram("kestrel"), {},
                                             f.workFile("")));
        ASSERT_TRUE(
            waitUntil([&] { return f.sim.errorOutput().find("msg 1 ") != std::string::npos; }, 90000));
        AttachedConsole console(f.kestrel.processId());
        ASSERT_TRUE(console.attached());
        ASSERT_TRUE(waitUntil([&] { return console.shows(kPressEnterText); }, 60000)) << console.screen();
        EXPECT_TRUE(console.shows("No airports in database!")) << console.screen();
        // Wine's console windows start with QuickEdit on, as Windows's do: back on for the copy.
        EXPECT_NE(console.inputMode() & ENABLE_QUICK_EDIT_MODE, 0u);
        int code = -1;
        EXPECT_FALSE(f.kestrel.waitForExit(1000, code));
        if (byClose) {
            HWND window = console.window();
            console.leave();  // the close would end this process too
            ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
            EXPECT_TRUE(f.kestrel.waitForExit(3000, code));  // at once, not after a stop path's 5 s
        } else {
            console.press('\r', VK_RETURN);
            ASSERT_TRUE(f.kestrel.waitForExit(10000, code));
            EXPECT_EQ(code, 1);
        }
    }
}

TEST(OwnConsole, QuickEditIsOffWhileItRunsAndBackAfterTheStop) {
    FlightFixture f;
    f.writeScenery(oneFileLibrary({toweredAirport("LSZH", "Zurich", 47.458, 118.1)}));
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n");
    f.writeScenario("0,47.458,8.0,500,118.10,118.10,0x80,1,0,0\n");
    ASSERT_TRUE(f.startSim());
    ASSERT_TRUE(
        f.kestrel.startOnConsole(ChildProcess::Console::own, builtProgram("kestrel"), {}, f.workFile("")));
    ASSERT_GE(f.waitForRecord({"towerLat"}, 120000), 0);  // in its main loop, the handler registered
    AttachedConsole console(f.kestrel.processId());
    ASSERT_TRUE(console.attached());
    const DWORD running = console.inputMode();
    EXPECT_EQ(running & (ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS),
              static_cast<DWORD>(ENABLE_EXTENDED_FLAGS));
    console.press(3, 'C', LEFT_CTRL_PRESSED);  // Ctrl+C as the pilot presses it
    int code = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(30000, code)) << console.screen();
    EXPECT_EQ(code, 0);
    // This process keeps the console open: it shows what kestrel left behind.
    EXPECT_EQ(console.inputMode(), running | ENABLE_QUICK_EDIT_MODE);
    EXPECT_TRUE(console.shows("Main loop finished")) << console.screen();
    EXPECT_FALSE(console.shows(kPressEnterText)) << console.screen();
}

// A wrong command line gets the wait too. It talks to no simulator, so nothing tells when kestrel has
// looked at its console: attached too early, the test shares the console and kestrel rightly does not
// wait; the test then tries again with a longer delay.
TEST(OwnConsole, AWrongCommandLineWaitsToo) {
    TempDir work;
    bool waited = false;
    for (int delayMs : {1000, 4000, 10000}) {
        ChildProcess kestrel;
        ASSERT_TRUE(kestrel.startOnConsole(ChildProcess::Console::own, builtProgram("kestrel"), {"--bogus"},
                                           work.path().string()));
        Sleep(delayMs);
        AttachedConsole console(kestrel.processId());
        if (!console.attached()) continue;  // it ended before
        if (!waitUntil([&] { return console.shows(kPressEnterText); }, 5000)) continue;
        EXPECT_TRUE(console.shows("kestrel: unknown option --bogus")) << console.screen();
        console.press('\r', VK_RETURN);
        int code = -1;
        ASSERT_TRUE(kestrel.waitForExit(10000, code));
        EXPECT_EQ(code, 2);
        waited = true;
        break;
    }
    EXPECT_TRUE(waited);
}

// From a command prompt, which stays open, a failed start and a wrong command line end at once.
TEST(OwnConsole, InAConsoleItSharesItNeverWaits) {
    TempDir work;
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } cases[] = {{{}, 1}, {{"--bogus"}, 2}};
    for (const auto& c : cases) {
        ChildProcess kestrel;
        ASSERT_TRUE(kestrel.startOnConsole(ChildProcess::Console::shared, builtProgram("kestrel"),
                                           c.arguments, work.path().string()));
        int code = -1;
        ASSERT_TRUE(kestrel.waitForExit(30000, code)) << c.exitCode;
        EXPECT_EQ(code, c.exitCode);
    }
}

}  // namespace
