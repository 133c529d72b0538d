#include "winfw/theme.h"

HTHEME CTheme::Open(HWND hWnd, const wchar_t* classList) {
    Close();
    if (!IsThemingActive()) return nullptr;
    m_hTheme = ::OpenThemeData(hWnd, classList);
    return m_hTheme;
}

void CTheme::Close() {
    if (m_hTheme) ::CloseThemeData(m_hTheme);
    m_hTheme = nullptr;
}
