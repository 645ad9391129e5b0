#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "scenery/scenery_library.h"
#include "scenery_writer.h"
#include "simlink/base_dir.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using sceneryw::AreaDef;
using sceneryw::LibraryDef;

AreaDef area(int number, int layer, const std::string& local, const std::string& active = "TRUE") {
    AreaDef def;
    def.number = number;
    def.layer = layer;
    def.local = local;
    def.active = active;
    return def;
}

class SceneryLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = sceneryw::programPath(dir.path()) + "\\";
        ASSERT_LT(base.size(), sizeof basedir);
        std::strcpy(basedir, base.c_str());
    }
    void TearDown() override {
        releaseSceneryLibrary();
        setLogLevel(0);
        basedir[0] = '\0';
    }

    void write(const LibraryDef& library) {
        std::string error;
        ASSERT_TRUE(sceneryw::writeSceneryLibrary(dir.path(), library, error)) << error;
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> list;
        for (int32_t i = 0; i < layerList.layerCount; ++i)
            list.push_back(layerList.layerPaths[i]);
        return list;
    }

    std::string datPath(const std::string& local) const { return base + local + "\\scenery.dat"; }

    TempDir dir;
    std::string base;
};

TEST_F(SceneryLibraryTest, HighestLayerFirstAndLowestAreaFirstAmongEqualLayers) {
    LibraryDef library;
    library.areas = {area(5, 3, "Scenery\\Five"), area(2, 7, "Scenery\\Two"), area(9, 3, "Scenery\\Nine"),
                     area(1, 0, "Scenery\\One")};
    write(library);

    LogCapture log(5);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), (std::vector<std::string>{datPath("Scenery\\Two"), datPath("Scenery\\Five"),
                                                 datPath("Scenery\\Nine"), datPath("Scenery\\One")}));
    EXPECT_TRUE(log.contains("scenery.cfg: " + base + "scenery.cfg\n"));
    EXPECT_TRUE(log.contains("area Area.005 -> layer 3, active: 1\r\n"));
    EXPECT_TRUE(log.contains("area Area.003 -> layer 0, active: 0\r\n"));  // no such section
    EXPECT_TRUE(log.contains("area Area.999 -> layer 0, active: 0\r\n"));
    EXPECT_FALSE(log.contains("Area.000"));
    EXPECT_FALSE(log.contains("Area.1000"));
}

TEST_F(SceneryLibraryTest, OnlyTrueInAnyCaseIsActive) {
    LibraryDef library;
    library.areas = {area(1, 1, "A1", "TRUE"),  area(2, 1, "A2", "True"),   area(3, 1, "A3", "true"),
                     area(4, 1, "A4", "yes"),   area(5, 1, "A5", "1"),      area(6, 1, "A6", ""),
                     area(7, 1, "A7", "FALSE"), area(8, 1, "A8", "true ok")};
    AreaDef noKey = area(10, 1, "A10");
    noKey.writeActive = false;
    library.areas.push_back(noKey);
    // An active area whose layer is -1 counts as inactive; a lower negative layer is never selected.
    library.areas.push_back(area(11, -1, "A11"));
    library.areas.push_back(area(12, -5, "A12"));
    write(library);

    LogCapture log(5);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), (std::vector<std::string>{datPath("A1"), datPath("A2"), datPath("A3")}));
    EXPECT_TRUE(log.contains("area Area.011 -> layer -1, active: 0\r\n"));
    EXPECT_TRUE(log.contains("area Area.012 -> layer -5, active: 1\r\n"));
}

TEST_F(SceneryLibraryTest, SectionsZeroAndFromOneThousandAreNeverRead) {
    LibraryDef library;
    library.areas = {area(4, 1, "Four")};
    library.extraCfgText =
        "\r\n[Area.000]\r\nLocal=Zero\r\nLayer=9\r\nActive=TRUE\r\n"
        "[Area.1000]\r\nLocal=Thousand\r\nLayer=9\r\nActive=TRUE\r\n";
    write(library);
    writeFile(dir.path() / "Zero" / "scenery.dat", std::string(108, '\0'));
    writeFile(dir.path() / "Thousand" / "scenery.dat", std::string(108, '\0'));

    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), std::vector<std::string>{datPath("Four")});
}

TEST_F(SceneryLibraryTest, LocalFolderForms) {
    const std::string absolute = sceneryw::programPath(dir.path() / "Absolute" / "Area");
    LibraryDef library;
    library.areas = {area(1, 4, absolute), area(2, 3, "Addon Scenery\\Foo"),
                     area(3, 2, "Scenery\\Trailing\\"), area(4, 1, "")};
    library.areas[3].writeDat = false;
    write(library);

    LogCapture log(4);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), (std::vector<std::string>{absolute + "\\scenery.dat", datPath("Addon Scenery\\Foo"),
                                                 base + "Scenery\\Trailing\\scenery.dat"}));
    EXPECT_EQ(log.text(), "");  // the area with an empty Local is skipped without a line
}

TEST_F(SceneryLibraryTest, MakeAbsolutePathRules) {
    std::strcpy(basedir, "C:\\FS9\\");
    auto made = [](const std::string& path) {
        char buffer[kPathBufferSize];
        std::strcpy(buffer, path.c_str());
        EXPECT_EQ(makeAbsolutePath(buffer), 1);
        return std::string(buffer);
    };
    EXPECT_EQ(made("C:\\Other\\Area"), "C:\\Other\\Area");
    EXPECT_EQ(made("D:"), "D:");
    EXPECT_EQ(made("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(made("\\\\ab\\cd"), "\\\\ab\\cd");  // exactly 7 characters
    EXPECT_EQ(made("\\\\a\\b"), "C:\\FS9\\\\\\a\\b");
    EXPECT_EQ(made("Addon Scenery\\Foo"), "C:\\FS9\\Addon Scenery\\Foo");
    EXPECT_EQ(made("\\Foo"), "C:\\FS9\\\\Foo");
#ifdef _WIN32
    EXPECT_EQ(made("/abs/area"), "C:\\FS9\\/abs/area");
#else
    EXPECT_EQ(made("/abs/area"), "/abs/area");
#endif

    // A result that would not fit the buffer is refused and the path left as it was.
    std::strcpy(basedir, (std::string(200, 'b') + "\\").c_str());
    char buffer[kPathBufferSize];
    const std::string relative(59, 'r');
    std::strcpy(buffer, relative.c_str());
    EXPECT_EQ(makeAbsolutePath(buffer), 0);
    EXPECT_EQ(std::string(buffer), relative);
    std::strcpy(buffer, relative.substr(0, 58).c_str());
    EXPECT_EQ(makeAbsolutePath(buffer), 1);
    EXPECT_EQ(std::strlen(buffer), 259u);
}

TEST_F(SceneryLibraryTest, TooLongLayerPathIsRefusedWithALevelTwoLine) {
    LibraryDef library;
    AreaDef longArea = area(1, 2, std::string(250 - base.size(), 'x'));  // fits, but not with the file name
    longArea.writeDat = false;
    library.areas = {longArea, area(2, 1, "Fine")};
    write(library);

    LogCapture log(2);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), std::vector<std::string>{datPath("Fine")});
    EXPECT_TRUE(log.contains("Area.001: the folder")) << log.text();
    EXPECT_TRUE(log.contains("Ignoring that layer!")) << log.text();
}

TEST_F(SceneryLibraryTest, QuirkFindsTheIndexOneFolderUp) {
    LibraryDef library;
    AreaDef quirk = area(1, 1, "Scenery\\Quirk\\scenery");
    quirk.datFolder = "Scenery\\Quirk";
    library.areas = {quirk};
    write(library);

    LogCapture log(4);
    ASSERT_EQ(readSceneryLibrary(), 1);
    const std::string corrected = base + "Scenery\\Quirk\\scenery.dat";
    EXPECT_EQ(paths(), std::vector<std::string>{corrected});
    EXPECT_EQ(log.text(), "scenery.dat not found at " + base + "Scenery\\Quirk\\scenery\\scenery.dat\r\n" +
                              "applying quirk to look for it at " + corrected + "\r\n");
    Digest expected{};
    ASSERT_EQ(md5File(expected, corrected.c_str()), 1);
    EXPECT_EQ(digestsEqual(*layerList.layerDigests[0], expected), 1);
}

TEST_F(SceneryLibraryTest, UnopenableLayerIsLeftOut) {
    LibraryDef library;
    library.areas = {area(3, 2, "Scenery\\Nothing"), area(4, 1, "Scenery\\There")};
    library.areas[0].writeDat = false;
    write(library);

    LogCapture log(4);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), std::vector<std::string>{datPath("Scenery\\There")});
    const std::string missing = datPath("Scenery\\Nothing");
    EXPECT_EQ(log.text(),
              "scenery.dat not found at " + missing + "\r\napplying quirk to look for it at " + base +
                  "Scenery\\scenery.dat\r\nFile still wasn't found, giving up for this file.\r\n" +
                  "Area.003: " + missing + " could not be opened for reading. Ignoring that layer!\r\n");
}

#ifndef _WIN32
// A FIFO would block an ordinary open() for good; it reads as a missing file, with the same lines.
TEST_F(SceneryLibraryTest, LayerIndexThatIsAFifoCountsAsMissing) {
    LibraryDef library;
    library.areas = {area(3, 2, "Scenery\\Nothing"), area(4, 1, "Scenery\\There")};
    library.areas[0].writeDat = false;
    write(library);
    std::filesystem::create_directories(dir.path() / "Scenery" / "Nothing");
    ASSERT_EQ(mkfifo((dir.path() / "Scenery" / "Nothing" / "scenery.dat").c_str(), 0600), 0);

    LogCapture log(2);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), std::vector<std::string>{datPath("Scenery\\There")});
    EXPECT_EQ(log.text(),
              "Area.003: " + datPath("Scenery\\Nothing") + " could not be opened for reading. Ignoring that layer!\r\n");
}
#endif

TEST_F(SceneryLibraryTest, ShortPathGetsNoCorrection) {
    char path[kPathBufferSize] = "nowhere\\x.dat";
    LogCapture log(5);
    EXPECT_EQ(locateSceneryDat(path), 0);
    EXPECT_EQ(log.text(), "scenery.dat not found at nowhere\\x.dat\r\n");
    EXPECT_STREQ(path, "nowhere\\x.dat");
}

TEST_F(SceneryLibraryTest, DigestsOfConfigurationAndEveryLayer) {
    LibraryDef library;
    library.areas = {area(1, 1, "Low"), area(2, 2, "High")};
    sceneryw::BglFileDef file;
    file.name = "APX1";
    file.airports.push_back({});
    file.airports.back().ident = "AB1";
    library.areas[0].files.push_back(file);
    write(library);

    ASSERT_EQ(readSceneryLibrary(), 1);
    ASSERT_EQ(layerList.layerCount, 2);
    Digest cfg{}, high{}, low{};
    ASSERT_EQ(md5File(cfg, (base + "scenery.cfg").c_str()), 1);
    ASSERT_EQ(md5File(high, datPath("High").c_str()), 1);
    ASSERT_EQ(md5File(low, datPath("Low").c_str()), 1);
    EXPECT_EQ(digestsEqual(layerList.sceneryCfgDigest, cfg), 1);
    EXPECT_EQ(digestsEqual(*layerList.layerDigests[0], high), 1);
    EXPECT_EQ(digestsEqual(*layerList.layerDigests[1], low), 1);
    EXPECT_EQ(digestsEqual(high, low), 0);

    releaseSceneryLibrary();
    EXPECT_EQ(layerList.layerCount, 0);
    EXPECT_EQ(layerList.layerPaths, nullptr);
    EXPECT_EQ(layerList.layerDigests, nullptr);
    EXPECT_EQ(layerList.sceneryCfgPath, nullptr);
}

TEST_F(SceneryLibraryTest, MissingConfigurationGivesAnEmptyList) {
    LogCapture log(3);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(layerList.layerCount, 0);
    EXPECT_EQ(digestsEqual(layerList.sceneryCfgDigest, Digest{}), 1);
    EXPECT_STREQ(layerList.sceneryCfgPath, (base + "scenery.cfg").c_str());
}

TEST_F(SceneryLibraryTest, LayerIndexWithoutADigestIsLeftOut) {
    LibraryDef library;
    library.areas = {area(1, 3, "Good"), area(2, 2, "Empty"), area(3, 1, "Low")};
    library.areas[1].writeDat = false;
    write(library);
    writeFile(dir.path() / "Empty" / "scenery.dat", "");  // an empty file has no digest

    LogCapture log(2);
    ASSERT_EQ(readSceneryLibrary(), 1);
    EXPECT_EQ(paths(), (std::vector<std::string>{datPath("Good"), datPath("Low")}));
    Digest low{};
    ASSERT_EQ(md5File(low, datPath("Low").c_str()), 1);
    EXPECT_EQ(digestsEqual(*layerList.layerDigests[1], low), 1);
    EXPECT_TRUE(log.contains("Unable to create file mapping \"" + datPath("Empty") + "\"")) << log.text();
    EXPECT_TRUE(log.contains("Area.002: " + datPath("Empty") +
                             " could not be opened for reading. Ignoring that layer!\r\n"))
        << log.text();
}

TEST_F(SceneryLibraryTest, SceneryCfgPathIsHeldTo259Characters) {
    // 248 characters and "scenery.cfg" fit; one more does not, and nothing is read.
    for (const size_t length : {size_t{248}, size_t{249}}) {
        const std::string folder = "C:\\" + std::string(length - 4, 'f') + "\\";
        std::strcpy(basedir, folder.c_str());
        LogCapture log(2);
        EXPECT_EQ(readSceneryLibrary(), length == 248 ? 1 : 0) << length;
        EXPECT_EQ(log.text(), length == 248 ? std::string()
                                            : "scenery.cfg: the folder " + folder +
                                                  " is too long for a path of 259 characters. Cannot read "
                                                  "the scenery library!\r\n");
        releaseSceneryLibrary();
    }
}

}  // namespace
