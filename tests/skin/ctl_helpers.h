// Shared pieces of the control tests: a parent that records what its children send, snapshots of
// a window's client area through WM_PRINTCLIENT, an injected clock and ink counting.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "skin/skinbitmap.h"
#include "skin/skinctl.h"
#include "skin/skinmanager.h"
#include "winfw/winfw.h"

namespace ctltest {

const COLORREF kParentBack = RGB(10, 20, 30);

struct Sent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level window that paints itself one colour and records the commands, notifications and
// program messages its children send.
class CRecorder : public CWindowImpl<CRecorder, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS_EX("VelmoraTestRecorder", CS_DBLCLKS, -1)
    std::vector<Sent> sent;
    std::function<void()> onRecord;  // runs inside the child's send
    BEGIN_MSG_MAP(CRecorder)
        MSG_WM_ERASEBKGND(OnErase)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_RAW(WM_COMMAND, Record)
        MSG_RAW(WM_NOTIFY, Record)
        MSG_RAW_RANGE(WM_APP, 0xBFFF, Record)
        MSG_RAW_RANGE(4000, 4100, Record)
    END_MSG_MAP()
    BOOL OnErase(HDC dc) {
        RECT r;
        GetClientRect(&r);
        CDCHandle(dc).FillSolidRect(&r, kParentBack);
        return TRUE;
    }
    void OnPaint(HDC) {
        CPaintDC dc(m_hWnd);
        OnErase(dc);
    }
    void OnPrintClient(HDC dc, UINT) { OnErase(dc); }
    LRESULT Record(UINT msg, WPARAM w, LPARAM l) {
        sent.push_back({msg, w, l});
        if (onRecord) onRecord();
        return 0;
    }
    int Count(UINT msg) const {
        int n = 0;
        for (const auto& s : sent) n += s.msg == msg;
        return n;
    }
};

// The client area of a window, as it paints it into a 32-bit DIB.
class CSnapshot {
public:
    explicit CSnapshot(HWND wnd) {
        RECT r;
        ::GetClientRect(wnd, &r);
        canvas.reset(new CDibCanvas(r.right, r.bottom));
        ::SendMessageA(wnd, WM_PRINTCLIENT, (WPARAM)canvas->dc(), PRF_CLIENT);
        ::GdiFlush();
    }
    COLORREF At(int x, int y) const {
        uint32_t p = canvas->bits()[y * canvas->width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels of the rectangle that differ from the colour by more than tol in some channel.
    int Ink(const RECT& r, COLORREF back, int tol = 40) const {
        int n = 0;
        for (int y = std::max(0L, r.top); y < std::min((LONG)canvas->height, r.bottom); ++y)
            for (int x = std::max(0L, r.left); x < std::min((LONG)canvas->width, r.right); ++x) n += Differs(At(x, y), back, tol);
        return n;
    }
    static bool Differs(COLORREF a, COLORREF b, int tol) {
        return std::abs(GetRValue(a) - GetRValue(b)) > tol || std::abs(GetGValue(a) - GetGValue(b)) > tol ||
               std::abs(GetBValue(a) - GetBValue(b)) > tol;
    }
    int width() const { return canvas->width; }
    int height() const { return canvas->height; }
    std::unique_ptr<CDibCanvas> canvas;
};

inline ::testing::AssertionResult Near(COLORREF got, COLORREF want, int tol = 12) {
    if (!CSnapshot::Differs(got, want, tol)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << (int)GetRValue(got) << "," << (int)GetGValue(got) << ","
                                         << (int)GetBValue(got) << " want " << (int)GetRValue(want) << ","
                                         << (int)GetGValue(want) << "," << (int)GetBValue(want);
}

// A clock the test moves by hand.
class CFakeClock {
public:
    CFakeClock() { m_old = SetSkinTickSource([this] { return now; }); }
    ~CFakeClock() { SetSkinTickSource(m_old); }
    uint32_t now = 100000;

private:
    SkinTickSource m_old;
};

// Lit pixels of a text drawn black on white in a font.
inline int TextInk(HFONT font, const char* text) {
    CDibCanvas c(400, 60);
    RECT r = {0, 0, 400, 60};
    CDCHandle(c.dc()).FillSolidRect(&r, RGB(255, 255, 255));
    HGDIOBJ old = ::SelectObject(c.dc(), font);
    ::SetTextColor(c.dc(), RGB(0, 0, 0));
    ::SetBkMode(c.dc(), TRANSPARENT);
    ::TextOutA(c.dc(), 2, 2, text, lstrlenA(text));
    ::SelectObject(c.dc(), old);
    ::GdiFlush();
    int n = 0;
    for (int i = 0; i < 400 * 60; ++i) n += (c.bits()[i] & 0xFFFFFF) != 0xFFFFFF;
    return n;
}

inline HBITMAP LoadSkinPicture(const char* file) {
    CSkinBitmap b;
    if (!b.LoadSkinFile(file)) return nullptr;
    return b.Detach();
}

inline void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

}  // namespace ctltest
