#include "app/console_end.h"

ConsoleEnd consoleEndFor(int exitCode, bool refusedAsRunning, bool stopped, bool hidden) {
    if (stopped || hidden || exitCode == 0) return ConsoleEnd::close;
    if (refusedAsRunning) return ConsoleEnd::showLine;
    return exitCode == 1 || exitCode == 2 ? ConsoleEnd::waitForEnter : ConsoleEnd::close;
}
