// A 32-bit top-down DIB section with its memory DC, read pixel by pixel as colour references.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "charts/canvas.h"

namespace chart_test {

class Dib {
public:
    Dib(int w, int h) : m_w(w), m_h(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;  // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bmp = ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bmp);
    }
    ~Dib() {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bmp);
        ::DeleteDC(m_dc);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    HDC dc() const { return m_dc; }
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    // As a colour reference (0x00BBGGRR); the DIB holds 0x00RRGGBB.
    charts::Color At(int x, int y) const {
        ::GdiFlush();
        uint32_t v = m_bits[y * m_w + x];
        return charts::MakeColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Pixels of the colour, and of any other colour, inside r (clipped to the picture).
    int Count(const charts::Rect& r, charts::Color c) const {
        int n = 0;
        for (int y = std::max(0, r.top); y < std::min(m_h, r.bottom); ++y)
            for (int x = std::max(0, r.left); x < std::min(m_w, r.right); ++x) n += At(x, y) == c;
        return n;
    }
    // Pixels of the colour or of a mix of it with the background, as the smoothed edges of a text
    // drawn in the colour are.
    int CountShaded(const charts::Rect& r, charts::Color c, charts::Color back) const {
        auto between = [](int v, int a, int b) { return v >= std::min(a, b) && v <= std::max(a, b); };
        int n = 0;
        for (int y = std::max(0, r.top); y < std::min(m_h, r.bottom); ++y)
            for (int x = std::max(0, r.left); x < std::min(m_w, r.right); ++x) {
                const charts::Color p = At(x, y);
                n += p != back && between(GetRValue(p), GetRValue(c), GetRValue(back)) &&
                     between(GetGValue(p), GetGValue(c), GetGValue(back)) && between(GetBValue(p), GetBValue(c), GetBValue(back));
            }
        return n;
    }
    int CountNot(const charts::Rect& r, charts::Color c) const {
        const charts::Rect in = r.Intersect(charts::Rect(0, 0, m_w, m_h));
        return in.Width() * in.Height() - Count(in, c);
    }
    std::vector<uint32_t> Snapshot() const {
        ::GdiFlush();
        return std::vector<uint32_t>(m_bits, m_bits + m_w * m_h);
    }

private:
    int m_w, m_h;
    HDC m_dc;
    HBITMAP m_bmp;
    HGDIOBJ m_old;
    uint32_t* m_bits = nullptr;
};

}  // namespace chart_test
