#include "simlink/sim_output.h"

#include <cmath>
#include <cstring>

#include "core/bytes.h"
#include "core/config.h"
#include "core/core_state.h"
#include "simlink/fsuipc_offsets.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"

namespace {

const long double kTwoTo63 = 9223372036854775808.0L;
const long double kTwoTo64 = 18446744073709551616.0L;

// Truncates toward zero; values outside the signed 64-bit range take its nearest end.
int64_t saturatingUnits(long double value) {
    if (std::isnan(value)) return 0;
    value = std::trunc(value);
    if (value >= kTwoTo63) return INT64_MAX;
    if (value < -kTwoTo63) return INT64_MIN;
    return static_cast<int64_t>(value);
}

// Truncates toward zero and wraps modulo 2^64 into the signed range.
int64_t wrappingUnits(long double value) {
    if (!std::isfinite(value)) return 0;
    value = std::fmod(std::trunc(value), kTwoTo64);  // exact: |result| < 2^64
    if (value < 0) value += kTwoTo64;                // [0, 2^64), exact in binary floating point
    uint64_t bits = value >= kTwoTo63 ? static_cast<uint64_t>(value - kTwoTo63) + (uint64_t{1} << 63)
                                      : static_cast<uint64_t>(value);
    return static_cast<int64_t>(bits);
}

}  // namespace

int64_t towerLatitudeUnits(double lat) {
    return saturatingUnits(static_cast<long double>(lat) *
                           static_cast<long double>(fsuipc::kLatitudeUnitsPer90Degrees) / 90.0L);
}

int64_t towerLongitudeUnits(double lon) {
    return wrappingUnits(static_cast<long double>(lon) * kTwoTo64 / 360.0L);
}

int64_t towerAltitudeUnits(double alt) {
    return saturatingUnits(static_cast<long double>(alt) * 4294967296.0L);
}

int simShowText(const char* text, int32_t seconds) {
    uint8_t buffer[fsuipc::kTextSize] = {};
    if (text) std::strncpy(reinterpret_cast<char*>(buffer), text, fsuipc::kTextSize - 1);
    if (!simConnect()) return 0;
    // A 16-bit word: the word after it counts the aircraft changes, which other add-ons watch, and a
    // wider write would reset it at every text.
    const int32_t word = seconds < INT16_MIN ? INT16_MIN : seconds > INT16_MAX ? INT16_MAX : seconds;
    uint8_t duration[fsuipc::kTextSecondsSize];
    putU16(duration, static_cast<uint16_t>(static_cast<int16_t>(word)));
    if (!ipcWrite(fsuipc::kText, fsuipc::kTextSize, buffer, &ipcResult) ||
        !ipcWrite(fsuipc::kTextSeconds, fsuipc::kTextSecondsSize, duration, &ipcResult) ||
        !ipcProcess(&ipcResult)) {
        simDropLink();
        return 0;
    }
    return 1;
}

int simSetTower(double lat, double lon, double alt, int writeZoom) {
    uint8_t altitude[8], latitude[8], longitude[8], zoom[2];
    putU64(altitude, static_cast<uint64_t>(towerAltitudeUnits(alt)));
    putU64(latitude, static_cast<uint64_t>(towerLatitudeUnits(lat)));
    putU64(longitude, static_cast<uint64_t>(towerLongitudeUnits(lon)));
    putU16(zoom, static_cast<uint16_t>(core.config ? core.config->zoomLevel : 0));
    if (!ipcWrite(fsuipc::kTowerAltitude, 8, altitude, &ipcResult) ||
        !ipcWrite(fsuipc::kTowerLatitude, 8, latitude, &ipcResult) ||
        !ipcWrite(fsuipc::kTowerLongitude, 8, longitude, &ipcResult) ||
        (writeZoom && !ipcWrite(fsuipc::kTowerZoom, 2, zoom, &ipcResult)) || !ipcProcess(&ipcResult)) {
        simDropLink();
        return 0;
    }
    return 1;
}
