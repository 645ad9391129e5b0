// The progress display on a terminal: the headline on a line of its own, then one status line with
// the bar and the two counts, redrawn in place; the final headline goes on a new line below it.
// Everything goes to standard error, and only when that is a terminal: standard output carries the
// log, and a display redirected into a file would be noise.
#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr size_t kTextSize = 256;
constexpr uint32_t kBarCells = 20;
constexpr size_t kDefaultWidth = 80;

struct TerminalProgress {
    int opened = 0;
    int shown = 0;     // standard error is a terminal
    int lineOpen = 0;  // the status line is on screen with the cursor at its end
    char fileCount[kTextSize] = {};
    char airportCount[kTextSize] = {};
    uint32_t maximum = 100;  // the window's progress bar also starts at 0..100
    uint32_t step = 10;
    uint32_t position = 0;
};

TerminalProgress terminal;

void writeAll(const char* bytes, size_t length) {
    while (length > 0) {
        ssize_t written = write(STDERR_FILENO, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // a terminal that went away: the display is only a display
        bytes += written;
        length -= static_cast<size_t>(written);
    }
}

size_t terminalWidth() {
    struct winsize size;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultWidth;
}

// Cut to the terminal's width: a line that wrapped could not be redrawn in place.
void drawStatus() {
    if (!terminal.shown) return;
    char bar[kBarCells + 1];
    uint32_t filled = 0;
    if (terminal.maximum > 0) {
        uint32_t position = terminal.position < terminal.maximum ? terminal.position : terminal.maximum;
        filled = static_cast<uint32_t>(static_cast<uint64_t>(position) * kBarCells / terminal.maximum);
    }
    for (uint32_t cell = 0; cell < kBarCells; ++cell)
        bar[cell] = cell < filled ? '#' : '.';
    bar[kBarCells] = '\0';

    // The carriage return and erase-line lead the text, so each redraw is a single write.
    constexpr size_t kLead = 4;
    char line[kLead + 3 * kTextSize] = "\r\033[K";
    int length = std::snprintf(line + kLead, sizeof line - kLead, "[%s] %s   %s", bar, terminal.fileCount,
                               terminal.airportCount);
    size_t visible = length > 0 ? static_cast<size_t>(length) : 0;
    if (visible >= sizeof line - kLead) visible = sizeof line - kLead - 1;
    size_t width = terminalWidth();
    if (visible > width - 1) visible = width - 1;
    writeAll(line, kLead + visible);
    terminal.lineOpen = 1;
}

void endStatusLine() {
    if (terminal.lineOpen) writeAll("\n", 1);
    terminal.lineOpen = 0;
}

void printLine(const char* text) {
    if (!terminal.shown) return;
    endStatusLine();
    writeAll(text, std::strlen(text));
    writeAll("\n", 1);
}

void copyText(char (&target)[kTextSize], const char* text) {
    std::snprintf(target, sizeof target, "%s", text ? text : "");
}

}  // namespace

void platformProgressOpen() {
    terminal = TerminalProgress{};
    terminal.opened = 1;
    terminal.shown = isatty(STDERR_FILENO) ? 1 : 0;
    copyText(terminal.fileCount, "Files scanned: 0");
    copyText(terminal.airportCount, "Airports found: 0");
    printLine("... indexing airports and towers, please hold the line ...");
    drawStatus();
}

int platformProgressReady() {
    return terminal.opened;
}

void platformProgressSetText(ProgressText which, const char* text) {
    if (!terminal.opened) return;
    switch (which) {
        case kProgressHeadline:
            printLine(text ? text : "");
            break;
        case kProgressFileCount:
            copyText(terminal.fileCount, text);
            drawStatus();
            break;
        case kProgressAirportCount:
            copyText(terminal.airportCount, text);
            drawStatus();
            break;
    }
}

void platformProgressSetRange(uint16_t maximum) {
    if (!terminal.opened) return;
    terminal.maximum = maximum;
    if (terminal.position > maximum) terminal.position = maximum;
    drawStatus();
}

void platformProgressSetStep(uint16_t step) {
    terminal.step = step;
}

void platformProgressStep() {
    if (!terminal.opened) return;
    terminal.position += terminal.step;
    if (terminal.position > terminal.maximum) terminal.position = terminal.maximum;
    drawStatus();
}

void platformProgressClose() {
    if (!terminal.opened) return;
    if (terminal.shown) endStatusLine();
    terminal.opened = 0;
}
