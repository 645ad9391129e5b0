#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "core/log.h"
#include "core/log_file.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(Log, LevelFilterSkipsFormattingAboveTheLevel) {
    LogCapture log(3);
    // Formatting this would read through an invalid pointer: a message above the level must return
    // before it formats anything.
    logMessage(4, "%s", reinterpret_cast<const char*>(16));
    logMessage(4, "level four");
    logMessage(3, "level three");
    logMessage(-1, "negative level prints");
    EXPECT_EQ(log.text(), "level three\r\nnegative level prints\r\n");
}

TEST(Log, LevelZeroPrintsOnlyLevelZero) {
    LogCapture log(0);
    logMessage(1, "one");
    logMessage(0, "zero");
    logMessage(5, "five");
    EXPECT_EQ(log.text(), "zero\r\n");
}

TEST(Log, LineEndRule) {
    LogCapture log(5);
    logMessage(3, "abc");
    logMessage(3, "crlf\r\n");
    logMessage(3, "lf only\n");
    logMessage(3, "%s", "");
    logMessage(3, "cr only\r");
    EXPECT_EQ(log.text(), "abc\r\ncrlf\r\nlf only\n\r\ncr only\r\r\n");
}

TEST(Log, DataIsPrintedLiterally) {
    LogCapture log(5);
    logMessage(3, "airport %s", "100%s Field %d");
    EXPECT_EQ(log.text(), "airport 100%s Field %d\r\n");
}

TEST(Log, LongTextIsCutAt2047Characters) {
    LogCapture log(5);
    std::string longText(5000, 'a');
    logMessage(3, "%s", longText.c_str());
    ASSERT_EQ(log.text().size(), 2047u + 2u);
    EXPECT_EQ(log.text(), std::string(2047, 'a') + "\r\n");

    log.clear();
    std::string exact(2046, 'b');
    logMessage(3, "%s\n", exact.c_str());  // exactly 2047 with its line feed: nothing added
    EXPECT_EQ(log.text(), exact + "\n");
}

TEST(Log, ConversionsUsedByTheProgram) {
    LogCapture log(5);
    logMessage(3, "%08X %04X %X %.3f %.03f %ld %i %u", 0x1a2bu, 0x3u, 0xABCDu, 118.7, 1.0, -5L, -7,
               4000000000u);
    EXPECT_EQ(log.text(), "00001A2B 0003 ABCD 118.700 1.000 -5 -7 4000000000\r\n");
}

// Windows' texts end in CR LF, which would split the log line that quotes one.
TEST(Log, LastErrorTextIsOneLineOfText) {
    for (uint32_t code : {0u, 5u, 32u, 0xDEADBEEFu}) {
        platformSetLastError(code);
        char* text = lastErrorText();
        const std::string line = text;
        releaseErrorText(text);
        EXPECT_TRUE(!line.empty() && line.find_first_of("\r\n") == line.npos && line.back() != ' ' &&
                    line.back() != '.')
            << line;
    }
}

TEST(LogFile, CopiesEveryPrintedLineWithTheTimeOfDay) {
    TempDir dir;
    const std::string path = dir.file("kestrel.log");
    writeFile(path, "the previous run's log\r\n");
    LogCapture log(3);
    ASSERT_EQ(openLogFile(path.c_str()), 1);
    logMessage(3, "one");
    logMessage(4, "not printed, not logged");
    logMessage(0, "two\r\nthree\r\n");
    const std::string written = readFile(path);  // each line is in the file as soon as it is printed
    closeLogFile();
    logMessage(0, "after the close");
    EXPECT_EQ(log.text(), "one\r\ntwo\r\nthree\r\nafter the close\r\n");
    const std::string stamp = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ";
    EXPECT_TRUE(std::regex_match(written, std::regex(stamp + "one\r\n" + stamp + "two\r\n" + stamp + "three\r\n")))
        << written;
}

// The longest message, all short lines: with their stamps it is several times the writer's buffer.
TEST(LogFile, AFullSizeMessageOfManyLinesComesOutWholeEachLineStamped) {
    TempDir dir;
    const std::string path = dir.file("kestrel.log");
    LogCapture log(3);
    ASSERT_EQ(openLogFile(path.c_str()), 1);
    std::string message;
    for (int i = 0; message.size() < kLogBufferSize; ++i)
        message += i % 3 ? "a" : i % 2 ? "\r\n" : "\n";
    logMessage(0, "%s", message.c_str());  // cut to the buffer
    closeLogFile();
    const std::string written = readFile(path), stamp = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ";
    EXPECT_EQ(std::regex_replace(written, std::regex("(^|\n)" + stamp), "$1"), log.text());
    EXPECT_EQ(written.size(),
              log.text().size() + 13 * std::count(log.text().begin(), log.text().end(), '\n'));
}

TEST(LogFile, AnUnwritableLogCostsOneConsoleLine) {
    TempDir dir;
    LogCapture log(3);
    const std::string path = dir.file("no such folder/kestrel.log");
    EXPECT_EQ(openLogFile(path.c_str()), 0);
    logMessage(3, "the run goes on");
    EXPECT_EQ(log.text().find("Unable to create the log file " + path + ", error was: "), 0u) << log.text();
    EXPECT_NE(log.text().find(". kestrel goes on without it.\r\nthe run goes on\r\n"), std::string::npos);
}

}  // namespace
