#include "skin/listeditors.h"

#include <vsstyle.h>

#include <algorithm>

#ifndef DTM_CLOSEMONTHCAL
#define DTM_CLOSEMONTHCAL (DTM_FIRST + 13)
#endif

// ---- drawing helpers ----------------------------------------------------------------------

void DrawGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    TRIVERTEX v[2] = {};
    v[0].x = r.left;
    v[0].y = r.top;
    v[0].Red = (COLOR16)(GetRValue(top) << 8);
    v[0].Green = (COLOR16)(GetGValue(top) << 8);
    v[0].Blue = (COLOR16)(GetBValue(top) << 8);
    v[1].x = r.right;
    v[1].y = r.bottom;
    v[1].Red = (COLOR16)(GetRValue(bottom) << 8);
    v[1].Green = (COLOR16)(GetGValue(bottom) << 8);
    v[1].Blue = (COLOR16)(GetBValue(bottom) << 8);
    GRADIENT_RECT g = {0, 1};
    ::GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

void DrawSelectionFrame(HDC dc, const RECT& r, COLORREF outer, COLORREF inner, bool draw, COLORREF fill) {
    if (!draw) return;
    CPen outerPen, innerPen;
    CBrush brush;
    outerPen.CreatePen(PS_SOLID, 1, outer);
    innerPen.CreatePen(PS_SOLID, 1, inner);
    brush.CreateSolidBrush(fill);
    HGDIOBJ oldPen = ::SelectObject(dc, outerPen);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    ::RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
    ::SelectObject(dc, innerPen);
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::RoundRect(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, 2, 2);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
}

// ---- shared editor parts ------------------------------------------------------------------

bool CListEditorBase::MakeFont(HFONT listFont) {
    CLogFont lf(listFont ? listFont : (HFONT)::GetStockObject(DEFAULT_GUI_FONT));
    lf.SetCharsetDefault();
    return m_font.CreateFontIndirect(&lf) != nullptr;
}

bool CListEditorBase::HandleEndKey(HWND self, WPARAM ch) {
    if (ch != 9 && ch != 13 && ch != 27) return false;
    m_endKey = (int)ch;
    // Losing the focus ends the edit.
    ::SetFocus(::GetParent(self));
    return true;
}

void CListEditorBase::SendEnd(HWND self, const char* text, const SYSTEMTIME* date) {
    HWND list = ::GetParent(self);
    if (!list || !::IsWindow(list)) return;
    ListEditNotify n = {};
    n.hdr.hwndFrom = self;
    n.hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(self);
    n.hdr.code = (UINT)kListNotifyEndEdit;
    n.row = m_row;
    n.column = m_column;
    n.endKey = m_endKey;
    n.text = text ? text : "";
    n.date = date;
    ::SendMessageA(list, WM_NOTIFY, n.hdr.idFrom, (LPARAM)&n);
}

bool FilterEditChar(HWND edit, uint32_t flags, WPARAM ch) {
    if (!(flags & (kListEditInteger | kListEditDecimal)) || ch < 0x20) return true;  // control keys pass
    CEdit e(edit);
    std::string text = e.GetWindowText();
    int start = 0, end = 0;
    e.GetSel(start, end);
    start = std::max(0, std::min(start, (int)text.size()));
    end = std::max(start, std::min(end, (int)text.size()));
    if ((flags & kListEditSigned) && ch == '-') {
        int moved = 0;
        std::string toggled = ListEditToggleSign(text, &moved);
        e.SetWindowText(toggled.c_str());
        e.SetSel(std::max(0, start + moved), std::max(0, end + moved));
        return false;
    }
    return ListEditAcceptsChar(text.substr(0, start), text.substr(end), (char)ch, flags);
}

// ---- text editor --------------------------------------------------------------------------

CListEdit::~CListEdit() {
    if (IsWindow()) DestroyWindow();
}

bool CListEdit::Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const std::string& text,
                       HFONT listFont) {
    if (IsWindow()) DestroyWindow();
    m_endKey = 0;
    m_row = row;
    m_column = column;
    m_flags = flags;
    if (!MakeFont(listFont)) return false;
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (flags & (kListEditInteger | kListEditDecimal)) style |= ES_RIGHT;
    if (flags & kListEditUpper) style |= ES_UPPERCASE;
    CRect r(cell.left + 2, cell.top + 3, cell.right - 3, cell.bottom - 2);
    if (!CWindowImpl<CListEdit, CEdit>::Create(list, r, text.c_str(), style, 0, (UINT)kListEditId)) return false;
    SetFont(m_font);
    SetMargins(5, 5);
    ShowWindow(SW_SHOW);
    SetSel(0, -1);
    SetFocus();
    return true;
}

void CListEdit::OnChar(UINT ch, UINT, UINT) {
    if (HandleEndKey(m_hWnd, ch)) return;
    if (!FilterEditChar(m_hWnd, m_flags, ch)) return;
    SetMsgHandled(FALSE);
}

void CListEdit::OnKillFocus(HWND) {
    SetMsgHandled(FALSE);
    if (!IsWindowVisible()) return;  // ended already
    std::string text = GetWindowText();
    ShowWindow(SW_HIDE);
    SendEnd(m_hWnd, text.c_str(), nullptr);
}

// ---- choice editor ------------------------------------------------------------------------

CListCombo::CListCombo() : m_editChild(this, 1) {}

CListCombo::~CListCombo() {
    if (IsWindow()) DestroyWindow();
}

bool CListCombo::Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const std::string& text,
                        const std::vector<std::string>& choices, bool styled, HFONT listFont) {
    if (IsWindow()) DestroyWindow();
    m_endKey = 0;
    m_row = row;
    m_column = column;
    m_flags = flags;
    m_hot = m_tracking = false;
    if (!MakeFont(listFont)) return false;
    bool editable = (flags & kListEditDropDown) != 0;
    DWORD style = WS_CHILD | WS_VSCROLL | WS_CLIPCHILDREN | CBS_AUTOHSCROLL | CBS_SORT |
                  (editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
    if (flags & kListEditUpper) style |= CBS_UPPERCASE;
    int cellHeight = cell.bottom - cell.top;
    CRect r(cell.left + (editable ? 1 : 3), cell.top, cell.right, cell.top + 7 * cellHeight);
    if (!CWindowImpl<CListCombo, CComboBox>::Create(list, r, nullptr, style, 0, (UINT)kListComboId)) return false;
    if (styled && CTheme::IsThemingActive()) m_theme.Open(m_hWnd, L"COMBOBOX");
    SetFont(m_font, FALSE);
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    if (editable && GetComboBoxInfo(&info) && info.hwndItem) m_editChild.SubclassWindow(info.hwndItem);
    for (const std::string& c : choices) AddString(c.c_str());
    if (!editable) {
        SetCurSel(FindStringExact(-1, text.c_str()));
    } else {
        SetWindowText(text.c_str());
        SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    }
    SetItemHeight(-1, std::max(1, cellHeight - 6));
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(&info)) {
        m_item = info.rcItem;
        m_button = info.rcButton;
        m_button.top += 1;
        m_button.bottom -= 1;
        ::OffsetRect(&m_button, -2, 0);
    }
    m_highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    m_highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_swapped = ::GetSystemMetrics(SM_SWAPBUTTON) != 0;
    ShowWindow(SW_SHOW);
    SetFocus();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
}

void CListCombo::OnChar(UINT ch, UINT, UINT) {
    if (HandleEndKey(m_hWnd, ch)) return;
    if (m_editChild.m_hWnd && !FilterEditChar(m_editChild.m_hWnd, m_flags, ch)) return;
    SetMsgHandled(FALSE);
}

void CListCombo::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { Paint(dc); });
}

void CListCombo::Paint(HDC hdc) {
    CDCHandle dc(hdc);
    CRect client = GetClientRect();
    CRect clip;
    dc.GetClipBox(&clip);
    // The list's cell shows under the control, except when only the button is repainted.
    if (clip != m_button) dc.FillSolidRect(&client, ::GetSysColor(COLOR_WINDOW));
    if ((GetStyle() & 3) == CBS_DROPDOWNLIST) {
        int sel = GetCurSel();
        std::string text = sel >= 0 ? GetLBText(sel) : std::string();
        CRect item = m_item;
        dc.FillSolidRect(&item, m_highlight);
        item.OffsetRect(1, 1);
        CSelectObject font(dc, m_font);
        dc.SetTextColor(m_highlightText);
        dc.SetBkMode(TRANSPARENT);
        dc.DrawText(text.c_str(), (int)text.size(), &item, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    POINT pt;
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    bool over = ::PtInRect(&m_button, pt) != 0;
    bool pressed = over && ::GetAsyncKeyState(m_swapped ? VK_RBUTTON : VK_LBUTTON) < 0;
    if (!m_theme.IsNull()) {
        m_theme.DrawBackground(dc, CP_DROPDOWNBUTTON, pressed ? 3 : m_hot ? 2 : 1, &m_button);
    } else {
        CRect b = m_button;
        ::DrawFrameControl(dc, &b, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (pressed ? DFCS_PUSHED | DFCS_FLAT : 0));
    }
}

void CListCombo::OnMouseMove(UINT, CPoint) {
    SetMsgHandled(FALSE);
    if (!m_tracking) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&t) != 0;
    }
    if (!m_hot) {
        m_hot = true;
        InvalidateRect(&m_button, FALSE);
    }
}

void CListCombo::OnMouseLeave() {
    SetMsgHandled(FALSE);
    m_tracking = false;
    m_hot = false;
    InvalidateRect(&m_button, FALSE);
}

void CListCombo::OnDestroy() {
    SetMsgHandled(FALSE);
    m_theme.Close();
    if (m_editChild.m_hWnd) m_editChild.UnsubclassWindow(TRUE);
}

void CListCombo::OnKillFocus(UINT, int, HWND) {
    if (!IsWindowVisible()) return;
    std::string text;
    if ((GetStyle() & 3) == CBS_DROPDOWNLIST) {
        int sel = GetCurSel();
        if (sel >= 0) text = GetLBText(sel);
    } else {
        text = GetWindowText();
    }
    ShowWindow(SW_HIDE);
    SendEnd(m_hWnd, text.c_str(), nullptr);
}

// ---- date editor --------------------------------------------------------------------------

CListDate::~CListDate() {
    if (IsWindow()) DestroyWindow();
}

static std::string LocaleText(LCTYPE type) {
    char buf[128] = {};
    if (!::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf)) return std::string();
    return buf;
}

bool CListDate::Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const SYSTEMTIME& date,
                       HFONT listFont) {
    if (IsWindow()) DestroyWindow();
    m_endKey = 0;
    m_row = row;
    m_column = column;
    m_flags = flags;
    if (!MakeFont(listFont)) return false;
    DWORD style = WS_CHILD | WS_CLIPCHILDREN;
    if (flags & kListDateAllowNone) style |= DTS_SHOWNONE;
    if (flags & kListTimeOnly) style |= DTS_UPDOWN;
    CRect r(cell.left + 3, cell.top + 2, cell.right - 3, cell.bottom - 2);
    if (!CWindowImpl<CListDate, CDateTimePickerCtrl>::Create(list, r, nullptr, style, 0, (UINT)kListDateId))
        return false;
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    SetFont(m_font);
    SetMonthCalFont(m_font);
    std::string format;
    if (flags & kListDateOnly)
        format = LocaleText(LOCALE_SSHORTDATE);
    else if (flags & kListTimeOnly)
        format = LocaleText(LOCALE_STIMEFORMAT);
    else
        format = LocaleText(LOCALE_SSHORTDATE) + " " + LocaleText(LOCALE_STIMEFORMAT);
    SetFormat(format.c_str());
    SYSTEMTIME value = date;
    if (flags & kListTimeOnly) {
        // A time-only cell keeps the editor's own (today's) date.
        SYSTEMTIME now = {};
        GetSystemTime(&now);
        value.wYear = now.wYear;
        value.wMonth = now.wMonth;
        value.wDay = now.wDay;
        value.wDayOfWeek = now.wDayOfWeek;
    }
    if (!(flags & kListTimeOnly) && value.wYear == 0)
        SetSystemTime(GDT_NONE, &value);
    else
        SetSystemTime(GDT_VALID, &value);
    ShowWindow(SW_SHOW);
    SetFocus();
    return true;
}

void CListDate::OnChar(UINT ch, UINT, UINT) {
    if (HandleEndKey(m_hWnd, ch)) return;
    SetMsgHandled(FALSE);
}

void CListDate::OnKillFocus(HWND to) {
    SetMsgHandled(FALSE);
    HWND cal = GetMonthCal();
    if (to && (to == m_hWnd || ::IsChild(m_hWnd, to) || (cal && (to == cal || ::IsChild(cal, to))))) return;
    if (!IsWindowVisible()) return;
    if (cal) SendMessage(DTM_CLOSEMONTHCAL);
    SYSTEMTIME st = {};
    const char* text = "1";
    if (GetSystemTime(&st) != GDT_VALID) {
        st = SYSTEMTIME();
        text = "0";
    } else if (m_flags & kListDateOnly) {
        st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    } else if (m_flags & kListTimeOnly) {
        st.wYear = st.wMonth = st.wDayOfWeek = st.wDay = 0;
    }
    ShowWindow(SW_HIDE);
    SendEnd(m_hWnd, text, &st);
}

// ---- drop arrows --------------------------------------------------------------------------

CDropArrows::~CDropArrows() {
    if (IsWindow()) DestroyWindow();
}

bool CDropArrows::Create(HWND owner, int length, bool vertical) {
    if (IsWindow()) DestroyWindow();
    m_vertical = vertical;
    m_length = std::max(0, length) + 20;
    const int L = m_length;
    if (m_red.IsNull() && !m_red.CreateSolidBrush(RGB(255, 0, 0))) return false;
    POINT a[7], b[7];
    if (vertical) {
        POINT down[7] = {{8, 0}, {8, 4}, {11, 4}, {6, 9}, {1, 4}, {4, 4}, {4, 0}};
        POINT up[7] = {{4, L}, {4, L - 4}, {0, L - 4}, {6, L - 10}, {12, L - 4}, {8, L - 4}, {8, L}};
        std::copy(down, down + 7, a);
        std::copy(up, up + 7, b);
    } else {
        POINT right[7] = {{0, 9}, {4, 9}, {4, 12}, {10, 6}, {4, 0}, {4, 4}, {0, 4}};
        POINT left[7] = {{L, 4}, {L - 4, 4}, {L - 4, 0}, {L - 10, 6}, {L - 4, 12}, {L - 4, 9}, {L, 9}};
        std::copy(right, right + 7, a);
        std::copy(left, left + 7, b);
    }
    CRgn first, second, both;
    first.Attach(::CreatePolygonRgn(a, 7, WINDING));
    second.Attach(::CreatePolygonRgn(b, 7, WINDING));
    both.CreateRectRgn(0, 0, 0, 0);
    if (first.IsNull() || second.IsNull() || both.IsNull() || both.CombineRgn(first, second, RGN_OR) == ERROR)
        return false;
    CRect r = vertical ? CRect(0, 0, 12, L) : CRect(0, 0, L, 12);
    if (!CWindowImpl<CDropArrows, CWindow, CNullTraits>::Create(owner, r, nullptr, WS_POPUP | WS_DISABLED,
                                                                 WS_EX_TOOLWINDOW))
        return false;
    if (::SetWindowRgn(m_hWnd, both, FALSE)) both.Detach();  // the window owns it now
    return true;
}

void CDropArrows::MoveTo(int x, int y) {
    if (!IsWindow()) return;
    int left = m_vertical ? x - 7 : x - m_length / 2;
    int top = m_vertical ? y - m_length / 2 : y - 5;
    SetWindowPos(nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CDropArrows::Hide() {
    if (IsWindow() && IsWindowVisible()) ShowWindow(SW_HIDE);
}

BOOL CDropArrows::OnEraseBkgnd(HDC dc) {
    CRect r = m_vertical ? CRect(0, 0, 12, m_length) : CRect(0, 0, m_length, 12);
    ::FillRect(dc, &r, m_red);
    return TRUE;
}

void CDropArrows::OnPaint(HDC given) {
    CRect r = m_vertical ? CRect(0, 0, 12, m_length) : CRect(0, 0, m_length, 12);
    if (given) {
        ::FillRect(given, &r, m_red);
        return;
    }
    CPaintDC dc(m_hWnd);
    dc.FillRect(&r, m_red);
}

// ---- title tip ----------------------------------------------------------------------------

CTitleTip::~CTitleTip() {
    if (IsWindow()) DestroyWindow();
}

bool CTitleTip::Create(HWND list, bool styled, HFONT listFont) {
    if (IsWindow()) DestroyWindow();
    m_list = list;
    m_styled = styled;
    CLogFont lf(listFont ? listFont : (HFONT)::GetStockObject(DEFAULT_GUI_FONT));
    lf.SetCharsetDefault();
    if (!m_font.CreateFontIndirect(&lf)) return false;
    m_back = ::GetSysColor(COLOR_INFOBK);
    m_textColour = ::GetSysColor(styled && CTheme::IsThemingActive() ? COLOR_WINDOWTEXT : COLOR_INFOTEXT);
    CRect r(0, 0, 1, 1);
    if (!CWindowImpl<CTitleTip, CWindow, CNullTraits>::Create(list, r, nullptr, WS_POPUP,
                                                               WS_EX_TOPMOST | WS_EX_TOOLWINDOW))
        return false;
    if (m_tooltip.Create(m_hWnd)) m_tooltip.SetMaxTipWidth(0x7FFF);
    return true;
}

bool CTitleTip::Show(const RECT& cell, const std::string& text, const std::string& tooltip) {
    if (!IsWindow() || text.empty()) return false;
    m_tooltipText = tooltip;
    m_text = text;
    SetWindowText(text.c_str());
    CClientDC dc(m_hWnd);
    CSelectObject font(dc, m_font);
    CRect measure(0, 0, 0, 0);
    dc.DrawText(text.c_str(), (int)text.size(), &measure, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    int width = measure.Width();
    if (cell.right - cell.left - 1 >= width) return false;  // it fits: no tip
    if (m_tooltip.IsWindow()) {
        m_tooltip.DelTool(m_hWnd, (UINT_PTR)m_hWnd);
        if (!tooltip.empty()) {
            std::string t = tooltip.substr(0, 32767);
            m_tooltip.AddTool(m_hWnd, (UINT_PTR)m_hWnd, nullptr, t.c_str(), TTF_IDISHWND);
            m_tooltip.Activate(TRUE);
        } else {
            m_tooltip.Activate(FALSE);
        }
    }
    SetWindowPos(nullptr, cell.left - 4, cell.top, width + 11, cell.bottom - cell.top,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOCOPYBITS | SWP_SHOWWINDOW);
    Invalidate(FALSE);
    SetCapture();
    return true;
}

void CTitleTip::Hide() {
    if (!IsWindow()) return;
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    if (IsWindowVisible()) ShowWindow(SW_HIDE);
}

LRESULT CTitleTip::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (::GetCapture() != m_hWnd) {
        SetMsgHandled(FALSE);
        return 0;
    }
    if (m_tooltip.IsWindow()) {
        MSG m = {m_hWnd, msg, wParam, lParam, 0, {0, 0}};
        m_tooltip.RelayEvent(&m);
    }
    if (msg == WM_MOUSEWHEEL) {  // screen coordinates already
        ::PostMessageA(m_list, msg, wParam, lParam);
        return 0;
    }
    POINT screen = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(&screen);
    if (msg == WM_MOUSEMOVE) {
        CRect w = GetWindowRect();
        if (!w.PtInRect(screen)) Hide();
        return 0;
    }
    LRESULT hit = ::SendMessageA(m_list, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    if (hit == HTCLIENT) {
        POINT p = screen;
        ::ScreenToClient(m_list, &p);
        ::PostMessageA(m_list, msg, wParam, MAKELPARAM(p.x, p.y));
        return 0;
    }
    switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
        ::PostMessageA(m_list, msg + (WM_NCLBUTTONDOWN - WM_LBUTTONDOWN), (WPARAM)hit, MAKELPARAM(screen.x, screen.y));
        break;
    default:
        break;
    }
    return 0;
}

void CTitleTip::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { Paint(dc); });
}

void CTitleTip::Paint(HDC hdc) {
    CDCHandle dc(hdc);
    CRect r = GetClientRect();
    if (m_styled && CTheme::IsThemingActive()) {
        DrawSelectionFrame(dc, r, RGB(0xDC, 0xDC, 0xDC), RGB(0xF5, 0xF5, 0xF5), true, m_back);
        CRect g = r;
        g.DeflateRect(2, 2);
        DrawGradient(dc, g, RGB(0xFA, 0xFA, 0xFA), RGB(0xEB, 0xEB, 0xEB));
    } else {
        dc.FillSolidRect(&r, m_back);
        CBrush frame;
        frame.CreateSolidBrush(m_textColour);
        dc.FrameRect(&r, frame);
    }
    CRect t = r;
    t.left += 4;
    CSelectObject font(dc, m_font);
    dc.SetTextColor(m_textColour);
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(m_text.c_str(), (int)m_text.size(), &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void CTitleTip::OnCaptureChanged(HWND gaining) {
    SetMsgHandled(FALSE);
    if (gaining != m_hWnd && IsWindowVisible()) ShowWindow(SW_HIDE);
}

LRESULT CTitleTip::OnActivateApp(UINT, WPARAM active, LPARAM) {
    SetMsgHandled(FALSE);
    if (!active) Hide();
    return 0;
}

void CTitleTip::OnDestroy() {
    SetMsgHandled(FALSE);
    if (m_tooltip.IsWindow()) m_tooltip.DestroyWindow();
    m_tooltip.m_hWnd = nullptr;
}
