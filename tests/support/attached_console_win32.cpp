#include "support/attached_console_win32.h"

namespace {

constexpr DWORD kStd[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

// Wine's FreeConsole closes whatever the standard handles are at that moment, pipes to the test
// runner included: they are put aside meanwhile.
void freeConsoleKeeping(const HANDLE (&handles)[3]) {
    for (DWORD which : kStd)
        SetStdHandle(which, nullptr);
    FreeConsole();
    for (int i = 0; i < 3; ++i)
        SetStdHandle(kStd[i], handles[i]);
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
    attached_ = processId == kOwnConsole ? AllocConsole() != 0 : AttachConsole(processId) != 0;
    // Both may put the console's handles in the standard slots: the caller decides what is standard.
    for (int i = 0; i < 3; ++i)
        SetStdHandle(kStd[i], saved_[i]);
    if (!attached_) return;
    SetConsoleCtrlHandler(nullptr, TRUE);
    input_ = openConsole("CONIN$");
    output_ = openConsole("CONOUT$");
}

AttachedConsole::~AttachedConsole() {
    leave();
}

void AttachedConsole::leave() {
    if (!attached_) return;
    CloseHandle(input_);
    CloseHandle(output_);
    input_ = output_ = INVALID_HANDLE_VALUE;
    freeConsoleKeeping(saved_);
    SetConsoleCtrlHandler(nullptr, FALSE);
    attached_ = false;
}

DWORD AttachedConsole::inputMode() const {
    DWORD mode = 0;
    GetConsoleMode(input_, &mode);
    return mode;
}

std::string AttachedConsole::screen() const {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_, &info)) return "";
    std::string text(static_cast<size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(output_, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    text.resize(read);
    return text;
}

void AttachedConsole::press(char character, WORD virtualKey, DWORD controlKeys) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    record.Event.KeyEvent.dwControlKeyState = controlKeys;
    DWORD written = 0;
    WriteConsoleInputA(input_, &record, 1, &written);
}
