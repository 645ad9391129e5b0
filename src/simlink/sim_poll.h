// Reading the aircraft's state from the simulator once per update: the link is (re)opened when needed,
// the ready, menu and pause flags are checked, and the position and selected COM frequency go into
// simState. Any failed exchange closes the link; the next poll opens it again.
#pragma once

#include <cstdint>

// What the poll knows about the link across polls.
struct SimLinkWatch {
    int viewLost = 0;  // the simulator may have lost the tower view since simTowerViewLost last said so
    int outage = 0;    // a failed exchange or open lost the link and no poll has worked since
    uint32_t openFailure = 0;  // the result code of this outage's last "FSUIPC connection failed" line
};
extern SimLinkWatch simLinkWatch;

// 1 when simState was refreshed completely, else 0.
int simPoll();

// 1 once after the simulator may have lost the tower view: the poll opened the link again (the
// simulator, or the server in front of it, may have restarted), or a poll found a flight loading (the
// ready-to-fly flag said not ready; a pause or a menu keep the view). 0 until the next such event.
int simTowerViewLost();

// 1 while the link is lost: a failed exchange closed it and no open has worked since.
int simLinkLost();

// Ends a failed exchange: closes the link for the next poll to reopen. The first failure of an outage
// on an open link is logged at level 0 with its result text; the poll logs the recovery. A stop request
// closes it without a word.
int simDropLink();

// The poll's steps, in its order; each returns 1 on success.
int simConnect();       // opens the link unless it is open; logs an outage's open failure once per code
int simReadFlags();     // returns goOn: ready to fly, not in a menu, not paused
int simReadPosition();  // latitude, longitude and altitude into simState
int simReadRadio();     // the selected COM radio's frequency into simState.radio (kNoComFrequency: none)

// The COM frequency code (kHz above 117000) of a BCD frequency word holding 1xx.xx MHz.
uint16_t comCodeFromBcd(uint16_t bcd);
