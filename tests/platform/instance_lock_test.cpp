// The lock taken twice in one process: the second taking goes through a handle of its own, as another
// kestrel's would.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
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
// The run directory may be the shared /tmp: only a regular file of this user's with one link is the lock.
// Whatever else lies under its name is neither followed, written nor locked, and another user's lock
// does not stop this one.
TEST(InstanceLock, OnlyARegularFileOfThisUserWithOneLinkIsTheLock) {
    TempDir runDir;
    setenv("KESTREL_RUN_DIR", runDir.path().c_str(), 1);
    const auto lock = [&](const std::string& name, uid_t user) {
        return runDir.path() / (name + "-" + std::to_string(user) + ".lock");
    };
    writeFile(runDir.path() / "victim", "keep me");
    std::filesystem::create_symlink(runDir.path() / "victim", lock("linked", geteuid()));
    std::filesystem::create_hard_link(runDir.path() / "victim", lock("hard", geteuid()));
    ASSERT_EQ(mkfifo(lock("pipe", geteuid()).c_str(), 0600), 0);
    writeFile(lock("foreign", geteuid()), "");
    // Only root can give a file away; run as another user, the case is left out.
    const bool given = chown(lock("foreign", geteuid()).c_str(), geteuid() + 1, static_cast<gid_t>(-1)) == 0;
    uint32_t holder = 0;
    for (const std::string name : {"linked", "hard", "pipe", "foreign"})
        if (name != "foreign" || given) {
            EXPECT_EQ(platformAcquireInstanceLock(name.c_str(), &holder), kInstanceLockUnavailable) << name;
        }
    EXPECT_EQ(readFile(runDir.path() / "victim"), "keep me");
    const int othersLock = open(lock("shared", geteuid() + 1).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(othersLock, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(platformAcquireInstanceLock("shared", &holder), kInstanceLockHeld);
    platformReleaseInstanceLock();
    close(othersLock);
    unsetenv("KESTREL_RUN_DIR");
}
#endif

}  // namespace
