#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "scenery/md5.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

std::string hex(const Digest& digest) {
    char text[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", digest.bytes[i]);
    return text;
}

std::string md5Of(const std::string& text) {
    Digest digest;
    md5Buffer(digest, text.data(), static_cast<int32_t>(text.size()));
    return hex(digest);
}

// Bytes that differ from position to position, so a misplaced block changes the digest.
std::string patterned(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return bytes;
}

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Of("1234567890123456789012345678901234567890"
                    "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, LengthZeroOrNegativeDigestsTheEmptyMessage) {
    Digest digest;
    md5Buffer(digest, "ignored", 0);
    EXPECT_EQ(hex(digest), "d41d8cd98f00b204e9800998ecf8427e");
    md5Buffer(digest, "ignored", -5);
    EXPECT_EQ(hex(digest), "d41d8cd98f00b204e9800998ecf8427e");
}

// Every split of messages around the padding edges (55, 56, 64 bytes and their doubles) must give
// the digest of the whole message at once.
TEST(Md5, PiecesGiveTheSameDigestAsOneBlock) {
    for (size_t size : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 127u, 128u, 129u, 300u}) {
        std::string bytes = patterned(size);
        Digest whole;
        md5Buffer(whole, bytes.data(), static_cast<int32_t>(size));
        for (size_t split = 0; split <= size; ++split) {
            Md5Context context;
            md5Init(context);
            md5Update(context, bytes.data(), split);
            md5Update(context, bytes.data() + split, size - split);
            Digest pieces;
            md5Final(context, pieces);
            ASSERT_EQ(hex(pieces), hex(whole)) << "size " << size << " split " << split;
        }
    }
}

// Digests that md5sum gave for patterned() files of these sizes.
TEST(Md5, FilesAgreeWithMd5sumAroundThePaddingEdges) {
    const std::vector<std::pair<size_t, const char*>> known = {
        {1, "89e74e640b8c46257a29de0616794d5d"},    {55, "852e13533f66e414bbbbb3348de4f81f"},
        {56, "98e8cb3457434649644b5fe9f4e5e4fa"},   {57, "d04618e1f7181650056a79ed93eaef2a"},
        {63, "c9803ddca3b148d91d5f214be64197d4"},   {64, "bc00c8534af1e5aef0ede584d8ad5bc3"},
        {65, "4e114d3e0baf5ace365e0552a3273291"},   {119, "e0c0cb3cbc027ba4d5a6c983754f2dc1"},
        {120, "3d7a96a57e721a4e2c2cbe55937e10e2"},  {128, "154b8c17cfb174384edd9557e3e64e2b"},
        {1000, "0b8ae90ded6089334e353eb2669ab5e6"}, {1048579, "ced9aeb719bc59b85c7f2e6239430a20"},
    };
    TempDir dir;
    for (const auto& [size, expected] : known) {
        std::string path = dir.file("f" + std::to_string(size));
        writeFile(path, patterned(size));
        Digest digest{};
        ASSERT_EQ(md5File(digest, path.c_str()), 1) << size;
        EXPECT_EQ(hex(digest), expected) << size;
    }
}

#ifndef _WIN32
// The same against the md5sum program itself, on sizes the table above does not hold.
TEST(Md5, FilesAgreeWithTheMd5sumProgram) {
    TempDir dir;
    for (size_t size : {2u, 54u, 111u, 4096u, 65599u, 3000017u}) {
        std::string path = dir.file("g" + std::to_string(size));
        std::string bytes = patterned(size);
        for (size_t i = 0; i < size; i += 7)
            bytes[i] = static_cast<char>(bytes[i] ^ (i >> 3));
        writeFile(path, bytes);
        std::FILE* pipe = ::popen(("md5sum '" + path + "'").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[128] = {};
        ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
        ::pclose(pipe);
        Digest digest{};
        ASSERT_EQ(md5File(digest, path.c_str()), 1);
        EXPECT_EQ(hex(digest), std::string(line, 32)) << size;
    }
}
#endif

TEST(Md5, FileOfAbcGivesTheTestValue) {
    TempDir dir;
    writeFile(dir.file("abc"), "abc");
    Digest digest{};
    EXPECT_EQ(md5File(digest, dir.file("abc").c_str()), 1);
    EXPECT_EQ(hex(digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, EmptyOrMissingFileHasNoDigestAndLeavesItUntouched) {
    TempDir dir;
    writeFile(dir.file("empty"), "");
    Digest digest;
    for (auto& byte : digest.bytes)
        byte = 0xAB;
    {
        LogCapture log(5);
        EXPECT_EQ(md5File(digest, dir.file("empty").c_str()), 0);
        EXPECT_TRUE(log.contains("Unable to create file mapping")) << log.text();
    }
    {
        LogCapture log(5);
        EXPECT_EQ(md5File(digest, dir.file("missing").c_str()), 0);
        EXPECT_TRUE(log.contains("Unable to open file")) << log.text();
    }
    for (auto byte : digest.bytes)
        EXPECT_EQ(byte, 0xAB);
}

TEST(Md5, DigestsEqualComparesAllSixteenBytes) {
    Digest a, b;
    md5Buffer(a, "abc", 3);
    b = a;
    EXPECT_EQ(digestsEqual(a, b), 1);
    b.bytes[15] ^= 1;
    EXPECT_EQ(digestsEqual(a, b), 0);
    b = a;
    b.bytes[0] ^= 0x80;
    EXPECT_EQ(digestsEqual(a, b), 0);
}

}  // namespace
