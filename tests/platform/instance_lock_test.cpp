// The lock taken twice in one process: the second taking goes through a handle of its own, as another
// kestrel's would.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
// The run directory may be the shared /tmp: only a regular file of this user's with one link is the
// lock. Whatever else lies under its name is neither followed, truncated nor locked, and another user's
// kestrel, which holds a lock of its own name, does not stop this one.
TEST(InstanceLock, OnlyARegularFileOfThisUserWithOneLinkIsTheLock) {
    TempDir runDir;
    setenv("KESTREL_RUN_DIR", runDir.path().c_str(), 1);
    const auto lockOf = [&](const std::string& name, uid_t user) {
        return runDir.path() / (name + "-" + std::to_string(user) + ".lock");
    };
    const uid_t self = geteuid(), other = self + 1;
    const std::filesystem::path victim = runDir.path() / "victim";
    writeFile(victim, "keep me");
    std::filesystem::create_symlink(victim, lockOf("linked", self));
    std::filesystem::create_hard_link(victim, lockOf("hard", self));
    ASSERT_EQ(mkfifo(lockOf("pipe", self).c_str(), 0600), 0);
    writeFile(lockOf("foreign", self), "1\n");
    // Only root may give a file away; as another user the case cannot be made.
    const bool foreign = chown(lockOf("foreign", self).c_str(), other, static_cast<gid_t>(-1)) == 0;
    uint32_t holder = 0;
    for (const char* name : {"linked", "hard", "pipe", "foreign"}) {
        if (std::string(name) == "foreign" && !foreign) continue;
        EXPECT_EQ(platformAcquireInstanceLock(name, &holder), kInstanceLockUnavailable) << name;
    }
    EXPECT_EQ(readFile(victim), "keep me");

    const int othersLock = open(lockOf("shared", other).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(othersLock, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(platformAcquireInstanceLock("shared", &holder), kInstanceLockHeld);
    EXPECT_EQ(readFile(lockOf("shared", self)), std::to_string(getpid()) + "\n");
    platformReleaseInstanceLock();
    close(othersLock);
    unsetenv("KESTREL_RUN_DIR");
}
#endif

}  // namespace
