#include "simlink/sim_poll.h"

#include "core/bytes.h"
#include "core/log.h"
#include "simlink/fsuipc_offsets.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_state.h"

namespace {

int64_t signed64(const uint8_t* bytes) {
    uint64_t value = 0;
    readU64(ByteView{bytes, 8}, 0, value);
    return static_cast<int64_t>(value);
}

}  // namespace

SimLinkWatch simLinkWatch;

int simDropLink() {
    if (ipcStopRequested()) {
        ipcClose();  // the run is ending: no failure to report
        return 0;
    }
    if (ipcLink.view && !simLinkWatch.outage) {
        logMessage(0, "Simulator link failed: %s; reopening it at the next poll", ipcResultText(ipcResult));
        simLinkWatch.outage = 1;
    }
    ipcClose();
    return 0;
}

int simTowerViewLost() {
    int lost = simLinkWatch.viewLost;
    simLinkWatch.viewLost = 0;
    return lost;
}

int simLinkLost() {
    return ipcLink.view ? 0 : 1;
}

uint16_t comCodeFromBcd(uint16_t bcd) {
    // Nibbles above 9 enter the sum as they are.
    int n = ((bcd >> 12) & 0xF) * 1000 + ((bcd >> 8) & 0xF) * 100 + ((bcd >> 4) & 0xF) * 10 + (bcd & 0xF);
    return static_cast<uint16_t>(n * 10 - 17000);
}

int simConnect() {
    if (ipcOpen(0, &ipcResult)) {
        simLinkWatch.viewLost = 1;
        return 1;
    }
    if (ipcResult <= kIpcAlreadyOpen) return 1;
    if (ipcStopRequested()) return 0;
    // While the simulator is away every poll fails the same way: say so once, and again only when the
    // reason changes.
    if (ipcResult != simLinkWatch.openFailure) {
        logMessage(0, "FSUIPC connection failed: %s", ipcResultText(ipcResult));
        simLinkWatch.openFailure = ipcResult;
    }
    simLinkWatch.outage = 1;
    return 0;
}

int simReadFlags() {
    uint8_t readyToFly = 0;
    uint8_t pmenu = 0;
    uint8_t pause[2] = {};
    if (!ipcRead(fsuipc::kReadyToFly, 1, &readyToFly, &ipcResult) ||
        !ipcRead(fsuipc::kInMenu, 1, &pmenu, &ipcResult) || !ipcRead(fsuipc::kPause, 2, pause, &ipcResult) ||
        !ipcProcess(&ipcResult))
        return simDropLink();
    uint16_t pgame = static_cast<uint16_t>(pause[0] | (pause[1] << 8));
    int ready = readyToFly == 0 ? 1 : 0;
    // A flight (re)loading resets the simulator's view, even when the link to it never broke.
    if (!ready) simLinkWatch.viewLost = 1;
    int goOn = ready == 1 && pmenu == 0 && pgame == 0 ? 1 : 0;
    logMessage(5, "success: %d ready: %d pmenu: %d pgame: %d: goOn %d", 1, ready, pmenu, pgame, goOn);
    return goOn;
}

int simReadPosition() {
    uint8_t lat[8] = {};
    uint8_t lon[8] = {};
    uint8_t alt[8] = {};
    if (!ipcRead(fsuipc::kLatitude, 8, lat, &ipcResult) || !ipcRead(fsuipc::kLongitude, 8, lon, &ipcResult) ||
        !ipcRead(fsuipc::kAltitude, 8, alt, &ipcResult) || !ipcProcess(&ipcResult))
        return simDropLink();
    // 2^64 and 2^32 as exact long doubles; every i64 is in range of the products.
    const long double twoTo64 = 18446744073709551616.0L;
    const long double twoTo32 = 4294967296.0L;
    simState.clat = static_cast<double>(static_cast<long double>(signed64(lat)) * 90.0L /
                                        static_cast<long double>(fsuipc::kLatitudeUnitsPer90Degrees));
    simState.clon = static_cast<double>(static_cast<long double>(signed64(lon)) * 360.0L / twoTo64);
    simState.calt = static_cast<double>(static_cast<long double>(signed64(alt)) / twoTo32);
    return 1;
}

int simReadRadio() {
    uint8_t selector = 0;
    if (!ipcRead(fsuipc::kRadioSelector, 1, &selector, &ipcResult) || !ipcProcess(&ipcResult))
        return simDropLink();
    uint32_t offset = 0;
    if (selector & 0x80)
        offset = fsuipc::kCom1Frequency;
    else if (selector & 0x40)
        offset = fsuipc::kCom2Frequency;
    if (offset == 0) {
        simState.radio = kNoComFrequency;  // no radio selected: the nearest airport will do
        return 1;
    }
    uint8_t frequency[2] = {};
    if (!ipcRead(offset, 2, frequency, &ipcResult) || !ipcProcess(&ipcResult)) return simDropLink();
    simState.radio = comCodeFromBcd(static_cast<uint16_t>(frequency[0] | (frequency[1] << 8)));
    return 1;
}

int simPoll() {
    const int fresh = simConnect() && simReadFlags() && simReadPosition() && simReadRadio();
    // Every failed exchange closes the link: still open, the simulator answered all of this poll.
    if (ipcLink.view) {
        if (simLinkWatch.outage) logMessage(0, "Simulator link working again");
        simLinkWatch.outage = 0;
        simLinkWatch.openFailure = 0;
    }
    if (!fresh) return 0;
    logMessage(5, "clat %f clon %f calt %f radio @%.3f", simState.clat, simState.clon, simState.calt,
               (simState.radio + 117000) / 1000.0);
    return 1;
}
