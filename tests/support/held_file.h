// Another program holding a file so that kestrel cannot read it, the file left as it is (size and
// write time): on Windows it is open without sharing, on POSIX write-locked by another open file.
#pragma once

#include <cstdint>
#include <filesystem>

class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path);  // a file that cannot be held fails the test
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    intptr_t handle_;
};
