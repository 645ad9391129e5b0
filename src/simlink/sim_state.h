// The aircraft state of the last successful poll: written only by the poll, read by the tower search
// and the placement. All zero at start.
#pragma once

#include <cstdint>

// simState.radio when the radio selector names neither COM radio: like an empty tower slot, it matches
// no tower (a COM radio cannot be tuned to 117.000 MHz).
constexpr uint16_t kNoComFrequency = 0;

struct SimState {
    uint16_t radio = 0;  // selected COM frequency code: kHz above 117000 (118.000 MHz is 1000)
    double calt = 0.0;   // aircraft altitude, metres
    double clon = 0.0;   // aircraft longitude, degrees east
    double clat = 0.0;   // aircraft latitude, degrees north
};

extern SimState simState;
