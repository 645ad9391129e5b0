// The two changes kestrel makes in the simulator: the tower view's position (and zoom), and a line of
// text on the simulator's screen. Each is one exchange; a failure closes the link for the next poll to
// reopen (simDropLink).
#pragma once

#include <cstdint>

// Shows `text` (at most 127 characters are sent) for `seconds`, which the interface holds in 16 bits:
// beyond -32768..32767 it takes the nearer end. Opens the link when it is closed. 1 when the text was
// sent.
int simShowText(const char* text, int32_t seconds);

// Moves the tower view to `lat`, `lon` (degrees) and `alt` (metres); with `writeZoom` also sets the
// zoom to the low 16 bits of the zoomLevel setting. Uses the link the poll left open. 1 when sent.
int simSetTower(double lat, double lon, double alt, int writeZoom);

// The simulator's units for a tower position, computed without any out-of-range conversion: latitude
// and altitude saturate at the ends of the 64-bit range (NaN gives 0); longitude is taken modulo 2^64,
// a full turn, so 180 degrees is 0x8000000000000000, the simulator's -180.
int64_t towerLatitudeUnits(double lat);
int64_t towerLongitudeUnits(double lon);
int64_t towerAltitudeUnits(double alt);
