#include "scenery/bgl_walker.h"

#include <cstring>

#include "core/core_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "scenery/airport_decoder.h"
#include "scenery/bgl_bytes.h"
#include "scenery/bgl_prefetch.h"
#include "scenery/file_stamp.h"
#include "scenery/import_record.h"
#include "scenery/mapped_file.h"
#include "simlink/base_dir.h"

namespace {

constexpr uint32_t kSectionEntrySize = kBglSectionEntrySize;
constexpr uint32_t kSubsectionEntrySize = kBglSubsectionEntrySize;

// Layer index (scenery.dat) fields.
constexpr size_t kIndexEntryCountAt = 32;
constexpr size_t kIndexLayerFlagsAt = 37;
constexpr size_t kIndexOffsetTableAt = 108;
constexpr size_t kEntryFlagsAt = 9;
constexpr size_t kEntryNameLengthAt = 88;
constexpr size_t kEntryNameAt = 92;
constexpr uint8_t kHoldsAirports = 0x20;

const char kBglExtension[] = ".bgl";

unsigned long long u64(uint64_t value) {
    return static_cast<unsigned long long>(value);
}

// Steps through the records of one subsection of an airport section; returns the airports added.
uint32_t walkSubsection(ByteView view, const char* path, uint32_t recordCount, uint32_t firstRecord,
                        uint32_t subsectionSize) {
    uint32_t added = 0;
    uint64_t position = firstRecord;
    const uint64_t limit = static_cast<uint64_t>(firstRecord) + subsectionSize;
    for (uint32_t k = 0; k < recordCount; ++k) {
        uint16_t id = 0;
        uint32_t size = 0;
        if (!readU16At(view, position, id) || !readU32At(view, position + 2, size)) {
            logMessage(2,
                       "File %s, offset %08llX: record %d of %d reaches past the end of the file. "
                       "Aborting parse of subsection",
                       path, u64(position), static_cast<int>(k), static_cast<int>(recordCount));
            return added;
        }
        logMessage(5, "record %d at offset %08llX is of type %04X, size %d", static_cast<int>(k),
                   u64(position), id, static_cast<int>(size));
        if (size == 0) {
            // Nothing would move the walk on: every further record would be this one again.
            logMessage(
                2, "File %s, offset %08llX: record %d of %d has a size of 0. Aborting parse of subsection",
                path, u64(position), static_cast<int>(k), static_cast<int>(recordCount));
            return added;
        }
        if (!viewContains(view, position, size)) {
            logMessage(2,
                       "File %s, offset %08llX: record %d of %d (size %d) reaches past the end of the file. "
                       "Aborting parse of subsection",
                       path, u64(position), static_cast<int>(k), static_cast<int>(recordCount),
                       static_cast<int>(size));
            return added;
        }
        if (id == kBglAirportRecordId)
            added += parseAirportRecord(path, view, static_cast<uint32_t>(position));
        else
            logMessage(2,
                       "File %s, offset %08llX: expected airport ID (%04X), but found %04X. Aborting parse "
                       "of record",
                       path, u64(position), kBglAirportRecordId, id);
        position += size;
        if (position > limit) {
            logMessage(
                2,
                "While reading record %d of %d in file %s: ended up at offset 0x%08llX > 0x%08X + 0x%X "
                "(subsection start + subsection size)",
                static_cast<int>(k), static_cast<int>(recordCount), path, u64(position), firstRecord,
                subsectionSize);
            return added;
        }
    }
    return added;
}

uint32_t walkAirportSection(ByteView view, const char* path, uint32_t section, uint32_t subsectionCount,
                            uint32_t tableOffset) {
    uint32_t added = 0;
    for (uint32_t j = 0; j < subsectionCount; ++j) {
        const uint64_t entry = tableOffset + static_cast<uint64_t>(kSubsectionEntrySize) * j;
        uint32_t recordCount = 0, firstRecord = 0, size = 0;
        if (!viewContains(view, entry, kSubsectionEntrySize)) {
            // Every later entry lies further on.
            logMessage(2,
                       "File %s: subsection %d of section %d at offset %08llX reaches past the end of the "
                       "file. Aborting parse of section",
                       path, static_cast<int>(j), static_cast<int>(section), u64(entry));
            return added;
        }
        readU32At(view, entry + 4, recordCount);
        readU32At(view, entry + 8, firstRecord);
        readU32At(view, entry + 12, size);
        logMessage(5, "subsection %d at offset %08X has %d records, size %d", static_cast<int>(j),
                   firstRecord, static_cast<int>(recordCount), static_cast<int>(size));
        added += walkSubsection(view, path, recordCount, firstRecord, size);
    }
    return added;
}

// The name of a layer index entry, `maxLength` bytes or up to its NUL; false when it reaches past the
// end of the index.
bool entryName(ByteView index, uint64_t at, uint32_t maxLength, const uint8_t*& name, size_t& length) {
    if (at > index.size) return false;
    const size_t available = index.size - static_cast<size_t>(at);
    const size_t field = maxLength < available ? maxLength : available;
    name = index.data + at;
    const void* nul = field ? std::memchr(name, 0, field) : nullptr;
    length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - name) : field;
    return nul || maxLength <= available;
}

}  // namespace

int composeBglPath(const uint8_t* name, size_t length, char* path, size_t size) {
    const void* nul = length ? std::memchr(name, 0, length) : nullptr;
    if (nul) length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - name);
    path[0] = '\0';
    const size_t total = length + sizeof kBglExtension - 1;
    if (total >= size) return 0;
    std::memcpy(path, name, length);
    std::memcpy(path + length, kBglExtension, sizeof kBglExtension);

    const bool absolute = (total >= 2 && path[1] == ':') ||
                          (total >= 7 && path[0] == '\\' && path[1] == '\\') ||
                          platformIsNativeAbsolutePath(path);
    if (absolute) return 1;
    const size_t baseLength = std::strlen(basedir);
    if (baseLength + total >= size) {
        path[0] = '\0';
        return 0;
    }
    std::memmove(path + baseLength, path, total + 1);
    std::memcpy(path, basedir, baseLength);
    return 1;
}

uint32_t parseBglFile(ByteView view, const char* path) {
    uint32_t magic = 0, headerSize = 0, sectionCount = 0;
    if (!readU32(view, 0, magic)) {
        logMessage(2, "File %s is too short (%llu bytes) for a BGL header, aborting parse", path,
                   u64(view.size));
        return 0;
    }
    if (magic != kBglMagic) {
        logMessage(2, "Unknown magic %08X in file %s, aborting parse", magic, path);
        return 0;
    }
    if (!readU32(view, 4, headerSize) || !readU32(view, 20, sectionCount)) {
        logMessage(2, "File %s is too short (%llu bytes) for a BGL header, aborting parse", path,
                   u64(view.size));
        return 0;
    }
    if (headerSize != kBglHeaderSize)
        logMessage(2, "Header size in %s is %d, expected %d. Continuing nevertheless.", path,
                   static_cast<int>(headerSize), static_cast<int>(kBglHeaderSize));
    logMessage(5, "%d sections in file", static_cast<int>(sectionCount));

    uint32_t added = 0;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t entry = headerSize + static_cast<uint64_t>(kSectionEntrySize) * i;
        if (!viewContains(view, entry, kSectionEntrySize)) {
            // Every later entry lies further on.
            logMessage(
                2, "File %s: section %d at offset %08llX reaches past the end of the file. Aborting parse",
                path, static_cast<int>(i), u64(entry));
            break;
        }
        uint32_t type = 0, subsectionCount = 0, tableOffset = 0;
        readU32At(view, entry, type);
        readU32At(view, entry + 8, subsectionCount);
        readU32At(view, entry + 12, tableOffset);
        if (type != kBglAirportSectionType) {
            logMessage(5, "ignoring section %d of type %08X", static_cast<int>(i), type);
            continue;
        }
        logMessage(5, "parsing section %d of type %08X, offset %08X, as airport subsection",
                   static_cast<int>(i), type, tableOffset);
        added += walkAirportSection(view, path, i, subsectionCount, tableOffset);
    }
    return added;
}

int visitAirportFiles(ByteView index, uint32_t entryCount, const char* indexPath, int report,
                      AirportFileVisitor visit, void* context, uint32_t firstEntry) {
    for (uint32_t e = firstEntry; e < entryCount; ++e) {
        uint32_t entryOffset = 0;
        if (!readU32At(index, kIndexOffsetTableAt + 4 * static_cast<uint64_t>(e), entryOffset)) {
            // Every later slot lies further on.
            if (report)
                logMessage(
                    2, "%s: the offset table of %u entries reaches past the end of the file after %u entries",
                    indexPath, entryCount, e);
            break;
        }
        // The flag comes first: an entry without it is passed over whatever its name, and one with it
        // counts as a file even when its name cannot be used.
        uint8_t flags = 0;
        const uint64_t entry = entryOffset;
        if (!readU8At(index, entry + kEntryFlagsAt, flags)) {
            if (report)
                logMessage(2, "%s: entry %u at offset %08X reaches past the end of the file. Skipping it",
                           indexPath, e, entryOffset);
            continue;
        }
        const bool holdsAirports = (flags & kHoldsAirports) != 0;
        uint32_t nameLength = 0;
        const uint8_t* name = nullptr;
        size_t length = 0;
        char path[kPathBufferSize];
        if (!viewContains(index, entry, kEntryNameAt) ||
            !readU32At(index, entry + kEntryNameLengthAt, nameLength) ||
            !entryName(index, entry + kEntryNameAt, nameLength, name, length)) {
            if (!holdsAirports) continue;
            if (report)
                logMessage(2, "%s: entry %u at offset %08X reaches past the end of the file. Skipping it",
                           indexPath, e, entryOffset);
            if (!visit(context, e, nullptr)) return 0;
            continue;
        }
        if (!composeBglPath(name, length, path, sizeof path)) {
            if (!holdsAirports) continue;
            if (report)
                logMessage(2, "%s: the file of entry %u does not fit a path of %d characters. Skipping it",
                           indexPath, e, kPathBufferSize - 1);
            if (!visit(context, e, nullptr)) return 0;
            continue;
        }
        if (!holdsAirports) {
            if (report) logMessage(5, "%s does not contain airports", path);
            continue;
        }
        if (report) logMessage(5, "%s contains airports", path);
        if (!visit(context, e, path)) return 0;
    }
    return 1;
}

namespace {

// The import of one layer's files, a file ahead: while one file is walked, the next is already mapped
// and the parts of it the walk will read are on their way from disk.
struct LayerImport {
    ByteView index;
    uint32_t entryCount = 0;
    const char* indexPath = nullptr;
    uint32_t added = 0;
    MappedFile next;  // entry `nextEntry`, mapped ahead of its turn, or empty
    uint32_t nextEntry = 0;
    FileStamp nextStamp;  // taken before it was mapped
};

struct NextFile {
    uint32_t entry = 0;
    char path[kPathBufferSize] = {};
};

int takeNextFile(void* context, uint32_t entry, const char* path) {
    if (!path) return 1;  // left to its turn
    NextFile& next = *static_cast<NextFile*>(context);
    next.entry = entry;
    std::memcpy(next.path, path, std::strlen(path) + 1);
    return 0;
}

// Maps the airport file after `entry` quietly, if any: one that fails is reported at its turn.
void mapNextFile(LayerImport& layer, uint32_t entry) {
    NextFile next;
    if (visitAirportFiles(layer.index, layer.entryCount, layer.indexPath, 0, takeNextFile, &next, entry + 1))
        return;
    layer.nextStamp = fileStampOf(next.path);
    if (!mapFileQuietly(next.path, layer.next, ViewAccess::parts)) return;
    layer.nextEntry = next.entry;
    prefetchAirportParts(mappedBytes(layer.next));
}

// Imports one airport file: its stamp first (a file changed while it is read then differs from its
// stamp at the next start), then its records. A file that is there but cannot be read is noted: a build
// without it is not complete. One that is not there, or is empty, is how the library is.
int importAirportFile(void* context, uint32_t entry, const char* path) {
    // A stop ends the import between two files.
    if (core.stopRequested.isSet()) return 0;
    progressAddFiles(1);
    if (!path) return 1;
    LayerImport& layer = *static_cast<LayerImport*>(context);
    MappedFile bgl;
    FileStamp stamp;
    if (layer.next.view && layer.nextEntry == entry) {
        bgl = layer.next;
        stamp = layer.nextStamp;
        layer.next = MappedFile{};
    } else {
        unmapFile(layer.next);
        stamp = fileStampOf(path);
    }
    recordAirportFile(entry, stamp);
    if (!bgl.view) {
        MapFault fault = MapFault::none;
        if (!mapFile(path, bgl, &fault, ViewAccess::parts)) {
            if (fault == MapFault::unreadable) recordUnreadFile(path);
            mapNextFile(layer, entry);
            return 1;
        }
        prefetchAirportParts(mappedBytes(bgl));
    }
    mapNextFile(layer, entry);
    layer.added += parseBglFile(mappedBytes(bgl), path);
    unmapFile(bgl);
    return 1;
}

}  // namespace

uint32_t importIndexedFiles(ByteView index, uint32_t entryCount, const char* indexPath) {
    LayerImport layer;
    layer.index = index;
    layer.entryCount = entryCount;
    layer.indexPath = indexPath;
    visitAirportFiles(index, entryCount, indexPath, 1, importAirportFile, &layer);
    unmapFile(layer.next);  // left by a stop
    return layer.added;
}

int readLayerIndexHeader(ByteView index, uint32_t& entryCount, int& holdsAirports) {
    uint8_t layerFlags = 0;
    if (!readU32(index, kIndexEntryCountAt, entryCount) || !readU8(index, kIndexLayerFlagsAt, layerFlags))
        return 0;
    holdsAirports = (layerFlags & kHoldsAirports) != 0;
    return 1;
}

uint32_t importLayerIndex(const char* path) {
    MappedFile index;
    if (!mapFile(path, index)) return 0;
    const ByteView bytes = mappedBytes(index);
    uint32_t entryCount = 0;
    int holdsAirports = 0;
    uint32_t added = 0;
    if (!readLayerIndexHeader(bytes, entryCount, holdsAirports)) {
        logMessage(2, "%s is too short (%llu bytes) for a layer index. Ignoring that layer!", path,
                   u64(bytes.size));
    } else if (holdsAirports) {
        logMessage(5, "%s contains airports\r\n", path);
        added = importIndexedFiles(bytes, entryCount, path);
    } else {
        logMessage(5, "%s does not contain airports\r\n", path);
    }
    unmapFile(index);
    return added;
}
