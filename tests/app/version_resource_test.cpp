// What Windows reads from kestrel.exe itself: the version information (Explorer's file properties) and
// the application manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrel_version.h"
#include "support/test_paths.h"

namespace {

TEST(VersionResource, ExplorerShowsProductVersionAndCopyright) {
    const std::string exe = builtProgram("kestrel");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << exe;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(KESTREL_VERSION_MINOR, KESTREL_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const struct {
        const char* name;
        std::string expected;  // empty: any non-empty text
    } strings[] = {{"ProductName", "kestrel"},          {"FileVersion", KESTREL_VERSION},
                   {"ProductVersion", KESTREL_VERSION}, {"LegalCopyright", KESTREL_COPYRIGHT},
                   {"OriginalFilename", "kestrel.exe"}, {"FileDescription", ""}};
    for (const auto& s : strings) {
        SCOPED_TRACE(s.name);
        char* value = nullptr;
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + s.name;
        ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
        ASSERT_NE(value, nullptr);
        if (s.expected.empty())
            EXPECT_GT(std::string(value).size(), 10u);
        else
            EXPECT_EQ(std::string(value), s.expected);
    }
}

TEST(VersionResource, ManifestRunsAsInvokerOnWindows7To11) {
    const std::string exe = builtProgram("kestrel");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr) << "no application manifest";
    HGLOBAL loaded = LoadResource(module, found);
    ASSERT_NE(loaded, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);

    for (const char* needle : {"level=\"asInvoker\"",
                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // Windows 7
                               "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // Windows 8
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // Windows 8.1
                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})  // Windows 10 and 11
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

}  // namespace
