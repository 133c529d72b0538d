// Mix-in for flicker-free painting: T::DoPaint(HDC) draws into an off-screen bitmap of the
// area being painted, which is then copied to the window. Chain it from T's message map.
#pragma once

#include "winfw/gdi.h"
#include "winfw/window.h"

template <class T>
class CDoubleBufferImpl {
public:
    BEGIN_MSG_MAP(CDoubleBufferImpl)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaint)
    END_MSG_MAP()

    // The background is drawn by DoPaint with the rest.
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

    LRESULT OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
        T* self = static_cast<T*>(this);
        if (wParam) {
            // WM_PRINTCLIENT (or WM_PAINT with a DC): the whole client area into the given DC.
            RECT r;
            ::GetClientRect(self->m_hWnd, &r);
            CMemoryDC mem((HDC)wParam, r);
            self->DoPaint(mem.m_hDC);
        } else {
            CPaintDC dc(self->m_hWnd);
            CMemoryDC mem(dc.m_hDC, dc.m_ps.rcPaint);
            self->DoPaint(mem.m_hDC);
        }
        return 0;
    }
};
