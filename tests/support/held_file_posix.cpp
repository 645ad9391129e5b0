#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/held_file.h"

HeldFile::HeldFile(const std::filesystem::path& path) {
    handle_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    EXPECT_TRUE(handle_ >= 0 && ::fcntl(static_cast<int>(handle_), F_OFD_SETLK, &lock) == 0) << path;
}

HeldFile::~HeldFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // the lock goes with it
}
