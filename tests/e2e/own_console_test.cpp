// kestrel.exe in a console window of its own, as a double-click starts it, and in one it shares, as
// from a command prompt. The test reads and types into kestrel's console by attaching to it.
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

// Attached before kestrel has looked at its console, the test shares it and kestrel rightly does not
// wait; nothing tells when it has, so the test tries again later. The start fails on an FS9 folder that
// cannot be opened; while it waits for Enter it holds neither the instance lock nor the log, so the next
// start in the same folder goes on (and fails the same way).
TEST(OwnConsole, AFailedStartOrAWrongCommandLineWaitsForEnterOnlyInAConsoleOfItsOwn) {
    FlightFixture f;
    ASSERT_TRUE(f.startSim({"--fs-dir", f.simFolder() + "missing"}));
    const std::string program = f.kestrelProgram();
    const std::string work = f.workingFolder();
    for (const bool wrongCommandLine : {false, true}) {
        const std::vector<std::string> arguments = {wrongCommandLine ? "--bogus" : "LSZH"};
        int code = -1;
        for (const auto console : {ChildProcess::Console::shared, ChildProcess::Console::ownHidden}) {
            ChildProcess unseen;  // from a prompt, whose window stays open, or in a hidden window: no wait
            ASSERT_TRUE(unseen.startOnConsole(console, program, arguments, work));
            EXPECT_TRUE(unseen.waitForExit(30000, code)) << static_cast<int>(console);
            EXPECT_EQ(code, wrongCommandLine ? 2 : 1);
        }
        bool waited = false;
        for (int delayMs = 1000; !waited && delayMs <= 16000; delayMs *= 4) {
            ChildProcess kestrel;
            ASSERT_TRUE(
                kestrel.startOnConsole(ChildProcess::Console::own, program, arguments, work));
            Sleep(delayMs);
            AttachedConsole console(kestrel.processId());
            waited = console.attached() && waitUntil([&] { return console.shows(kPressEnterText); }, 5000);
            if (!waited) continue;
            // Wine's console windows start with QuickEdit on, as Windows's do: back on for the copy.
            EXPECT_NE(console.inputMode() & ENABLE_QUICK_EDIT_MODE, 0u);
            EXPECT_FALSE(kestrel.waitForExit(1000, code));
            if (!wrongCommandLine) {
                EXPECT_NE(console.screen().find("This directory cannot be accessed"), std::string::npos);
                ChildProcess next;
                ASSERT_TRUE(next.start(program, {}, work));
                ASSERT_TRUE(next.waitForExit(60000, code));
                EXPECT_EQ(code, 1);
                EXPECT_NE(next.output().find("This directory cannot be accessed"), std::string::npos)
                    << next.output();
                EXPECT_EQ(next.output().find("Unable to keep the previous log"), std::string::npos)
                    << next.output();
            }
            console.press('\r', VK_RETURN);
            ASSERT_TRUE(kestrel.waitForExit(10000, code));
            EXPECT_EQ(code, wrongCommandLine ? 2 : 1);
        }
        EXPECT_TRUE(waited) << wrongCommandLine;
    }
}

TEST(OwnConsole, QuickEditIsOffWhileItRunsAndBackAfterTheStop) {
    FlightFixture f;
    f.writeScenery(oneFileLibrary({toweredAirport("LSZH", "Zurich", 47.458, 118.1)}));
    ASSERT_TRUE(f.startSim({"--verbose"}));
    ASSERT_TRUE(
        f.kestrel.startOnConsole(ChildProcess::Console::own, f.kestrelProgram(), {}, f.workingFolder()));
    // The stop handler is in place before kestrel talks to the simulator.
    ASSERT_TRUE(waitUntil([&] { return f.sim.errorOutput().find("msg 1 ") != std::string::npos; }, 90000));
    AttachedConsole console(f.kestrel.processId());
    ASSERT_TRUE(console.attached());
    const DWORD running = console.inputMode();
    EXPECT_EQ(running & (ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS), DWORD{ENABLE_EXTENDED_FLAGS});
    console.press(3, 'C', LEFT_CTRL_PRESSED);  // Ctrl+C as the pilot presses it
    int code = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(30000, code)) << console.screen();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(console.inputMode(), running | ENABLE_QUICK_EDIT_MODE);  // this process keeps the console
}

}  // namespace
