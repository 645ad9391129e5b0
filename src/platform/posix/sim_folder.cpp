#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

int platformSimExecutablePath(char* /*out*/, uint32_t /*size*/) {
    return 0;  // a simulator never runs on this machine
}

int platformDirectoryOpens(const char* path) {
    int fd = open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
    if (fd < 0) return 0;
    close(fd);
    return 1;
}

SimVirtualisation platformSimVirtualisation() {
    return SimVirtualisation::unknown;
}
