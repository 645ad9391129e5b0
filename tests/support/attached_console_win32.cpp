#include "support/attached_console_win32.h"

namespace {

constexpr DWORD kStd[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

void setStd(const HANDLE (&handles)[3]) {
    for (int i = 0; i < 3; ++i)
        SetStdHandle(kStd[i], handles[i]);
}

// Wine's FreeConsole closes whatever the standard handles are, pipes to the test runner included.
void freeConsoleKeeping(const HANDLE (&handles)[3]) {
    setStd({});
    FreeConsole();
    setStd(handles);
}

HANDLE openConsole(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

AttachedConsole::AttachedConsole(DWORD processId) {
    for (int i = 0; i < 3; ++i)
        saved_[i] = GetStdHandle(kStd[i]);
    freeConsoleKeeping(saved_);
    const BOOL attached = processId ? AttachConsole(processId) : AllocConsole();
    setStd(saved_);  // both may put the console's handles there
    if (!attached) return;
    SetConsoleCtrlHandler(nullptr, TRUE);
    input_ = openConsole("CONIN$");
    output_ = openConsole("CONOUT$");
}

AttachedConsole::~AttachedConsole() {
    if (!attached()) return;
    CloseHandle(input_);
    CloseHandle(output_);
    freeConsoleKeeping(saved_);  // and so back to the saved standard handles
    SetConsoleCtrlHandler(nullptr, FALSE);
}

DWORD AttachedConsole::inputMode() const {
    DWORD mode = 0;
    GetConsoleMode(input_, &mode);
    return mode;
}

std::string AttachedConsole::screen() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(output_, &info);
    std::string text(static_cast<size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(output_, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    return text.substr(0, read);
}

void AttachedConsole::press(char character, WORD virtualKey, DWORD controlKeys) {
    INPUT_RECORD record{KEY_EVENT, {}};
    record.Event.KeyEvent = {TRUE, 1, virtualKey, 0, {static_cast<WCHAR>(character)}, controlKeys};
    DWORD written = 0;
    WriteConsoleInputW(input_, &record, 1, &written);
}
