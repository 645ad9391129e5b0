// A small reader of the program's C++, enough for its logMessage calls: comments, string and character
// literals, balanced brackets, top-level commas. What it follows:
// - a literal format or argument, adjacent literals joined (a macro between them counts as a %s);
// - a name given a text somewhere (`constexpr const char* kX = "..."`, `const char* why = a ? "x" : "y"`,
//   in the call's file or in any header), or written by snprintf in the call's file;
// - a call `f(...)` as an argument: the literals of f's return statements and the entries of a table
//   they index (`kTable[code]`);
// - a level, format or argument that is a parameter of the calling function (a wrapper such as
//   logStepFailure): taken from every call of that function instead;
// - a level that is no number at a call counts as 0, the lowest it could be.
// What it does not see: a text put together in a std::string or through a member (`c.change`), the
// system's error texts, and wrappers more than one call deep. Trace mode is every function that asks
// isDebugAirport, and calls made from it.
#include "logged_texts.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <regex>

#include "support/temp_dir.h"

namespace {

struct Source {
    std::string path;
    std::string code;  // comments blanked, so positions and lines stay
};

struct Function {
    const Source* source;
    std::string name;
    std::vector<std::string> parameters;  // their names
    size_t body = 0, end = 0;             // from '{' to after '}'
    bool trace = false;
};

struct Call {
    const Source* source;
    size_t at;
    std::vector<std::string> arguments;
};

bool isName(char c) {  // a character of a C++ name
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Position after the literal that opens at `i`.
size_t skipQuoted(const std::string& s, size_t i) {
    const char quote = s[i];
    for (++i; i < s.size() && s[i] != quote; ++i)
        if (s[i] == '\\') ++i;
    return i + 1;
}

std::string blankComments(std::string s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '"' || s[i] == '\'') {
            i = skipQuoted(s, i) - 1;
        } else if (s[i] == '/' && (s[i + 1] == '/' || s[i + 1] == '*')) {
            const size_t end = s[i + 1] == '/' ? s.find('\n', i) : s.find("*/", i + 2) + 2;
            for (; i < std::min(end, s.size()); ++i)
                if (s[i] != '\n') s[i] = ' ';
            --i;
        }
    }
    return s;
}

std::string trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// The bracketed list that opens at `open`, split at its top-level commas; `end` is after its close.
std::vector<std::string> splitList(const std::string& code, size_t open, size_t& end) {
    std::vector<std::string> items;
    int depth = 0;
    size_t start = open + 1;
    for (size_t i = open; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"' || c == '\'') {
            i = skipQuoted(code, i) - 1;
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if ((c == ')' || c == ']' || c == '}') && --depth == 0) {
            items.push_back(trim(code.substr(start, i - start)));
            end = i + 1;
            return items;
        } else if (c == ',' && depth == 1) {
            items.push_back(trim(code.substr(start, i - start)));
            start = i + 1;
        }
    }
    end = code.size();
    return items;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

// The text of an expression made of string literals and macros only.
std::optional<std::string> literalText(const std::string& expression) {
    std::string text;
    bool literal = false;
    for (size_t i = 0; i < expression.size();) {
        if (std::isspace(static_cast<unsigned char>(expression[i]))) {
            ++i;
        } else if (expression[i] == '"') {
            const size_t end = skipQuoted(expression, i);
            text += unescape(expression.substr(i + 1, end - i - 2));
            literal = true;
            i = end;
        } else if (isName(expression[i])) {
            while (i < expression.size() && isName(expression[i])) ++i;
            text += "%s";
        } else {
            return std::nullopt;
        }
    }
    if (!literal) return std::nullopt;
    return text;
}

// Every literal of an expression (the branches of a ?:, say), adjacent ones joined.
std::vector<std::string> literalsIn(const std::string& expression) {
    if (auto whole = literalText(expression)) return {*whole};
    std::vector<std::string> texts;
    for (size_t i = 0; i < expression.size(); ++i)
        if (expression[i] == '"') {
            const size_t end = skipQuoted(expression, i);
            texts.push_back(unescape(expression.substr(i + 1, end - i - 2)));
            i = end - 1;
        }
    return texts;
}

// Where `word` stands as a whole name in `code`, from `from` on.
size_t findWord(const std::string& code, const std::string& word, size_t from) {
    for (size_t at = code.find(word, from); at != std::string::npos; at = code.find(word, at + 1))
        if ((at == 0 || !isName(code[at - 1])) && (at + word.size() == code.size() || !isName(code[at + word.size()])))
            return at;
    return std::string::npos;
}

size_t lineOf(const Source& source, size_t at) {
    return static_cast<size_t>(std::count(source.code.begin(), source.code.begin() + at, '\n')) + 1;
}

class Program {
public:
    explicit Program(const std::filesystem::path& sourceDir) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceDir)) {
            const std::string extension = entry.path().extension().string();
            if (extension == ".cpp" || extension == ".h")
                sources_.push_back({entry.path().string(), blankComments(readFile(entry.path()))});
        }
        for (const Source& source : sources_) findFunctions(source);
    }

    std::vector<LoggedText> texts(int maxLevel) const {
        std::vector<LoggedText> found;
        for (const Call& call : callsOf("logMessage")) {
            const Function* caller = enclosing(call);
            if (caller && caller->trace) continue;
            for (const Call& bound : bindings(call, caller)) {
                const std::string& level = bound.arguments[0];
                const bool number = level.find_first_not_of("-0123456789") == std::string::npos && !level.empty();
                const int value = number ? std::stoi(level) : 0;
                if (value > maxLevel) continue;
                const std::string where = call.source->path + ":" + std::to_string(lineOf(*call.source, call.at));
                for (size_t i = 1; i < bound.arguments.size(); ++i)
                    for (const std::string& text : textsOf(bound.arguments[i], *bound.source))
                        found.push_back({where, value, text});
            }
        }
        return found;
    }

private:
    std::vector<Source> sources_;
    std::vector<Function> functions_;
    mutable std::map<std::string, std::vector<Call>> calls_;

    void findFunctions(const Source& source) {
        const std::string& code = source.code;
        for (size_t at = 0; at < code.size(); ++at) {
            if (code[at] == '"' || code[at] == '\'') at = skipQuoted(code, at);
            if (at >= code.size() || !isName(code[at]) || (at > 0 && isName(code[at - 1]))) continue;
            size_t open = at;
            while (open < code.size() && isName(code[open])) ++open;
            const std::string name = code.substr(at, open - at);
            open = code.find_first_not_of(" \t\n", open);
            if (open == std::string::npos || code[open] != '(' || std::isdigit(static_cast<unsigned char>(name[0])) ||
                name == "if" || name == "for" || name == "while" || name == "switch" || name == "catch")
                continue;
            size_t before = at;
            while (before > 0 && std::strchr(" \t\n*&", code[before - 1])) --before;
            if (before == 0 || !(isName(code[before - 1]) || code[before - 1] == '>' || code[before - 1] == ':'))
                continue;
            size_t end = 0;
            const std::vector<std::string> parameters = splitList(code, open, end);
            size_t body = code.find_first_not_of(" \t\n", end);
            if (body != std::string::npos && code.compare(body, 5, "const") == 0)
                body = code.find_first_not_of(" \t\n", body + 5);
            if (body == std::string::npos || code[body] != '{') continue;
            Function function{&source, name, {}, body, 0, false};
            splitList(code, body, function.end);
            for (const std::string& parameter : parameters) {
                std::string declared = trim(parameter.substr(0, parameter.find('=')));
                if (!declared.empty() && declared.back() == ']') declared = trim(declared.substr(0, declared.find('[')));
                size_t first = declared.size();
                while (first > 0 && isName(declared[first - 1])) --first;
                function.parameters.push_back(declared.substr(first));
            }
            function.trace = code.substr(body, function.end - body).find("isDebugAirport(") != std::string::npos;
            functions_.push_back(function);
        }
    }

    const Function* enclosing(const Call& call) const {
        const Function* inner = nullptr;
        for (const Function& f : functions_)
            if (f.source == call.source && f.body < call.at && call.at < f.end && (!inner || f.body > inner->body))
                inner = &f;
        return inner;
    }

    const Function* named(const std::string& name) const {
        for (const Function& f : functions_)
            if (f.name == name) return &f;
        return nullptr;
    }

    // Calls, not declarations or definitions: no type name stands before the function's name.
    const std::vector<Call>& callsOf(const std::string& name) const {
        auto [known, fresh] = calls_.try_emplace(name);
        std::vector<Call>& calls = known->second;
        if (!fresh) return calls;
        for (const Source& source : sources_) {
            const std::string& code = source.code;
            for (size_t at = findWord(code, name, 0); at != std::string::npos; at = findWord(code, name, at + 1)) {
                const size_t open = code.find_first_not_of(" \t\n", at + name.size());
                if (open == std::string::npos || code[open] != '(') continue;
                size_t before = at;
                while (before > 0 && std::strchr(" \t\n", code[before - 1])) --before;
                size_t word = before;
                while (word > 0 && isName(code[word - 1])) --word;
                const std::string previous = code.substr(word, before - word);
                if (before > 0 && (isName(code[before - 1]) || std::strchr("*&", code[before - 1])) &&
                    previous != "return" && previous != "else")
                    continue;
                size_t end = 0;
                calls.push_back({&source, at, splitList(code, open, end)});
            }
        }
        return calls;
    }

    // The call as it runs: once as written, or, when it passes on a parameter of its function, once per
    // call of that function (outside trace mode) with the parameters replaced by that call's arguments.
    std::vector<Call> bindings(const Call& call, const Function* caller) const {
        if (call.arguments.size() < 2) return {};
        auto isParameter = [&](const std::string& argument) {
            return caller && std::find(caller->parameters.begin(), caller->parameters.end(), argument) !=
                                 caller->parameters.end();
        };
        if (std::none_of(call.arguments.begin(), call.arguments.end(), isParameter)) return {call};
        std::vector<Call> bound;
        for (const Call& outer : callsOf(caller->name)) {
            const Function* outerCaller = enclosing(outer);
            if (outerCaller && outerCaller->trace) continue;
            Call replaced{outer.source, call.at, call.arguments};
            for (std::string& argument : replaced.arguments) {
                const auto p = std::find(caller->parameters.begin(), caller->parameters.end(), argument);
                const size_t index = static_cast<size_t>(p - caller->parameters.begin());
                if (p != caller->parameters.end() && index < outer.arguments.size()) argument = outer.arguments[index];
            }
            bound.push_back(replaced);
        }
        return bound;
    }

    std::vector<std::string> textsOf(const std::string& argument, const Source& source) const {
        if (auto text = literalText(argument)) return {*text};
        std::smatch call;
        if (std::regex_match(argument, call, std::regex("(\\w+)\\s*\\(.*\\)"))) {
            const Function* f = named(call[1]);
            return f ? returnedTexts(*f) : std::vector<std::string>{};
        }
        if (argument.empty() || !std::all_of(argument.begin(), argument.end(), isName)) return {};
        std::vector<std::string> texts;
        for (const Source& other : sources_) {
            if (&other != &source && other.path.substr(other.path.size() - 2) != ".h") continue;
            const std::string& code = other.code;
            for (size_t at = findWord(code, argument, 0); at != std::string::npos;
                 at = findWord(code, argument, at + 1)) {
                const size_t next = code.find_first_not_of(" \t\n", at + argument.size());
                if (next != std::string::npos && code[next] == '=' && code[next + 1] != '=')
                    for (const std::string& text : literalsIn(code.substr(next + 1, code.find(';', next) - next - 1)))
                        texts.push_back(text);
                const size_t open = at == 0 ? std::string::npos : code.find_last_not_of(" \t\n", at - 1);
                size_t end = 0;
                if (open != std::string::npos && open >= 8 && code[open] == '(' &&
                    code.compare(open - 8, 8, "snprintf") == 0) {
                    const std::vector<std::string> arguments = splitList(code, open, end);
                    if (arguments.size() > 2)
                        if (auto text = literalText(arguments[2])) texts.push_back(*text);
                }
            }
        }
        return texts;
    }

    std::vector<std::string> returnedTexts(const Function& f) const {
        std::vector<std::string> texts;
        const std::string body = f.source->code.substr(f.body, f.end - f.body);
        const std::regex returned("\\breturn\\b([^;]*);"), indexed("\\b(\\w+)\\s*\\[");
        for (auto it = std::sregex_iterator(body.begin(), body.end(), returned); it != std::sregex_iterator(); ++it) {
            const std::string expression = (*it)[1];
            for (const std::string& text : literalsIn(expression)) texts.push_back(text);
            for (auto table = std::sregex_iterator(expression.begin(), expression.end(), indexed);
                 table != std::sregex_iterator(); ++table)
                for (const std::string& text : tableEntries((*table)[1], *f.source)) texts.push_back(text);
        }
        return texts;
    }

    std::vector<std::string> tableEntries(const std::string& name, const Source& source) const {
        std::smatch table;
        if (!std::regex_search(source.code, table, std::regex("\\b" + name + "\\s*\\[[^\\]]*\\]\\s*=\\s*\\{")))
            return {};
        size_t end = 0;
        std::vector<std::string> texts;
        for (const std::string& entry :
             splitList(source.code, static_cast<size_t>(table.position() + table.length() - 1), end))
            if (auto text = literalText(entry)) texts.push_back(*text);
        return texts;
    }
};

}  // namespace

std::vector<LoggedText> loggedTexts(const std::filesystem::path& sourceDir, int maxLevel) {
    return Program(sourceDir).texts(maxLevel);
}

std::vector<std::string> fixedRuns(const std::string& text) {
    static const std::regex breaks("%[-+ #0]*[0-9*]*(\\.[0-9*]+)?(hh|h|ll|l|z|j|t|L)?[a-zA-Z%]|[\\r\\n\\t]+");
    std::vector<std::string> runs;
    for (auto it = std::sregex_token_iterator(text.begin(), text.end(), breaks, -1);
         it != std::sregex_token_iterator(); ++it)
        if (it->length() > 0) runs.push_back(*it);
    return runs;
}
