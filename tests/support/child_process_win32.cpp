#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "support/child_process.h"

struct ChildProcess::Impl {
    PROCESS_INFORMATION info{};
    bool running = false;
    mutable std::mutex mutex;
    std::string out, err;
    std::thread outReader, errReader;
    std::optional<Console> console;  // startOnConsole's, for its start only

    void readInto(HANDLE pipe, std::string* target) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> lock(mutex);
            target->append(buffer, n);
        }
        CloseHandle(pipe);
    }
};

namespace {

// Quotes an argument the way the C runtime's command-line parser reads it back.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string result = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        result.append(backslashes, '\\');
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, '\\');
    return result + "\"";
}

// The text as the wide calls take it: UTF-8 (a path's u8string(), which names any folder), or else the
// ANSI code page's text the tests pass elsewhere.
std::wstring wide(const std::string& text) {
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int length = MultiByteToWideChar(codePage, flags, text.c_str(), -1, nullptr, 0);
        if (length <= 0) continue;
        std::wstring result(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(codePage, flags, text.c_str(), -1, result.data(), length);
        result.pop_back();  // the NUL
        return result;
    }
    return std::wstring();
}

}  // namespace

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}

ChildProcess::~ChildProcess() {
    kill();
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
    if (impl_->info.hProcess) CloseHandle(impl_->info.hProcess);
    if (impl_->info.hThread) CloseHandle(impl_->info.hThread);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDir) {
    // A ChildProcess may run one program after another: the previous one is ended and forgotten.
    kill();
    const auto console = std::exchange(impl_->console, std::nullopt);
    const bool own = console == Console::own || console == Console::ownHidden,
               shared = console == Console::shared;
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
    if (impl_->info.hProcess) CloseHandle(impl_->info.hProcess);
    if (impl_->info.hThread) CloseHandle(impl_->info.hThread);
    impl_->info = PROCESS_INFORMATION{};
    impl_->running = false;
    impl_->out.clear();
    impl_->err.clear();

    // Console control events travel only between processes that share a console: give the test
    // process one (started under a test runner it often has none) for the child to inherit. Before the
    // pipes, which the console's host would inherit too and keep open.
    if (!own && !GetConsoleWindow()) AllocConsole();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return false;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) return false;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    auto open = [&](const char* name) {
        return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
    };
    // Shared: this process's console, as a command prompt shares its own.
    HANDLE input = open(shared ? "CONIN$" : "NUL");
    HANDLE output = shared ? open("CONOUT$") : INVALID_HANDLE_VALUE;

    std::string commandLine = quoted(program);
    for (const std::string& a : arguments)
        commandLine += " " + quoted(a);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = shared ? output : outWrite;
    startup.hStdError = shared ? output : errWrite;
    // A process group of its own, so a Ctrl+Break event can be aimed at the child alone. A console of its
    // own comes with its own handles and no group, as from a double-click: a group would ignore Ctrl+C.
    if (own) startup.dwFlags = 0;
    if (console == Console::ownHidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    const std::wstring wideProgram = wide(program), wideFolder = wide(workingDir);
    std::wstring wideCommandLine = wide(commandLine);
    BOOL ok = CreateProcessW(wideProgram.c_str(), wideCommandLine.data(), nullptr, nullptr, !own,
                             own ? CREATE_NEW_CONSOLE : CREATE_NEW_PROCESS_GROUP, nullptr,
                             workingDir.empty() ? nullptr : wideFolder.c_str(), &startup, &impl_->info);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    for (HANDLE h : {input, output})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        return false;
    }
    impl_->running = true;
    impl_->outReader = std::thread(&Impl::readInto, impl_.get(), outRead, &impl_->out);
    impl_->errReader = std::thread(&Impl::readInto, impl_.get(), errRead, &impl_->err);
    return true;
}

bool ChildProcess::startOnConsole(Console console, const std::string& program,
                                  const std::vector<std::string>& arguments, const std::string& workingDir) {
    impl_->console = console;
    return start(program, arguments, workingDir);
}

bool ChildProcess::requestStop() {
    return impl_->running && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, impl_->info.dwProcessId) != 0;
}

bool ChildProcess::waitForExit(int timeoutMs, int& exitCode) {
    if (!impl_->info.hProcess) return false;
    if (WaitForSingleObject(impl_->info.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    impl_->running = false;
    DWORD code = 0;
    GetExitCodeProcess(impl_->info.hProcess, &code);
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
    exitCode = static_cast<int>(code);
    return true;
}

bool ChildProcess::waitForOutput(const std::string& needle, int timeoutMs) {
    DWORD deadline = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (output().find(needle) == std::string::npos) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) return false;
        Sleep(10);
    }
    return true;
}

uint32_t ChildProcess::processId() const {
    return impl_->info.dwProcessId;
}

std::string ChildProcess::output() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->out;
}

std::string ChildProcess::errorOutput() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->err;
}

void ChildProcess::kill() {
    if (impl_->running) {
        TerminateProcess(impl_->info.hProcess, 137);
        int code;
        waitForExit(5000, code);
    }
}
