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
// wait; nothing tells when it has, so the test tries again later.
TEST(OwnConsole, AFailedStartOrAWrongCommandLineWaitsForEnterOnlyInAConsoleOfItsOwn) {
    TempDir work;  // no simulator: a start fails
    const std::string program = copiedProgram("kestrel", work.path() / "kestrel");
    for (const bool wrongCommandLine : {false, true}) {
        const std::vector<std::string> arguments = {wrongCommandLine ? "--bogus" : "LSZH"};
        int code = -1;
        ChildProcess fromAPrompt;  // whose window stays open: no wait
        ASSERT_TRUE(fromAPrompt.startOnConsole(ChildProcess::Console::shared, program, arguments,
                                               work.path().string()));
        EXPECT_TRUE(fromAPrompt.waitForExit(30000, code));
        bool waited = false;
        for (int delayMs = 1000; !waited && delayMs <= 16000; delayMs *= 4) {
            ChildProcess kestrel;
            ASSERT_TRUE(
                kestrel.startOnConsole(ChildProcess::Console::own, program, arguments, work.path().string()));
            Sleep(delayMs);
            AttachedConsole console(kestrel.processId());
            waited = console.attached() && waitUntil([&] { return console.shows(kPressEnterText); }, 5000);
            if (!waited) continue;
            // Wine's console windows start with QuickEdit on, as Windows's do: back on for the copy.
            EXPECT_NE(console.inputMode() & ENABLE_QUICK_EDIT_MODE, 0u);
            EXPECT_FALSE(kestrel.waitForExit(1000, code));
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
