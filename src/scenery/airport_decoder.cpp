#include "scenery/airport_decoder.h"

#include <cstring>
#include <new>

#include "airportdb/airport_dump.h"
#include "airportdb/airport_table.h"
#include "airportdb/layer_merge.h"
#include "airportdb/runway_lists.h"
#include "airportdb/tower_synthesis.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/bulk_memory.h"
#include "scenery/bgl_bytes.h"
#include "scenery/import_record.h"
#include "tower/conversions.h"
#include "tower/spatial_index.h"

namespace {

constexpr uint32_t kComSubrecordFields = 12;     // type at 6, frequency at 8
constexpr uint32_t kRunwaySubrecordFields = 44;  // up to the heading at 40
constexpr uint32_t kDeleteAirportFixedSize = 12;
constexpr uint32_t kNameMaxLength = 31;
constexpr uint8_t kDeleteAllRunways = 0x20;
constexpr uint8_t kDeleteAllFrequencies = 0x08;
constexpr uint32_t kIdentDigits = 5;

char identChar(uint32_t digit) {
    if (digit < 2) return ' ';
    if (digit < 12) return static_cast<char>('0' + (digit - 2));
    return static_cast<char>('A' + (digit - 12));
}

const char* subrecordName(uint16_t id) {
    return id == kBglComSubrecordId ? "COM" : "runway";
}

// A subrecord too short for the fields it is read for is passed over, so nothing is taken from the
// bytes behind it.
bool hasFields(const char* path, uint64_t offset, ByteView sub, uint16_t id, uint32_t needed) {
    if (sub.size >= needed) return true;
    logMessage(2,
               "%s: %s subrecord at offset %08llX is only %d bytes long, expected at least %d. Ignoring it",
               path, subrecordName(id), static_cast<unsigned long long>(offset), static_cast<int>(sub.size),
               static_cast<int>(needed));
    return false;
}

void applyCom(const char* path, uint64_t offset, ByteView sub, Airport* a) {
    if (!hasFields(path, offset, sub, kBglComSubrecordId, kComSubrecordFields)) return;
    uint16_t type = 0;
    uint32_t hz = 0;
    readU16(sub, 6, type);
    readU32(sub, 8, hz);
    if (type != kComTypeTower) {
        logMessage(5, "Ignoring COM subrecord because type is %d, not tower (%d)", type, kComTypeTower);
        return;
    }
    // 14072 is -117000 modulo 2^16: the kHz minus 117000, kept to 16 bits.
    const uint16_t code = static_cast<uint16_t>(nearestKhz(hz) + 14072);
    for (int slot = 0; slot < kTowerComSlots; ++slot) {
        if (a->towerCom[slot] == 0 || a->towerCom[slot] == code) {
            a->towerCom[slot] = code;
            logMessage(5, "Found tower COM #%d at %.3f", slot, hz / 1000000.0);
            return;
        }
    }
    logMessage(2, "WARNING: COM #%d *NOT INSERTED* for %s (not enough space)", kTowerComSlots,
               airportText(a).ident);
}

void applyName(ByteView sub, Airport* a) {
    uint32_t n = static_cast<uint32_t>(sub.size) - kBglRecordHeaderSize;
    if (n > kNameMaxLength - 1) n = kNameMaxLength;
    // n never exceeds the subrecord's text: above 30 it is 31, which a text of 31 or more holds.
    const uint8_t* text = sub.data + kBglRecordHeaderSize;
    const void* nul = n ? std::memchr(text, 0, n) : nullptr;
    if (nul) n = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - text);
    // The name is exactly this text: nothing of an earlier, longer name shows through, and the bytes
    // behind it are zero, as kestrel.dat stores them.
    std::memset(a->name, 0, sizeof a->name);
    std::memcpy(a->name, text, n);
    logMessage(5, "Name subrecord yielded airport name: %s", airportText(a).name);
}

void applyRunway(const char* path, uint64_t offset, ByteView sub, Airport* a) {
    if (!hasFields(path, offset, sub, kBglRunwaySubrecordId, kRunwaySubrecordFields)) return;
    uint16_t surface = 0;
    uint8_t primaryNumber = 0, primaryDesignator = 0, secondaryNumber = 0, secondaryDesignator = 0;
    uint32_t lon = 0, lat = 0;
    float length = 0.0f, heading = 0.0f;
    readU16(sub, 6, surface);
    readU8(sub, 8, primaryNumber);
    readU8(sub, 9, primaryDesignator);
    readU8(sub, 10, secondaryNumber);
    readU8(sub, 11, secondaryDesignator);
    readU32(sub, 20, lon);
    readU32(sub, 24, lat);
    readF32(sub, 32, length);
    readF32(sub, 40, heading);
    logMessage(5, "Found runway at (%f,%f), heading %f, length %f meters at %s", rawLatToDegrees(lat),
               rawLonToDegrees(lon), static_cast<double>(heading), static_cast<double>(length),
               airportText(a).ident);

    RunwayNode* node = newRunwayNode();
    if (!node) {
        logMessage(0, "Out of memory: a runway of %s was dropped", airportText(a).ident);
        markImportIncomplete();
        return;
    }
    node->surface = static_cast<uint8_t>(surface);
    node->primaryNumber = primaryNumber;
    node->secondaryNumber = secondaryNumber;
    node->designators = static_cast<uint8_t>((secondaryDesignator << 4) | primaryDesignator);
    node->lon = lon;
    node->lat = lat;
    node->lengthM = length;
    node->heading = heading;
    if (!pushRunway(a, node)) {  // logged
        freeRunwayNode(node);
        markImportIncomplete();
    }
}

void deleteRunway(const uint8_t key[4], Airport* a) {
    if (!runwayListHead(a)) return;
    RunwayNode** link = runwayListLink(a);
    if (!link) return;
    for (; *link; link = &(*link)->next) {
        RunwayNode* node = *link;
        const uint8_t bytes[4] = {node->surface, node->primaryNumber, node->secondaryNumber,
                                  node->designators};
        if (std::memcmp(bytes, key, sizeof bytes) != 0) continue;
        unlinkRunway(a, link);
        logMessage(5, "Deleted runway %d/%d from %s", node->primaryNumber, node->designators,
                   airportText(a).ident);
        freeRunwayNode(node);
        return;
    }
}

void deleteFrequency(uint32_t entry, Airport* a) {
    const uint32_t type = entry >> 28;
    const int32_t code = static_cast<int32_t>(nearestKhz(entry & 0x0FFFFFFFu)) - 117000;
    logMessage(5, "found individual delete request for frequency %.03f of type %d",
               comFrequencyMHz(static_cast<uint32_t>(code)), static_cast<int>(type));
    if (type != kComTypeTower) return;
    for (uint32_t i = 0; i < static_cast<uint32_t>(kTowerComSlots) && a->towerCom[i] != 0; ++i) {
        if (a->towerCom[i] != code) continue;
        logMessage(5, "deleting tower COM at index %u", i);
        // Close the gap: the slots behind move down until an empty one has moved.
        for (uint32_t j = i; j + 1 < static_cast<uint32_t>(kTowerComSlots); ++j) {
            a->towerCom[j] = a->towerCom[j + 1];
            if (a->towerCom[j] == 0) break;
        }
        a->towerCom[kTowerComSlots - 1] = 0;
        return;
    }
}

}  // namespace

void decodeIdent(uint32_t packed, char* ident) {
    uint32_t n = packed >> 5;
    for (int position = static_cast<int>(kIdentDigits) - 1; position >= 0; --position) {
        ident[position] = identChar(n % 38);
        n /= 38;
    }
    ident[kIdentDigits] = '\0';
    uint32_t blanks = 0;
    while (blanks < kIdentDigits && ident[blanks] == ' ')
        ++blanks;
    // The characters and the NUL move to the front; what lies behind the moved NUL keeps the leftover
    // characters, which are not significant.
    std::memmove(ident, ident + blanks, kIdentDigits + 1 - blanks);
}

void applyDeleteAirport(const char* path, uint64_t offset, ByteView sub, Airport* a) {
    logMessage(5, "Evaluating DeleteAirport subrecord");
    uint8_t flags = 0;
    readU8(sub, 6, flags);  // a 6-byte subrecord has no flags
    if (flags & kDeleteAllRunways) {
        logMessage(5, "Deleting all runways from %s", airportText(a).ident);
        releaseRunwayList(a);
    }
    if (flags & kDeleteAllFrequencies) {
        logMessage(5, "deleting all frequencies from %s", airportText(a).ident);
        unsigned cleared = 0;
        for (int slot = 0; slot < kTowerComSlots && a->towerCom[slot] != 0; ++slot) {
            a->towerCom[slot] = 0;
            ++cleared;
        }
        logMessage(5, "deleted %u frequencies", cleared);
    }
    if (sub.size < kDeleteAirportFixedSize) {
        logMessage(5,
                   "bailing out because size (%d) is less than DeleteAirport size containing individual "
                   "runway or frequency deletions (%d)",
                   static_cast<int>(sub.size), static_cast<int>(kDeleteAirportFixedSize));
        return;
    }
    uint8_t runways = 0, stepped = 0, frequencies = 0;
    readU8(sub, 8, runways);
    readU8(sub, 9, stepped);
    readU8(sub, 10, frequencies);

    // Counts that reach past the subrecord act only on the entries that lie inside it.
    const uint64_t needed = kDeleteAirportFixedSize + 4ull * (runways + stepped + frequencies);
    if (needed > sub.size)
        logMessage(
            2,
            "%s: DeleteAirport subrecord at offset %08llX is only %d bytes long, expected at least %d. "
            "Ignoring what lies past its end",
            path, static_cast<unsigned long long>(offset), static_cast<int>(sub.size),
            static_cast<int>(needed));
    size_t at = kDeleteAirportFixedSize;
    for (uint32_t k = 0; k < runways; ++k, at += 4) {
        if (!sub.contains(at, 4)) return;
        deleteRunway(sub.data + at, a);
    }
    at += 4u * stepped;
    for (uint32_t f = 0; f < frequencies; ++f, at += 4) {
        uint32_t entry = 0;
        if (!readU32(sub, at, entry)) return;
        deleteFrequency(entry, a);
    }
}

void applySubrecord(const char* path, ByteView view, uint64_t offset, Airport* target, int deletePass) {
    uint16_t id = 0;
    uint32_t size = 0;
    if (!readU16At(view, offset, id) || !readU32At(view, offset + 2, size)) return;
    const ByteView sub = viewPart(view, offset, size);
    if (sub.size < kBglRecordHeaderSize) return;  // the caller checks; nothing outside is read
    if (deletePass) {
        if (id == kBglDeleteAirportSubrecordId) applyDeleteAirport(path, offset, sub, target);
        return;
    }
    switch (id) {
        case kBglComSubrecordId:
            applyCom(path, offset, sub, target);
            break;
        case kBglNameSubrecordId:
            applyName(sub, target);
            break;
        case kBglRunwaySubrecordId:
            applyRunway(path, offset, sub, target);
            break;
        default:
            break;
    }
}

namespace {

// Walks the subrecords from the end of the fixed part to the end of the record. A subrecord shorter
// than its own header cannot advance the walk, and one that reaches past the record would be read from
// the bytes behind it: either ends the walk, which the size line then reports.
void walkSubrecords(const char* path, ByteView view, uint32_t recordOffset, uint32_t recordSize,
                    Airport* target, int deletePass) {
    const uint64_t end = static_cast<uint64_t>(recordOffset) + recordSize;
    uint64_t position = static_cast<uint64_t>(recordOffset) + kBglAirportFixedSize;
    while (position < end) {
        uint16_t id = 0;
        uint32_t size = 0;
        if (end - position < kBglRecordHeaderSize || !readU16At(view, position, id) ||
            !readU32At(view, position + 2, size))
            break;
        logMessage(4, "airport subrecord at offset %08llX is of type %04X, size %d",
                   static_cast<unsigned long long>(position), id, static_cast<int>(size));
        if (size < kBglRecordHeaderSize) break;
        if (size > end - position) {
            position += size;
            break;
        }
        applySubrecord(path, view, position, target, deletePass);
        position += size;
    }
    if (position != end)
        logMessage(2, "%s: airport record at offset %08X specified a size of %d, but used %lld", path,
                   recordOffset, static_cast<int>(recordSize),
                   static_cast<long long>(position - recordOffset));
}

// Imported airports live until the process ends, reachable through the spatial index. They come from
// blocks of many, so a build of the world does not allocate once per airport; the newest one, when it
// was merged into an earlier airport, is handed back. (The sanitizer suite knows the blocks by this
// function's name.)
constexpr uint32_t kAirportsPerBlock = 2048;

struct LifetimeAirportBlock {
    LifetimeAirportBlock* next;  // the block made before
    Airport airports[kAirportsPerBlock];
};

struct LifetimeAirports {
    LifetimeAirportBlock* newest = nullptr;  // the older ones are full
    uint32_t used = 0;                       // of the newest
};

LifetimeAirports lifetimeAirports;

Airport* newLifetimeAirport() {
    LifetimeAirports& l = lifetimeAirports;
    if (!l.newest || l.used == kAirportsPerBlock) {
        auto* block = static_cast<LifetimeAirportBlock*>(platformAllocateBulk(sizeof(LifetimeAirportBlock)));
        if (!block) return nullptr;
        block->next = l.newest;
        l.newest = block;
        l.used = 0;
    }
    Airport* airport = &l.newest->airports[l.used++];
    *airport = Airport{};
    return airport;
}

// Gives back the airport newLifetimeAirport made last.
void dropNewestAirport(const Airport* airport) {
    LifetimeAirports& l = lifetimeAirports;
    if (l.used && airport == &l.newest->airports[l.used - 1]) --l.used;
}

}  // namespace

void releaseImportedAirports() {
    for (LifetimeAirportBlock* block = lifetimeAirports.newest; block;) {
        LifetimeAirportBlock* next = block->next;
        platformReleaseBulk(block, sizeof(LifetimeAirportBlock));
        block = next;
    }
    lifetimeAirports = LifetimeAirports{};
}

uint32_t parseAirportRecord(const char* path, ByteView view, uint32_t recordOffset) {
    uint32_t recordSize = 0;
    if (!readU32At(view, static_cast<uint64_t>(recordOffset) + 2, recordSize) ||
        !viewContains(view, recordOffset, recordSize)) {
        logMessage(2, "%s: airport record at offset %08X reaches past the end of the file. Skipping it", path,
                   recordOffset);
        return 0;
    }
    if (recordSize < kBglAirportFixedSize) {
        logMessage(
            2, "%s: airport record at offset %08X is only %d bytes long, expected at least %d. Skipping it",
            path, recordOffset, static_cast<int>(recordSize), static_cast<int>(kBglAirportFixedSize));
        return 0;
    }
    const ByteView record = viewPart(view, recordOffset, recordSize);

    Airport* fresh = newLifetimeAirport();
    if (!fresh) {
        logMessage(0, "Out of memory: the airport record at offset %08X of %s was dropped", recordOffset,
                   path);
        markImportIncomplete();
        return 0;
    }
    uint32_t packed = 0;
    readU8(record, 6, fresh->runwayCount);
    readU32(record, 12, fresh->apLon);
    readU32(record, 16, fresh->apLat);
    readI32(record, 20, fresh->apAlt);
    readU32(record, 24, fresh->twrLon);
    readU32(record, 28, fresh->twrLat);
    readI32(record, 32, fresh->twrAlt);
    readU32(record, 40, packed);
    decodeIdent(packed, fresh->ident);

    Airport* existing = lookupAirport(fresh->ident);
    if (existing) {
        logMessage(4, "Found an existing entry for %s", airportText(existing).ident);
        mergeTowerInfo(existing, fresh);
        dropNewestAirport(fresh);
        walkSubrecords(path, view, recordOffset, recordSize, existing, 1);
        walkSubrecords(path, view, recordOffset, recordSize, existing, 0);
        traceAirport(path, existing);
        return 0;
    }

    walkSubrecords(path, view, recordOffset, recordSize, fresh, 0);
    traceAirport(path, fresh);
    dumpAirport(fresh, 4);
    spatialIndexQueue(fresh);
    if (!insertAirport(fresh)) {
        // Logged. The airport stays findable by position on this flight, but is missing from the file.
        markImportIncomplete();
        return 0;
    }
    progressAddAirports(1);
    return 1;
}
