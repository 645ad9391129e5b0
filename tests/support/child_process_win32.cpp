#include <windows.h>

#include <mutex>
#include <thread>

#include "support/child_process.h"

struct ChildProcess::Impl {
    enum class Handles { pipes, ownConsole, sharedConsole };

    PROCESS_INFORMATION info{};
    bool running = false;
    mutable std::mutex mutex;
    std::string out, err;
    std::thread outReader, errReader;

    void readInto(HANDLE pipe, std::string* target) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> lock(mutex);
            target->append(buffer, n);
        }
        CloseHandle(pipe);
    }

    bool launch(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& workingDir, Handles handles);
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
    return impl_->launch(program, arguments, workingDir, Impl::Handles::pipes);
}

bool ChildProcess::startOnConsole(Console console, const std::string& program,
                                  const std::vector<std::string>& arguments, const std::string& workingDir) {
    kill();
    return impl_->launch(program, arguments, workingDir,
                         console == Console::own ? Impl::Handles::ownConsole : Impl::Handles::sharedConsole);
}

bool ChildProcess::Impl::launch(const std::string& program, const std::vector<std::string>& arguments,
                                const std::string& workingDir, Handles handles) {
    if (outReader.joinable()) outReader.join();
    if (errReader.joinable()) errReader.join();
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    info = PROCESS_INFORMATION{};
    running = false;
    out.clear();
    err.clear();

    std::string commandLine = quoted(program);
    for (const std::string& a : arguments)
        commandLine += " " + quoted(a);

    // Console control events travel only between processes that share a console: give the test
    // process one (started under a test runner it often has none) for the child to inherit.
    if (handles != Handles::ownConsole && !GetConsoleWindow()) AllocConsole();

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    HANDLE input = INVALID_HANDLE_VALUE, output = INVALID_HANDLE_VALUE;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    DWORD flags = CREATE_NEW_PROCESS_GROUP;  // so a Ctrl+Break event can be aimed at the child alone
    if (handles == Handles::pipes) {
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return false;
        if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) return false;
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                            0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
    } else if (handles == Handles::sharedConsole) {
        input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, 0, nullptr);
        output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = output;
    } else {
        // The new console's own handles, as a double-click gives them. Not a process group of its own:
        // that would ignore a Ctrl+C typed into the console, as no double-click does.
        flags = CREATE_NEW_CONSOLE;
    }
    BOOL ok = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                             handles != Handles::ownConsole, flags, nullptr,
                             workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info);
    for (HANDLE h : {outWrite, errWrite, input, output})
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) {
        if (outRead) CloseHandle(outRead);
        if (errRead) CloseHandle(errRead);
        return false;
    }
    running = true;
    if (outRead) outReader = std::thread(&Impl::readInto, this, outRead, &out);
    if (errRead) errReader = std::thread(&Impl::readInto, this, errRead, &err);
    return true;
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
