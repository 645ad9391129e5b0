#include <gtest/gtest.h>
#include <windows.h>

#include "support/held_file.h"

HeldFile::HeldFile(const std::filesystem::path& path) {
    // No sharing: every other open fails with a sharing violation, while the attributes still answer.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    handle_ = reinterpret_cast<intptr_t>(file);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
}

HeldFile::~HeldFile() {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
