#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "simlink/ipc_client.h"
#include "support/link_leftovers.h"

bool linkLeftBehind(uint32_t processId, uint32_t opens) {
    for (uint32_t open = 1; open <= opens; ++open) {
        char name[kIpcBlockNameSize];
        ipcBlockName(processId, open, name);
        int fd = shm_open(("/" + std::string(name)).c_str(), O_RDONLY, 0);
        if (fd >= 0) {
            close(fd);
            return true;
        }
    }
    return false;
}
