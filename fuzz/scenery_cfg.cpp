// scenery.cfg through the scenery library reader: the probe of areas 1 to 999, the layer order, the
// layer paths (absolute or below the simulator folder, the folder quirk) and each layer index's digest.
// The simulator folder holds layer indexes in the folders of the one-area library, of the sample region
// and of a quirk ("Quirk\scenery" names a folder that does not exist; its parent holds scenery.dat).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "scenery/scenery_library.h"

namespace {

std::string cfgPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string dat(112, '\0');
    fuzz::setUpOneAreaLibrary(dat);
    releaseSceneryLibrary();
    const std::string sim = fuzz::nativeForm(fuzz::simFolder());
    for (const char* folder : {"Scenery/World", "Scenery/NAMW", "Addon Scenery/Bay Towers", "Quirk"})
        fuzz::writeFile(sim + folder + "/scenery.dat", dat.data(), dat.size(), true);
    cfgPath = sim + "scenery.cfg";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::writeFile(cfgPath, data, size)) return 0;
    fuzz::quietLog();
    readSceneryLibrary();
    releaseSceneryLibrary();
    return 0;
}
