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
