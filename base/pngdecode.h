// Decoding of the PNG pictures the skin ships: 8-bit truecolour, with or without alpha, not
// interlaced. Anything else is refused, and the caller takes the system's decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PngPixels {
    int width = 0;
    int height = 0;
    // Top row first, each pixel blue, green, red, alpha (255 without an alpha channel).
    std::vector<uint8_t> bgra;
};

// False (out untouched) for data that is not such a PNG, or is cut short or broken.
bool DecodePng(const void* data, size_t size, PngPixels* out);
