#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "airportdb/airport_table.h"
#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "airportdb/runway_lists.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "scenery/airport_decoder.h"
#include "scenery/bgl_walker.h"
#include "scenery/scenery_library.h"
#include "simlink/base_dir.h"
#include "tower/spatial_index.h"

namespace fuzz {

namespace {

void discard(const char*, size_t) {}

void removeWorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(workDir(), ignored);
}

// A modification time no earlier write had: the real time, moved on past the last one given.
struct timespec freshTime() {
    static struct timespec last {};
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec < last.tv_sec || (now.tv_sec == last.tv_sec && now.tv_nsec <= last.tv_nsec)) {
        now = last;
        if (++now.tv_nsec >= 1000000000) {
            now.tv_nsec = 0;
            ++now.tv_sec;
        }
    }
    last = now;
    return now;
}

}  // namespace

std::vector<ByteView> splitParts(const uint8_t* data, size_t size) {
    std::vector<ByteView> parts;
    size_t start = 0;
    for (;;) {
        const void* found = size > start ? memmem(data + start, size - start, kPartSeparator,
                                                  kPartSeparatorLength)
                                         : nullptr;
        if (!found) {
            parts.push_back(ByteView{data + start, size - start});
            return parts;
        }
        const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        parts.push_back(ByteView{data + start, at - start});
        start = at + kPartSeparatorLength;
    }
}

std::string joinParts(const std::vector<std::string>& parts) {
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += kPartSeparator;
        joined += parts[i];
    }
    return joined;
}

const std::string& workDir() {
    // Never destroyed: the exit handler that removes the folder runs after static destructors.
    static const std::string* const dir = [] {
        std::string base = "/dev/shm";
        struct stat info;
        if (stat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp && *tmp ? tmp : "/tmp";
        }
        std::string pattern = base + "/kestrel-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) {
            std::perror("kestrel fuzz: mkdtemp");
            std::abort();
        }
        std::atexit(removeWorkDir);
        return new std::string(name.data());
    }();
    return *dir;
}

bool writeFile(const std::string& path, const void* data, size_t size, bool makeFolders) {
    if (makeFolders) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    }
    // O_NONBLOCK: should anything ever leave a FIFO under this name, the write fails instead of waiting.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t done = 0; ok && done < size;) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    const struct timespec times[2] = {freshTime(), freshTime()};
    if (ok) ok = futimens(fd, times) == 0;
    close(fd);
    return ok;
}

void quietLog(int32_t level) {
    setLogSink(discard);
    setLogLevel(level);
}

std::string simFolder() {
    return workDir() + "/sim\\";
}

std::string layerIndexPath() {
    return workDir() + "/sim/Scenery/Fuzz/scenery.dat";
}

std::string nativeForm(const std::string& programPath) {
    std::string native = programPath;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

void setUpOneAreaLibrary(const std::string& sceneryDat) {
    quietLog();
    static Config* const config = configDefaults();  // lives as long as the process, like the program's
    core.config = config;
    quietLog();
    setProgressPlatform(&silentProgress());

    const std::string folder = simFolder();
    const std::string database = workDir() + "/kestrel.dat";
    if (folder.size() >= sizeof basedir || database.size() >= sizeof core.databasePath) {
        std::fprintf(stderr, "kestrel fuzz: work folder %s is too long\n", workDir().c_str());
        std::abort();
    }
    std::strcpy(basedir, folder.c_str());
    std::strcpy(core.databasePath, database.c_str());

    const std::string cfg =
        "[General]\r\nTitle=FS9 World Scenery\r\n\r\n"
        "[Area.001]\r\nTitle=Fuzz\r\nLocal=Scenery\\Fuzz\r\nLayer=1\r\nActive=TRUE\r\nRequired=FALSE\r\n";
    if (!writeFile(nativeForm(folder) + "scenery.cfg", cfg.data(), cfg.size(), true) ||
        !writeFile(layerIndexPath(), sceneryDat.data(), sceneryDat.size(), true) || !readSceneryLibrary() ||
        layerList.layerCount != 1) {
        std::fprintf(stderr, "kestrel fuzz: the one-area library in %s does not read\n", workDir().c_str());
        std::abort();
    }
}

void releaseIndexedAirports() {
    releaseSpatialIndex();
    releaseImportedAirports();
}

void buildAndRelease(int32_t logLevel) {
    quietLog(logLevel);
    buildDatabase();
    releaseIndexedAirports();
    airportTable = AirportTable{};
    releaseRunwayLists();
    progressState = ProgressState{};
}

std::vector<IndexEntry> layerIndexEntries(ByteView index) {
    std::vector<IndexEntry> entries;
    uint32_t count = 0;
    if (!readU32(index, 32, count)) return entries;
    for (uint32_t e = 0; e < count; ++e) {
        uint32_t offset = 0;
        if (!readU32(index, 108 + 4 * static_cast<uint64_t>(e), offset)) break;
        IndexEntry entry;
        uint8_t flags = 0;
        uint32_t nameLength = 0;
        if (readU8(index, static_cast<uint64_t>(offset) + 9, flags)) entry.holdsAirports = (flags & 0x20) != 0;
        const uint64_t nameAt = static_cast<uint64_t>(offset) + 92;
        if (readU32(index, static_cast<uint64_t>(offset) + 88, nameLength) && nameAt <= index.size) {
            const size_t available = index.size - static_cast<size_t>(nameAt);
            const size_t length = std::min<size_t>(nameLength, available);
            char path[kPathBufferSize];
            if (composeBglPath(index.data + nameAt, length, path, sizeof path)) entry.path = path;
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace fuzz
