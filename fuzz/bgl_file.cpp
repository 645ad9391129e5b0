// A BGL file's bytes, walked and decoded inside a one-area library: the layer index names the one
// file "Scenery\Fuzz\scenery\fuzz.bgl" as holding airports, the input is that file, and each run is a
// whole build (import, runway finalisation, tower synthesis, kestrel.dat written).
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "scenery_writer.h"

namespace {

std::string bglPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sceneryw::SceneryDat dat;
    dat.entries.emplace_back();
    dat.entries.back().name = "Scenery\\Fuzz\\scenery\\fuzz";
    const sceneryw::Bytes bytes = sceneryw::buildSceneryDat(dat);
    fuzz::setUpOneAreaLibrary(std::string(bytes.begin(), bytes.end()));
    bglPath = fuzz::workDir() + "/sim/Scenery/Fuzz/scenery/fuzz.bgl";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::writeFile(bglPath, data, size, true)) return 0;
    fuzz::buildAndRelease();
    return 0;
}
