// What the import reads of BGL files that are not in the page cache: their airport parts, nothing of
// the sections around them. POSIX only: the files are dropped from the page cache with posix_fadvise
// and the cache is asked with mincore.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "scenery/bgl_walker.h"
#include "scenery/import_fixtures.h"

namespace {

using namespace sceneryw;

const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));

// Which pages of the file at `path` are in the page cache.
std::vector<bool> residentPages(const std::filesystem::path& path) {
    std::vector<bool> resident;
    const int fd = open(path.c_str(), O_RDONLY);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size == 0) {
        if (fd >= 0) close(fd);
        ADD_FAILURE() << path;
        return resident;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    std::vector<unsigned char> pages((size + kPage - 1) / kPage);
    if (view != MAP_FAILED && mincore(view, size, pages.data()) == 0)
        for (unsigned char page : pages) resident.push_back((page & 1) != 0);
    if (view != MAP_FAILED) munmap(view, size);
    close(fd);
    return resident;
}

// Writes the file out and drops it from the page cache; false where the system keeps it (tmpfs).
bool dropFromCache(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    for (bool page : residentPages(path))
        if (page) return false;
    return true;
}

class ColdReadTest : public ImportTest {};

TEST_F(ColdReadTest, OnlyTheAirportPartsOfAFileAreRead) {
    // Two files, so that one is read while the other is walked; each mostly sections of other kinds,
    // before and after its airports.
    std::string csv =
        "area,layer,file,ident,name,latitude,longitude,elevation,tower_latitude,tower_longitude,"
        "tower_altitude,runways,frequencies,deletions\n";
    for (int f = 0; f < 2; ++f)
        for (int a = 0; a < 4; ++a)
            csv += "Scenery\\World,1,F" + std::to_string(f) + ",K" + std::to_string(f) + std::to_string(a) +
                   ",Name,4" + std::to_string(a) + ",8,1,,,,10/28:4" + std::to_string(a) + ":8:2000:100,120.5,\n";
    CsvOptions options;
    options.fillerBytesPerRunway = 3000;
    options.otherSectionBytesPerAirport = 120000;
    LibraryDef library;
    std::string error;
    ASSERT_TRUE(parseAirportCsv(csv, options, library, error)) << error;
    const std::filesystem::path sim = dir.path() / "sim";
    ASSERT_TRUE(writeSceneryLibrary(sim, library, error)) << error;
    useSimulatorFolder(sim);

    const std::filesystem::path folder = resolveSimPath(sim, "Scenery\\World");
    for (const BglFileDef& file : library.areas[0].files)
        if (!dropFromCache(folder / "scenery" / (file.name + ".bgl")))
            GTEST_SKIP() << "this file system keeps its files in memory";

    EXPECT_EQ(importLayerIndex(programPath("sim/Scenery/World/scenery.dat").c_str()), 8u);

    for (const BglFileDef& file : library.areas[0].files) {
        const BglLayout layout = layoutBgl(bglFileFor(file));
        ASSERT_EQ(layout.sections.size(), 4u);
        const BglLayout::Section& airports = layout.sections[1];
        const size_t begin = airports.subsectionTableOffset;
        const size_t end = airports.subsections.back().firstRecordOffset + airports.subsections.back().size;
        const std::vector<bool> resident = residentPages(folder / "scenery" / (file.name + ".bgl"));
        ASSERT_EQ(resident.size(), (layout.bytes.size() + kPage - 1) / kPage);
        size_t others = 0, read = 0;
        for (size_t page = 0; page < resident.size(); ++page) {
            // The header and section table, and every page the airport section reaches into.
            const bool needed = page == 0 || (page * kPage < end && (page + 1) * kPage > begin);
            if (needed) read += resident[page];
            else others += resident[page];
        }
        EXPECT_EQ(others, 0u) << file.name << ": pages of other sections read";
        EXPECT_GT(read, (end - begin) / kPage / 2) << file.name;
    }
}

}  // namespace
