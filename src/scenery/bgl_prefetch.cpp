#include "scenery/bgl_prefetch.h"

#include "scenery/bgl_bytes.h"
#include "scenery/bgl_walker.h"
#include "scenery/mapped_file.h"

namespace {

// Ranges that touch or overlap go to the mapping as one request.
class PrefetchBatch {
public:
    explicit PrefetchBatch(ByteView view) : view_(view) {}
    ~PrefetchBatch() { flush(); }

    void add(uint64_t offset, uint64_t size) {
        if (size == 0 || offset >= view_.size) return;
        const uint64_t end = offset + (size < view_.size - offset ? size : view_.size - offset);
        if (end_ > begin_ && offset <= end_ && end >= begin_) {
            if (offset < begin_) begin_ = offset;
            if (end > end_) end_ = end;
            return;
        }
        flush();
        begin_ = offset;
        end_ = end;
    }

    void flush() {
        if (end_ > begin_) prefetchMapped(view_, begin_, end_ - begin_);
        begin_ = end_ = 0;
    }

private:
    ByteView view_;
    uint64_t begin_ = 0;
    uint64_t end_ = 0;
};

// The section table entry `i`, when it is inside the view and names an airport section.
bool airportSection(ByteView view, uint32_t headerSize, uint32_t i, uint32_t& subsections,
                    uint32_t& tableOffset) {
    const uint64_t entry = headerSize + static_cast<uint64_t>(kBglSectionEntrySize) * i;
    uint32_t type = 0;
    return readU32At(view, entry, type) && type == kBglAirportSectionType &&
           readU32At(view, entry + 8, subsections) && readU32At(view, entry + 12, tableOffset);
}

}  // namespace

void prefetchAirportParts(ByteView view) {
    uint32_t magic = 0, headerSize = 0, sectionCount = 0;
    if (!readU32(view, 0, magic) || magic != kBglMagic || !readU32(view, 4, headerSize) ||
        !readU32(view, 20, sectionCount))
        return;
    // No more entries than the view holds: the count comes from the file.
    const uint64_t fitting = headerSize < view.size ? (view.size - headerSize) / kBglSectionEntrySize : 0;
    const uint32_t sections = sectionCount < fitting ? sectionCount : static_cast<uint32_t>(fitting);
    {
        PrefetchBatch batch(view);
        batch.add(headerSize, static_cast<uint64_t>(kBglSectionEntrySize) * sections);
    }
    // Every subsection table first, so that their reads are under way together; then the records,
    // which are found in those tables.
    PrefetchBatch tables(view);
    for (uint32_t i = 0; i < sections; ++i) {
        uint32_t subsections = 0, tableOffset = 0;
        if (airportSection(view, headerSize, i, subsections, tableOffset))
            tables.add(tableOffset, static_cast<uint64_t>(kBglSubsectionEntrySize) * subsections);
    }
    tables.flush();
    PrefetchBatch records(view);
    for (uint32_t i = 0; i < sections; ++i) {
        uint32_t subsections = 0, tableOffset = 0;
        if (!airportSection(view, headerSize, i, subsections, tableOffset)) continue;
        for (uint32_t j = 0; j < subsections; ++j) {
            const uint64_t entry = tableOffset + static_cast<uint64_t>(kBglSubsectionEntrySize) * j;
            uint32_t firstRecord = 0, size = 0;
            // Every later entry lies further on.
            if (!readU32At(view, entry + 8, firstRecord) || !readU32At(view, entry + 12, size)) break;
            records.add(firstRecord, size);
        }
    }
}
