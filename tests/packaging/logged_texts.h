// The texts kestrel logs, found by reading the program's sources: what the pilot's guide must explain.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct LoggedText {
    std::string where;  // file:line of the logMessage call
    int level = 0;
    std::string text;   // escapes resolved; conversions as written (%s, %08X)
};

// Every text of a logMessage call under `sourceDir` (.cpp and .h) that prints at `maxLevel` or below,
// the airport trace left out. A format and each argument it follows are texts of their own.
std::vector<LoggedText> loggedTexts(const std::filesystem::path& sourceDir, int maxLevel);

// The pieces of `text` between its conversions and line breaks.
std::vector<std::string> fixedRuns(const std::string& text);
