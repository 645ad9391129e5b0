// Reading the aircraft's state from the simulator once per update: the link is (re)opened when needed,
// the ready, menu and pause flags are checked, and the position and selected COM frequency go into
// simState. Any failed exchange closes the link; the next poll opens it again.
#pragma once

#include <cstdint>

// 1 when simState was refreshed completely, else 0.
int simPoll();

// The poll's steps, in its order; each returns 1 on success.
int simConnect();       // opens the link unless it is open; logs an open failure
int simReadFlags();     // returns goOn: ready to fly, not in a menu, not paused
int simReadPosition();  // latitude, longitude and altitude into simState
int simReadRadio();     // the selected COM radio's frequency into simState.radio

// The COM frequency code (kHz above 117000) of a BCD frequency word holding 1xx.xx MHz.
uint16_t comCodeFromBcd(uint16_t bcd);
