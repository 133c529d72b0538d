// Plain geometry values over the Windows POINT, SIZE and RECT records.
#pragma once

#include "winfw/win.h"

class CSize : public SIZE {
public:
    CSize() { cx = 0; cy = 0; }
    CSize(int x, int y) { cx = x; cy = y; }
    CSize(SIZE s) { cx = s.cx; cy = s.cy; }
    bool operator==(const SIZE& s) const { return cx == s.cx && cy == s.cy; }
    bool operator!=(const SIZE& s) const { return !(*this == s); }
};

class CPoint : public POINT {
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int px, int py) { x = px; y = py; }
    CPoint(POINT p) { x = p.x; y = p.y; }
    // A point packed in a message's lParam (signed 16-bit halves).
    explicit CPoint(LPARAM lp) { x = (short)LOWORD(lp); y = (short)HIWORD(lp); }
    void Offset(int dx, int dy) { x += dx; y += dy; }
    bool operator==(const POINT& p) const { return x == p.x && y == p.y; }
    bool operator!=(const POINT& p) const { return !(*this == p); }
    CPoint operator+(const SIZE& s) const { return CPoint(x + s.cx, y + s.cy); }
    CPoint operator-(const SIZE& s) const { return CPoint(x - s.cx, y - s.cy); }
};

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
    CRect(const RECT* r) { if (r) *this = *r; else left = top = right = bottom = 0; }
    CRect(POINT pt, SIZE sz) { left = pt.x; top = pt.y; right = pt.x + sz.cx; bottom = pt.y + sz.cy; }
    CRect& operator=(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; return *this; }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void SetRectEmpty() { left = top = right = bottom = 0; }
    void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void MoveToXY(int x, int y) { OffsetRect(x - left, y - top); }
    void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
    void InflateRect(int l, int t, int r, int b) { left -= l; top -= t; right += r; bottom += b; }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    void NormalizeRect() {
        if (left > right) { LONG t = left; left = right; right = t; }
        if (top > bottom) { LONG t = top; top = bottom; bottom = t; }
    }
    bool IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b) != FALSE; }
    bool UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b) != FALSE; }
    bool operator==(const RECT& r) const {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    bool operator!=(const RECT& r) const { return !(*this == r); }
};
