// The terminal display behind the progress operations: what a user sees on a terminal, and that
// nothing lands in standard output (the log) or in a redirected standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/progress.h"
#include "support/temp_dir.h"

namespace {

uint32_t fakeNow = 0;
std::vector<uint32_t> sleeps;

// Points `fd` at `target` until destroyed.
class FdRedirect {
public:
    FdRedirect(int fd, int target) : fd_(fd), saved_(dup(fd)) { dup2(target, fd); }
    ~FdRedirect() {
        dup2(saved_, fd_);
        close(saved_);
    }

private:
    int fd_;
    int saved_;
};

std::string readAll(int fd) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

// A build of two layers: 5 files and 10 airports, the last counts within 10 ms of a refresh.
void runBuild() {
    progressOpen();
    fakeNow = 50000;
    progressStart(2);
    fakeNow += 20;
    progressAddFiles(1);
    progressAddAirports(6);
    progressLayerDone();
    fakeNow += 20;
    progressAddFiles(3);
    fakeNow += 2;
    progressAddFiles(1);
    progressAddAirports(4);
    progressLayerDone();
    fakeNow = 50000 + 1234;
    progressFinish();
}

class ProgressTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        sleeps.clear();
        substitute = platformProgress();
        substitute.tickCount = [] { return fakeNow; };
        substitute.sleep = [](uint32_t ms) {
            sleeps.push_back(ms);
            fakeNow += ms;
        };
        setProgressPlatform(&substitute);
        progressState = ProgressState{};
    }
    void TearDown() override { setProgressPlatform(nullptr); }

    // Runs the build with standard error on a fresh terminal `columns` wide; returns what the terminal
    // received and, in `stdoutBytes`, what went to standard output meanwhile.
    std::string buildOnTerminal(unsigned short columns, std::string& stdoutBytes) {
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        EXPECT_GE(terminal, 0);
        struct winsize size {};
        size.ws_col = columns;
        size.ws_row = 24;
        ioctl(terminal, TIOCSWINSZ, &size);

        TempDir dir;
        int out = open(dir.file("stdout").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        std::fflush(stdout);
        {
            FdRedirect toTerminal(STDERR_FILENO, terminal);
            FdRedirect toFile(STDOUT_FILENO, out);
            runBuild();
            std::fflush(stdout);
        }
        close(out);
        stdoutBytes = readFile(dir.path() / "stdout");
        close(terminal);
        fcntl(master, F_SETFL, O_NONBLOCK);
        std::string shown = readAll(master);
        close(master);
        return shown;
    }

    ProgressPlatform substitute{};
};

TEST_F(ProgressTerminalTest, TerminalShowsTheTextsInOrderAndStdoutStaysEmpty) {
    std::string stdoutBytes;
    std::string shown = buildOnTerminal(120, stdoutBytes);
    EXPECT_EQ(stdoutBytes, "");

    size_t headline = shown.find("... indexing airports and towers, please hold the line ...\r\n");
    size_t first = shown.find("[....................] Files scanned: 0   Airports found: 0");
    size_t middle =
        shown.find("[##########..........] Files scanned: 4 (1/2 scenery layers)   Airports found: 6");
    size_t last =
        shown.find("[####################] Files scanned: 5 (2/2 scenery layers)   Airports found: 10\r\n");
    size_t done = shown.find("Airport Database created in 1234 ms\r\n");
    ASSERT_NE(headline, std::string::npos) << shown;
    ASSERT_NE(first, std::string::npos) << shown;
    ASSERT_NE(middle, std::string::npos) << shown;
    ASSERT_NE(last, std::string::npos) << shown;
    ASSERT_NE(done, std::string::npos) << shown;
    EXPECT_LT(headline, first);
    EXPECT_LT(first, middle);
    EXPECT_LT(middle, last);
    EXPECT_LT(last, done);
    // The counts within 10 ms of a refresh only appear in the final one.
    EXPECT_EQ(shown.find("Files scanned: 5 (1/2"), std::string::npos);
    EXPECT_EQ(sleeps,
              std::vector<uint32_t>(2500 / kProgressStopPause, kProgressStopPause));  // 2.5 s in pieces
}

TEST_F(ProgressTerminalTest, StatusLineIsCutToTheTerminalWidth) {
    std::string stdoutBytes;
    std::string shown = buildOnTerminal(40, stdoutBytes);
    // Every redraw starts with a carriage return; no piece between two of them may wrap.
    size_t start = 0;
    while (start < shown.size()) {
        size_t end = shown.find('\r', start);
        if (end == std::string::npos) end = shown.size();
        std::string piece = shown.substr(start, end - start);
        if (piece.rfind("\033[K", 0) == 0) piece.erase(0, 3);
        if (piece.rfind("\n", 0) == 0) piece.erase(0, 1);
        bool headline = piece.find("indexing airports") != std::string::npos;
        if (!headline) {
            EXPECT_LE(piece.size(), 39u) << piece;
        }
        start = end + 1;
    }
    EXPECT_NE(shown.find("[####################] Files scanned: "), std::string::npos);
}

TEST_F(ProgressTerminalTest, WithoutATerminalNothingIsShownButTheTimingStays) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    TempDir dir;
    int out = open(dir.file("stdout").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    std::fflush(stdout);
    {
        FdRedirect toPipe(STDERR_FILENO, pipeEnds[1]);
        FdRedirect toFile(STDOUT_FILENO, out);
        runBuild();
        std::fflush(stdout);
    }
    close(out);
    close(pipeEnds[1]);
    EXPECT_EQ(readAll(pipeEnds[0]), "");
    close(pipeEnds[0]);
    EXPECT_EQ(readFile(dir.path() / "stdout"), "");
    EXPECT_EQ(sleeps,
              std::vector<uint32_t>(2500 / kProgressStopPause, kProgressStopPause));  // 2.5 s in pieces
    EXPECT_EQ(progressState.startTime, 1234u);
    EXPECT_EQ(progressState.filesScanned, 5u);
}

}  // namespace
