// Conversions shared by tower selection and tower synthesis: raw scenery coordinates and altitudes to
// degrees and metres, great-circle distance, COM frequency codes, the tower view's altitude.
#pragma once

#include <cstdint>

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kRawLonFactor = 4.470348358154297e-07;   // 360 / (3 * 2^28), exact in single precision
constexpr double kRawLatFactor = 3.3527612686157227e-07;  // 180 / 2^29, exact in single precision
constexpr double kEarthRadiusNm = 3443.9;

// Where a tower point came from (towerPosition); exactly one latitude and one longitude bit is set.
constexpr uint32_t SourceSimpleFix = 1;
constexpr uint32_t SourceLatTower = 2;
constexpr uint32_t SourceLatAirport = 4;
constexpr uint32_t SourceLonTower = 8;
constexpr uint32_t SourceLonAirport = 16;

// Raw 0 is -180 degrees, 3 * 2^28 is +180. Inline: the 2-d tree's build converts at every comparison.
inline double rawLonToDegrees(uint32_t raw) {
    return static_cast<double>(raw) * kRawLonFactor - 180.0;
}

// Raw 0 is +90 degrees, 2^28 the equator, 2^29 is -90.
inline double rawLatToDegrees(uint32_t raw) {
    return 90.0 - static_cast<double>(raw) * kRawLatFactor;
}

// Signed millimetres to metres: -3000 is 3 m below sea level.
double millimetresToMetres(int32_t millimetres);

// Nautical miles between two points in degrees (spherical law of cosines, radius 3443.9 nm).
double greatCircleNm(double lat1, double lon1, double lat2, double lon2);

// Degrees times pi over 180, in that order.
inline double degreesToRadians(double degrees) {
    return degrees * kPi / 180.0;
}

// The same distance from the sines and cosines of both latitudes and from both longitudes, all in
// radians, for callers that keep them: the result is bit for bit that of greatCircleNm.
double greatCircleNmFromTrig(double sinLat1, double cosLat1, double lon1, double sinLat2, double cosLat2,
                             double lon2);

// A scenery file's COM frequency in Hz as the nearest whole kHz, half up. A compiler that holds the
// frequency in single precision stores 118.1 MHz as 118099998 Hz: truncated, that would be 118.099 MHz,
// which no radio tuned to 118.10 hears. In 64 bits, so that the largest values do not wrap.
inline uint32_t nearestKhz(uint32_t hz) {
    return static_cast<uint32_t>((static_cast<uint64_t>(hz) + 500) / 1000);
}

// The frequency in MHz for a COM code; 0.0 for code 0 (an empty slot), not 117.0.
float comFrequencyMHz(uint32_t code);

struct Airport;

// The N of the TowerHeightNRw setting that gives the tower height for the airport's runway count: 1 for
// none or one runway, up to 6 for six or more.
int towerHeightSetting(const Airport* airport);

// The tower view's altitude in metres for core.currentAirport: its tower altitude when given, else its
// elevation plus the tower height configured for its runway count.
double towerAltitude();

// Logs "\tTower coordinates: lat from ..., lon from ...[ + simple fix]" at `level`.
void logTowerSource(int32_t level, uint32_t flags);
