// Wide paths as the program's ANSI calls take them, on the real system: whatever name comes back must
// reach the very folder through an ANSI call, and a name no ANSI text can reach says so.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/win32/ansi_path.h"
#include "support/temp_dir.h"

namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

const char* nameOf(FolderName name) {
    switch (name) {
        case FolderName::own:
            return "own";
        case FolderName::shortName:
            return "shortName";
        case FolderName::unspellable:
            return "unspellable";
        case FolderName::tooLong:
            return "tooLong";
        case FolderName::unknown:
            break;
    }
    return "unknown";
}

TEST(AnsiPath, TheNameGivenReachesTheFolderThroughTheAnsiCalls) {
    TempDir dir;
    const std::wstring names[] = {L"plain folder", L"caf\u00e9",                 // in code page 1252
                                  L"\u041f\u0438\u043b\u043e\u0442",             // Cyrillic
                                  L"\u6a5f\u5834 with a long name of its own"};  // CJK, not 8.3
    for (const std::wstring& name : names) {
        const std::filesystem::path folder = dir.path() / name;
        std::filesystem::create_directories(folder);
        const std::wstring wide = folder.wstring() + L"\\";
        char ansi[MAX_PATH];
        const FolderName result = ansiPathOf(wide.c_str(), ansi, sizeof ansi);
        std::printf("code page %u, folder %s: %s%s%s\n", GetACP(), utf8(folder.filename()).c_str(),
                    nameOf(result), isNamed(result) ? ", " : "", isNamed(result) ? ansi : "");
        if (name == names[0]) {
            EXPECT_EQ(result, FolderName::own);
        }
        if (isNamed(result)) {
            const std::string probe = std::string(ansi) + "probe";
            const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE) << ansi;
            CloseHandle(file);
            EXPECT_TRUE(std::filesystem::exists(folder / "probe")) << ansi;
        } else {
            EXPECT_EQ(result, FolderName::unspellable);
        }
        // No room for its name: it is not cut.
        char small[8] = "kept";
        EXPECT_EQ(ansiPathOf(wide.c_str(), small, sizeof small),
                  isNamed(result) ? FolderName::tooLong : FolderName::unspellable);
        EXPECT_STREQ(small, "kept");
    }
}

}  // namespace
