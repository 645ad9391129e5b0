// The POSIX stand-in of the IPC transport. A "window" is a connection to the Unix socket of its class;
// the block is a POSIX shared-memory object named after the block; a send writes the atom's name and
// its NUL and reads the server's 4-byte little-endian answer. The process-wide tables below are used
// by the main thread only, as the link itself is.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/ipc_socket.h"

namespace {

uint32_t lastErrorValue = 0;

// One connection per window class: finding the window again replaces it, so a restarted server is met
// through a fresh connection and no descriptor is left behind.
struct WindowSlot {
    std::string className;
    int fd = -1;
    uint32_t staleReplies = 0;  // answers still owed to sends that timed out; they arrive in order
    uint8_t partial[4] = {};
    size_t partialFill = 0;
};
WindowSlot windows[4];

struct AtomSlot {
    std::string name;
    uint32_t references = 0;
};
constexpr uint16_t kFirstAtom = 0xC000;  // where string atoms start on Windows
AtomSlot atoms[32];

struct MappingSlot {
    int fd = -1;
    std::string name;  // the shared-memory object's name, unlinked when its creator closes it
    bool created = false;
    uint8_t* view = nullptr;
    size_t viewSize = 0;
};
MappingSlot mappings[8];

int64_t nowMs() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void disconnect(WindowSlot& slot) {
    if (slot.fd >= 0) close(slot.fd);
    slot.fd = -1;
    slot.staleReplies = 0;
    slot.partialFill = 0;
}

int connectTo(const std::string& path) {
    struct sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

IpcWindow findWindow(const char* className) {
    WindowSlot* slot = nullptr;
    for (WindowSlot& candidate : windows)
        if (candidate.className == className) slot = &candidate;
    for (WindowSlot& candidate : windows)
        if (!slot && candidate.className.empty()) slot = &candidate;
    if (!slot) {
        lastErrorValue = ENOMEM;
        return nullptr;
    }
    disconnect(*slot);
    slot->className = className;
    slot->fd = connectTo(ipcSocketPath(className));
    if (slot->fd < 0) {
        lastErrorValue = static_cast<uint32_t>(errno);
        return nullptr;
    }
    lastErrorValue = 0;
    return slot;
}

uint32_t registerMessage(const char* name) {
    // Message numbers of registered names lie in 0xC000..0xFFFF; the server does not check it.
    uint32_t hash = 2166136261u;
    for (const char* c = name; *c; ++c)
        hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
    lastErrorValue = 0;
    return 0xC000u + hash % 0x4000u;
}

uint32_t currentProcessId() {
    return static_cast<uint32_t>(getpid());
}

uint16_t addAtom(const char* name) {
    if (std::strlen(name) > kIpcMaxNameLength || name[0] == '\0') {
        lastErrorValue = EINVAL;
        return 0;
    }
    AtomSlot* free = nullptr;
    for (AtomSlot& slot : atoms) {
        if (slot.references > 0 && slot.name == name) {
            ++slot.references;
            lastErrorValue = 0;
            return static_cast<uint16_t>(kFirstAtom + (&slot - atoms));
        }
        if (!free && slot.references == 0) free = &slot;
    }
    if (!free) {
        lastErrorValue = ENOMEM;
        return 0;
    }
    free->name = name;
    free->references = 1;
    lastErrorValue = 0;
    return static_cast<uint16_t>(kFirstAtom + (free - atoms));
}

AtomSlot* atomSlot(uint16_t atom) {
    if (atom < kFirstAtom || atom - kFirstAtom >= static_cast<int>(sizeof atoms / sizeof atoms[0]))
        return nullptr;
    AtomSlot& slot = atoms[atom - kFirstAtom];
    return slot.references > 0 ? &slot : nullptr;
}

void deleteAtom(uint16_t atom) {
    AtomSlot* slot = atomSlot(atom);
    if (slot && --slot->references == 0) slot->name.clear();
}

IpcMapping createMapping(const char* name, uint32_t size) {
    MappingSlot* slot = nullptr;
    for (MappingSlot& candidate : mappings)
        if (!slot && candidate.fd < 0 && !candidate.view) slot = &candidate;
    if (!slot || std::strchr(name, '/') || std::strlen(name) > kIpcMaxNameLength) {
        lastErrorValue = slot ? EINVAL : ENOMEM;
        return nullptr;
    }
    std::string objectName = "/" + std::string(name);
    bool created = true;
    int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        // Unlike a Windows mapping, a shared-memory object outlives its process. The client's names
        // carry its process id and a counter it never repeats, so one that exists was left by a dead
        // process whose id this one reuses: it goes, as it would have gone on Windows.
        shm_unlink(objectName.c_str());
        fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0600);
    }
    if (fd < 0) {
        lastErrorValue = static_cast<uint32_t>(errno);
        return nullptr;
    }
    if (created && ftruncate(fd, size) != 0) {
        lastErrorValue = static_cast<uint32_t>(errno);
        close(fd);
        shm_unlink(objectName.c_str());
        return nullptr;
    }
    slot->fd = fd;
    slot->name = objectName;
    slot->created = created;
    lastErrorValue = created ? 0 : kIpcErrorAlreadyExists;
    return slot;
}

uint8_t* mapView(IpcMapping mapping) {
    MappingSlot* slot = static_cast<MappingSlot*>(mapping);
    struct stat info;
    if (!slot || slot->fd < 0 || slot->view || fstat(slot->fd, &info) != 0 || info.st_size <= 0) {
        lastErrorValue = EINVAL;
        return nullptr;
    }
    size_t size = static_cast<size_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, slot->fd, 0);
    if (view == MAP_FAILED) {
        lastErrorValue = static_cast<uint32_t>(errno);
        return nullptr;
    }
    slot->view = static_cast<uint8_t*>(view);
    slot->viewSize = size;
    lastErrorValue = 0;
    return slot->view;
}

void unmapView(uint8_t* view) {
    for (MappingSlot& slot : mappings) {
        if (view && slot.view == view) {
            munmap(slot.view, slot.viewSize);
            slot.view = nullptr;
            slot.viewSize = 0;
        }
    }
}

void closeMapping(IpcMapping mapping) {
    MappingSlot* slot = static_cast<MappingSlot*>(mapping);
    if (!slot || slot->fd < 0) return;
    close(slot->fd);
    if (slot->created) shm_unlink(slot->name.c_str());
    slot->fd = -1;
    slot->name.clear();
    slot->created = false;
}

// Waits until `fd` is ready for `events` or the deadline passes. 1 ready, 0 timed out, -1 failed.
int waitFor(int fd, short events, int64_t deadline) {
    for (;;) {
        int64_t remaining = deadline - nowMs();
        if (remaining < 0) remaining = 0;
        struct pollfd entry {
            fd, events, 0
        };
        int ready = poll(&entry, 1, static_cast<int>(remaining));
        if (ready > 0) return 1;
        if (ready == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

// A failed send: the connection is dropped, so every later send to this window fails at once, as a
// send to a destroyed window does.
int failSend(WindowSlot& slot, int error) {
    disconnect(slot);
    lastErrorValue = static_cast<uint32_t>(error != 0 ? error : EPIPE);
    return 0;
}

int sendMessage(IpcWindow window, uint32_t /*message*/, uint32_t wParam, uint32_t timeoutMs,
                uint64_t* reply) {
    WindowSlot* slot = static_cast<WindowSlot*>(window);
    bool known = false;
    for (WindowSlot& candidate : windows)
        known = known || slot == &candidate;
    if (!known || slot->fd < 0) {
        lastErrorValue = ENOTCONN;
        return 0;
    }
    AtomSlot* atom = atomSlot(static_cast<uint16_t>(wParam));
    if (!atom) {
        lastErrorValue = EINVAL;
        return 0;
    }
    const int64_t deadline = nowMs() + timeoutMs;

    const char* request = atom->name.c_str();
    const size_t requestSize = atom->name.size() + 1;
    size_t written = 0;
    while (written < requestSize) {
        ssize_t n = send(slot->fd, request + written, requestSize - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return failSend(*slot, errno);
        int ready = waitFor(slot->fd, POLLOUT, deadline);
        if (ready < 0) return failSend(*slot, errno);
        if (ready == 0) {
            if (written > 0) return failSend(*slot, ETIMEDOUT);  // half a request: the stream is lost
            lastErrorValue = 0;
            return 0;
        }
    }

    for (;;) {
        ssize_t n = recv(slot->fd, slot->partial + slot->partialFill, 4 - slot->partialFill, MSG_DONTWAIT);
        if (n == 0) return failSend(*slot, ECONNRESET);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return failSend(*slot, errno);
            int ready = waitFor(slot->fd, POLLIN, deadline);
            if (ready < 0) return failSend(*slot, errno);
            if (ready == 0) {
                ++slot->staleReplies;  // its answer may still come; it will be skipped then
                lastErrorValue = 0;
                return 0;
            }
            continue;
        }
        slot->partialFill += static_cast<size_t>(n);
        if (slot->partialFill < 4) continue;
        slot->partialFill = 0;
        if (slot->staleReplies > 0) {
            --slot->staleReplies;
            continue;
        }
        *reply = static_cast<uint32_t>(slot->partial[0]) | (static_cast<uint32_t>(slot->partial[1]) << 8) |
                 (static_cast<uint32_t>(slot->partial[2]) << 16) |
                 (static_cast<uint32_t>(slot->partial[3]) << 24);
        lastErrorValue = 0;
        return 1;
    }
}

uint32_t lastError() {
    return lastErrorValue;
}

const IpcTransport kPosixTransport{findWindow,   registerMessage, currentProcessId, addAtom,
                                   deleteAtom,   createMapping,   mapView,          unmapView,
                                   closeMapping, sendMessage,     lastError,        platformSleep};

}  // namespace

const IpcTransport* platformIpcTransport() {
    return &kPosixTransport;
}
