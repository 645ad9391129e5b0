#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "support/child_process.h"

struct ChildProcess::Impl {
    pid_t pid = -1;
    bool exited = false;
    bool checked = false;
    int exitCode = -1;
    mutable std::mutex mutex;
    std::string out, err;
    std::thread outReader, errReader;

    // A sanitized child (the native-asan suite) that found a fault fails the test even where the test
    // does not look at its exit code, such as a simulator it only ends.
    void failOnSanitizerReport() {
        if (checked) return;
        checked = true;
        for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", ": runtime error: "}) {
            if (err.find(marker) != std::string::npos) {
                ADD_FAILURE() << "a child process reported a sanitizer finding:\n" << err;
                return;
            }
        }
    }

    void readInto(int fd, std::string* target) {
        char buffer[4096];
        for (;;) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard<std::mutex> lock(mutex);
            target->append(buffer, static_cast<size_t>(n));
        }
        close(fd);
    }
};

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}

ChildProcess::~ChildProcess() {
    kill();
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDir) {
    // A ChildProcess may run one program after another: the previous one is ended and forgotten.
    kill();
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
    impl_->pid = -1;
    impl_->exited = false;
    impl_->checked = false;
    impl_->exitCode = -1;
    impl_->out.clear();
    impl_->err.clear();

    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0) return false;
    if (pipe(errPipe) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // A test that dies (an abort, a crash) takes its programs with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    impl_->pid = pid;
    impl_->outReader = std::thread(&Impl::readInto, impl_.get(), outPipe[0], &impl_->out);
    impl_->errReader = std::thread(&Impl::readInto, impl_.get(), errPipe[0], &impl_->err);
    return true;
}

bool ChildProcess::requestStop() {
    return impl_->pid > 0 && !impl_->exited && ::kill(impl_->pid, SIGINT) == 0;
}

bool ChildProcess::waitForExit(int timeoutMs, int& exitCode) {
    if (impl_->pid <= 0) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!impl_->exited) {
        int status = 0;
        pid_t r = waitpid(impl_->pid, &status, WNOHANG);
        if (r == impl_->pid) {
            impl_->exited = true;
            impl_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Let the readers drain what the child wrote before it ended.
    if (impl_->outReader.joinable()) impl_->outReader.join();
    if (impl_->errReader.joinable()) impl_->errReader.join();
    impl_->failOnSanitizerReport();
    exitCode = impl_->exitCode;
    return true;
}

bool ChildProcess::waitForOutput(const std::string& needle, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output().find(needle) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

uint32_t ChildProcess::processId() const {
    return impl_->pid > 0 ? static_cast<uint32_t>(impl_->pid) : 0;
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
    if (impl_->pid > 0 && !impl_->exited) {
        ::kill(impl_->pid, SIGKILL);
        int code;
        waitForExit(5000, code);
    }
}
