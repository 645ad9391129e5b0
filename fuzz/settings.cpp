// kestrel.ini through the settings reader, and the profile reader's own answers.
//
// Input: parts separated by "--kestrel-part--" (fuzz_support.h). Part 0 is kestrel.ini, read by
// configLoad as at a start. Then each further part is one lookup: its first byte (absent: 0) gives
// the size of the answer's buffer (1 to 256), its first three lines (after that byte) the section, the
// key and the default. Each lookup asks profileReadString (into a buffer of exactly that size),
// profileReadInt, and profileTextToInt of the default's text. An answer must fit its buffer with its
// NUL behind it; anything else aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/config.h"
#include "core/core_state.h"
#include "fuzz_support.h"
#include "platform/profile_reader.h"

namespace {

std::string iniPath;

// The first line of `rest` (up to '\n'), removed from it.
std::string takeLine(std::string& rest) {
    const size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return line;
}

void lookUp(ByteView part) {
    const uint32_t size = part.size > 0 ? 1u + part.data[0] : 1u;
    std::string rest = part.size > 1 ? std::string(reinterpret_cast<const char*>(part.data + 1), part.size - 1)
                                     : std::string();
    const std::string section = takeLine(rest);
    const std::string key = takeLine(rest);
    const std::string fallback = takeLine(rest);

    std::unique_ptr<char[]> out(new char[size]);
    const uint32_t copied =
        profileReadString(section.c_str(), key.c_str(), fallback.c_str(), out.get(), size, iniPath.c_str());
    if (copied >= size || out[copied] != '\0') {
        std::fprintf(stderr, "profileReadString gave %u characters for a buffer of %u\n", copied, size);
        std::abort();
    }
    profileReadInt(section.c_str(), key.c_str(), static_cast<int32_t>(copied), iniPath.c_str());
    profileTextToInt(fallback.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietLog();
    iniPath = fuzz::workDir() + "/kestrel.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<ByteView> parts = fuzz::splitParts(data, size);
    if (!fuzz::writeFile(iniPath, parts[0].data, parts[0].size)) return 0;
    fuzz::quietLog();
    std::unique_ptr<Config> config(configDefaults());
    fuzz::quietLog();
    core.config = config.get();
    configLoad(config.get(), iniPath.c_str());
    core.config = nullptr;
    fuzz::quietLog();
    for (size_t i = 1; i < parts.size(); ++i)
        lookUp(parts[i]);
    return 0;
}
