// MD5 message digests (RFC 1321) of memory blocks and whole files: the fingerprints that tell whether
// the scenery library changed since the airport database was written.
#pragma once

#include <cstddef>
#include <cstdint>

// The 16 digest bytes in the standard order (the four state words, least significant byte first).
struct Digest {
    uint8_t bytes[16];
};

// Incremental digest, for data that arrives in pieces.
struct Md5Context {
    uint32_t state[4];
    uint64_t totalBytes;
    uint8_t pending[64];  // the bytes of an incomplete block
};

void md5Init(Md5Context& context);
void md5Update(Md5Context& context, const void* data, size_t length);
void md5Final(Md5Context& context, Digest& digest);

// The digest of `length` bytes at `data`; a length of 0 or less digests the empty message.
void md5Buffer(Digest& digest, const void* data, int32_t length);

// The digest of the whole file at `path`, read straight from a read-only mapping. Returns 1, or 0 with
// `digest` untouched when the file cannot be mapped (mapFile has logged why; an empty file is one case).
int md5File(Digest& digest, const char* path);

// 1 when all 16 bytes are equal, else 0.
int digestsEqual(const Digest& a, const Digest& b);
