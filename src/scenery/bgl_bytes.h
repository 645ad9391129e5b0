// Reads of scenery file fields at offsets computed from other fields. Such an offset is an unsigned sum
// that can exceed 32 bits, so it is carried as 64 bits and tested against the view before it becomes a
// size_t: on a 32-bit build a narrowing first could wrap it back inside the view.
#pragma once

#include <cstdint>

#include "core/bytes.h"

inline bool viewContains(ByteView view, uint64_t offset, uint64_t length) {
    return offset <= view.size && length <= view.size - offset;
}

// The part of the view from `offset` on, `length` bytes long; empty when it does not fit.
inline ByteView viewPart(ByteView view, uint64_t offset, uint64_t length) {
    if (!viewContains(view, offset, length)) return ByteView{};
    return view.sub(static_cast<size_t>(offset), static_cast<size_t>(length));
}

inline bool readU8At(ByteView view, uint64_t offset, uint8_t& out) {
    return viewContains(view, offset, 1) && readU8(view, static_cast<size_t>(offset), out);
}

inline bool readU16At(ByteView view, uint64_t offset, uint16_t& out) {
    return viewContains(view, offset, 2) && readU16(view, static_cast<size_t>(offset), out);
}

inline bool readU32At(ByteView view, uint64_t offset, uint32_t& out) {
    return viewContains(view, offset, 4) && readU32(view, static_cast<size_t>(offset), out);
}
