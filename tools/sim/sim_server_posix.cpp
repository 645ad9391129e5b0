#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "platform/posix/ipc_socket.h"
#include "sim_server.h"

namespace sim {

namespace {

struct Client {
    int fd = -1;
    std::string pending;  // bytes of a name not yet ended by its NUL
};

bool fillAddress(const std::string& path, struct sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// True when a server already answers at `path`.
bool someoneListens(const struct sockaddr_un& address) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool listening = connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return listening;
}

// Carries out the block named `name`; false when the message goes unanswered.
bool answer(Core& core, const std::string& name, uint32_t& reply) {
    // The name comes from the client: it must be a plain shared-memory name.
    if (name.empty() || name.size() > kIpcMaxNameLength || name.find('/') != std::string::npos) {
        std::fprintf(stderr, "kestrel-sim: refused a block name of %zu bytes\n", name.size());
        reply = 0;
        return true;
    }
    std::string object = "/" + name;
    int fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size <= 0) {
        std::fprintf(stderr, "kestrel-sim: cannot open the block %s: %s\n", name.c_str(),
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        reply = 0;
        return true;
    }
    size_t size = static_cast<size_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
        std::fprintf(stderr, "kestrel-sim: cannot map the block %s: %s\n", name.c_str(),
                     std::strerror(errno));
        reply = 0;
        return true;
    }
    bool answered = core.handle(static_cast<uint8_t*>(view), size, reply);
    munmap(view, size);
    return answered;
}

// Reads what the client sent and answers every complete request. False when the client is gone.
bool serveClient(Core& core, Client& client) {
    char buffer[512];
    ssize_t n = recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
    client.pending.append(buffer, static_cast<size_t>(n));
    for (;;) {
        size_t nul = client.pending.find('\0');
        if (nul == std::string::npos) break;
        std::string name = client.pending.substr(0, nul);
        client.pending.erase(0, nul + 1);
        uint32_t reply = 0;
        if (!answer(core, name, reply)) continue;
        uint8_t bytes[4];
        putU32(bytes, reply);
        if (send(client.fd, bytes, sizeof bytes, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof bytes))
            return false;
        if (core.finished()) return true;
    }
    // A name never ends: not a client of ours.
    return client.pending.size() <= kIpcMaxNameLength;
}

}  // namespace

int runServer(Core& core, const Options& options) {
    if (!options.runDir.empty()) setenv("KESTREL_RUN_DIR", options.runDir.c_str(), 1);
    const std::string path = ipcSocketPath(options.className.c_str());
    struct sockaddr_un address;
    if (!fillAddress(path, address)) {
        std::fprintf(stderr, "kestrel-sim: socket path too long: %s\n", path.c_str());
        return 1;
    }
    if (someoneListens(address)) {
        std::fprintf(stderr, "kestrel-sim: another simulator answers as %s at %s\n",
                     options.className.c_str(), path.c_str());
        return 1;
    }
    unlink(path.c_str());  // left behind by a simulator that did not stop cleanly
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        std::fprintf(stderr, "kestrel-sim: cannot listen at %s: %s\n", path.c_str(), std::strerror(errno));
        if (listener >= 0) close(listener);
        return 1;
    }
    std::printf("kestrel-sim ready: %s at %s\n", options.className.c_str(), path.c_str());
    std::fflush(stdout);

    std::vector<Client> clients;
    while (!stopRequested.load() && !core.finished()) {
        std::vector<struct pollfd> fds;
        fds.push_back({listener, POLLIN, 0});
        for (const Client& client : clients)
            fds.push_back({client.fd, POLLIN, 0});
        int ready = poll(fds.data(), fds.size(), 50);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) {
            int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients.push_back(Client{fd, {}});
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            Client& client = clients[i - 1];
            if (!serveClient(core, client)) {
                close(client.fd);
                client.fd = -1;
            }
            if (core.finished()) break;
        }
        std::vector<Client> open;
        for (Client& client : clients)
            if (client.fd >= 0) open.push_back(std::move(client));
        clients.swap(open);
    }
    for (const Client& client : clients)
        close(client.fd);
    close(listener);
    unlink(path.c_str());
    return 0;
}

}  // namespace sim
