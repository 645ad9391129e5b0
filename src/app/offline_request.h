// kestrel without the simulator: build the database before a flight (--build), list what it holds
// (--list) and tell which tower the main loop would choose at a position (--at). None of them opens the
// simulator link. What they print for the user goes to `out` with the platform's line ends; a failure
// leaves a one-line reason.
#pragma once

#include <cstdint>
#include <string>

enum class OfflineMode { none, build, list, at };

// Exit codes: done, no database or nothing found, usage.
constexpr int kOfflineDone = 0;
constexpr int kOfflineFailed = 1;
constexpr int kOfflineUsage = 2;

struct OfflineRequest {
    OfflineMode mode = OfflineMode::none;
    const char* fsDir = nullptr;     // --fs-dir DIR: the simulator folder, as the interface reports it
    const char* database = nullptr;  // --database FILE; null: kestrel.dat in the working folder
    bool csv = false;                // --list --csv
    const char* pattern = nullptr;   // --list PATTERN; null: every airport
    double latitude = 0.0;           // --at LAT LON [MHZ]
    double longitude = 0.0;
    bool tuned = false;   // MHZ given
    uint16_t radio = 0;   // its COM code as the radio reads it (10 kHz steps); 0 when none
};

// Parses argv[1] to argv[argc - 1]. Returns kOfflineDone with `request` filled, or kOfflineUsage with
// `reason`. An argument is an option when it begins with '-' and is not a number.
int parseOfflineRequest(int argc, char** argv, OfflineRequest& request, std::string& reason);

// Runs a parsed request. Returns the exit code.
int runOfflineRequest(const OfflineRequest& request, std::string& out, std::string& reason);

// For the entry point: parses and runs the options of argv, keeps the log out of the answers of --list
// and --at, and writes `out` to stdout and the reason to stderr. Returns the exit code.
int offlineMain(int argc, char** argv);

// Writes a refusal to stderr as one line, "kestrel: " in front; a usage error (kOfflineUsage) points to
// --help.
void printReason(const std::string& reason, int code);

// The three options (offline_build.cpp, offline_list.cpp, offline_at.cpp).
int buildOffline(const OfflineRequest& request, std::string& out, std::string& reason);
int listOffline(const OfflineRequest& request, std::string& out, std::string& reason);
int towerAtOffline(const OfflineRequest& request, std::string& out, std::string& reason);
