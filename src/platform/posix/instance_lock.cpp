#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/ipc_socket.h"

namespace {

int heldFd = -1;

// The holder's id as it wrote it; anything else in the file (a torn write) gives 0.
uint32_t holderOf(int fd) {
    char text[16];
    const ssize_t length = pread(fd, text, sizeof text, 0);
    uint32_t pid = 0;
    for (ssize_t i = 0; i < length && text[i] != '\n'; ++i) {
        if (text[i] < '0' || text[i] > '9' || pid > 99999999u) return 0;
        pid = pid * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return pid;
}

}  // namespace

int platformAcquireInstanceLock(const char* name, uint32_t* otherProcessId) {
    *otherProcessId = 0;
    // One lock per user, as Windows has one per logon session: in a shared run directory such as /tmp
    // the kestrels of two users do not exclude each other, and no file of another user is ever used.
    const uid_t user = geteuid();
    const std::string path = ipcRunDir() + "/" + name + "-" + std::to_string(user) + ".lock";
    // Follow no link, and block on nothing placed there.
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | flags, 0600);
    if (fd < 0) return kInstanceLockUnavailable;
    // Only a file of this user's own with no other name is ours to lock and write: another user's
    // could be held against us, and a hard link would have us write our id into the file it names.
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != user ||
        status.st_nlink != 1) {
        close(fd);
        errno = EPERM;
        return kInstanceLockUnavailable;
    }
    // flock, not fcntl: its lock belongs to this open file, so no other close in the process drops it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) *otherProcessId = holderOf(fd);
        close(fd);
        errno = error;
        return error == EWOULDBLOCK ? kInstanceRunning : kInstanceLockUnavailable;
    }
    // The id is only for the next one's message: the lock holds without it.
    if (ftruncate(fd, 0) == 0) {
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(getpid()));
        const ssize_t written = pwrite(fd, text, static_cast<size_t>(length), 0);
        (void)written;
    }
    heldFd = fd;
    return kInstanceLockHeld;
}

void platformReleaseInstanceLock() {
    if (heldFd < 0) return;
    close(heldFd);
    heldFd = -1;
}
