// Another program holding a file so that kestrel cannot read it, while leaving the file as it is (same
// size, same last-write time): an installer, an editor or a virus scanner at work. On Windows the file
// is opened without sharing; on POSIX it carries another open file's write lock, which the stand-in
// refuses to read as Windows refuses a file held that way.
#pragma once

#include <cstdint>
#include <filesystem>

class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path);  // fails the test when the file cannot be held
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    intptr_t handle_;
};
