#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

DWORD foundMode = 0;       // the input mode before QuickEdit was turned off
bool modeChanged = false;  // only the main thread changes and restores it

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
           GetConsoleMode(handle, &mode);  // NUL is a character device too, but no console
}

}  // namespace

int platformOwnsConsole() {
    // A command prompt, or any other program that shares its console with kestrel, is a second
    // process in the list; without a console the list is empty.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1) return 0;
    return isConsole(GetStdHandle(STD_INPUT_HANDLE)) && isConsole(GetStdHandle(STD_OUTPUT_HANDLE)) ? 1 : 0;
}

int platformConsoleHidden() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_HIDE) return 1;
    return GetConsoleWindow() ? 0 : 1;  // CREATE_NO_WINDOW gives a console without one
}

int platformConsoleQuickEditOff() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) return 0;
    // QuickEdit is one of the extended flags, which the console applies only with ENABLE_EXTENDED_FLAGS.
    const DWORD quiet = (mode | ENABLE_EXTENDED_FLAGS) & ~static_cast<DWORD>(ENABLE_QUICK_EDIT_MODE);
    if (quiet == mode || !SetConsoleMode(input, quiet)) return 0;
    foundMode = mode;
    modeChanged = true;
    return 1;
}

void platformRestoreConsoleMode() {
    if (!modeChanged) return;
    modeChanged = false;
    SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), foundMode);
}

void platformWaitForEnter() {
    // From here a console close has no stop path to wait for: the system may end the process as soon
    // as the control handler returns.
    platformConsoleStopDone();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);  // an Enter pressed while kestrel ran is no answer to the prompt
    std::fflush(stdout);
    std::fputs(kPressEnterText, stdout);
    std::fputs(kPlatformLineEnd, stdout);
    std::fflush(stdout);
    char buffer[256];
    DWORD length = 0;
    // Line input returns the whole line with its CR LF; without it every key comes alone.
    while (ReadFile(input, buffer, sizeof buffer, &length, nullptr) && length > 0)
        if (std::memchr(buffer, '\r', length) || std::memchr(buffer, '\n', length)) return;
}
