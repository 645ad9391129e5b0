// The process-wide values owned by the run sequence, grouped so a test can reset them at once
// (`core = CoreState{};`). Other subsystems read them; only the places named below write them.
#pragma once

#include <atomic>
#include <cstdint>

struct Airport;
struct Config;

constexpr int kPathBufferSize = 260;

// The stop request: written by the console control handler (on another thread, or in a signal
// handler), read by the main loop after every sleep. Copyable so CoreState stays one assignment.
class StopFlag {
public:
    StopFlag() = default;
    StopFlag(const StopFlag& other) : value_(other.value_.load()) {}
    StopFlag& operator=(const StopFlag& other) {
        value_.store(other.value_.load());
        return *this;
    }
    void set() { value_.store(1); }
    bool isSet() const { return value_.load() != 0; }

private:
    std::atomic<uint32_t> value_{0};
    static_assert(std::atomic<uint32_t>::is_always_lock_free);
};

struct CoreState {
    char debugAirport[8] = {};  // airport to trace, at most 7 characters; empty: none
    StopFlag stopRequested;     // set by consoleCtrlHandler
    Airport* currentAirport =
        nullptr;  // the selected tower's airport; written by the main loop and the trace
    // The airport whose tower the simulator was last given successfully; written only by the main loop.
    // Apart from currentAirport: the trace selects no tower, and a failed write places none.
    const Airport* placedAirport = nullptr;
    // The folder of kestrel's own files, ending with its separator (core/kestrel_folder.h); empty: the
    // working folder.
    char kestrelFolder[kPathBufferSize] = {};
    char settingsPath[kPathBufferSize] = {};
    char databasePath[kPathBufferSize] = {};
    Config* config = nullptr;        // created first thing in the run, never freed
    Airport** candidates = nullptr;  // tower search results, room for two entries per airport
    int32_t candidateCount = 0;
    int32_t candidateCapacity = 0;  // entries `candidates` has room for
};

extern CoreState core;

// 1 when an airport to trace was given, else 0.
int isDebugAirportSet();

// 1 when an airport to trace was given and equals `ident` ignoring ASCII letter case, else 0.
int isDebugAirport(const char* ident);
