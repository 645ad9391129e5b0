// kestrel.dat.stamps through the start's check of a loaded kestrel.dat against a one-area library of
// two airport files, one there and one not (fuzz_support.h).
//
// The input is the stamps file. Its bytes 12 to 27, the size and write time of the kestrel.dat it
// belongs to, are replaced by those of the kestrel.dat in place, and the record count the check is
// given is the one its header word names, so the check can go on to the files' own stamps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "airportdb/database_file.h"
#include "airportdb/database_stamps.h"
#include "core/bytes.h"
#include "fuzz_support.h"
#include "scenery/file_stamp.h"
#include "scenery_writer.h"

namespace {

std::string stampsPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sceneryw::SceneryDat dat;
    for (const char* name : {"Scenery\\Fuzz\\here", "Scenery\\Fuzz\\gone"}) {
        sceneryw::SceneryDatEntry entry;
        entry.name = name;
        dat.entries.push_back(entry);
    }
    const sceneryw::Bytes index = sceneryw::buildSceneryDat(dat);
    fuzz::setUpOneAreaLibrary(std::string(index.begin(), index.end()));
    const std::string here = fuzz::nativeForm(fuzz::simFolder()) + "Scenery/Fuzz/here.bgl";
    const std::string database = core.databasePath;
    if (!fuzz::writeFile(here, "BGL", 3, true) || !fuzz::writeFile(database, "kestrel.dat", 11)) std::abort();
    stampsPath = database + kStampsSuffix;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    const FileStamp database = fileStampOf(core.databasePath);
    if (bytes.size() >= 28) {
        putU64(bytes.data() + 12, database.size);
        putU64(bytes.data() + 20, database.writeTime);
    }
    uint32_t headerWord = 0;
    readU32(ByteView{bytes.data(), bytes.size()}, 8, headerWord);
    if (!fuzz::writeFile(stampsPath, bytes.data(), bytes.size())) return 0;
    fuzz::quietLog();
    char why[kCompanionPathSize + 64];
    checkDatabaseStamps(headerWord & kDatabaseMaxRecords, why, sizeof why);
    return 0;
}
