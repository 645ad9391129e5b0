#include <gtest/gtest.h>
#include <windows.h>

#include "support/held_file.h"

HeldFile::HeldFile(const std::filesystem::path& path) {
    // No sharing at all: every other open of the file fails with a sharing violation until it is closed,
    // while its attributes can still be asked.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    handle_ = reinterpret_cast<intptr_t>(file);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
}

HeldFile::~HeldFile() {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
