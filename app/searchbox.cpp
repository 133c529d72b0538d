#include "app/searchbox.h"

#include "base/gdicache.h"
#include "skin/skinbitmap.h"
#include "store/container.h"

namespace {

constexpr int kTopHeight = 22;
const COLORREF kBackground = RGB(12, 12, 12);
const COLORREF kEditText = RGB(255, 255, 0);
const COLORREF kLineText = RGB(220, 220, 220);

bool CtrlHeld() { return ::GetKeyState(VK_CONTROL) < 0; }
bool ShiftHeld() { return ::GetKeyState(VK_SHIFT) < 0; }

// The text less its last whole character (a GBK character is two bytes).
std::string DropLastChar(const std::string& text) {
    size_t i = 0, last = 0;
    while (i < text.size()) {
        last = i;
        i += static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
    }
    return text.substr(0, last);
}

// Marks for drawing what a hidden child covered: that part of each visible sibling, and the
// parent only where no sibling lies (the content panel is covered by its view: it draws nothing).
void InvalidateCovered(HWND parent, HWND hidden, const RECT& covered) {
    HRGN bare = ::CreateRectRgnIndirect(&covered);
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT area, under;
        if (child == hidden || !::IsWindowVisible(child)) continue;
        ::GetWindowRect(child, &area);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        if (!::IntersectRect(&under, &area, &covered)) continue;
        if (HRGN part = ::CreateRectRgnIndirect(&under)) {
            ::CombineRgn(bare, bare, part, RGN_DIFF);
            ::DeleteObject(part);
        }
        ::MapWindowPoints(parent, child, reinterpret_cast<POINT*>(&under), 2);
        ::RedrawWindow(child, &under, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    RECT left;
    if (bare && ::GetRgnBox(bare, &left) != NULLREGION) ::RedrawWindow(parent, nullptr, bare, RDW_INVALIDATE);
    if (bare) ::DeleteObject(bare);
}

}  // namespace

LRESULT CDevListBoxImpl::OnLButtonUp(UINT, WPARAM, LPARAM) {
    // The list box took the capture on the button down; without its own button-up it would keep it.
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    ::PostMessageA(GetParent(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), kSearchListClicked),
                   reinterpret_cast<LPARAM>(m_hWnd));
    return 0;
}

CSearchBox::CSearchBox(CMessageProcessor* processor) : m_processor(processor) {}

CSearchBox::~CSearchBox() {
    if (m_background) ::DeleteObject(m_background);
}

BOOL CSearchBox::OnEraseBkgnd(HDC dc) {
    CRect client;
    GetClientRect(&client);
    if (m_background) ::FillRect(dc, &client, m_background);
    return TRUE;
}

HBRUSH CSearchBox::OnCtlColor(HDC dc, HWND control) {
    ::SetTextColor(dc, control == m_edit.m_hWnd ? kEditText : kLineText);
    ::SetBkColor(dc, kBackground);
    return m_background ? m_background : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
}

int CSearchBox::Build(CStockContainer& stocks, bool withIndicators) {
    m_index.Build(stocks, withIndicators);
    if (m_list.IsWindow()) m_list.SendMessage(LB_INITSTORAGE, static_cast<WPARAM>(stocks.GetSize()), 32 * stocks.GetSize());
    return 1;
}

LRESULT CSearchBox::OnCreate(LPCREATESTRUCTA) {
    CRect client;
    GetClientRect(&client);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!m_background) m_background = ::CreateSolidBrush(kBackground);
    m_edit = ::CreateWindowExA(0, "EDIT", "", style | WS_BORDER | ES_AUTOHSCROLL, client.left, client.top,
                               client.Width(), client.Height(), m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kSearchEditId)), ::GetModuleHandleA(nullptr),
                               nullptr);
    if (!m_edit.m_hWnd) return -1;
    if (!m_list.Create(m_hWnd, client, nullptr, style | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, kSearchListId)) return -1;
    if (CGdiCache* cache = GetGdiCache()) {
        HFONT font = cache->GetFont(14, "宋体", false);
        m_edit.SetFont(font, FALSE);
        m_list.SetFont(font, FALSE);
    }
    CSkinBitmap image;
    CRect button(0, 0, 16, 16);
    const bool loaded = image.LoadSkinFile("ExtraClose.png");
    if (loaded) button = CRect(0, 0, image.GetWidth() / 4, image.GetHeight());
    if (m_close.CreateSkinButton(m_hWnd, button, nullptr, style, 0, kSearchCloseId) && loaded) m_close.SetBitmap(image.Detach());
    Layout();
    return 0;
}

void CSearchBox::OnSize(UINT, CSize) { Layout(); }

void CSearchBox::Layout() {
    if (!m_edit.m_hWnd || !m_list.IsWindow()) return;
    CRect client;
    GetClientRect(&client);
    int buttonWidth = 0;
    if (m_close.IsWindow()) {
        CRect button;
        m_close.GetWindowRect(&button);
        buttonWidth = button.Width();
        m_close.SetWindowPos(nullptr, client.right - buttonWidth - 2, (kTopHeight - button.Height()) / 2, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int editWidth = client.Width() - buttonWidth - 4;
    m_edit.SetWindowPos(nullptr, 0, 0, editWidth > 0 ? editWidth : 0, kTopHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    const int listHeight = client.Height() - kTopHeight;
    m_list.SetWindowPos(nullptr, 0, kTopHeight, client.Width(), listHeight > 0 ? listHeight : 0,
                        SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string CSearchBox::GetText() const { return m_edit.m_hWnd ? m_edit.GetWindowText() : std::string(); }

void CSearchBox::OnChar(UINT vk, UINT, bool alreadyOpen) {
    if (!IsSearchKey(static_cast<int>(vk)) || CtrlHeld() || !m_edit.m_hWnd) return;
    if (!alreadyOpen) {
        if (!(GetStyle() & WS_VISIBLE)) ShowWindow(SW_SHOWNA);
        HWND previous = ::SetFocus(m_edit);
        // Focus that was already inside the box is nothing to give back.
        m_prevFocus = previous && previous != m_hWnd && !::IsChild(m_hWnd, previous) ? previous : nullptr;
    }
    char c = static_cast<char>(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) c = static_cast<char>('0' + (vk - VK_NUMPAD0));
    else if (vk == '8' && ShiftHeld()) c = '*';
    const char insert[2] = {c, '\0'};
    const int length = m_edit.GetWindowTextLength();
    m_edit.SendMessage(EM_SETSEL, length, length);
    m_edit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insert));
    m_edit.SendMessage(EM_SCROLLCARET);
    FillList(GetText().c_str());
}

BOOL CSearchBox::OnKeyDown(const MSG* msg) {
    if (!msg) return FALSE;
    const UINT vk = static_cast<UINT>(msg->wParam);
    if (IsSearchKey(static_cast<int>(vk))) {
        OnChar(vk, static_cast<UINT>(HIWORD(msg->lParam)), true);
        return TRUE;
    }
    const int count = static_cast<int>(m_list.SendMessage(LB_GETCOUNT));
    const int selection = static_cast<int>(m_list.SendMessage(LB_GETCURSEL));
    switch (vk) {
    case VK_BACK: {
        m_edit.SendMessage(EM_SETSEL, 0, -1);
        std::string text = GetText();
        if (!text.empty()) {
            text = DropLastChar(text);
            m_edit.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        }
        FillList(text.c_str());
        return TRUE;
    }
    case VK_UP:
        if (count > 0) m_list.SendMessage(LB_SETCURSEL, selection <= 0 ? count - 1 : selection - 1);
        return TRUE;
    case VK_DOWN:
        if (count > 0) m_list.SendMessage(LB_SETCURSEL, selection < 0 || selection >= count - 1 ? 0 : selection + 1);
        return TRUE;
    case VK_RETURN:
        if (selection < 0) return FALSE;
        Choose();
        return TRUE;
    case VK_ESCAPE:
        Close();
        return TRUE;
    default:
        return TRUE;
    }
}

void CSearchBox::FillList(const char* typed) {
    if (!m_list.IsWindow()) return;
    m_index.Lookup(typed, m_lines);
    // One repaint for the whole fill: typing "6" lists thousands of lines.
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.SendMessage(LB_RESETCONTENT);
    for (const SearchLine& line : m_lines) {
        const LRESULT at = m_list.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.text.c_str()));
        if (at >= 0) m_list.SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(line.value));
    }
    if (!m_lines.empty()) m_list.SendMessage(LB_SETCURSEL, 0);
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.Invalidate();
}

std::vector<std::string> CSearchBox::GetLines() {
    std::vector<std::string> lines;
    const int count = static_cast<int>(m_list.SendMessage(LB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = m_list.SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(i));
        std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
        m_list.SendMessage(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(length > 0 ? static_cast<size_t>(length) : 0);
        lines.push_back(text);
    }
    return lines;
}

int CSearchBox::GetSelection() { return static_cast<int>(m_list.SendMessage(LB_GETCURSEL)); }

void CSearchBox::Choose() {
    const int selection = GetSelection();
    if (selection < 0) return;
    const uint32_t value = static_cast<uint32_t>(m_list.SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(selection)));
    if (value & kSearchIndicatorBit) {
        if (m_processor) m_processor->SendMessage(kAppMsgIndicator, static_cast<intptr_t>(value & ~kSearchIndicatorBit), 0);
    } else if (!CtrlHeld()) {
        // By code, not by container index: the panel finds the stock in whatever list is loaded.
        const std::string code = m_index.GetStockCode(value);
        if (m_processor && !code.empty()) m_processor->SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), 0);
    }
    Close();
}

void CSearchBox::Close() {
    // The focus goes back first, then the box hides, then it is emptied: emptied while shown, the
    // edit and the list would repaint for nothing, and hiding the window that holds the focus
    // would move the focus once more, to the parent.
    HWND previous = m_prevFocus;
    m_prevFocus = nullptr;
    if (previous && ::IsWindow(previous)) ::SetFocus(previous);
    if (m_hideOnClose && (GetStyle() & WS_VISIBLE)) {
        HWND focus = ::GetFocus();
        if (focus && (focus == m_hWnd || ::IsChild(m_hWnd, focus))) {
            ShowWindow(SW_HIDE);  // it moves the focus to the parent
        } else {
            // Hidden without the redraw of a hide, which under Wine costs more than marking what
            // the box covered: the windows below draw it in their next paint.
            CRect covered;
            GetWindowRect(&covered);
            HWND parent = GetParent();
            ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&covered), 2);
            SetWindowPos(nullptr, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateCovered(parent, m_hWnd, covered);
        }
    }
    if (m_edit.m_hWnd) m_edit.SetWindowText("");
    if (m_list.IsWindow()) m_list.SendMessage(LB_RESETCONTENT);
}

void CSearchBox::OnKillFocus(HWND) {
    if (GetSelection() >= 0) Close();
}
