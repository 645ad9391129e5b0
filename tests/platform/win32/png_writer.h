// A minimal PNG writer for test screenshots: 8-bit RGB, the image data in stored (uncompressed)
// deflate blocks, so no image library is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The PNG file for `rgb` (width × height pixels, rows top to bottom, 3 bytes per pixel).
std::string encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

// Writes encodePng's result to `path`; false when the file could not be written.
bool writePng(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);
