// Mix-in for flicker-free painting: T::DoPaint(HDC) draws into an off-screen bitmap of the
// area being painted, which is then copied to the window. Chain it from T's message map.
#pragma once

#include "winfw/gdi.h"
#include "winfw/typedmap.h"
#include "winfw/window.h"

template <class T>
class CDoubleBufferImpl {
public:
    BEGIN_MSG_MAP(CDoubleBufferImpl)
        MSG_WM_ERASEBKGND(OnEraseBackground)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()

    // The background is drawn by DoPaint with the rest.
    BOOL OnEraseBackground(HDC) { return TRUE; }

    void OnPaint(HDC given) {
        T* self = static_cast<T*>(this);
        if (given) {
            PaintWhole(given);
        } else {
            CPaintDC dc(self->m_hWnd);
            CMemoryDC mem(dc.m_hDC, dc.m_ps.rcPaint);
            self->DoPaint(mem.m_hDC);
        }
    }
    void OnPrintClient(HDC dc, UINT) { PaintWhole(dc); }

private:
    // The whole client area into a DC the sender gave.
    void PaintWhole(HDC dc) {
        T* self = static_cast<T*>(this);
        RECT r;
        ::GetClientRect(self->m_hWnd, &r);
        CMemoryDC mem(dc, r);
        self->DoPaint(mem.m_hDC);
    }
};

// One off-screen bitmap of the panel's size that the chart views share. They are painted one at a
// time on the user-interface thread, so a bitmap kept by each (2.4 MB at 1024 x 600, 32 bits)
// would only lie idle while another view is shown. The bitmap lives while a view holds a Use, and
// follows the size asked last (the views fill the panel, so they ask the same).
class CSharedBackBuffer {
public:
    // Held by a view for its lifetime; the last one gone frees the bitmap.
    class Use {
    public:
        Use() { ++State().users; }
        ~Use() {
            if (--State().users == 0) State().Free();
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
    };

    // A paint through the shared bitmap: m_hDC draws in the target's coordinates over r, and the
    // end copies r to the target. The DC's settings and selections are restored at the end, so
    // no view sees another's pens or fonts. A paint started inside another (a view printing a
    // child) gets a bitmap of its own.
    class Paint {
    public:
        Paint(HDC target, const RECT& r) : m_target(target), m_rc(r) {
            const int w = m_rc.Width() > 0 ? m_rc.Width() : 1, h = m_rc.Height() > 0 ? m_rc.Height() : 1;
            Shared& s = State();
            if (!s.busy && s.Fit(w, h)) {
                s.busy = true;
                m_shared = true;
                m_hDC = s.dc;
            } else {
                m_hDC = ::CreateCompatibleDC(target);
                m_own = ::CreateCompatibleBitmap(target, w, h);
                m_old = ::SelectObject(m_hDC, m_own);
            }
            m_saved = ::SaveDC(m_hDC);
            ::SetViewportOrgEx(m_hDC, -m_rc.left, -m_rc.top, nullptr);
        }
        ~Paint() {
            ::RestoreDC(m_hDC, m_saved);
            ::BitBlt(m_target, m_rc.left, m_rc.top, m_rc.Width(), m_rc.Height(), m_hDC, 0, 0, SRCCOPY);
            if (m_shared) {
                State().busy = false;
            } else {
                ::SelectObject(m_hDC, m_old);
                ::DeleteObject(m_own);
                ::DeleteDC(m_hDC);
            }
        }
        Paint(const Paint&) = delete;
        Paint& operator=(const Paint&) = delete;

        HDC m_hDC = nullptr;

    private:
        HDC m_target;
        CRect m_rc;
        bool m_shared = false;
        HBITMAP m_own = nullptr;
        HGDIOBJ m_old = nullptr;
        int m_saved = 0;
    };

    // The bitmap's size now (0 x 0 when none is kept): for tests.
    static SIZE GetSize() { return SIZE{State().width, State().height}; }

private:
    struct Shared {
        int users = 0;
        bool busy = false;
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ old = nullptr;
        int width = 0, height = 0;

        // A 32-bit DIB of w x h selected into dc: its pixels are the process's own memory, where
        // they are counted, whatever the target (a memory DC's one-bit default never shapes it).
        bool Fit(int w, int h) {
            if (bitmap && w == width && h == height) return true;
            Free();
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biHeight = -h;  // top-down
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            dc = ::CreateCompatibleDC(nullptr);
            bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!dc || !bitmap) {
                Free();
                return false;
            }
            old = ::SelectObject(dc, bitmap);
            width = w;
            height = h;
            return true;
        }
        void Free() {
            if (dc && old) ::SelectObject(dc, old);
            if (bitmap) ::DeleteObject(bitmap);
            if (dc) ::DeleteDC(dc);
            dc = nullptr, bitmap = nullptr, old = nullptr;
            width = height = 0;
        }
    };
    // User-interface thread only, like every paint. Defined once, in dblbuf.cpp: an inline static
    // would be laid out by each program unit on its own, and the optimiser may align and size it
    // differently in each.
    static Shared& State();
};
