// The simulator's folder: what the server reports, completed, checked for access, and the local folder
// of a simulator on this machine preferred over a network path.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "fake_transport.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

std::string executable;  // what the fake process query reports; empty: no local simulator

int fakeExecutable(char* out, uint32_t size) {
    if (executable.empty()) return 0;
    std::snprintf(out, size, "%s", executable.c_str());
    return 1;
}

// A path in the program's own (Windows) form for a folder of the test machine, with no trailing
// separator: the POSIX layer turns backslashes back into slashes.
std::string programPath(const std::filesystem::path& path) {
    std::string text = path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

// A network (UNC) form of an existing folder: on Windows the \\?\ prefix, on POSIX a leading double
// separator, which names the root as well.
std::string uncPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return "\\\\?\\" + programPath(path);
#else
    return "\\" + programPath(path);
#endif
}

class BaseDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<FakeServer>();
        LogCapture quiet(0);
        config.reset(configDefaults());
        core.config = config.get();
        std::memset(basedir, 0, sizeof basedir);
        executable.clear();
        useSimExecutableQuery(fakeExecutable);
        setLogLevel(-1);
    }
    void TearDown() override {
        useSimExecutableQuery(nullptr);
        removeFakeServer();
        core = CoreState{};
        std::memset(basedir, 0, sizeof basedir);
    }
    // Serves `folder` at 0x3E00 and opens the link.
    void serve(const std::string& folder) {
        server->options.seed.fsDir = folder;
        installFakeServer(server.get());
        ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
    }
    // The start's two steps: the folder asked over the link, then taken.
    static int determine() {
        char reported[fsuipc::kSimFolderSize];
        return askSimFolder(reported) && determineBaseDir(reported);
    }
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<Config> config;
    TempDir dir;
};

TEST_F(BaseDirTest, ReportedFolderGetsItsBackslashAndIsChecked) {
    const std::string folder = programPath(dir.path());
    serve(folder);
    LogCapture log(5);
    EXPECT_EQ(determine(), 1);
    EXPECT_EQ(std::string(basedir), folder + "\\");
    EXPECT_EQ(log.text(), "FSUIPC returns basedir: " + folder +
                              "\r\nBasedir is not a UNC path\r\nUsing FS base directory: " + folder +
                              "\\\r\n");

    serve(folder + "\\");
    config->forceFsPathToUNC = 1;
    log.clear();
    EXPECT_EQ(determine(), 1);
    EXPECT_EQ(std::string(basedir), folder + "\\");
    EXPECT_EQ(log.text().find("Basedir is not a UNC path"), std::string::npos);
}

TEST_F(BaseDirTest, ReportsThatCannotBeUsedAreRefused) {
    const std::string tooLong(259, 'a');
    const std::string noNul(260, 'a');
    for (const std::string& folder : {std::string(), tooLong, noNul}) {
        SCOPED_TRACE(folder.size());
        server = std::make_unique<FakeServer>();
        serve(folder);
        LogCapture log(5);
        EXPECT_EQ(determine(), 0);
        EXPECT_EQ(log.text(), "Problem determining FS9 installation directory!\r\n");
        EXPECT_EQ(basedir[0], '\0');
    }

    // 259 characters that end with the backslash fit; this one then does not open.
    server = std::make_unique<FakeServer>();
    serve(std::string(258, 'a') + "\\");
    LogCapture log(0);
    EXPECT_EQ(determine(), 0);
    EXPECT_EQ(log.text().find("kestrel was looking for the FS9 installation in aaa"), 0u);
}

TEST_F(BaseDirTest, AFailedQuestionSaysNothingAndLeavesTheLinkOpen) {
    serve("C:\\FS9");
    server->failingSends = -1;
    LogCapture log(0);
    char reported[fsuipc::kSimFolderSize];
    EXPECT_EQ(askSimFolder(reported), 0);
    EXPECT_EQ(ipcResult, kIpcTimedOut);
    EXPECT_EQ(log.text(), "");  // the caller decides: a start waits
    EXPECT_NE(ipcLink.view, nullptr);
}

TEST_F(BaseDirTest, MissingFolderNamesItself) {
    const std::string missing = programPath(dir.path() / "missing");
    serve(missing);
    LogCapture log(0);
    EXPECT_EQ(determine(), 0);
    EXPECT_EQ(log.text(), "kestrel was looking for the FS9 installation in " + missing +
                              "\\\r\nThis directory cannot be accessed, so kestrel will not function.\r\n");
}

TEST_F(BaseDirTest, NetworkFolderWithoutALocalSimulatorIsCheckedItself) {
    const std::string unc = uncPath(dir.path()) + "\\";
    std::strcpy(basedir, unc.c_str());
    LogCapture log(5);
    EXPECT_EQ(verifyBaseDir(), 1);
    EXPECT_EQ(std::string(basedir), unc);
    EXPECT_EQ(log.text(), "");

    std::strcpy(basedir, "\\\\nohost\\share\\");
    EXPECT_EQ(verifyBaseDir(), 0);
    EXPECT_EQ(log.text(),
              "kestrel was looking for the FS9 installation in \\\\nohost\\share\\\r\n"
              "This directory cannot be accessed, so kestrel will not function.\r\n");
}

// A local simulator's folder: a drive path, which the POSIX side finds relative to the working folder.
class LocalSimulatorTest : public BaseDirTest {
protected:
    void SetUp() override {
        BaseDirTest::SetUp();
#ifdef _WIN32
        folder = dir.path() / "fs9";
        local = programPath(folder) + "\\";
#else
        folder = dir.path() / "C:" / "fs9";
        local = "C:\\fs9\\";
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
#endif
        writeFile(folder / "scenery.cfg", "[General]\r\n");  // creates the folder
        executable = local + "fs9.exe";
    }
    void TearDown() override {
#ifndef _WIN32
        std::filesystem::current_path(previous);
#endif
        BaseDirTest::TearDown();
    }
    std::string local;
    std::filesystem::path folder, previous;
};

TEST_F(LocalSimulatorTest, LocalFolderReplacesTheNetworkPath) {
    std::strcpy(basedir, "\\\\fshost\\fs9\\");
    EXPECT_EQ(verifyBaseDir(), 1);
    EXPECT_EQ(std::string(basedir), local);

    config->forceFsPathToUNC = 1;  // kept as reported, and then it must open itself
    std::strcpy(basedir, "\\\\fshost\\fs9\\");
    LogCapture log(0);
    EXPECT_EQ(verifyBaseDir(), 0);
    EXPECT_EQ(std::string(basedir), "\\\\fshost\\fs9\\");
}

// On a networked machine the window belongs to WideClient, whose folder holds no scenery library.
TEST_F(LocalSimulatorTest, LocalFolderCountsOnlyWhenItHoldsSceneryCfg) {
    std::filesystem::create_directories(folder / "wideclient");
    const std::string unc = uncPath(dir.path()) + "\\";
    const struct {
        std::string executable, chosen;
    } cases[] = {{local + "fs9.exe", local},
                 {local + "gone\\fs9.exe", unc},
                 {local + "wideclient\\WideClient.exe", unc}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.executable);
        executable = c.executable;
        std::strcpy(basedir, unc.c_str());
        EXPECT_EQ(verifyBaseDir(), 1);
        EXPECT_EQ(std::string(basedir), c.chosen);
    }
}

TEST_F(LocalSimulatorTest, OnlyADrivePathExecutableCounts) {
    char out[kPathBufferSize];
    EXPECT_EQ(localSimDir(out), 1);
    EXPECT_EQ(std::string(out), local);
    for (const char* name : {"\\\\fshost\\fs9\\fs9.exe", "fs9.exe", "C:"}) {
        SCOPED_TRACE(name);
        executable = name;
        EXPECT_EQ(localSimDir(out), 0);
    }
    executable.clear();
    EXPECT_EQ(localSimDir(out), 0);
}

// Below a Program Files folder: one line names both folders and why the copies are read or not. The
// simulator asked is the link's, or without a link the FS98MAIN program running from the folder.
TEST_F(BaseDirTest, TheSimulatorsVirtualisationDecidesWhetherTheCopiesAreRead) {
    static SimVirtualisation state;
    static VirtualStoreSystem system;
    static FolderName storeProblem;
    useVirtualStoreQueries(
        [](VirtualStoreFolders& folders) {
            folders = VirtualStoreFolders{{"C:\\Program Files\\", "C:\\Program Files (x86)\\"}, "C:\\VS\\"};
            if (system == VirtualStoreSystem::noStore) {
                folders.store[0] = '\0';
                folders.storeProblem = storeProblem;
                std::strcpy(folders.storeShown,
                            storeProblem == FolderName::unknown ? "" : "C:\\Users\\?????\\");
            }
            return system;
        },
        [] { return state; },
        [](const char* path, char* out, size_t size) {  // the one short name this system has
            if (std::strncmp(path, "C:\\PROGRA~2\\", 12) != 0) return 0;
            std::snprintf(out, size, "C:\\Program Files (x86)\\%s", path + 12);
            return 1;
        });
    const std::string copies =
        "Reading the VirtualStore copies of files below C:\\Program Files (x86)\\ from "
        "C:\\VS\\Program Files (x86)\\ (";
    const std::string originals =
        "Reading the files below C:\\Program Files (x86)\\ themselves, not their "
        "VirtualStore copies in C:\\VS\\Program Files (x86)\\ (";
    const std::string noStore =
        "Reading the files below C:\\Program Files (x86)\\ themselves, not the VirtualStore "
        "copies FS9 may read (FS9 runs virtualised): ";
    const char* fs9 = "C:\\Program Files (x86)\\FS9\\";
    const std::string fromTheCommandLine = "the simulator folder comes from the command line)\r\n";
    using V = SimVirtualisation;
    using S = VirtualStoreSystem;
    const struct {
        const char* folder;
        int live;
        V state;
        std::string line;  // empty: none
        std::string executable = "";  // of the local FS98MAIN program
        S system = S::found;
        FolderName problem = FolderName::own;
    } cases[] = {
        {"C:\\program files (X86)\\FS9\\", 1, V::virtualised, copies + "FS9 runs virtualised)\r\n"},
        {fs9, 1, V::unknown, copies + "FS9 could not be asked whether it runs virtualised)\r\n"},
        {fs9, 1, V::elevated, originals + "FS9 runs elevated)\r\n"},
        {fs9, 1, V::notVirtualised, originals + "FS9 runs without virtualisation)\r\n"},
        {fs9, 0, V::elevated, copies + fromTheCommandLine},
        {"D:\\FS9\\", 1, V::virtualised, ""},
        // Without a link: FS9 running from the folder (by either name) is asked; WideClient is not.
        {fs9, 0, V::elevated, originals + "FS9 runs elevated)\r\n", "C:\\PROGRA~2\\fs9\\fs9.exe"},
        {fs9, 0, V::elevated, copies + fromTheCommandLine,
         "C:\\Program Files (x86)\\WideClient\\WideClient.exe"},
        {"C:\\PROGRA~2\\FS9\\", 1, V::virtualised, copies + "FS9 runs virtualised)\r\n"},
        // The copies' folder cannot be had: FS9 reads copies that kestrel cannot.
        {fs9, 1, V::virtualised,
         noStore + "the local application data folder C:\\Users\\?????\\ has a name that this system's code "
                   "page cannot spell and no short (8.3) name\r\n",
         "", S::noStore, FolderName::unspellable},
        {fs9, 1, V::virtualised, noStore + "Windows does not give the local application data folder\r\n", "",
         S::noStore, FolderName::unknown},
        {fs9, 1, V::elevated,
         "Reading the files below C:\\Program Files (x86)\\ themselves, not their VirtualStore copies in "
         "C:\\Users\\?????\\VirtualStore\\Program Files (x86)\\ (FS9 runs elevated)\r\n",
         "", S::noStore, FolderName::unspellable},
        {"D:\\FS9\\", 1, V::virtualised,
         "Windows keeps VirtualStore copies of files that programs such as FS9 write below the Program Files "
         "folders, but names no Program Files folder: kestrel reads every file itself\r\n",
         "", S::noProgramFolders},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + (" " + c.executable));
        std::strcpy(basedir, c.folder);
        state = c.state;
        system = c.system;
        storeProblem = c.problem;
        executable = c.executable;
        LogCapture log(3);
        chooseVirtualStoreRule(c.live);
        EXPECT_EQ(log.text(), c.line);
        // Matched, and read, by the long name.
        EXPECT_EQ(std::string(basedir).find("PROGRA~2"), std::string::npos);
    }
    useVirtualStoreQueries(nullptr, nullptr);
    platformReadVirtualStoreCopies(nullptr);
}

}  // namespace
