// Visual-styles drawing: a theme handle for one window and class list, and a mix-in that keeps
// it open while the window lives (reopened when the user's theme changes).
#pragma once

#include <string>

#include "winfw/typedmap.h"
#include "winfw/window.h"

#include <uxtheme.h>

#ifndef WM_THEMECHANGED
#define WM_THEMECHANGED 0x031A
#endif

class CTheme {
public:
    HTHEME m_hTheme = nullptr;
    CTheme() = default;
    ~CTheme() { Close(); }
    CTheme(const CTheme&) = delete;
    CTheme& operator=(const CTheme&) = delete;
    operator HTHEME() const { return m_hTheme; }
    bool IsNull() const { return m_hTheme == nullptr; }

    // Whether styled drawing is on for this program (the theme is active and applies to us).
    static bool IsThemingActive() { return ::IsThemeActive() && ::IsAppThemed(); }

    // Opens the theme data of a class list such as L"HEADER"; null when styles are off.
    HTHEME Open(HWND hWnd, const wchar_t* classList);
    void Close();
    HRESULT DrawBackground(HDC dc, int part, int state, const RECT* r, const RECT* clip = nullptr) const {
        return m_hTheme ? ::DrawThemeBackground(m_hTheme, dc, part, state, r, clip) : E_HANDLE;
    }
};

// T calls SetThemeClassList before its window is created and chains this map.
template <class T>
class CThemeImpl {
public:
    CTheme m_theme;
    std::wstring m_classList;

    void SetThemeClassList(const wchar_t* classList) { m_classList = classList ? classList : L""; }
    HTHEME OpenThemeData() {
        T* self = static_cast<T*>(this);
        return m_classList.empty() ? nullptr : m_theme.Open(self->m_hWnd, m_classList.c_str());
    }

    BEGIN_MSG_MAP(CThemeImpl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_THEMECHANGED(OnThemeChanged)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    // Each passes the message on, so that the window's own handlers still run.
    LRESULT OnCreate(LPCREATESTRUCTA) {
        OpenThemeData();
        SetMsgHandled(FALSE);
        return 0;
    }
    void OnThemeChanged() {
        m_theme.Close();
        OpenThemeData();
        SetMsgHandled(FALSE);
    }
    void OnDestroy() {
        m_theme.Close();
        SetMsgHandled(FALSE);
    }
};
