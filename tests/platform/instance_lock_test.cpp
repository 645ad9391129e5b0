// The lock taken twice in one process: the second taking goes through a handle of its own, as another
// kestrel's would.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

TEST(InstanceLock, OneHolderAtATimeWhoIsNamedToTheNext) {
#ifndef _WIN32
    TempDir runDir;  // the simulator run directory holds the lock file
    setenv("KESTREL_RUN_DIR", runDir.path().c_str(), 1);
#endif
    const uint32_t self = platformIpcTransport()->currentProcessId();
    const std::string name = "kestrel-test-" + std::to_string(self);  // no running kestrel's
    uint32_t holder = 0;
    ASSERT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceLockHeld);
    EXPECT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceRunning);
    EXPECT_EQ(holder, self);
    platformReleaseInstanceLock();
#ifndef _WIN32
    unsetenv("KESTREL_RUN_DIR");
#endif
}

#ifndef _WIN32
// The run directory may be the shared /tmp: what another user placed there under the name is neither
// followed, truncated nor locked.
TEST(InstanceLock, AForeignFileUnderTheNameIsLeftAlone) {
    TempDir runDir;
    setenv("KESTREL_RUN_DIR", runDir.path().c_str(), 1);
    writeFile(runDir.path() / "victim", "keep me");
    std::filesystem::create_symlink(runDir.path() / "victim", runDir.path() / "linked.lock");
    ASSERT_EQ(mkfifo((runDir.path() / "pipe.lock").c_str(), 0600), 0);
    uint32_t holder = 0;
    for (const char* name : {"linked", "pipe"})
        EXPECT_EQ(platformAcquireInstanceLock(name, &holder), kInstanceLockUnavailable) << name;
    EXPECT_EQ(readFile(runDir.path() / "victim"), "keep me");
    unsetenv("KESTREL_RUN_DIR");
}
#endif

}  // namespace
