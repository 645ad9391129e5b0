#include "platform/win32/png_writer.h"

#include <cstdio>

namespace {

uint32_t crc32(const std::string& bytes, size_t from) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        crc ^= static_cast<uint8_t>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void putBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void appendChunk(std::string& png, const char* type, const std::string& data) {
    putBigEndian32(png, static_cast<uint32_t>(data.size()));
    size_t typeStart = png.size();
    png.append(type, 4);
    png += data;
    putBigEndian32(png, crc32(png, typeStart));
}

// A zlib stream of stored blocks (at most 65535 bytes each) with its Adler-32.
std::string zlibStored(const std::string& raw) {
    std::string out("\x78\x01", 2);
    size_t offset = 0;
    do {
        size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        bool last = offset + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out.append(raw, offset, length);
        offset += length;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (char c : raw) {
        a = (a + static_cast<uint8_t>(c)) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian32(out, (b << 16) | a);
    return out;
}

}  // namespace

std::string encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
    std::string header;
    putBigEndian32(header, width);
    putBigEndian32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter choice, no interlace

    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (uint32_t row = 0; row < height; ++row) {
        raw += '\0';  // filter type None
        raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<size_t>(row) * width * 3,
                   static_cast<size_t>(width) * 3);
    }

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlibStored(raw));
    appendChunk(png, "IEND", std::string());
    return png;
}

bool writePng(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
    std::string png = encodePng(width, height, rgb);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
