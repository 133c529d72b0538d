#include "app/aboutdlg.h"

#include <cstdio>
#include <vector>

#include "app/appdialogs.h"
#include "app/urltable.h"
#include "base/win32util.h"
#include "skin/skinmanager.h"

CAboutDlg::~CAboutDlg() {
    if (m_background) ::DeleteObject(m_background);
}

BOOL CAboutDlg::OnInitDialog(HWND, LPARAM) {
    char version[32];
    std::snprintf(version, sizeof(version), "%d", kProgramVersion);

    std::string site = GetSiteRoot();
    m_link.SetHyperLink(site.c_str());
    m_link.SetLabel(site.c_str());
    m_link.SetExtendedStyle(HLINK_NOTOOLTIP);  // before it takes over: no tooltip is made
    m_link.SubclassWindow(GetDlgItem(IDC_ABOUT_URL));
    m_link.SetLabel(site.c_str());  // the control's own text too

    if (m_backgroundPath.empty()) {
        LoadSkin();
        m_backgroundPath = GetSkinFilePath("about.png");
    }
    if (m_background) ::DeleteObject(m_background);
    m_background = LoadPngResource(m_backgroundPath.c_str(), nullptr);
    m_width = m_height = 0;
    if (m_background) {
        BITMAP bm = {};
        ::GetObjectA(m_background, sizeof(bm), &bm);
        m_width = bm.bmWidth;
        m_height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    if (m_width > 0 && m_height > 0) {
        // White over the picture, as the other lines are.
        m_link.SetColors(RGB(255, 255, 255), RGB(255, 255, 255), RGB(220, 220, 220));
        FitToBackground();
    } else {
        for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ::ShowWindow(child, SW_SHOW);
    }
    SetDlgItemText(IDC_ABOUT_BUILDNO, version);
    CenterWindow(GetParent());
    return TRUE;
}

void CAboutDlg::FitToBackground() {
    CRect old;
    GetWindowRect(&old);
    RECT fit = {0, 0, m_width, m_height};
    ::AdjustWindowRectEx(&fit, GetStyle(), FALSE, GetExStyle());
    int width = fit.right - fit.left, height = fit.bottom - fit.top;
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow(::GetDesktopWindow());
    int dy = height - old.Height();
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    for (HWND child : children) {
        CRect r;
        ::GetWindowRect(child, &r);
        ScreenToClient(&r);
        ::SetWindowPos(child, nullptr, r.left, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CWindow ok = GetDlgItem(IDOK);
    CRect b;
    ok.GetWindowRect(&b);
    int bw = b.Width(), bh = b.Height();
    ok.SetWindowPos(nullptr, (fit.right - bw) / 2, fit.bottom - bh - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAboutDlg::Paint(HDC dc) {
    if (!m_background || m_width <= 0 || m_height <= 0) {
        CRect client;
        GetClientRect(&client);
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, m_background);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, 0, 0, m_width, m_height, mem, 0, 0, m_width, m_height, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
}

void CAboutDlg::OnPaint(HDC given) {
    if (given) {
        Paint(given);
        return;
    }
    CPaintDC dc(m_hWnd);
    Paint(dc.m_hDC);
}

BOOL CAboutDlg::OnEraseBkgnd(HDC) { return TRUE; }  // the picture covers it all

HBRUSH CAboutDlg::OnCtlColorStatic(HDC dc, HWND) {
    if (!m_background) {  // plain statics on the window's own background
        SetMsgHandled(FALSE);
        return nullptr;
    }
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
}

void RunAboutDialog(HWND owner) {
    CAboutDlg dlg;
    dlg.DoModal(owner ? owner : ::GetActiveWindow());
}
