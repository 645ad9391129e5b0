// The simulator interface's offsets that kestrel reads and writes, with their sizes in bytes.
#pragma once

#include <cstdint>

namespace fsuipc {

constexpr uint32_t kInterfaceVersion = 0x3304;  // 4, read: must exceed 0x19980004
constexpr uint32_t kSimVersion = 0x3308;        // 4, read: 0xFADE in the high half, version in the low
constexpr uint32_t kLibraryVersion = 0x330A;    // 2, write: the client library's version
constexpr uint32_t kReadyToFly = 0x3364;        // 1, read: 0 = ready to fly
constexpr uint32_t kInMenu = 0x3365;            // 1, read: 0 = not in a menu or dialog
constexpr uint32_t kPause = 0x0264;             // 2, read: 0 = running
constexpr uint32_t kLatitude = 0x0560;          // 8, read: i64, degrees = value * 90 / (10001750 * 2^32)
constexpr uint32_t kLongitude = 0x0568;         // 8, read: i64, degrees = value * 360 / 2^64
constexpr uint32_t kAltitude = 0x0570;          // 8, read: i64, metres = value / 2^32
constexpr uint32_t kRadioSelector = 0x3122;     // 1, read: bit 7 COM1, else bit 6 COM2
constexpr uint32_t kCom1Frequency = 0x034E;     // 2, read: BCD digits of 1xx.xx MHz
constexpr uint32_t kCom2Frequency = 0x3118;     // 2, read: same encoding
constexpr uint32_t kText = 0x3380;              // 128, write: on-screen text, NUL-terminated, zero-filled
constexpr uint32_t kTextSeconds = 0x32FA;       // 2, write: i16, seconds the text stays (0: until replaced)
constexpr uint32_t kTowerLatitude = 0x0D50;     // 8, write: unit of kLatitude
constexpr uint32_t kTowerLongitude = 0x0D58;    // 8, write: unit of kLongitude
constexpr uint32_t kTowerAltitude = 0x0D60;     // 8, write: unit of kAltitude
constexpr uint32_t kTowerZoom = 0x8330;         // 2, write: tower view zoom
constexpr uint32_t kSimFolder = 0x3E00;         // 260, read: installation folder, NUL-terminated

constexpr uint32_t kTextSize = 128;
constexpr uint32_t kTextSecondsSize = 2;
constexpr uint32_t kSimFolderSize = 260;

// Scale of the latitude unit: 10001750 * 2^32 is 90 degrees.
constexpr int64_t kLatitudeUnitsPer90Degrees = 42957189152768000;

}  // namespace fsuipc
