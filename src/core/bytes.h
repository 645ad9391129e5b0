// Little-endian access to bytes that came from outside: files, mapped views, the shared block.
//
// Every read names an offset and fails (returns false, leaves `out` alone) when the field does not lie
// entirely inside the view, so no count, offset or size taken from the data can lead a read outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    // True when [offset, offset + length) lies inside the view (overflow-safe).
    bool contains(size_t offset, size_t length) const { return offset <= size && length <= size - offset; }

    // The part of the view from `offset` on, `length` bytes long; empty when it does not fit.
    ByteView sub(size_t offset, size_t length) const {
        return contains(offset, length) ? ByteView{data + offset, length} : ByteView{};
    }
};

inline bool readU8(ByteView v, size_t offset, uint8_t& out) {
    if (!v.contains(offset, 1)) return false;
    out = v.data[offset];
    return true;
}

inline bool readU16(ByteView v, size_t offset, uint16_t& out) {
    if (!v.contains(offset, 2)) return false;
    out = static_cast<uint16_t>(v.data[offset] | (v.data[offset + 1] << 8));
    return true;
}

inline bool readU32(ByteView v, size_t offset, uint32_t& out) {
    if (!v.contains(offset, 4)) return false;
    out = static_cast<uint32_t>(v.data[offset]) | (static_cast<uint32_t>(v.data[offset + 1]) << 8) |
          (static_cast<uint32_t>(v.data[offset + 2]) << 16) |
          (static_cast<uint32_t>(v.data[offset + 3]) << 24);
    return true;
}

// A signed 32-bit field in two's complement.
inline bool readI32(ByteView v, size_t offset, int32_t& out) {
    uint32_t bits;
    if (!readU32(v, offset, bits)) return false;
    out = static_cast<int32_t>(bits);
    return true;
}

inline bool readU64(ByteView v, size_t offset, uint64_t& out) {
    uint32_t low, high;
    if (!readU32(v, offset, low) || !readU32(v, offset + 4, high)) return false;
    out = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

inline bool readF32(ByteView v, size_t offset, float& out) {
    uint32_t bits;
    if (!readU32(v, offset, bits)) return false;
    std::memcpy(&out, &bits, sizeof out);
    return true;
}

// Little-endian stores into a caller's buffer; the caller guarantees the room.
inline void putU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void putU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void putU64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void putF32(uint8_t* at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(at, bits);
}
