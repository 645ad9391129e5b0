// Runs a program as a child process with its standard output and error captured, for end-to-end tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments` in `workingDir` (on Windows UTF-8 text, or the ANSI code page's).
    // Returns false when it could not start.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& workingDir);

#ifdef _WIN32
    // A console window of its own, as a double-click gives (hidden: the start-up information asks for a
    // hidden window, as a program that starts another hidden does), or this process's console, as a
    // command prompt shares its own.
    enum class Console { own, ownHidden, shared };
    // start with the standard handles on that console: nothing is captured.
    bool startOnConsole(Console console, const std::string& program,
                        const std::vector<std::string>& arguments, const std::string& workingDir);
#endif

    // Asks the child to stop the way a user would: SIGINT on POSIX, a Ctrl+Break console event on
    // Windows. Returns false when the request could not be delivered.
    bool requestStop();

    // Waits up to `timeoutMs` for the child to end; true with its exit code when it did.
    bool waitForExit(int timeoutMs, int& exitCode);

    // Waits up to `timeoutMs` until the captured standard output contains `needle`.
    bool waitForOutput(const std::string& needle, int timeoutMs);

    uint32_t processId() const;       // the child's process id; 0 before a start
    std::string output() const;       // standard output so far
    std::string errorOutput() const;  // standard error so far
    void kill();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
