// The POSIX stand-in for the simulator link's named block.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

// A crashed run leaves its block behind; a later process with the same id names its block the same.
TEST(PosixIpcTransport, ABlockLeftByADeadProcessIsReplacedNotReported) {
    const std::string name = "FsasmLib:IPC:" + std::to_string(getpid()) + ":leftover";
    int fd = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 16), 0);  // too small for a block: reusing it would be wrong
    close(fd);

    const IpcTransport* transport = platformIpcTransport();
    IpcMapping mapping = transport->createMapping(name.c_str(), 0x8000);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(transport->lastError(), 0u);
    uint8_t* view = transport->mapView(mapping);
    ASSERT_NE(view, nullptr);
    view[0x7FFF] = 1;  // the whole block is there
    transport->unmapView(view);
    transport->closeMapping(mapping);
    EXPECT_NE(access(("/dev/shm/" + name).c_str(), F_OK), 0);  // and it goes with the link
}

}  // namespace
