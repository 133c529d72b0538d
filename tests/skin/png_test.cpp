// The skin's PNG pictures decoded by the program's own decoder give the very bitmap GDI+ gives:
// the same size, row order, depth and premultiplied bits.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/pngdecode.h"
#include "base/win32util.h"
#include "skin/skinmanager.h"

namespace {

struct Dib {
    DIBSECTION ds = {};
    bool ok = false;
};

Dib Describe(HBITMAP b) {
    Dib d;
    d.ok = b && ::GetObjectA(b, sizeof(d.ds), &d.ds) == sizeof(d.ds) && d.ds.dsBm.bmBits;
    return d;
}

TEST(SkinPng, OwnDecoderGivesWhatGdiplusGives) {
    const std::string folder = GetSkinFilePath("");
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "*.png").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << folder;
    int seen = 0;
    size_t translucent = 0;  // pixels whose premultiplying rounds
    do {
        const std::string path = folder + fd.cFileName;
        SCOPED_TRACE(path);
        // The program's own decoder takes every picture of the skin (else GDI+ would be compared
        // with itself).
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        PngPixels px;
        ASSERT_TRUE(DecodePng(file.data(), file.size(), &px));
        for (size_t i = 3; i < px.bgra.size(); i += 4) translucent += px.bgra[i] != 0 && px.bgra[i] != 255;
        HBITMAP mine = LoadPngResource(path.c_str(), nullptr);
        HBITMAP theirs = LoadImageFileWithGdiplus(path.c_str());
        const Dib a = Describe(mine), b = Describe(theirs);
        ASSERT_TRUE(a.ok);
        ASSERT_TRUE(b.ok);
        EXPECT_EQ(a.ds.dsBm.bmWidth, b.ds.dsBm.bmWidth);
        EXPECT_EQ(a.ds.dsBm.bmHeight, b.ds.dsBm.bmHeight);
        EXPECT_EQ(a.ds.dsBmih.biHeight, b.ds.dsBmih.biHeight);  // the same row order
        EXPECT_EQ(a.ds.dsBm.bmBitsPixel, b.ds.dsBm.bmBitsPixel);
        const size_t bytes = size_t(a.ds.dsBm.bmWidthBytes) * size_t(a.ds.dsBm.bmHeight);
        if (a.ds.dsBm.bmWidthBytes == b.ds.dsBm.bmWidthBytes && a.ds.dsBm.bmHeight == b.ds.dsBm.bmHeight) {
            const unsigned char* x = static_cast<const unsigned char*>(a.ds.dsBm.bmBits);
            const unsigned char* y = static_cast<const unsigned char*>(b.ds.dsBm.bmBits);
            size_t first = bytes;
            for (size_t i = 0; i < bytes && first == bytes; ++i)
                if (x[i] != y[i]) first = i;
            EXPECT_EQ(first, bytes) << "byte " << first << ": " << int(x[first]) << " against " << int(y[first])
                                    << " (alpha " << int(y[first | 3]) << ")";
        }
        ::DeleteObject(mine);
        ::DeleteObject(theirs);
        ++seen;
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    EXPECT_GT(seen, 0);
    EXPECT_GT(translucent, 0u);
}

}  // namespace
