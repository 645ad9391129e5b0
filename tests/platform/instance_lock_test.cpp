// The lock that keeps to one kestrel at a time, taken twice in one process: the second taking goes
// through a handle of its own, as another kestrel's would.
#include <gtest/gtest.h>

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
    // A name of this test's own: a kestrel running in the same session never meets it.
    const std::string name = "kestrel-test-" + std::to_string(self);
    uint32_t holder = 1;
    ASSERT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceLockHeld);
    EXPECT_EQ(holder, 0u);
    EXPECT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceRunning);
    EXPECT_EQ(holder, self);
    // The refused taking left the holder's lock as it was.
    EXPECT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceRunning);
    platformReleaseInstanceLock();
    EXPECT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceLockHeld);
    platformReleaseInstanceLock();
#ifndef _WIN32
    unsetenv("KESTREL_RUN_DIR");
#endif
}

#ifndef _WIN32
// The run directory may be the shared /tmp: what another user placed there under the name is not
// followed, truncated or waited on, and no lock stops a start.
TEST(InstanceLock, AForeignFileUnderTheNameIsLeftAlone) {
    TempDir runDir;
    setenv("KESTREL_RUN_DIR", runDir.path().c_str(), 1);
    writeFile(runDir.path() / "victim", "keep me");
    std::filesystem::create_symlink(runDir.path() / "victim", runDir.path() / "linked.lock");
    uint32_t holder = 0;
    EXPECT_EQ(platformAcquireInstanceLock("linked", &holder), kInstanceLockUnavailable);
    EXPECT_EQ(readFile(runDir.path() / "victim"), "keep me");
    std::filesystem::create_directory(runDir.path() / "folder.lock");
    EXPECT_EQ(platformAcquireInstanceLock("folder", &holder), kInstanceLockUnavailable);
    setenv("KESTREL_RUN_DIR", (runDir.path() / "missing").c_str(), 1);
    EXPECT_EQ(platformAcquireInstanceLock("kestrel", &holder), kInstanceLockUnavailable);
    unsetenv("KESTREL_RUN_DIR");
}
#endif

}  // namespace
