#include <windows.h>

#include "simlink/ipc_client.h"
#include "support/link_leftovers.h"

bool linkLeftBehind(uint32_t processId, uint32_t opens) {
    for (uint32_t open = 1; open <= opens; ++open) {
        char name[kIpcBlockNameSize];
        ipcBlockName(processId, open, name);
        if (GlobalFindAtomA(name) != 0) return true;
    }
    return false;
}
