// The skin's PNG decoder: every row filter, with and without alpha, and a clear refusal (never a
// crash or a partial picture) for anything damaged or of a kind it does not take.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/pngdecode.h"

namespace {

void Put32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

void Chunk(std::string& png, const char* type, const std::string& body) {
    Put32(png, uint32_t(body.size()));
    const std::string typed = std::string(type, 4) + body;
    png += typed;
    Put32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

// A PNG of the given rows (each already filtered, its filter byte first).
std::string MakePng(int w, int h, int colourType, const std::string& rows, int depth = 8, int interlace = 0) {
    std::string png("\x89PNG\r\n\x1a\n", 8), head;
    Put32(head, uint32_t(w));
    Put32(head, uint32_t(h));
    head += char(depth);
    head += char(colourType);
    head += std::string(2, '\0');
    head += char(interlace);
    Chunk(png, "IHDR", head);
    uLongf n = compressBound(uLong(rows.size()));
    std::string packed(n, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &n, reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()), 9);
    packed.resize(n);
    // Split in two IDAT chunks: the decoder must join them.
    Chunk(png, "IDAT", packed.substr(0, n / 2));
    Chunk(png, "IDAT", packed.substr(n / 2));
    Chunk(png, "IEND", "");
    return png;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Rows of the pixels (RGB or RGBA, top row first) filtered with filter[y] each.
std::string Filter(const std::vector<std::vector<uint8_t>>& px, int bpp, const std::vector<int>& filter) {
    std::string out;
    for (size_t y = 0; y < px.size(); ++y) {
        const std::vector<uint8_t>& row = px[y];
        out += char(filter[y]);
        for (size_t i = 0; i < row.size(); ++i) {
            const int left = i >= size_t(bpp) ? row[i - bpp] : 0, up = y ? px[y - 1][i] : 0;
            const int corner = y && i >= size_t(bpp) ? px[y - 1][i - bpp] : 0;
            const int pred[5] = {0, left, up, (left + up) / 2, Paeth(left, up, corner)};
            out += char(uint8_t(row[i] - pred[filter[y]]));
        }
    }
    return out;
}

TEST(PngDecode, EveryFilterWithAndWithoutAlpha) {
    for (int channels : {3, 4}) {
        SCOPED_TRACE(channels);
        const int w = 7, h = 6;
        std::vector<std::vector<uint8_t>> px(h, std::vector<uint8_t>(size_t(w * channels)));
        uint32_t seed = 12345;
        for (auto& row : px)
            for (uint8_t& v : row) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
        const std::string png = MakePng(w, h, channels == 4 ? 6 : 2, Filter(px, channels, {0, 1, 2, 3, 4, 4}));
        PngPixels got;
        ASSERT_TRUE(DecodePng(png.data(), png.size(), &got));
        ASSERT_EQ(got.width, w);
        ASSERT_EQ(got.height, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = &px[size_t(y)][size_t(x * channels)];
                const uint8_t* d = &got.bgra[size_t((y * w + x) * 4)];
                ASSERT_EQ(d[0], s[2]) << x << "," << y;
                ASSERT_EQ(d[1], s[1]);
                ASSERT_EQ(d[2], s[0]);
                ASSERT_EQ(d[3], channels == 4 ? s[3] : 255);
            }
    }
}

TEST(PngDecode, RefusesWhatItDoesNotTakeAndDamage) {
    const std::string rows = Filter({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}, 3, {0, 1});
    const std::string good = MakePng(2, 2, 2, rows);
    PngPixels px;
    ASSERT_TRUE(DecodePng(good.data(), good.size(), &px));
    std::string badCrc = good;
    badCrc[40] ^= 1;  // inside the first IDAT
    std::string badFilter = rows;
    badFilter[0] = 5;
    const struct {
        const char* what;
        std::string png;
    } cases[] = {
        {"16-bit samples", MakePng(2, 2, 2, rows, 16)},
        {"palette", MakePng(2, 2, 3, rows)},
        {"grey", MakePng(2, 2, 0, rows)},
        {"interlaced", MakePng(2, 2, 2, rows, 8, 1)},
        {"rows short of the height", MakePng(2, 3, 2, rows)},
        {"rows past the height", MakePng(2, 1, 2, rows)},
        {"unknown filter", MakePng(2, 2, 2, badFilter)},
        {"damaged chunk", badCrc},
        {"not a PNG", "GIF89a" + good.substr(6)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        PngPixels out;
        out.width = -1;
        EXPECT_FALSE(DecodePng(c.png.data(), c.png.size(), &out)) << c.what;
        EXPECT_EQ(out.width, -1) << c.what;  // untouched
    }
    // Cut anywhere short of its end: refused, never read past.
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<char> cut(good.begin(), good.begin() + long(n));
        EXPECT_FALSE(DecodePng(cut.data(), cut.size(), &px)) << n;
    }
}

}  // namespace
