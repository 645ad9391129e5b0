// The airport record: one per identifier, 88 bytes, the same bytes in memory and in kestrel.dat.
//
// Standard layout without gaps, so the database writer and reader move records as bytes; every offset
// is part of the file format and pinned below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// One runway while the database is built (never stored in the file). The first four bytes have the
// layout of a runway deletion key, which the decoder compares byte for byte.
struct RunwayNode {
    uint8_t surface;  // low byte of the scenery's surface code
    uint8_t primaryNumber;
    uint8_t secondaryNumber;
    uint8_t designators;  // secondary designator in the high four bits, primary in the low four
    uint32_t lon;         // raw longitude of the runway centre
    uint32_t lat;         // raw latitude of the runway centre
    float lengthM;        // metres
    float heading;        // degrees true
    RunwayNode* next;     // the runway added before this one
};

struct Airport {
    char ident[7];        // up to 5 characters and a NUL; bytes after the NUL are not significant
    uint8_t runwayCount;  // from the scenery record; the list's length once finalised
    // The slot at offset 8. While the database is built it holds `runways`, a 1-based index into the
    // build's runway lists (0: no list yet; see runway_lists.h), never a pointer, so the record has
    // the same size on 32- and 64-bit builds. Finalisation replaces it with `singleRunway`: the packed
    // length and heading of an only runway under the tower, 0.0 when the simple fix does not apply.
    union {
        uint32_t runways;
        float singleRunway;
    };
    char name[32];         // at most 31 characters and a NUL
    uint16_t towerCom[8];  // COM frequency codes (kHz - 117000), filled from slot 0, 0 = empty
    uint32_t apLon;        // raw scenery longitude of the reference point
    uint32_t apLat;        // raw scenery latitude of the reference point
    int32_t apAlt;         // elevation, signed millimetres (airports below sea level exist)
    uint32_t twrLon;       // raw; exactly 0.0 degrees means not given
    uint32_t twrLat;       // raw; exactly 0.0 degrees means not given
    int32_t twrAlt;        // signed millimetres; 0 means not given
    float distanceNm;      // the tower search's distance from the aircraft
};

static_assert(sizeof(float) == 4 && sizeof(uint32_t) == 4 && sizeof(int32_t) == 4);
static_assert(sizeof(Airport) == 88, "Airport is the 88-byte file record");
static_assert(offsetof(Airport, ident) == 0);
static_assert(offsetof(Airport, runwayCount) == 7);
static_assert(offsetof(Airport, runways) == 8);
static_assert(offsetof(Airport, singleRunway) == 8);
static_assert(offsetof(Airport, name) == 12);
static_assert(offsetof(Airport, towerCom) == 44);
static_assert(offsetof(Airport, apLon) == 60);
static_assert(offsetof(Airport, apLat) == 64);
static_assert(offsetof(Airport, apAlt) == 68);
static_assert(offsetof(Airport, twrLon) == 72);
static_assert(offsetof(Airport, twrLat) == 76);
static_assert(offsetof(Airport, twrAlt) == 80);
static_assert(offsetof(Airport, distanceNm) == 84);

constexpr int kTowerComSlots = 8;

// The four bytes of the slot at offset 8, whichever meaning they carry.
inline uint32_t airportSlotBits(const Airport* a) {
    uint32_t bits;
    std::memcpy(&bits, reinterpret_cast<const unsigned char*>(a) + offsetof(Airport, runways), sizeof bits);
    return bits;
}

// The identifier and the name as terminated strings. A record read from a file need not hold its
// NUL, so text is always taken from these copies and never read past the field.
struct AirportText {
    char ident[sizeof(Airport::ident) + 1];
    char name[sizeof(Airport::name) + 1];
};

inline AirportText airportText(const Airport* a) {
    AirportText t;
    std::memcpy(t.ident, a->ident, sizeof a->ident);
    t.ident[sizeof a->ident] = '\0';
    std::memcpy(t.name, a->name, sizeof a->name);
    t.name[sizeof a->name] = '\0';
    return t;
}
