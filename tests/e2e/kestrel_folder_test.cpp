// kestrel started from another folder keeps its files beside its program, and where the program's folder
// cannot be named in the program's paths, in the working folder, with a line that says so.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The path as UTF-8 text, which the test's child processes take on every platform.
std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Whether the system has a short (8.3) name for `folder` that the ANSI code page spells.
bool spelledShortName(const std::filesystem::path& folder) {
#ifdef _WIN32
    wchar_t shortName[MAX_PATH];
    const DWORD length = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
    BOOL lossy = FALSE;
    return length > 0 && length < MAX_PATH && shortName != folder.wstring() &&
           WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortName, -1, nullptr, 0, nullptr, &lossy) >
               0 &&
           !lossy;
#else
    (void)folder;
    return false;
#endif
}

// A build that fails at once (its FS9 folder is not there) still writes its log: where it lies tells.
TEST(KestrelFolder, FilesLieBesideTheProgramUnlessItsFolderCannotBeNamed) {
    TempDir root;
#ifndef _WIN32
    setenv("KESTREL_RUN_DIR", root.path().string().c_str(), 1);
    const std::filesystem::path unnamed = root.path() / "back\\slash";  // a separator in a Windows path
#else
    const std::filesystem::path unnamed = root.path() / L"\u041f\u0438\u043b\u043e\u0442";  // Cyrillic
#endif
    std::filesystem::create_directories(unnamed);
    const struct {
        std::filesystem::path folder;
        bool beside;
    } cases[] = {{root.path() / "kestrel", true}, {unnamed, spelledShortName(unnamed)}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.folder));
        const std::filesystem::path work = root.path() / ("work" + std::to_string(++n));
        std::filesystem::create_directories(work);
        const std::string program = copiedProgram("kestrel", c.folder);
        ChildProcess kestrel;
        ASSERT_TRUE(
            kestrel.start(program, {"--fs-dir", (root.path() / "missing").string(), "--build"}, utf8(work)));
        int code = -1;
        ASSERT_TRUE(kestrel.waitForExit(60000, code));
        EXPECT_EQ(code, 1);
        EXPECT_EQ(std::filesystem::exists(c.folder / "kestrel.log"), c.beside) << kestrel.output();
        EXPECT_EQ(std::filesystem::exists(work / "kestrel.log"), !c.beside) << kestrel.output();
        EXPECT_EQ(kestrel.output().starts_with("The folder of the kestrel program, "), !c.beside)
            << kestrel.output();
        if (!c.beside) {
            EXPECT_NE(kestrel.output().find("working folder " + work.string()), std::string::npos);
        }
        std::printf("%s: files %s the program\n", utf8(c.folder).c_str(),
                    c.beside ? "beside" : "in the working folder, not beside");
    }
}

}  // namespace
