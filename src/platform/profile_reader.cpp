#include "platform/profile_reader.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#ifdef _WIN32
#include "platform/platform.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#endif

namespace {

// The reader counts ^Z (the DOS end-of-file mark) as a blank as well.
bool isProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isProfileSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isProfileSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

struct ProfileKey {
    std::string_view name;
    bool hasValue = false;  // a line without '=' names a key that has no value
    std::string_view value;
};

struct ProfileSection {
    std::string_view name;
    std::vector<ProfileKey> keys;
};

// Splits the file into sections and keys. A line ends at '\r' or '\n'. A section's name is what
// stands between '[' and the last ']' of its line, without surrounding blanks.
std::vector<ProfileSection> parseProfile(std::string_view text) {
    std::vector<ProfileSection> sections(1);  // keys before the first header belong to a nameless section
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lineEnd = text.find_first_of("\r\n", pos);
        size_t next = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        std::string_view line = trimmed(text.substr(pos, next - pos));
        pos = next;
        if (line.empty()) continue;

        if (line.front() == '[') {
            size_t close = line.rfind(']');
            if (close != 0 && close != std::string_view::npos) {
                sections.push_back(ProfileSection{trimmed(line.substr(1, close - 1)), {}});
                continue;
            }
            // A header without ']' is read as a key line.
        }

        ProfileKey key;
        size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            key.hasValue = true;
            key.value = trimmed(line.substr(equals + 1));
            line = line.substr(0, equals);
        }
        key.name = trimmed(line);
        sections.back().keys.push_back(key);
    }
    return sections;
}

#ifdef _WIN32
bool readWholeFile(const char* path, std::string& out) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char chunk[16384];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        out.append(chunk, n);
    std::fclose(f);
    return true;
}
#else
// Opened so that a FIFO or a device in the file's place cannot block the read; anything but a
// regular file reads as a missing one.
bool readWholeFile(const char* path, std::string& out) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    char chunk[16384];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}
#endif

// Names compare without case: the index keys are the names folded to lower case.
std::string folded(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = foldCase(c);
    return key;
}

// The size and last-write time of the file at `path`; false when unknown. The Windows build keeps to
// the system's own calls: the C++ library's file system support would bring imports that Windows XP
// lacks.
bool fileStamp(const char* path, uint64_t& size, uint64_t& modified) {
#ifdef _WIN32
    return platformFileStamp(path, &size, &modified) != 0;
#else
    std::error_code error;
    size = std::filesystem::file_size(path, error);
    if (error) return false;
    const auto time = std::filesystem::last_write_time(path, error);
    modified = static_cast<uint64_t>(time.time_since_epoch().count());
    return !error;
#endif
}

// The last file read, parsed and indexed. The scenery library is probed with thousands of lookups in
// one file, so the file is parsed again only when its size or modification time changed (as the
// Windows reader caches its files), and while it is held not even that is asked.
struct ParsedProfile {
    std::string path;
    uint64_t size = 0;
    uint64_t modified = 0;
    std::string text;
    std::vector<ProfileSection> sections;  // views into `text`
    // Only the first section of a name counts, and within it the first key of a name.
    std::unordered_map<std::string, const ProfileSection*> sectionIndex;
    std::vector<std::unordered_map<std::string, const ProfileKey*>> keyIndex;  // per section
    // While held, the file at `heldPath` is taken as unchanged: parsed (`readable`) or missing.
    std::string heldPath;
    bool readable = false;

    void index() {
        sectionIndex.clear();
        keyIndex.assign(sections.size(), {});
        for (size_t i = 0; i < sections.size(); ++i) {
            sectionIndex.emplace(folded(sections[i].name), &sections[i]);
            for (const ProfileKey& k : sections[i].keys)
                keyIndex[i].emplace(folded(k.name), &k);
        }
    }
    const ProfileKey* find(std::string_view section, std::string_view key) const {
        auto s = sectionIndex.find(folded(section));
        if (s == sectionIndex.end()) return nullptr;
        const auto& keys = keyIndex[static_cast<size_t>(s->second - sections.data())];
        auto k = keys.find(folded(key));
        return k == keys.end() ? nullptr : k->second;
    }
};

ParsedProfile& cachedProfile() {
    static ParsedProfile cache;
    return cache;
}

// The parsed file at `path`, or null when it cannot be read.
const ParsedProfile* parsedProfile(const char* path) {
    ParsedProfile& cache = cachedProfile();
    if (!cache.heldPath.empty() && cache.heldPath == path) return cache.readable ? &cache : nullptr;
    uint64_t size = 0, modified = 0;
    const bool error = !fileStamp(path, size, modified);
    if (!error && !cache.path.empty() && cache.path == path && cache.size == size &&
        cache.modified == modified)
        return &cache;
    std::string text;
    cache.heldPath.clear();
    if (!readWholeFile(path, text)) {
        cache.path.clear();
        return nullptr;
    }
    cache.path = error ? std::string() : std::string(path);  // unknown size or time: never reused
    cache.size = size;
    cache.modified = modified;
    cache.text = std::move(text);
    cache.sections = parseProfile(cache.text);
    cache.index();
    return &cache;
}

// Copies at most size - 1 characters and a NUL; returns the number copied.
uint32_t copyLimited(char* out, uint32_t size, std::string_view text) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

// A value (or default) that begins with a quote and ends with the same quote loses both, with one
// quirk of the real reader kept: when the value only just fits, the character before the closing
// quote is lost too.
uint32_t copyEntry(char* out, uint32_t size, std::string_view value) {
    bool quoted = false;
    if (!value.empty() && (value.front() == '\'' || value.front() == '"') && value.size() > 1 &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    uint32_t n = copyLimited(out, size, value);
    if (quoted && size >= value.size() && n > 0) out[--n] = '\0';
    return n;
}

// The default loses its trailing spaces (spaces only, and never its first character).
std::string_view defaultWithoutTrailingSpaces(const char* defaultValue) {
    std::string_view d = defaultValue ? defaultValue : "";
    while (d.size() > 1 && d.back() == ' ')
        d.remove_suffix(1);
    return d;
}

}  // namespace

uint32_t profileReadString(const char* section, const char* key, const char* defaultValue, char* out,
                           uint32_t size, const char* path) {
    if (!out || size == 0) return 0;
    std::string_view def = defaultWithoutTrailingSpaces(defaultValue);

    const ParsedProfile* profile = parsedProfile(path);
    if (!profile) return copyLimited(out, size, def);

    const ProfileKey* k = profile->find(trimmed(section ? section : ""), trimmed(key ? key : ""));
    if (k) return copyEntry(out, size, k->hasValue ? k->value : def);
    return copyEntry(out, size, def);
}

void profileHold(const char* path) {
    ParsedProfile& cache = cachedProfile();
    cache.heldPath.clear();
    cache.readable = parsedProfile(path) != nullptr;
    cache.heldPath = path;
}

void profileRelease() {
    cachedProfile().heldPath.clear();
}

uint32_t profileTextToInt(const char* text) {
    const char* p = text;
    while (*p && static_cast<unsigned char>(*p) <= ' ')
        ++p;
    bool negative = false;
    if (*p == '+') {
        ++p;
    } else if (*p == '-') {
        negative = true;
        ++p;
    }
    uint32_t base = 10;
    if (p[0] == '0' && p[1] == 'x') {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'o') {
        base = 8;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'b') {
        base = 2;
        p += 2;
    }
    uint32_t total = 0;
    for (;; ++p) {
        uint32_t digit;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<uint32_t>(*p - '0');
        } else if (*p >= 'a' && *p <= 'z') {
            digit = static_cast<uint32_t>(*p - 'a' + 10);
        } else if (*p >= 'A' && *p <= 'Z') {
            digit = static_cast<uint32_t>(*p - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

uint32_t profileReadInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    // The real reader fetches the value into a 30-character buffer first.
    char value[30];
    if (profileReadString(section, key, "", value, sizeof value, path) == 0 || value[0] == '\0')
        return static_cast<uint32_t>(defaultValue);
    return profileTextToInt(value);
}
