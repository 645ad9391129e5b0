// Tricky settings files and the answers the Windows reader gives for them. Our reader is checked
// against the answers natively, and against the real API (and the answers) on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StringQuery {
    const char* section;
    const char* key;
    const char* defaultValue;
    uint32_t bufferSize;
    std::string expected;
};

struct IntQuery {
    const char* section;
    const char* key;
    int32_t defaultValue;
    uint32_t expected;
};

struct ProfileCase {
    const char* name;
    bool fileExists;
    std::string content;
    std::vector<StringQuery> strings;
    std::vector<IntQuery> ints;
};

const std::vector<ProfileCase>& profileCorpus();
