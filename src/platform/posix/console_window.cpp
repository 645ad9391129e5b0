#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

// A terminal belongs to the shell that runs kestrel and stays open after it: nothing to own or keep.
int platformOwnsConsole() {
    return 0;
}

int platformConsoleHidden() {
    return 0;
}

int platformConsoleQuickEditOff() {
    return 0;
}

void platformRestoreConsoleMode() {}

void platformWaitForEnter() {
    std::fputs(kPressEnterText, stdout);
    std::fputs(kPlatformLineEnd, stdout);
    std::fflush(stdout);
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
    }
}
