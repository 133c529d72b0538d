#include "base/pngdecode.h"

#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "base/inflate.h"

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes the row filters in place: rows of 1 + stride bytes, bpp bytes a pixel.
bool Unfilter(uint8_t* raw, int height, size_t stride, int bpp) {
    const uint8_t* prior = nullptr;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = raw + size_t(y) * (stride + 1);
        const int filter = row[0];
        uint8_t* x = row + 1;
        switch (filter) {
        case 0:
            break;
        case 1:
            for (size_t i = size_t(bpp); i < stride; ++i) x[i] = uint8_t(x[i] + x[i - bpp]);
            break;
        case 2:
            if (prior)
                for (size_t i = 0; i < stride; ++i) x[i] = uint8_t(x[i] + prior[i]);
            break;
        case 3:
            for (size_t i = 0; i < stride; ++i) {
                const int left = i >= size_t(bpp) ? x[i - bpp] : 0, up = prior ? prior[i] : 0;
                x[i] = uint8_t(x[i] + ((left + up) >> 1));
            }
            break;
        case 4:
            for (size_t i = 0; i < stride; ++i) {
                const int left = i >= size_t(bpp) ? x[i - bpp] : 0, up = prior ? prior[i] : 0;
                const int corner = prior && i >= size_t(bpp) ? prior[i - bpp] : 0;
                x[i] = uint8_t(x[i] + Paeth(left, up, corner));
            }
            break;
        default:
            return false;
        }
        prior = x;
    }
    return true;
}

}  // namespace

bool DecodePng(const void* data, size_t size, PngPixels* out) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (!p || size < 8 || std::memcmp(p, kSignature, 8) != 0) return false;
    size_t at = 8;
    uint32_t width = 0, height = 0;
    int channels = 0;
    std::vector<uint8_t> packed;
    bool header = false, ended = false;
    while (!ended) {
        if (size - at < 12) return false;
        const uint32_t length = BigEndian32(p + at);
        if (length > size - at - 12) return false;
        const uint8_t* type = p + at + 4;
        const uint8_t* body = p + at + 8;
        // A chunk whose check sum disagrees is damaged: refused, as the system's decoder would.
        if (uint32_t(crc32(crc32(0L, Z_NULL, 0), type, uInt(length + 4))) != BigEndian32(body + length))
            return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13 || header) return false;
            width = BigEndian32(body);
            height = BigEndian32(body + 4);
            // 8 bits a sample, truecolour (2) or truecolour with alpha (6), standard methods, no interlace.
            if (body[8] != 8 || (body[9] != 2 && body[9] != 6) || body[10] != 0 || body[11] != 0 || body[12] != 0)
                return false;
            if (width == 0 || height == 0 || width > 16384 || height > 16384) return false;
            channels = body[9] == 6 ? 4 : 3;
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!header) return false;
            packed.insert(packed.end(), body, body + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        } else if (std::memcmp(type, "PLTE", 4) == 0 || !(type[0] & 0x20)) {
            return false;  // a critical chunk this decoder does not know
        }
        at += 12 + size_t(length);
    }
    if (!header || packed.empty()) return false;
    const size_t stride = size_t(width) * size_t(channels);
    const size_t need = (stride + 1) * height;
    if (need > kInflateLimit) return false;
    unsigned char* raw = nullptr;
    size_t rawLength = 0;
    const int rc = InflateBuffer(packed.data(), packed.size(), &raw, &rawLength, false, need);
    const bool ok = rc == 0 && rawLength == need && Unfilter(raw, int(height), stride, channels);
    if (ok) {
        out->width = int(width);
        out->height = int(height);
        out->bgra.resize(size_t(width) * height * 4);
        uint8_t* dst = out->bgra.data();
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* src = raw + size_t(y) * (stride + 1) + 1;
            for (uint32_t x = 0; x < width; ++x, src += channels, dst += 4) {
                dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
                dst[3] = channels == 4 ? src[3] : 255;
            }
        }
    }
    std::free(raw);
    return ok;
}
