// A layer index (scenery.dat) with its BGL files, built inside a one-area library.
//
// Input: parts separated by "--kestrel-part--" (fuzz_support.h). Part 0 is the area's scenery.dat;
// part k (k >= 1) is written as the BGL file that entry k of its offset table names (the path the walker
// composes from the entry's name), whatever the entry's flags. A part whose path would lie outside the
// simulator folder or go through "..", or that has no entry, is not written; the walker still looks for
// the file. A run removes its files before it ends, so that it frees all it allocated and libFuzzer has
// no reason to run it again in search of a leak.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

bool insideSimFolder(const std::string& native) {
    static const std::string root = fuzz::nativeForm(fuzz::simFolder());
    return native.compare(0, root.size(), root) == 0 && native.find("/../") == std::string::npos;
}

// Removes the files and folders of `written`, the newest first.
void removeWritten(const std::vector<std::string>& written) {
    for (auto it = written.rbegin(); it != written.rend(); ++it)
        if (unlink(it->c_str()) != 0) rmdir(it->c_str());
}

// Writes a part, adding the folders it made and then the file to `written`.
void writePart(const std::string& native, ByteView part, std::vector<std::string>& written) {
    std::vector<std::string> made;
    const std::filesystem::path parent = std::filesystem::path(native).parent_path();
    for (std::filesystem::path folder = parent; folder.string().size() > fuzz::workDir().size();
         folder = folder.parent_path())
        if (!std::filesystem::exists(folder)) made.push_back(folder.string());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        if (mkdir(it->c_str(), 0755) == 0) written.push_back(*it);
    if (fuzz::writeFile(native, part.data, part.size)) written.push_back(native);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpOneAreaLibrary(std::string(112, '\0'));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<ByteView> parts = fuzz::splitParts(data, size);
    if (!fuzz::writeFile(fuzz::layerIndexPath(), parts[0].data, parts[0].size)) return 0;
    const std::vector<fuzz::IndexEntry> entries = fuzz::layerIndexEntries(parts[0]);
    std::vector<std::string> written;  // files of this run, after the folders made for them
    for (size_t k = 1; k < parts.size() && k <= entries.size(); ++k) {
        const std::string native = fuzz::nativeForm(entries[k - 1].path);
        if (!entries[k - 1].path.empty() && insideSimFolder(native)) writePart(native, parts[k], written);
    }
    // Up to level 4: the level-5 lines are the records' dumps, which cost a third of a run here and
    // which bgl_file formats for every record it decodes.
    fuzz::buildAndRelease(4);
    removeWritten(written);
    return 0;
}
