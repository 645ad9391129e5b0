// kestrel-probe: what scripts/soak samples of a Windows process that /proc cannot show.
//
//   kestrel-probe TARGET     TARGET is a process id or an executable name (kestrel.exe); prints
//                            "pid P handles H atoms A": the process's handle count and the number of
//                            global atoms in use (0xC000..0xFFFF). Exit code 1 when the process is
//                            not found or cannot be queried.
//   kestrel-probe --check    proves both counts work: opens 64 handles and adds 32 global atoms of
//                            its own names, prints the counts before, during and after, exit code 0
//                            when they rose by exactly that much and fell back once released.
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// GetProcessHandleCount's answer, -1 when it fails.
long handleCountOfProcess(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return -1;
    DWORD count = 0;
    BOOL ok = GetProcessHandleCount(process, &count);
    CloseHandle(process);
    return ok ? static_cast<long>(count) : -1;
}

// The system's handle list (NtQuerySystemInformation, SystemHandleInformation) as its own layout.
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleList {
    ULONG count;
    HandleEntry first;
};

// The number of entries of the system's handle list that PID owns, -1 when the list cannot be read.
long handleCountOfHandleList(DWORD pid) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    Query query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                              GetProcAddress(ntdll, "NtQuerySystemInformation")))
                        : nullptr;
    if (!query) return -1;
    const ULONG kSystemHandleInformation = 16;
    std::vector<unsigned char> buffer(1 << 18);
    LONG status = -1;
    ULONG needed = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status >= 0) break;
        buffer.resize(needed > buffer.size() * 2 ? needed + 65536 : buffer.size() * 2);
    }
    if (status < 0) return -1;
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    // The count comes from the call: never walk past what the buffer holds.
    const size_t first = offsetof(HandleList, first);
    const size_t room = (buffer.size() - first) / sizeof(HandleEntry);
    if (count > room) return -1;
    long owned = 0;
    for (ULONG i = 0; i < count; ++i) {
        HandleEntry entry;
        std::memcpy(&entry, buffer.data() + first + i * sizeof entry, sizeof entry);
        if (entry.ownerPid == pid) ++owned;
    }
    return owned;
}

// A live process always holds handles, so 0 from GetProcessHandleCount is a stub's answer (as under
// Wine 8): the system's handle list is counted then.
long handleCount(DWORD pid, const char** source = nullptr) {
    long count = handleCountOfProcess(pid);
    if (source) *source = "GetProcessHandleCount";
    if (count > 0) return count;
    if (source) *source = "the system handle list";
    return handleCountOfHandleList(pid);
}

// The number of global atoms; with PREFIX, only those whose names begin with it.
long globalAtomCount(const char* prefix = nullptr) {
    long count = 0;
    char name[256];
    for (unsigned atom = 0xC000; atom <= 0xFFFF; ++atom) {
        if (GlobalGetAtomNameA(static_cast<ATOM>(atom), name, sizeof name) == 0) continue;
        if (!prefix || std::strncmp(name, prefix, std::strlen(prefix)) == 0) ++count;
    }
    return count;
}

// The first process whose executable name equals NAME (any letter case), 0 if none.
DWORD findProcess(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

int check() {
    const int kHandles = 64;
    const int kAtoms = 32;
    DWORD self = GetCurrentProcessId();
    std::printf("GetProcessHandleCount: %ld; system handle list (NtQuerySystemInformation): %ld\n",
                handleCountOfProcess(self), handleCountOfHandleList(self));
    const char* source = nullptr;
    long handlesBefore = handleCount(self, &source);
    // The atom table is shared with every other process of the session, which may add and delete
    // atoms meanwhile: the check counts the ones whose names are this process's own.
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "kestrel-probe-%lu-", static_cast<unsigned long>(self));
    long atomsBefore = globalAtomCount(prefix);
    std::vector<HANDLE> events;
    std::vector<ATOM> atoms;
    for (int i = 0; i < kHandles; ++i) events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    for (int i = 0; i < kAtoms; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "%s%d", prefix, i);
        atoms.push_back(GlobalAddAtomA(name));
    }
    long handlesDuring = handleCount(self);
    long atomsDuring = globalAtomCount(prefix);
    for (HANDLE event : events) CloseHandle(event);
    for (ATOM atom : atoms) GlobalDeleteAtom(atom);
    long handlesAfter = handleCount(self);
    long atomsAfter = globalAtomCount(prefix);
    std::printf("handles (%s) %ld, with %d more open %ld, after closing them %ld\n", source, handlesBefore, kHandles,
                handlesDuring, handlesAfter);
    std::printf("own atoms %ld, with %d added %ld, after deleting them %ld (of %ld atoms in all)\n", atomsBefore, kAtoms,
                atomsDuring, atomsAfter, globalAtomCount());
    bool handlesOk = handlesBefore >= 0 && handlesDuring == handlesBefore + kHandles && handlesAfter == handlesBefore;
    bool atomsOk = atomsBefore == 0 && atomsDuring == kAtoms && atomsAfter == 0;
    std::printf("handle count %s, atom count %s\n", handlesOk ? "works" : "DOES NOT WORK",
                atomsOk ? "works" : "DOES NOT WORK");
    return handlesOk && atomsOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel-probe PID|NAME.exe | --check\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--check") == 0) return check();

    char* end = nullptr;
    unsigned long number = std::strtoul(argv[1], &end, 10);
    DWORD pid = (end != argv[1] && *end == '\0') ? static_cast<DWORD>(number) : findProcess(argv[1]);
    if (pid == 0) {
        std::fprintf(stderr, "kestrel-probe: no process %s\n", argv[1]);
        return 1;
    }
    long handles = handleCount(pid);
    if (handles < 0) {
        std::fprintf(stderr, "kestrel-probe: cannot query process %lu (error %lu)\n", static_cast<unsigned long>(pid),
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::printf("pid %lu handles %ld atoms %ld\n", static_cast<unsigned long>(pid), handles, globalAtomCount());
    return 0;
}
