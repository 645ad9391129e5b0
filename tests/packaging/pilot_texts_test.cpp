// The pilot's README.txt and kestrel.ini quote kestrel's own lines in double quotes ("..." where a part
// varies): each quote must still be something the program prints, built from a string literal of
// src/ whose conversions (%s, %d, ...) stand for another literal, a number, or the quote's "...". And
// every line the pilot can see must have its quote in README.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "logged_texts.h"
#include "support/temp_dir.h"

namespace {

const std::filesystem::path kSource = KESTREL_SOURCE_DIR;
constexpr char kAny = '\x01';     // the quote's "...", or a %s of the literal
constexpr char kNumber = '\x02';  // a numeric conversion of the literal

// Every string literal of the program's sources, adjacent literals joined, conversions replaced.
std::vector<std::string> programLiterals() {
    const std::regex adjacent("\"\\s*\\n\\s*\""), literal("\"((?:[^\"\\\\\\n]|\\\\.)*)\""),
        text("%(\\.[0-9]+)?s"), number("%[-+ #0-9.lhz]*[a-zA-Z]");
    std::vector<std::string> literals;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSource / "src")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h") continue;
        const std::string code = std::regex_replace(readFile(entry.path()), adjacent, "");
        for (auto it = std::sregex_iterator(code.begin(), code.end(), literal); it != std::sregex_iterator();
             ++it)
            literals.push_back(
                std::regex_replace(std::regex_replace((*it)[1].str(), text, std::string(1, kAny)), number,
                                   std::string(1, kNumber)));
    }
    return literals;
}

struct Matcher {
    const std::vector<std::string>& literals;
    const std::string& quote;
    const std::string* message = nullptr;
    std::map<std::pair<size_t, size_t>, bool> memo;

    // Does the quote from position q on match the message from position m on (the message may go on)?
    bool match(size_t m, size_t q) {
        if (q == quote.size()) return true;
        auto [it, fresh] = memo.try_emplace({m, q}, false);
        if (!fresh) return it->second;
        bool result = false;
        if (quote[q] == kAny) {
            result = match(m, q + 1) || (m < message->size() && match(m + 1, q));
        } else if (m == message->size()) {
            result = false;
        } else if ((*message)[m] == kAny) {
            for (const std::string& other : literals)
                result = result || (!other.empty() && quote.compare(q, other.size(), other) == 0 &&
                                    match(m + 1, q + other.size()));
        } else if ((*message)[m] == kNumber) {
            size_t end = q;
            while (end < quote.size() &&
                   (std::isxdigit(static_cast<unsigned char>(quote[end])) || std::strchr(".-", quote[end])))
                ++end;
            result = end > q && match(m + 1, end);
        } else {
            result = (*message)[m] == quote[q] && match(m + 1, q + 1);
        }
        return memo[{m, q}] = result;
    }

    bool printedByTheProgram() {
        for (const std::string& literal : literals) {
            message = &literal;
            memo.clear();
            for (size_t start = 0; start < literal.size(); ++start)
                if (match(start, 0)) return true;
        }
        return false;
    }
};

// The double-quoted passages of a file of the zip, each within one line.
std::vector<std::string> quotesOf(const char* name) {
    const std::string text = readFile(kSource / "packaging" / name);
    const std::regex quoted("\"([^\"\\n]+)\"");
    std::vector<std::string> quotes;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), quoted); it != std::sregex_iterator(); ++it)
        quotes.push_back((*it)[1]);
    return quotes;
}

TEST(PilotTexts, EveryQuotedLineIsOneTheProgramPrints) {
    const std::vector<std::string> literals = programLiterals();
    size_t checked = 0;
    for (const char* name : {"README.txt", "kestrel.ini"}) {
        for (const std::string& passage : quotesOf(name)) {
            const std::string quote = std::regex_replace(passage, std::regex("\\.\\.\\."), std::string(1, kAny));
            EXPECT_TRUE((Matcher{literals, quote, nullptr, {}}.printedByTheProgram())) << name << ": " << passage;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20u);
}

// A text is quoted when one passage of the guide holds 12 consecutive characters of its longest piece
// between conversions and line breaks (all of it, when it is shorter), so that a pilot searching the
// guide for the line on the screen finds it. The longest piece, because short ones such as
// ", error was: " are shared by many lines.
TEST(PilotTexts, EveryLineAPilotCanSeeIsQuotedInTheGuide) {
    const std::vector<std::string> quotes = quotesOf("README.txt");
    size_t checked = 0;
    for (const LoggedText& logged : loggedTexts(kSource / "src", 3)) {
        std::string longest;
        for (const std::string& run : fixedRuns(logged.text))
            if (run.size() > longest.size()) longest = run;
        const size_t need = std::min<size_t>(longest.size(), 12);
        if (need == 0) continue;
        bool quoted = false;
        for (size_t i = 0; i + need <= longest.size() && !quoted; ++i)
            for (const std::string& quote : quotes)
                quoted = quoted || quote.find(longest.substr(i, need)) != std::string::npos;
        EXPECT_TRUE(quoted) << logged.where << " (level " << logged.level << "): " << logged.text;
        ++checked;
    }
    EXPECT_GT(checked, 50u);
}

// Notepad without word wrap shows 78 characters of a line in a window of the usual width, so the
// guide keeps to them; and a quote wrapped onto the next line would escape the checks above.
TEST(PilotTexts, TheGuideFitsNotepadWithoutWordWrapAndEndsEachQuoteOnItsLine) {
    const std::string text = readFile(kSource / "packaging" / "README.txt");
    size_t number = 1, start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++number) {
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 78u) << "README.txt:" << number << ": " << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '"') % 2, 0)
            << "README.txt:" << number << ": " << line;
    }
}

}  // namespace
