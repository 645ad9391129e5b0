#include "scenery/md5.h"

#include <cstring>

#include "scenery/mapped_file.h"

namespace {

inline uint32_t rotl(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

inline uint32_t loadLe32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

// The four rounds, written out so the compiler keeps everything in registers. F uses the
// select form d ^ (b & (c ^ d)); G adds its two disjoint halves separately, which shortens the
// dependency chain.
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))
#define MD5_STEP_F(a, b, c, d, x, t, s) a = b + rotl(a + MD5_F(b, c, d) + (x) + (t), s)
#define MD5_STEP_G(a, b, c, d, x, t, s) a = b + rotl(a + ((d) & (b)) + ((~(d)) & (c)) + (x) + (t), s)
#define MD5_STEP_H(a, b, c, d, x, t, s) a = b + rotl(a + MD5_H(b, c, d) + (x) + (t), s)
#define MD5_STEP_I(a, b, c, d, x, t, s) a = b + rotl(a + MD5_I(b, c, d) + (x) + (t), s)

void processBlocks(uint32_t state[4], const uint8_t* data, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = loadLe32(data + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP_F(a, b, c, d, x[0], 0xd76aa478, 7);
        MD5_STEP_F(d, a, b, c, x[1], 0xe8c7b756, 12);
        MD5_STEP_F(c, d, a, b, x[2], 0x242070db, 17);
        MD5_STEP_F(b, c, d, a, x[3], 0xc1bdceee, 22);
        MD5_STEP_F(a, b, c, d, x[4], 0xf57c0faf, 7);
        MD5_STEP_F(d, a, b, c, x[5], 0x4787c62a, 12);
        MD5_STEP_F(c, d, a, b, x[6], 0xa8304613, 17);
        MD5_STEP_F(b, c, d, a, x[7], 0xfd469501, 22);
        MD5_STEP_F(a, b, c, d, x[8], 0x698098d8, 7);
        MD5_STEP_F(d, a, b, c, x[9], 0x8b44f7af, 12);
        MD5_STEP_F(c, d, a, b, x[10], 0xffff5bb1, 17);
        MD5_STEP_F(b, c, d, a, x[11], 0x895cd7be, 22);
        MD5_STEP_F(a, b, c, d, x[12], 0x6b901122, 7);
        MD5_STEP_F(d, a, b, c, x[13], 0xfd987193, 12);
        MD5_STEP_F(c, d, a, b, x[14], 0xa679438e, 17);
        MD5_STEP_F(b, c, d, a, x[15], 0x49b40821, 22);

        MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
        MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
        MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
        MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
        MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
        MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
        MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
        MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
        MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
        MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
        MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
        MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
        MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
        MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

        MD5_STEP_H(a, b, c, d, x[5], 0xfffa3942, 4);
        MD5_STEP_H(d, a, b, c, x[8], 0x8771f681, 11);
        MD5_STEP_H(c, d, a, b, x[11], 0x6d9d6122, 16);
        MD5_STEP_H(b, c, d, a, x[14], 0xfde5380c, 23);
        MD5_STEP_H(a, b, c, d, x[1], 0xa4beea44, 4);
        MD5_STEP_H(d, a, b, c, x[4], 0x4bdecfa9, 11);
        MD5_STEP_H(c, d, a, b, x[7], 0xf6bb4b60, 16);
        MD5_STEP_H(b, c, d, a, x[10], 0xbebfbc70, 23);
        MD5_STEP_H(a, b, c, d, x[13], 0x289b7ec6, 4);
        MD5_STEP_H(d, a, b, c, x[0], 0xeaa127fa, 11);
        MD5_STEP_H(c, d, a, b, x[3], 0xd4ef3085, 16);
        MD5_STEP_H(b, c, d, a, x[6], 0x04881d05, 23);
        MD5_STEP_H(a, b, c, d, x[9], 0xd9d4d039, 4);
        MD5_STEP_H(d, a, b, c, x[12], 0xe6db99e5, 11);
        MD5_STEP_H(c, d, a, b, x[15], 0x1fa27cf8, 16);
        MD5_STEP_H(b, c, d, a, x[2], 0xc4ac5665, 23);

        MD5_STEP_I(a, b, c, d, x[0], 0xf4292244, 6);
        MD5_STEP_I(d, a, b, c, x[7], 0x432aff97, 10);
        MD5_STEP_I(c, d, a, b, x[14], 0xab9423a7, 15);
        MD5_STEP_I(b, c, d, a, x[5], 0xfc93a039, 21);
        MD5_STEP_I(a, b, c, d, x[12], 0x655b59c3, 6);
        MD5_STEP_I(d, a, b, c, x[3], 0x8f0ccc92, 10);
        MD5_STEP_I(c, d, a, b, x[10], 0xffeff47d, 15);
        MD5_STEP_I(b, c, d, a, x[1], 0x85845dd1, 21);
        MD5_STEP_I(a, b, c, d, x[8], 0x6fa87e4f, 6);
        MD5_STEP_I(d, a, b, c, x[15], 0xfe2ce6e0, 10);
        MD5_STEP_I(c, d, a, b, x[6], 0xa3014314, 15);
        MD5_STEP_I(b, c, d, a, x[13], 0x4e0811a1, 21);
        MD5_STEP_I(a, b, c, d, x[4], 0xf7537e82, 6);
        MD5_STEP_I(d, a, b, c, x[11], 0xbd3af235, 10);
        MD5_STEP_I(c, d, a, b, x[2], 0x2ad7d2bb, 15);
        MD5_STEP_I(b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef MD5_F
#undef MD5_H
#undef MD5_I
#undef MD5_STEP_F
#undef MD5_STEP_G
#undef MD5_STEP_H
#undef MD5_STEP_I

}  // namespace

void md5Init(Md5Context& context) {
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.totalBytes = 0;
}

void md5Update(Md5Context& context, const void* data, size_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>(context.totalBytes % 64);
    context.totalBytes += length;
    if (used > 0) {
        size_t take = 64 - used < length ? 64 - used : length;
        std::memcpy(context.pending + used, bytes, take);
        bytes += take;
        length -= take;
        if (used + take < 64) return;
        processBlocks(context.state, context.pending, 1);
    }
    // Whole blocks straight from the caller's memory, without copying them.
    size_t blocks = length / 64;
    if (blocks > 0) processBlocks(context.state, bytes, blocks);
    bytes += blocks * 64;
    length -= blocks * 64;
    if (length > 0) std::memcpy(context.pending, bytes, length);
}

void md5Final(Md5Context& context, Digest& digest) {
    uint64_t bits = context.totalBytes * 8;
    uint8_t closing[72] = {0x80};
    size_t used = static_cast<size_t>(context.totalBytes % 64);
    // Pad to 56 mod 64, then the 64-bit bit count, least significant byte first.
    size_t padding = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; ++i)
        closing[padding + i] = static_cast<uint8_t>(bits >> (8 * i));
    md5Update(context, closing, padding + 8);
    for (int word = 0; word < 4; ++word)
        for (int i = 0; i < 4; ++i)
            digest.bytes[4 * word + i] = static_cast<uint8_t>(context.state[word] >> (8 * i));
}

void md5Buffer(Digest& digest, const void* data, int32_t length) {
    Md5Context context;
    md5Init(context);
    if (length > 0) md5Update(context, data, static_cast<size_t>(length));
    md5Final(context, digest);
}

int md5File(Digest& digest, const char* path) {
    MappedFile mapped;
    if (!mapFile(path, mapped)) return 0;
    // The whole view, whatever its size: a 32-bit length would give wrong digests from 2 GiB on.
    Md5Context context;
    md5Init(context);
    md5Update(context, mapped.view, mapped.length);
    md5Final(context, digest);
    unmapFile(mapped);
    return 1;
}

int digestsEqual(const Digest& a, const Digest& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0 ? 1 : 0;
}
