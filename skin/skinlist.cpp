#include "skin/skinlist.h"

#include <vsstyle.h>

#include <algorithm>
#include <cstdlib>

#include "skin/skinmanager.h"

namespace {

// Fixed colours of the list (Windows colour values).
const COLORREF kPressedHeader = 0xB48C82;
const COLORREF kFrameActiveOuter = 0xF5C8AA, kFrameActiveInner = 0xFAFAE6;
const COLORREF kFillActiveTop = 0xFAF0D2, kFillActiveBottom = 0xFAD7B9;
const COLORREF kFillInactiveTop = 0xFAFAFA, kFillInactiveBottom = 0xEBEBEB;
const COLORREF kFrameInactiveOuter = 0xDCDCDC, kFrameInactiveInner = 0xF5F5F5;
const COLORREF kFocusFillTop = 0xF5F5EB, kFocusFillBottom = 0xF5EBE1;
const COLORREF kProgressLeft = 0xAAF0AA, kProgressRight = 0x32D22D;
const COLORREF kFocusCell = 0xD2BEB4;
const COLORREF kHyperlink = 0xC80000;

const int kWaitCursorRows = 20000;
const UINT kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
const int kImageSize = 16;

UINT AlignFormat(uint32_t flags) {
    if (flags & kListAlignCenter) return kTextFormat | DT_CENTER;
    if (flags & kListAlignRight) return kTextFormat | DT_RIGHT;
    return kTextFormat;
}

SkinListDate FromSystemTime(const SYSTEMTIME& t) {
    SkinListDate d;
    d.year = t.wYear;
    d.month = t.wMonth;
    d.day = t.wDay;
    d.hour = t.wHour;
    d.minute = t.wMinute;
    d.second = t.wSecond;
    return d;
}

SYSTEMTIME ToSystemTime(const SkinListDate& d) {
    SYSTEMTIME t = {};
    t.wYear = (WORD)d.year;
    t.wMonth = (WORD)d.month;
    t.wDay = (WORD)d.day;
    t.wHour = (WORD)d.hour;
    t.wMinute = (WORD)d.minute;
    t.wSecond = (WORD)d.second;
    return t;
}

// One line of text, vertically centred, cut with an ellipsis when it does not fit. Text that
// fits goes straight to ExtTextOut, where DrawText would measure it once more.
void DrawCellText(HDC dc, const std::string& text, CRect r, uint32_t flags) {
    SIZE size;
    int n = (int)text.size();
    if (::GetTextExtentPoint32A(dc, text.c_str(), n, &size) && size.cx <= r.Width()) {
        int x = r.left;
        if (flags & kListAlignCenter)
            x = r.left + (r.Width() - size.cx) / 2;
        else if (flags & kListAlignRight)
            x = r.right - size.cx;
        ::ExtTextOutA(dc, x, r.top + (r.Height() - size.cy) / 2, ETO_CLIPPED, &r, text.c_str(), n, nullptr);
        return;
    }
    ::DrawTextA(dc, text.c_str(), n, &r, AlignFormat(flags));
}

}  // namespace

CSkinListImpl::CSkinListImpl() { m_model.SetHost(this); }

CSkinListImpl::~CSkinListImpl() {
    if (IsWindow()) DestroyWindow();
    FreeBackBuffer();
    ClearHeaderPictures();
}

void CSkinListImpl::ClearHeaderPictures() {
    for (HeaderPicture& p : m_headerPictures) {
        HGDIOBJ bitmap = ::SelectObject(p.dc, p.old);
        ::DeleteDC(p.dc);
        ::DeleteObject(bitmap);
    }
    m_headerPictures.clear();
}

void CSkinListImpl::DrawHeaderItem(HDC dc, int state, const CRect& r) {
    int w = r.Width(), h = r.Height();
    if (w <= 0 || h <= 0) return;
    const HeaderPicture* found = nullptr;
    for (const HeaderPicture& p : m_headerPictures)
        if (p.state == state && p.width == w && p.height == h) found = &p;
    if (!found) {
        if (m_headerPictures.size() >= 16) ClearHeaderPictures();
        // Each picture keeps its own device context: selecting a bitmap costs as much as drawing.
        HDC mem = ::CreateCompatibleDC(dc);
        HBITMAP picture = mem ? ::CreateCompatibleBitmap(dc, w, h) : nullptr;
        if (!picture) {
            if (mem) ::DeleteDC(mem);
            m_headerTheme.DrawBackground(dc, HP_HEADERITEM, state, &r);
            return;
        }
        HGDIOBJ old = ::SelectObject(mem, picture);
        CRect all(0, 0, w, h);
        CDCHandle(mem).FillSolidRect(&all, m_colWindow);
        m_headerTheme.DrawBackground(mem, HP_HEADERITEM, state, &all);
        m_headerPictures.push_back({state, w, h, mem, old});
        found = &m_headerPictures.back();
    }
    ::BitBlt(dc, r.left, r.top, w, h, found->dc, 0, 0, SRCCOPY);
}

CSkinListCtrlData::~CSkinListCtrlData() { DeleteAllItems(); }

// ---- set-up -------------------------------------------------------------------------------

BOOL CSkinListImpl::Initialise() {
    static bool controlsReady = false;
    if (!controlsReady) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
        controlsReady = ::InitCommonControlsEx(&icc) != FALSE;
    }
    std::string path = m_imagePath;
    if (path.empty()) {
        LoadSkin();
        path = GetSkinFilePath("ListItems.bmp");
    }
    m_images.Destroy();
    m_images.m_hImageList = ImageList_LoadImageA(nullptr, path.c_str(), kImageSize, 0, RGB(255, 0, 255),
                                                 IMAGE_BITMAP, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (m_images.IsNull()) return FALSE;
    HINSTANCE inst = GetAppModule().GetResourceInstance();
    m_resizeCursor = ::LoadCursorA(inst, MAKEINTRESOURCEA(kListResizeCursorId));
    if (!m_resizeCursor) m_resizeCursor = ::LoadCursorA(nullptr, IDC_SIZEWE);
    m_handCursor = ::LoadCursorA(inst, MAKEINTRESOURCEA(kListHandCursorId));
    if (!m_handCursor) m_handCursor = ::LoadCursorA(nullptr, IDC_HAND);
    if (!m_resizeCursor || !m_handCursor) return FALSE;
    if (!ResetMetrics()) return FALSE;
    if (m_hBar) {
        ModifyStyle(WS_BORDER, WS_CLIPCHILDREN);
        ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_STATICEDGE, SWP_FRAMECHANGED);
    }
    // Without OLE's consent nothing can be dropped here: columns then stay where they are,
    // and everything else works.
    if (m_dragDrop.Register(m_hWnd, this, true)) m_dragDrop.AddTargetFormat((CLIPFORMAT)m_clipFormat);
    m_dragDrop.AddSourceFormat((CLIPFORMAT)m_clipFormat);
    if (!m_tooltip.IsWindow() && !m_tooltip.Create(m_hWnd, 0)) return FALSE;
    m_tooltip.SetMaxTipWidth(32767);
    SyncClientSize();
    return TRUE;
}

BOOL CSkinListImpl::ResetMetrics() {
    m_colWindow = ::GetSysColor(COLOR_WINDOW);
    m_colFace = ::GetSysColor(COLOR_BTNFACE);
    m_colLight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    m_colShadow = ::GetSysColor(COLOR_BTNSHADOW);
    m_colHeaderText = ::GetSysColor(COLOR_WINDOWTEXT);
    m_colHighlight = ::GetSysColor(COLOR_HIGHLIGHT);
    m_colText = ::GetSysColor(COLOR_WINDOWTEXT);
    m_model.SetDefaultColours(m_colWindow, m_colText);
    m_clipFormat = ::RegisterClipboardFormatA("HEADERCLIPBOARDFORMAT");
    UINT lines = 3;
    if (::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) m_wheelLines = lines;
    if (m_font.IsNull() || m_fontUnderline.IsNull()) {
        NONCLIENTMETRICSA ncm = {};
        ncm.cbSize = sizeof(ncm);
        CLogFont lf;
        if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
            lf = CLogFont(ncm.lfMessageFont);
        else
            lf = CLogFont((HFONT)::GetStockObject(DEFAULT_GUI_FONT));
        // The message font is an ANSI font: cells hold Chinese.
        lf.SetCharsetDefault();
        if (m_font.IsNull() && !m_font.CreateFontIndirect(&lf)) return FALSE;
        lf.lfUnderline = TRUE;
        if (m_fontUnderline.IsNull() && !m_fontUnderline.CreateFontIndirect(&lf)) return FALSE;
    }
    {
        CClientDC dc(m_hWnd);
        CSelectObject sel(dc, m_font);
        SIZE sz = {};
        if (!dc.GetTextExtent("Height", 6, &sz)) return FALSE;
        int height = sz.cy + 6;
        if (height != m_model.GetRowHeight() || !m_dropArrows.IsWindow()) {
            m_model.SetRowHeight(height);
            if (!m_dropArrows.Create(m_hWnd, m_model.GetRowHeight(), true)) return FALSE;
        }
    }
    m_headerTheme.Close();
    m_progressTheme.Close();
    ClearHeaderPictures();
    if (m_useStyles && CTheme::IsThemingActive()) {
        m_headerTheme.Open(m_hWnd, L"HEADER");
        m_progressTheme.Open(m_hWnd, L"PROGRESS");
    }
    if (!m_titleTip.Create(m_hWnd, m_useStyles, m_font)) return FALSE;
    return TRUE;
}

void CSkinListImpl::SetBackgroundImage(HBITMAP picture) {
    m_background.Attach(picture);
    RequestRepaint();
}

void CSkinListImpl::SetOutsideScrollBars(HWND vertical, HWND horizontal) {
    m_vBar = vertical;
    m_hBar = horizontal;
    UpdateScrollBars();
}

void CSkinListImpl::SetShowHeader(bool on) {
    m_model.m_headerShown = on;
    UpdateScrollBars();
}

void CSkinListImpl::SetUseStyles(bool on) {
    m_useStyles = on;
    if (m_hWnd) ResetMetrics();
    RequestRepaint();
}

bool CSkinListImpl::IsStyled() const { return m_useStyles && !m_headerTheme.IsNull(); }

bool CSkinListImpl::IsActive() const { return m_editing || (m_hWnd && ::GetFocus() == m_hWnd); }

// ---- columns and rows ---------------------------------------------------------------------

int CSkinListImpl::AddColumn(const char* title, int width, int image, int fixed, int format, uint32_t flags) {
    SkinListColumn c;
    c.title = title ? title : "";
    c.width = width;
    c.image = image;
    c.fixed = fixed;
    c.format = format;
    c.flags = flags;
    return InsertColumn(c);
}

int CSkinListImpl::InsertColumn(const SkinListColumn& column) {
    int pos = m_model.InsertColumn(column);
    if (pos >= 0) UpdateScrollBars();
    return pos;
}

int CSkinListImpl::AddItem(const std::string& text, int image, int format, uint32_t flags) {
    int row = m_model.AddItem(text, image, format, flags);
    if (row >= 0) {
        // The bars and the picture catch up once, before the next paint.
        m_barsDirty = true;
        RequestRepaint();
    }
    return row;
}

BOOL CSkinListImpl::DeleteItem(int row) {
    if (m_editing) CancelEdit();
    if (!m_model.DeleteItem(row)) return FALSE;
    if (m_model.m_tipRow < 0) HideTitleTip(false);
    m_barsDirty = true;
    RequestRepaint();
    return TRUE;
}

void CSkinListImpl::DeleteAllItems() {
    if (m_editing) CancelEdit();
    m_model.DeleteAllItems();
    if (!m_hWnd) return;
    HideTitleTip(true);
    UpdateScrollBars();
}

BOOL CSkinListImpl::GetItemData(int row, DWORD* data) const {
    uint32_t d = 0;
    if (!m_model.GetItemData(row, &d)) return FALSE;
    if (data) *data = d;
    return TRUE;
}

BOOL CSkinListImpl::SetItemDate(int row, int index, const SYSTEMTIME& date) {
    return m_model.SetItemDate(row, index, FromSystemTime(date));
}

BOOL CSkinListImpl::GetItemDate(int row, int index, SYSTEMTIME* date) const {
    SkinListDate d;
    if (!m_model.GetItemDate(row, index, &d)) return FALSE;
    if (date) *date = ToSystemTime(d);
    return TRUE;
}

HFONT CSkinListImpl::GetItemFont(int row, int index) const {
    if (!m_model.Row(row)) return nullptr;
    HFONT f = (HFONT)m_model.GetItemFont(row, index);
    return f ? f : (HFONT)m_font;
}

BOOL CSkinListImpl::SetColumnWidth(int position, int width) {
    int r = m_model.SetColumnWidth(position, width);
    if (r && m_model.Column(position) && !m_model.Column(position)->fixed) UpdateScrollBars();
    return r;
}

BOOL CSkinListImpl::AutoSizeColumn(int position) {
    CClientDC dc(m_hWnd);
    CSelectObject sel(dc, m_font);
    auto measure = [&](const std::string& s, int* w) {
        SIZE sz = {};
        if (!s.empty() && !dc.GetTextExtent(s.c_str(), (int)s.size(), &sz)) return false;
        *w = sz.cx;
        return true;
    };
    int cx = 0, cy = 0;
    if (m_cellImages) ImageList_GetIconSize(m_cellImages, &cx, &cy);
    if (!m_model.AutoSizeColumn(position, measure, m_cellImages != nullptr, cx)) return FALSE;
    UpdateScrollBars();
    return TRUE;
}

std::string CSkinListImpl::FormatDate(const SYSTEMTIME& date) {
    if (date.wYear == 0) return std::string();
    char buf[33] = {};
    if (!::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, buf, 32)) return std::string();
    return buf;
}

std::string CSkinListImpl::FormatTime(const SYSTEMTIME& date) {
    char buf[33] = {};
    if (!::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &date, nullptr, buf, 32)) return std::string();
    return buf;
}

// ---- selection, sorting, view -------------------------------------------------------------

BOOL CSkinListImpl::SelectItem(int row, int position, UINT keys) {
    if (!m_model.SelectItem(row, position, keys)) return FALSE;
    ApplyScrollBars();
    RequestRepaint();
    return TRUE;
}

void CSkinListImpl::ClearSelection() {
    m_model.ClearSelection();
    RequestRepaint();
}

void CSkinListImpl::SetFocusItem(int row, int position) {
    if (m_model.SetFocusItem(row, position)) {
        HideTitleTip(false);
        ApplyScrollBars();
    }
    RequestRepaint();
}

BOOL CSkinListImpl::SortColumn(int position, int mode) {
    if (!m_model.m_headerShown || !m_model.m_sortAllowed) return FALSE;
    if (m_editing) CancelEdit();
    // A sort too short to notice goes without the wait cursor: switching the cursor there and
    // back costs more than sorting a few thousand rows.
    bool wait = m_model.GetItemCount() >= kWaitCursorRows;
    HCURSOR old = wait ? ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT)) : nullptr;
    BOOL ok = m_model.SortColumn(position, mode);
    if (wait) ::SetCursor(old);
    HideTitleTip(true);
    RequestRepaint();
    return ok;
}

void CSkinListImpl::EnsureVisible(int row, int position) {
    if (!m_model.EnsureVisible(row, position)) return;
    HideTitleTip(false);
    ApplyScrollBars();
    RequestRepaint();
}

void CSkinListImpl::UpdateScrollBars() {
    if (!m_hWnd) return;
    ApplyScrollBars();
    RequestRepaint();
}

BOOL CSkinListImpl::GetHeaderRect(int position, RECT* r) const {
    int left, right;
    if (!m_model.GetHeaderRect(position, &left, &right)) return FALSE;
    if (r) *r = CRect(left, 0, right, m_model.GetHeaderHeight());
    return TRUE;
}

BOOL CSkinListImpl::GetCellRect(int row, int position, RECT* r) const {
    CSkinListModel::Rect c;
    if (!m_model.GetCellRect(row, position, &c)) return FALSE;
    if (r) *r = CRect(c.left, c.top, c.right, c.bottom);
    return TRUE;
}

LRESULT CSkinListImpl::NotifyParent(int row, int position, int code) {
    if (!m_hWnd) return 0;
    SkinListNotify n = {};
    n.hdr.hwndFrom = m_hWnd;
    n.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    n.hdr.code = (UINT)code;
    n.row = row;
    n.column = m_model.Column(position) ? m_model.GetColumnIndex(position) : 0;
    HWND parent = ::GetParent(m_hWnd);
    return parent ? ::SendMessageA(parent, WM_NOTIFY, n.hdr.idFrom, (LPARAM)&n) : 0;
}

void CSkinListImpl::OnFocusCellSelected(int row, int position, bool visible) {
    if (!m_hWnd) return;
    if (!visible)
        SetTimer(kListTimerEdit, 250);
    else if (row >= 0 && position >= 0)
        EditCell(row, position);
}

// ---- view plumbing ------------------------------------------------------------------------

void CSkinListImpl::RequestRepaint() {
    if (!m_hWnd || m_repaintPending) return;
    // One invalidation until the paint that follows: filling thousands of rows costs one paint.
    m_repaintPending = true;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSkinListImpl::InvalidateRow(int row) {
    CRect r;
    if (!m_hWnd || !GetCellRect(row, -1, &r)) return;
    r.left = 0;
    r.right = m_model.GetClientWidth();
    InvalidateRect(&r, FALSE);
}

void CSkinListImpl::InvalidateHeader() {
    if (!m_hWnd || !m_model.m_headerShown) return;
    CRect r(0, 0, m_model.GetClientWidth(), m_model.GetHeaderHeight());
    InvalidateRect(&r, FALSE);
}

void CSkinListImpl::SyncClientSize() {
    CRect rc = GetClientRect();
    m_model.SetClientSize(rc.Width(), rc.Height());
}

void CSkinListImpl::ApplyScrollBars() {
    if (!m_hWnd || m_inScrollUpdate) return;
    m_inScrollUpdate = true;
    m_barsDirty = false;
    // Showing or hiding one bar changes the room for the other: settle in a few rounds.
    for (int round = 0; round < 3; ++round) {
        SyncClientSize();
        int max = 0, page = 0;
        SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
        m_model.GetVScrollRange(&max, &page);
        if (!m_model.m_vScrollAllowed) max = 0;
        si.nMax = max;
        si.nPage = (UINT)std::max(0, page);
        si.nPos = m_model.GetVPos();
        if (m_vBar)
            ::SetScrollInfo(m_vBar, SB_CTL, &si, TRUE);
        else
            ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
        m_model.GetHScrollRange(&max, &page);
        if (!m_model.m_hScrollAllowed) max = 0;
        si.nMax = max;
        si.nPage = (UINT)std::max(0, page);
        si.nPos = m_model.GetHPos();
        if (m_hBar)
            ::SetScrollInfo(m_hBar, SB_CTL, &si, TRUE);
        else
            ::SetScrollInfo(m_hWnd, SB_HORZ, &si, TRUE);
        CRect after = GetClientRect();
        if (after.Width() == m_model.GetClientWidth() && after.Height() == m_model.GetClientHeight()) break;
    }
    m_inScrollUpdate = false;
}

void CSkinListImpl::ScrollTo(int vPos, int hPos) {
    int oldV = m_model.GetVPos(), oldH = m_model.GetHPos();
    if (vPos >= 0) m_model.SetVPos(vPos);
    if (hPos >= 0) m_model.SetHPos(hPos);
    if (m_model.GetVPos() == oldV && m_model.GetHPos() == oldH) return;
    HideTitleTip(true);
    ApplyScrollBars();
    RequestRepaint();
}

void CSkinListImpl::HideTitleTip(bool forget) {
    if (forget) m_model.m_tipRow = m_model.m_tipColumn = -1;
    m_titleTip.Hide();
}

std::string CSkinListImpl::DateText(const std::string& text, uint32_t flags) const {
    SkinListDate d;
    if (text.empty() || !ParseListDate(text, &d)) return std::string();
    SYSTEMTIME t = ToSystemTime(d);
    if (flags & kListDateOnly) return FormatDate(t);
    if (flags & kListTimeOnly) return FormatTime(t);
    return FormatDate(t) + " " + FormatTime(t);
}

void CSkinListImpl::CheckTitleTip(POINT pt, int row, int position) {
    if (m_editing || (row == m_model.m_tipRow && position == m_model.m_tipColumn)) return;
    CRect cell;
    if (!GetCellRect(row, position, &cell)) {
        HideTitleTip(true);
        return;
    }
    int index = m_model.GetColumnIndex(position);
    CRect text(cell.left + (position == 0 ? 4 : 3), cell.top, cell.right, cell.bottom);
    text.DeflateRect(4, 0);
    int image = m_model.GetItemImage(row, index);
    if (m_cellImages && image >= 0) {
        int cx = 0, cy = 0;
        ImageList_GetIconSize(m_cellImages, &cx, &cy);
        text.left += cx + 4;
    }
    std::string shown;
    if (text.PtInRect(pt)) {
        int format = m_model.GetItemFormat(row, index);
        const std::string& raw = m_model.ItemText(row, index);
        if (format == kListFormatDate)
            shown = DateText(raw, m_model.GetItemFlags(row, index));
        else if (format != kListFormatCheck && format != kListFormatTriState && format != kListFormatProgress)
            shown = raw;
    }
    CRect screen = text;
    ClientToScreen(&screen);
    if (!shown.empty() && m_titleTip.Show(screen, shown, m_model.GetItemToolTip(row))) {
        m_model.m_tipRow = row;
        m_model.m_tipColumn = position;
    } else {
        HideTitleTip(true);
    }
}

void CSkinListImpl::UpdateRowToolTip(int row) {
    if (!m_tooltip.IsWindow()) return;
    std::string tip = m_model.GetItemToolTip(row);
    CRect r;
    if (!tip.empty() && GetCellRect(row, -1, &r)) {
        m_tooltip.Activate(TRUE);
        m_tooltip.DelTool(m_hWnd, kListRowToolId);
        m_tooltip.AddTool(m_hWnd, kListRowToolId, &r, tip.substr(0, 32767).c_str(), 0);
    } else {
        m_tooltip.Activate(FALSE);
        m_tooltip.DelTool(m_hWnd, kListRowToolId);
    }
}

// ---- painting -----------------------------------------------------------------------------

void CSkinListImpl::OnPaint(HDC given) {
    // Rows appended since the last paint: the bars first (they may change the client area).
    if (m_barsDirty) ApplyScrollBars();
    m_repaintPending = false;
    if (given) {
        OnPrintClient(given, PRF_CLIENT);
        return;
    }
    CPaintDC dc(m_hWnd);
    if (PaintThroughBuffer(dc, dc.m_ps.rcPaint)) return;
    CMemoryDC mem(dc, dc.m_ps.rcPaint);
    DoPaint(mem);
}

void CSkinListImpl::OnPrintClient(HDC dc, UINT) {
    if (m_barsDirty) ApplyScrollBars();
    if (!PaintThroughBuffer(dc, GetClientRect())) SetMsgHandled(FALSE);  // the framework's double buffer
}

void CSkinListImpl::FreeBackBuffer() {
    if (m_backDC.m_hDC && m_backOld) m_backDC.SelectObject(m_backOld);
    m_backOld = nullptr;
    m_backBitmap.DeleteObject();
    m_backDC.Attach(nullptr);
    m_backSize = CSize();
}

bool CSkinListImpl::PaintThroughBuffer(HDC target, const CRect& r) {
    CRect client = GetClientRect();
    if (client.IsRectEmpty()) return true;
    if (m_backSize != client.Size() || m_backDC.IsNull()) {
        FreeBackBuffer();
        CClientDC screen(m_hWnd);
        if (!m_backDC.CreateCompatibleDC(screen)) return false;
        if (!m_backBitmap.CreateCompatibleBitmap(screen, client.Width(), client.Height())) {
            FreeBackBuffer();
            return false;
        }
        m_backOld = m_backDC.SelectBitmap(m_backBitmap);
        m_backSize = client.Size();
    }
    CRect area;
    if (!area.IntersectRect(&r, &client)) return true;
    int saved = m_backDC.SaveDC();
    m_backDC.IntersectClipRect(area.left, area.top, area.right, area.bottom);
    DoPaint(m_backDC);
    m_backDC.RestoreDC(saved);
    ::BitBlt(target, area.left, area.top, area.Width(), area.Height(), m_backDC, area.left, area.top, SRCCOPY);
    return true;
}

void CSkinListImpl::DoPaint(HDC hdc) {
    CDCHandle dc(hdc);
    int saved = dc.SaveDC();
    CRect clip;
    dc.GetClipBox(&clip);
    m_paintActive = IsActive();
    DrawBackground(dc, clip);
    DrawItems(dc, clip);
    DrawBand(dc);
    DrawHeader(dc, clip);
    dc.RestoreDC(saved);
}

void CSkinListImpl::DrawBackground(HDC hdc, const CRect& clip) {
    CDCHandle dc(hdc);
    dc.FillSolidRect(&clip, m_colWindow);
    if (m_background.IsNull()) return;
    int hh = m_model.GetHeaderHeight();
    if (clip.bottom <= hh) return;  // only the header is being drawn
    CSize pic = m_background.GetSize();
    int cw = m_model.GetClientWidth(), ch = m_model.GetClientHeight();
    if (m_tiled) {
        CBrush brush;
        brush.CreatePatternBrush(m_background);
        POINT old;
        ::SetBrushOrgEx(dc, 0, 0, &old);
        CRect all(0, 0, cw, ch);
        dc.FillRect(&all, brush);
        ::SetBrushOrgEx(dc, old.x, old.y, nullptr);
        return;
    }
    CDC mem;
    mem.CreateCompatibleDC(dc);
    HBITMAP old = mem.SelectBitmap(m_background);
    int x = std::max<int>(0, (cw - pic.cx) / 2);
    int area = ch - hh;
    int y = pic.cy + 16 < area ? area / 2 - (pic.cy + 16) / 2 : hh;
    dc.BitBlt(x, y, std::min((int)pic.cx, cw), pic.cy, mem, 0, 0, SRCCOPY);
    mem.SelectBitmap(old);
}

void CSkinListImpl::DrawItems(HDC hdc, const CRect& clip) {
    CDCHandle dc(hdc);
    int n = m_model.GetItemCount(), rh = m_model.GetRowHeight(), hh = m_model.GetHeaderHeight();
    if (n == 0 || rh <= 0) return;
    int top = m_model.GetTopIndex();
    int left = -m_model.GetHPos(), right = m_model.GetColumnSum() - m_model.GetHPos();
    if (left >= clip.right) return;
    // Rows above the clip box are skipped without being read.
    int first = top + std::max<int>(0, (clip.top - hh) / rh);
    for (int row = first; row < n; ++row) {
        int y = hh + (row - top) * rh;
        if (y >= clip.bottom) break;
        if (y + rh <= clip.top) continue;
        DrawItem(dc, row, CRect(left, y, right, y + rh), clip);
    }
}

void CSkinListImpl::DrawImageClipped(HDC hdc, HIMAGELIST images, int image, int x, int y, const CRect& clip) {
    CDCHandle dc(hdc);
    if (!images || image < 0) return;
    int saved = dc.SaveDC();
    dc.IntersectClipRect(clip.left, clip.top, clip.right, clip.bottom);
    ImageList_Draw(images, image, dc, x, y, ILD_TRANSPARENT);
    dc.RestoreDC(saved);
}

void CSkinListImpl::DrawItem(HDC hdc, int row, const CRect& rc, const CRect& clip) {
    CDCHandle dc(hdc);
    const bool styled = IsStyled(), active = m_paintActive;
    if (m_model.IsSelected(row)) {
        if (styled) {
            if (m_selectionFrame)
                ListDrawSelectionFrame(dc, rc, active ? kFrameActiveOuter : kFrameInactiveOuter,
                                       active ? kFrameActiveInner : kFrameInactiveInner, m_colWindow);
            CRect g = rc;
            if (m_underline)
                g.SetRect(rc.left + 2, rc.bottom - 2, rc.right - 2, rc.bottom);
            else
                g.DeflateRect(2, 2);
            ListDrawGradient(dc, g, active ? kFillActiveTop : kFillInactiveTop,
                             active ? kFillActiveBottom : kFillInactiveBottom);
        } else if (m_underline) {
            dc.FillSolidRect(rc.left + 2, rc.bottom - 1, rc.Width() - 4, 1, m_colHighlight);
        } else {
            dc.FillSolidRect(&rc, m_colHighlight);
        }
    }
    const SkinListRow* data = m_model.Row(row);
    HFONT current = nullptr;
    COLORREF currentColour = CLR_INVALID;
    dc.SetBkMode(TRANSPARENT);
    int x = rc.left;
    for (int pos = 0; pos < m_model.GetColumnCount(); ++pos) {
        const SkinListColumn* col = m_model.Column(pos);
        int w = col->width;
        CRect cell(x, rc.top, x + w - 1, rc.bottom);
        x += w;
        if (cell.right < clip.left || w <= 1) continue;
        if (cell.left > clip.right) break;
        const SkinListItem* item = col->index < (int)data->cells.size() ? &data->cells[col->index] : nullptr;
        int format = item && item->format ? item->format : col->format;
        if (format == kListFormatRowEnd) break;
        uint32_t flags = item && item->flags ? item->flags : col->flags;
        bool focus = m_model.m_cellFocusMode && row == m_model.GetFocusRow() && pos == m_model.GetFocusColumn();
        if (focus) {
            if (!styled) {
                dc.FillSolidRect(&cell, m_editing ? m_colWindow : kFocusCell);
                if (m_editing) {
                    CBrush frame;
                    frame.CreateSolidBrush(kFocusCell);
                    dc.FrameRect(&cell, frame);
                }
            } else if (active) {
                if (m_selectionFrame) ListDrawSelectionFrame(dc, cell, kFrameActiveOuter, kFrameActiveInner, m_colWindow);
                CRect g = cell;
                if (m_underline)
                    g.SetRect(cell.left + 2, cell.bottom - 2, cell.right - 2, cell.bottom);
                else
                    g.DeflateRect(2, 2);
                if (m_editing)
                    dc.FillSolidRect(&g, m_colWindow);
                else
                    ListDrawGradient(dc, g, kFocusFillTop, kFocusFillBottom);
            }
        } else if (item && item->background != kListDefaultColour && item->background != m_colWindow) {
            CBrush b;
            CPen p;
            b.CreateSolidBrush(item->background);
            p.CreatePen(PS_SOLID, 1, item->background);
            HGDIOBJ ob = dc.SelectObject(b), op = dc.SelectObject(p);
            dc.RoundRect(cell.left, cell.top, cell.right, cell.bottom, 3, 3);
            dc.SelectObject(ob);
            dc.SelectObject(op);
        }
        CRect text(cell.left + (pos == 0 ? 4 : 3), cell.top, cell.right, cell.bottom);
        text.DeflateRect(4, 0);
        const std::string& s = item ? item->text : std::string();
        if (m_cellImages && item && item->image >= 0 && !(focus && m_editing)) {
            int cx = 0, cy = 0;
            ImageList_GetIconSize(m_cellImages, &cx, &cy);
            int ix = s.empty() ? text.left + (text.Width() - cx) / 2 - (styled ? 1 : 0) : text.left;
            DrawImageClipped(dc, m_cellImages, item->image, ix, cell.top + (cell.Height() - cy) / 2,
                             CRect(cell.left, cell.top, cell.right, cell.bottom));
            text.left += cx + 4;
        }
        if (text.IsRectEmpty()) continue;
        HFONT font = item && item->font ? (HFONT)item->font : (HFONT)m_font;
        COLORREF colour = focus || !item || item->textColor == kListDefaultColour ? m_colText : item->textColor;
        if (format == kListFormatLink && row == m_model.m_hotRow && pos == m_model.m_hotColumn &&
            !(flags & kListReadOnly)) {
            font = m_fontUnderline;
            colour = kHyperlink;
        }
        if (font != current) {
            dc.SelectFont(font);
            current = font;
        }
        if (colour != currentColour) {
            dc.SetTextColor(colour);
            currentColour = colour;
        }
        switch (format) {
        case kListFormatDate: {
            std::string shown = DateText(s, flags);
            if (!shown.empty()) DrawCellText(dc, shown, text, flags);
            break;
        }
        case kListFormatCheck:
        case kListFormatTriState: {
            int v = ReadListCheckValue(s);
            int image = format == kListFormatCheck ? (v > 0 ? 3 : 2) : (v > 0 ? 4 : v < 0 ? 5 : 2);
            DrawImageClipped(dc, m_images, image, text.left + (text.Width() - kImageSize) / 2 - 1,
                             cell.top + (cell.Height() - kImageSize) / 2, cell);
            break;
        }
        case kListFormatProgress: {
            CRect bar = cell;
            bar.DeflateRect(3, 2);
            double v = std::strtod(s.c_str(), nullptr);
            if (!(v >= 0)) v = 0;  // also NaN
            if (v > 100) v = 100;
            int share = (int)(bar.Width() * v / 100.0);
            if (m_useStyles && !m_progressTheme.IsNull() && !(flags & kListProgressPlain)) {
                m_progressTheme.DrawBackground(dc, PP_BAR, 0, &bar);
                CRect fill(bar.left + 3, bar.top + 3, bar.left + share - 2, bar.bottom - 3);
                if (!fill.IsRectEmpty()) m_progressTheme.DrawBackground(dc, PP_CHUNK, 0, &fill);
            } else {
                ListDrawSelectionFrame(dc, bar, m_colShadow, m_colFace, m_colWindow);
                CRect fill(bar.left + 3, bar.top + 3, bar.left + share - 3, bar.bottom - 3);
                ListDrawGradient(dc, fill, kProgressLeft, kProgressRight);
            }
            break;
        }
        default:
            if (!s.empty()) DrawCellText(dc, s, text, flags);
            break;
        }
    }
}

void CSkinListImpl::DrawHeaderTitle(HDC hdc, int position, const CRect& column, bool withArrow) {
    CDCHandle dc(hdc);
    const SkinListColumn* c = m_model.Column(position);
    CRect t(column.left + (position == 0 ? 4 : 3), column.top + 1, column.right, column.bottom + 1);
    bool arrow = withArrow && m_model.m_sortAllowed && c->width > 15 && !c->fixed &&
                 c->index == m_model.GetSortColumn();
    if (arrow) t.right -= 15;
    t.left += 4;
    t.right -= 5;
    int hh = column.Height();
    if (c->image != -1) {
        int x = c->title.empty() ? t.left + (t.Width() - kImageSize) / 2 - (IsStyled() ? 1 : 0) : t.left;
        DrawImageClipped(dc, m_images, c->image, x, column.top + (hh - kImageSize) / 2,
                         CRect(column.left, column.top, column.right - 2, column.bottom));
        t.left += kImageSize + 4;
    }
    if (!c->title.empty() && !t.IsRectEmpty()) {
        dc.SelectFont(m_font);
        dc.SetTextColor(m_colHeaderText);
        dc.SetBkMode(TRANSPARENT);
        DrawCellText(dc, c->title, t, c->flags);
    }
    if (arrow)
        DrawImageClipped(dc, m_images, m_model.IsSortAscending() ? 1 : 0, t.right + 4, column.top + hh / 2 - 3, column);
}

void CSkinListImpl::DrawHeader(HDC hdc, const CRect& clip) {
    CDCHandle dc(hdc);
    int hh = m_model.GetHeaderHeight();
    if (!m_model.m_headerShown || clip.top >= hh) return;
    const bool styled = IsStyled();
    int cw = m_model.GetClientWidth();
    if (!styled) dc.FillSolidRect(0, 0, cw, hh, m_colFace);
    int x = -m_model.GetHPos();
    for (int pos = 0; pos < m_model.GetColumnCount(); ++pos) {
        int w = m_model.Column(pos)->width;
        CRect col(x, 0, x + w, hh);
        x += w;
        if (w <= 0 || col.right < clip.left) continue;
        if (col.left > clip.right) break;
        if (styled) {
            int state = pos == m_pressedColumn ? 3 : pos == m_hotHeader ? 2 : 1;
            DrawHeaderItem(dc, state, col);
        } else {
            if (pos == m_pressedColumn) dc.FillSolidRect(&col, kPressedHeader);
            if (m_separators) {
                dc.FillSolidRect(col.right - 1, 4, 1, hh - 8, m_colShadow);
                dc.FillSolidRect(col.right, 4, 1, hh - 8, m_colLight);
            }
        }
        DrawHeaderTitle(dc, pos, col, true);
    }
    if (styled && x < cw) {
        DrawHeaderItem(dc, 1, CRect(x, 0, cw + 2, hh));
    } else if (!styled && m_separators && m_model.GetColumnSum() >= 1) {
        dc.FillSolidRect(0, 0, cw + 2, 1, m_colLight);
        dc.FillSolidRect(0, 0, 1, hh, m_colLight);
        dc.FillSolidRect(0, hh - 1, cw + 2, 1, m_colShadow);
        dc.FillSolidRect(cw + 1, 0, 1, hh, m_colShadow);
    }
}

void CSkinListImpl::DrawBand(HDC hdc) {
    CDCHandle dc(hdc);
    if (!m_bandActive) return;
    int hh = m_model.GetHeaderHeight(), cw = m_model.GetClientWidth(), ch = m_model.GetClientHeight();
    CRect band(m_pressContent.x, m_pressContent.y, m_lastPoint.x + m_model.GetHPos(),
               m_lastPoint.y + m_model.GetVPos());
    band.NormalizeRect();
    band.OffsetRect(-m_model.GetHPos(), -m_model.GetVPos());
    // Edges that cannot scroll further stay inside the view, so that the frame shows.
    if (m_model.GetHPos() >= m_model.GetHMax()) band.right = std::min<int>(band.right, cw - 1);
    if (m_model.GetHPos() == 0) band.left = std::max<int>(band.left, 0);
    if (m_model.GetVPos() >= m_model.GetVMax()) band.bottom = std::min<int>(band.bottom, ch - 1);
    if (m_model.GetVPos() == 0) band.top = std::max<LONG>(band.top, hh);
    CRect area(0, hh, cw, ch), draw;
    if (!draw.IntersectRect(&band, &area)) return;
    const bool styled = IsStyled();
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(dc, draw.Width(), draw.Height());
    HBITMAP old = mem.SelectBitmap(bmp);
    mem.FillSolidRect(0, 0, draw.Width(), draw.Height(), styled ? m_colHighlight : kFocusCell);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 180, 0};
    ::AlphaBlend(mem, 0, 0, draw.Width(), draw.Height(), dc, draw.left, draw.top, draw.Width(), draw.Height(), bf);
    dc.BitBlt(draw.left, draw.top, draw.Width(), draw.Height(), mem, 0, 0, SRCCOPY);
    mem.SelectBitmap(old);
    CBrush frame;
    frame.CreateSolidBrush(styled ? m_colHighlight : m_colText);
    int saved = dc.SaveDC();
    dc.IntersectClipRect(area.left, area.top, area.right, area.bottom);
    dc.FrameRect(&band, frame);
    dc.RestoreDC(saved);
}

// ---- scrolling ----------------------------------------------------------------------------

void CSkinListImpl::EndAnimation() {
    bool was = m_anim.running || !m_animPicture.IsNull();
    if (m_hWnd) KillTimer(kListTimerAnimate);
    m_anim.running = false;
    m_animPicture.DeleteObject();
    if (was) RequestRepaint();
}

bool CSkinListImpl::AnimateScroll(int fromTop, int toTop) {
    int rh = m_model.GetRowHeight(), cw = m_model.GetClientWidth(), n = m_model.GetItemCount();
    if (!m_anim.Start(fromTop, toTop, rh) || cw <= 0) return false;
    int visible = m_model.GetVisibleCount(true);
    m_animHeight = (visible + m_anim.rows) * rh;
    CClientDC screen(m_hWnd);
    m_animPicture.CreateCompatibleBitmap(screen, cw, m_animHeight);
    if (m_animPicture.IsNull()) {
        m_anim.running = false;
        return false;
    }
    CDC mem;
    mem.CreateCompatibleDC(screen);
    HBITMAP old = mem.SelectBitmap(m_animPicture);
    CRect all(0, 0, cw, m_animHeight);
    m_paintActive = IsActive();
    DrawBackground(mem, all);
    int left = -m_model.GetHPos(), right = m_model.GetColumnSum() - m_model.GetHPos();
    for (int i = 0, row = std::min(fromTop, toTop); row < n && i * rh < m_animHeight; ++i, ++row)
        DrawItem(mem, row, CRect(left, i * rh, right, (i + 1) * rh), all);
    mem.SelectBitmap(old);
    ShowAnimationFrame();
    SetTimer(kListTimerAnimate, 20);
    return true;
}

void CSkinListImpl::ShowAnimationFrame() {
    if (m_animPicture.IsNull()) return;
    int hh = m_model.GetHeaderHeight(), cw = m_model.GetClientWidth(), ch = m_model.GetClientHeight();
    int visible = m_model.GetVisibleCount(true) * m_model.GetRowHeight();
    int from = m_anim.down ? m_animHeight - visible - m_anim.remaining : m_anim.remaining;
    CClientDC dc(m_hWnd);
    CDC mem;
    mem.CreateCompatibleDC(dc);
    HBITMAP old = mem.SelectBitmap(m_animPicture);
    dc.BitBlt(0, hh, cw, ch - hh, mem, 0, std::max(0, from), SRCCOPY);
    mem.SelectBitmap(old);
}

bool CSkinListImpl::AnimateStep() {
    if (m_animPicture.IsNull() || !m_anim.Step()) return false;
    ShowAnimationFrame();
    return true;
}

void CSkinListImpl::OnVScroll(UINT code, UINT, HWND) {
    if (m_editing) SetFocus();
    HideTitleTip(true);
    if (m_barsDirty) ApplyScrollBars();
    if (code == SB_ENDSCROLL) return;
    int track = 0;
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
        SCROLLINFO si = {sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        if (m_vBar ? ::GetScrollInfo(m_vBar, SB_CTL, &si) : ::GetScrollInfo(m_hWnd, SB_VERT, &si)) track = si.nTrackPos;
    }
    bool animatable = false;
    int target = m_model.VScrollTarget((int)code, track, &animatable);
    if (target < 0) return;
    int oldTop = m_model.GetTopIndex();
    m_model.SetVPos(target);
    ApplyScrollBars();
    int newTop = m_model.GetTopIndex();
    if (m_animated && animatable && !m_anim.running) {
        if (!AnimateScroll(oldTop, newTop)) RequestRepaint();
    } else {
        EndAnimation();
        RequestRepaint();
    }
}

void CSkinListImpl::OnHScroll(UINT code, UINT pos, HWND) {
    EndAnimation();
    if (m_editing) SetFocus();
    HideTitleTip(true);
    if (m_barsDirty) ApplyScrollBars();
    int track = (short)pos;
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
        SCROLLINFO si = {sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        if (m_hBar ? ::GetScrollInfo(m_hBar, SB_CTL, &si) : ::GetScrollInfo(m_hWnd, SB_HORZ, &si)) track = si.nTrackPos;
    }
    int target = m_model.HScrollTarget((int)code, track);
    if (target >= 0) ScrollTo(-1, target);
}

void CSkinListImpl::OnMouseWheel(UINT, int delta, CPoint) {
    HideTitleTip(true);
    if (m_editing) SetFocus();
    int lines = m_wheelLines == WHEEL_PAGESCROLL ? -1 : (int)std::min<UINT>(m_wheelLines, 1000);
    ScrollTo(m_model.WheelTarget(delta, lines), -1);
}

void CSkinListImpl::AutoScroll(POINT pt) {
    int hh = m_model.GetHeaderHeight(), rh = m_model.GetRowHeight();
    int v = m_model.GetVPos(), h = m_model.GetHPos();
    if (pt.y < hh)
        v = std::max(0, v - rh);
    else if (pt.y >= m_model.GetClientHeight())
        v += rh;
    if (pt.x < 0)
        h = h < 6 ? 0 : h - 5;
    else if (pt.x >= m_model.GetClientWidth())
        h += 5;
    ScrollTo(v, h);
}

void CSkinListImpl::SelectBandAt(POINT pt) {
    m_lastPoint = pt;
    CRect band(m_pressContent.x, m_pressContent.y, pt.x + m_model.GetHPos(), pt.y + m_model.GetVPos());
    band.NormalizeRect();
    if (band.IsRectEmpty()) return;
    m_model.SelectBand(band.left, band.top, band.right, band.bottom);
}

// ---- keyboard -----------------------------------------------------------------------------

void CSkinListImpl::OnKeyDown(UINT vk, UINT, UINT) {
    EndAnimation();
    bool control = ::GetKeyState(VK_CONTROL) < 0, shift = ::GetKeyState(VK_SHIFT) < 0;
    CSkinListModel::KeyResult r = m_model.OnKeyDown(vk, control, shift, ::GetTickCount());
    if (r == CSkinListModel::kKeyIgnored) {
        SetMsgHandled(FALSE);
        return;
    }
    HideTitleTip(true);
    ApplyScrollBars();
    RequestRepaint();
}

void CSkinListImpl::OnSysKeyDown(UINT, UINT, UINT) {
    HideTitleTip(true);
    SetMsgHandled(FALSE);
}

// ---- mouse --------------------------------------------------------------------------------

LRESULT CSkinListImpl::OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_tooltip.IsWindow()) {
        MSG m = {m_hWnd, msg, wParam, lParam, 0, {0, 0}};
        m_tooltip.RelayEvent(&m);
    }
    SetMsgHandled(FALSE);
    return 0;
}

HCURSOR CSkinListImpl::CursorAt(POINT pt) const {
    if (m_resizing) return m_resizeCursor;
    bool divider = false;
    int h = m_model.HitTestHeader(pt.x, pt.y, &divider);
    if (h >= 0 && divider && !m_model.Column(h)->fixed) return m_resizeCursor;
    int row, pos;
    if (m_model.HitTestCell(pt.x, pt.y, &row, &pos) && row == m_model.m_hotRow && pos == m_model.m_hotColumn) {
        int index = m_model.GetColumnIndex(pos);
        if (m_model.GetItemFormat(row, index) == kListFormatLink && !(m_model.GetItemFlags(row, index) & kListReadOnly))
            return m_handCursor;
    }
    return nullptr;
}

BOOL CSkinListImpl::OnSetCursor(HWND, UINT hitTest, UINT) {
    POINT pt;
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    HCURSOR c = hitTest == HTCLIENT ? CursorAt(pt) : nullptr;
    if (!c) {
        SetMsgHandled(FALSE);
        return FALSE;
    }
    ::SetCursor(c);
    return TRUE;
}

void CSkinListImpl::ReleaseButton() {
    if (m_buttonDown && ::GetCapture() == m_hWnd) ::ReleaseCapture();
    m_buttonDown = false;
    m_pressClient = m_pressContent = CPoint();
}

void CSkinListImpl::OnLButtonDown(UINT keys, CPoint pt) {
    HideTitleTip(true);
    m_buttonDown = true;
    m_pressClient = pt;
    m_pressContent = CPoint(pt.x + m_model.GetHPos(), pt.y + m_model.GetVPos());
    m_lastPoint = pt;
    EndAnimation();
    if (::GetFocus() != m_hWnd) SetFocus();
    SetCapture();
    bool divider = false;
    int h = m_model.HitTestHeader(pt.x, pt.y, &divider);
    if (h >= 0) {
        if (divider && !m_model.Column(h)->fixed) {
            ::SetCursor(m_resizeCursor);
            m_resizing = true;
            m_resizeColumn = h;
            m_resizeWidth = m_model.GetColumnWidth(h);
            POINT screen = pt;
            ClientToScreen(&screen);
            m_resizeX = screen.x;
        } else {
            m_pressedColumn = h;
            InvalidateHeader();
        }
        return;
    }
    int row, pos;
    if (m_model.HitTestCell(pt.x, pt.y, &row, &pos)) {
        bool shift = (keys & MK_SHIFT) != 0, control = (keys & MK_CONTROL) != 0;
        if (!shift && !control && pos != 0) {
            m_bandArmed = true;
            m_model.SetAnchor(row);
        }
        if (shift || control || !m_model.IsSelected(row) || m_model.GetSelectedCount() < 2)
            SelectItem(row, pos, (UINT)(keys & (MK_SHIFT | MK_CONTROL)));
        int index = m_model.GetColumnIndex(pos);
        if (!(m_model.GetItemFlags(row, index) & kListReadOnly)) {
            int format = m_model.GetItemFormat(row, index);
            if (format == kListFormatCheck || format == kListFormatTriState) {
                m_bandArmed = false;
                m_model.ToggleCell(row, pos);
                InvalidateRow(row);
            } else if (format == kListFormatLink) {
                m_bandArmed = false;
                ::SetCursor(m_handCursor);
                NotifyParent(row, pos, kListNotifyLinkClick);
            }
        }
    } else {
        m_model.SetAnchor(-1);
        m_bandArmed = true;
    }
}

void CSkinListImpl::OnMouseMove(UINT keys, CPoint pt) {
    if (!(keys & MK_LBUTTON) && m_buttonDown) {
        ReleaseButton();
        m_resizing = m_bandActive = m_bandArmed = false;
        m_pressedColumn = -1;
    }
    if (!m_tracking) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&t) != 0;
    }
    if (m_buttonDown && m_resizing) {
        POINT screen = pt;
        ClientToScreen(&screen);
        TrackColumnResize(screen.x);
        return;
    }
    if (m_buttonDown && m_pressedColumn >= 0) {
        if (std::abs(pt.x - m_pressClient.x) > 4 || std::abs(pt.y - m_pressClient.y) > 4) BeginColumnDrag();
        return;
    }
    if (m_buttonDown && !m_bandActive &&
        (std::abs(pt.x - m_pressClient.x) > 3 || std::abs(pt.y - m_pressClient.y) > 3)) {
        if (m_bandArmed || !m_model.m_dragSelectsRows) {
            if (!m_model.m_singleSelection && !m_editing) m_bandActive = true;
        } else {
            int row, pos;
            if (m_model.HitTestCell(pt.x, pt.y, &row, &pos) && !m_model.IsSelected(row))
                SelectItem(row, pos, (UINT)(keys & (MK_SHIFT | MK_CONTROL)));
        }
    }
    if (m_bandActive) {
        HideTitleTip(true);
        CRect band(m_pressContent.x, m_pressContent.y, pt.x + m_model.GetHPos(), pt.y + m_model.GetVPos());
        band.NormalizeRect();
        if (band.IsRectEmpty()) return;
        SelectBandAt(pt);
        SetTimer(kListTimerBand, 20);
        DWORD now = ::GetTickCount();
        if (now - m_lastAutoScroll >= 10) {
            m_lastAutoScroll = now;
            AutoScroll(pt);
            SelectBandAt(pt);
        }
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        m_repaintPending = false;
        return;
    }
    if (m_buttonDown) return;

    bool divider = false;
    int h = m_model.HitTestHeader(pt.x, pt.y, &divider);
    if (m_model.m_headerShown && pt.y >= 0 && pt.y < m_model.GetHeaderHeight()) {
        int hot = IsStyled() && !divider ? h : -1;
        if (hot != m_hotHeader) {
            m_hotHeader = hot;
            InvalidateHeader();
        }
        HideTitleTip(true);
        if (h >= 0 && divider && !m_model.Column(h)->fixed) ::SetCursor(m_resizeCursor);
        return;
    }
    if (m_hotHeader >= 0) {
        m_hotHeader = -1;
        InvalidateHeader();
    }
    int row, pos;
    if (m_model.HitTestCell(pt.x, pt.y, &row, &pos)) {
        if (row != m_model.m_hotRow || pos != m_model.m_hotColumn) {
            InvalidateRow(m_model.m_hotRow);
            m_model.m_hotRow = row;
            m_model.m_hotColumn = pos;
            int index = m_model.GetColumnIndex(pos);
            if (m_model.GetItemFormat(row, index) == kListFormatLink &&
                !(m_model.GetItemFlags(row, index) & kListReadOnly)) {
                InvalidateRow(row);
                ::SetCursor(m_handCursor);
            }
            UpdateRowToolTip(row);
        }
        CheckTitleTip(pt, row, pos);
    } else {
        InvalidateRow(m_model.m_hotRow);
        if (m_tooltip.IsWindow()) {
            m_tooltip.Activate(FALSE);
            m_tooltip.DelTool(m_hWnd, kListRowToolId);
        }
        m_model.m_hotRow = m_model.m_hotColumn = -1;
        HideTitleTip(true);
    }
}

void CSkinListImpl::OnLButtonUp(UINT keys, CPoint pt) {
    bool wasDown = m_buttonDown;
    if (m_buttonDown && ::GetCapture() == m_hWnd) ::ReleaseCapture();
    if (!m_resizing && m_pressedColumn >= 0 && wasDown) {
        int pressed = m_pressedColumn;
        m_pressedColumn = -1;
        SortColumn(pressed, 0);
    }
    if (m_resizing || m_pressedColumn >= 0) {
        m_pressedColumn = -1;
        m_resizing = false;
        m_resizeColumn = -1;
        if (m_shrinkTimer) KillTimer(kListTimerResize);
        m_shrinkTimer = false;
        InvalidateHeader();
    }
    m_bandArmed = false;
    m_buttonDown = false;
    m_pressClient = m_pressContent = CPoint();
    if (m_bandActive) {
        m_bandActive = false;
        KillTimer(kListTimerBand);
        RequestRepaint();
        return;
    }
    int row = -1, pos = -1;
    if (m_model.HitTestCell(pt.x, pt.y, &row, &pos)) {
        if (m_model.IsSelected(row) && m_model.GetSelectedCount() > 1 && !(keys & (MK_SHIFT | MK_CONTROL)))
            SelectItem(row, pos, 0);
    } else {
        row = pos = -1;
    }
    NotifyParent(row, pos, kListNotifyClick);
}

void CSkinListImpl::OnLButtonDblClk(UINT, CPoint pt) {
    HideTitleTip(true);
    SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(pt.x, pt.y));
    bool divider = false;
    int h = m_model.HitTestHeader(pt.x, pt.y, &divider);
    if (h >= 0 && divider) {
        m_resizing = false;  // the press above started a resize that the double click replaces
        AutoSizeColumn(h);
    }
    int row = -1, pos = -1;
    if (!m_model.HitTestCell(pt.x, pt.y, &row, &pos)) row = pos = -1;
    NotifyParent(row, pos, kListNotifyDblClick);
}

void CSkinListImpl::OnRButtonDown(UINT keys, CPoint pt) {
    EndAnimation();
    RequestRepaint();
    if (::GetFocus() != m_hWnd) SetFocus();
    HideTitleTip(true);
    int row, pos;
    if (m_model.HitTestCell(pt.x, pt.y, &row, &pos) && !m_model.IsSelected(row))
        SelectItem(row, pos, (UINT)(keys & (MK_SHIFT | MK_CONTROL)));
}

void CSkinListImpl::OnRButtonUp(UINT, CPoint pt) {
    int row = -1, pos = -1;
    if (!m_model.HitTestCell(pt.x, pt.y, &row, &pos)) {
        row = pos = -1;
        ClearSelection();
    }
    NotifyParent(row, pos, kListNotifyRightClick);
}

void CSkinListImpl::OnMouseLeave() {
    m_tracking = false;
    if (m_hotHeader >= 0) {
        m_hotHeader = -1;
        InvalidateHeader();
    }
    if (m_model.m_hotRow >= 0) {
        m_model.m_hotRow = m_model.m_hotColumn = -1;
        RequestRepaint();
    }
}

void CSkinListImpl::TrackColumnResize(int screenX) {
    if (m_resizeColumn < 0 || m_shrinkTimer) return;
    int width = std::max(0, m_resizeWidth + (screenX - m_resizeX));
    bool barShown = m_model.GetHMax() > 0;
    bool atEnd = barShown && m_model.GetHPos() >= m_model.GetHMax();
    if (atEnd && width < m_model.GetColumnWidth(m_resizeColumn)) {
        // At the right end the content would slide under the pointer: shrink in steps instead.
        m_shrinkTimer = true;
        m_shrinkX = screenX;
        SetTimer(kListTimerResize, 20);
        return;
    }
    SetColumnWidth(m_resizeColumn, width);
}

void CSkinListImpl::OnResizeTimer() {
    POINT cursor;
    ::GetCursorPos(&cursor);
    bool barShown = m_model.GetHMax() > 0;
    if (!m_resizing || !barShown || cursor.x > m_shrinkX) {
        KillTimer(kListTimerResize);
        m_shrinkTimer = false;
        m_resizeX = cursor.x;
        m_resizeWidth = m_model.GetColumnWidth(m_resizeColumn);
        return;
    }
    if (cursor.x < m_shrinkX && m_model.GetHPos() >= m_model.GetHMax()) {
        int width = std::max<int>(0, m_model.GetColumnWidth(m_resizeColumn) + (cursor.x - m_shrinkX));
        m_resizeWidth = width;
        SetColumnWidth(m_resizeColumn, width);
    }
}

void CSkinListImpl::OnTimer(UINT_PTR id) {
    switch (id) {
    case kListTimerResize:
        OnResizeTimer();
        break;
    case kListTimerEdit: {
        KillTimer(kListTimerEdit);
        int row, pos;
        if (m_model.GetFocusItem(&row, &pos)) EditCell(row, pos);
        break;
    }
    case kListTimerBand: {
        if (!m_bandActive) {
            KillTimer(kListTimerBand);
            break;
        }
        POINT pt;
        ::GetCursorPos(&pt);
        ScreenToClient(&pt);
        AutoScroll(pt);
        SelectBandAt(pt);
        RequestRepaint();
        break;
    }
    case kListTimerAnimate:
        if (!AnimateStep()) EndAnimation();
        break;
    default:
        SetMsgHandled(FALSE);
        break;
    }
}

// ---- window life --------------------------------------------------------------------------

LRESULT CSkinListImpl::OnCreate(LPCREATESTRUCTA) { return Initialise() ? 0 : -1; }

void CSkinListImpl::OnDestroy() {
    SetMsgHandled(FALSE);
    m_dragDrop.Revoke();
    for (UINT id : {kListTimerResize, kListTimerEdit, kListTimerBand, kListTimerAnimate}) KillTimer(id);
    if (m_dropArrows.IsWindow()) m_dropArrows.DestroyWindow();
    if (m_titleTip.IsWindow()) m_titleTip.DestroyWindow();
    m_editing = false;
    if (m_edit.IsWindow()) m_edit.DestroyWindow();
    if (m_combo.IsWindow()) m_combo.DestroyWindow();
    if (m_date.IsWindow()) m_date.DestroyWindow();
    if (m_tooltip.IsWindow()) m_tooltip.DestroyWindow();
    m_tooltip.m_hWnd = nullptr;
    m_animPicture.DeleteObject();
    FreeBackBuffer();
    m_repaintPending = false;
}

void CSkinListImpl::OnSize(UINT, CSize) {
    EndAnimation();
    if (m_editing) SetFocus();
    m_repaintPending = false;  // a new size brings its own paint
    ApplyScrollBars();
    if (m_hBar) {
        SCROLLINFO si = {sizeof(si), SIF_RANGE, 0, 0, 0, 0, 0};
        si.nMax = std::max(0, m_model.GetHMax());
        ::SetScrollInfo(m_hBar, SB_CTL, &si, TRUE);
    } else if (m_vBar) {
        SCROLLINFO si = {sizeof(si), SIF_RANGE, 0, 0, 0, 0, 0};
        si.nMax = std::max(0, m_model.GetVMax());
        ::SetScrollInfo(m_vBar, SB_CTL, &si, TRUE);
    }
    RequestRepaint();
}

// The selection changes its look with the focus.
void CSkinListImpl::OnSetFocus(HWND) {
    RequestRepaint();
    SetMsgHandled(FALSE);
}

void CSkinListImpl::OnKillFocus(HWND) {
    HideTitleTip(true);
    RequestRepaint();
    SetMsgHandled(FALSE);
}

LRESULT CSkinListImpl::OnCancelMode(UINT, WPARAM, LPARAM) {
    ReleaseButton();
    HideTitleTip(true);
    m_dropArrows.Hide();
    m_pressedColumn = m_dragColumn = -1;
    m_resizing = m_bandActive = m_bandArmed = false;
    RequestRepaint();
    SetMsgHandled(FALSE);
    return 0;
}

LRESULT CSkinListImpl::OnSettingChange(UINT, WPARAM, LPARAM) {
    ResetMetrics();
    UpdateScrollBars();
    SetMsgHandled(FALSE);
    return 0;
}

// ---- editing ------------------------------------------------------------------------------

void CSkinListImpl::BeginEditing() {
    m_editing = true;
    HideTitleTip(true);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    m_repaintPending = false;
}

void CSkinListImpl::CancelEdit() {
    for (CListEditorBase* e : {(CListEditorBase*)&m_edit, (CListEditorBase*)&m_combo, (CListEditorBase*)&m_date})
        e->m_endKey = 27;
    HWND focus = ::GetFocus();
    if (focus && (focus == m_edit.m_hWnd || focus == m_combo.m_hWnd || focus == m_date.m_hWnd ||
                  ::IsChild(m_combo.m_hWnd, focus) || ::IsChild(m_date.m_hWnd, focus)))
        SetFocus();  // the editor ends itself, with Escape: nothing is written
    for (CWindow* w : {(CWindow*)&m_edit, (CWindow*)&m_combo, (CWindow*)&m_date})
        if (w->IsWindow() && w->IsWindowVisible()) w->ShowWindow(SW_HIDE);
    m_editing = false;
    RequestRepaint();
}

BOOL CSkinListImpl::EditCell(int row, int position) {
    EnsureVisible(row, position);
    if (::GetFocus() != m_hWnd) return FALSE;
    CRect cell;
    if (!GetCellRect(row, position, &cell)) return FALSE;
    const SkinListColumn* c = m_model.Column(position);
    if (!c) return TRUE;
    uint32_t flags = m_model.GetItemFlags(row, c->index);
    if (flags & kListReadOnly) return TRUE;
    bool opened = false;
    switch (m_model.GetItemFormat(row, c->index)) {
    case kListFormatEdit:
        BeginEditing();
        opened = m_edit.Create(m_hWnd, row, position, cell, flags, m_model.ItemText(row, c->index), m_font);
        break;
    case kListFormatDate: {
        SYSTEMTIME st = {};
        GetItemDate(row, c->index, &st);
        BeginEditing();
        opened = m_date.Create(m_hWnd, row, position, cell, flags, st, m_font);
        break;
    }
    case kListFormatChoice: {
        std::vector<std::string> choices;
        if (!m_model.GetItemList(row, c->index, &choices)) return TRUE;
        BeginEditing();
        opened = m_combo.Create(m_hWnd, row, position, cell, flags, m_model.ItemText(row, c->index), choices,
                                m_useStyles, m_font);
        break;
    }
    default:
        return TRUE;
    }
    if (!opened) {
        m_editing = false;
        RequestRepaint();
        return FALSE;
    }
    return TRUE;
}

LRESULT CSkinListImpl::OnEndEdit(LPNMHDR hdr) {
    const ListEditNotify* n = reinterpret_cast<const ListEditNotify*>(hdr);
    m_editing = false;
    SkinListDate date;
    if (n->date) date = FromSystemTime(*n->date);
    bool next = false;
    m_model.EndEdit(n->row, n->column, n->endKey, n->text ? n->text : "", n->date ? &date : nullptr, &next);
    if (next) PostMessage(WM_KEYDOWN, VK_TAB, 0);
    InvalidateRow(n->row);
    RequestRepaint();
    return 0;
}

// ---- column drag --------------------------------------------------------------------------

void CSkinListImpl::BeginColumnDrag() {
    HideTitleTip(true);
    int pos = m_pressedColumn;
    CRect col;
    if (!GetHeaderRect(pos, &col) || col.IsRectEmpty()) return;
    int w = col.Width(), h = col.Height();
    CClientDC screen(m_hWnd);
    CBitmap picture;
    picture.CreateCompatibleBitmap(screen, w, h);
    if (!picture.IsNull()) {
        CDC mem;
        mem.CreateCompatibleDC(screen);
        HBITMAP old = mem.SelectBitmap(picture);
        CRect r(0, 0, w, h);
        if (IsStyled()) {
            mem.FillSolidRect(&r, m_colFace);
            m_headerTheme.DrawBackground(mem, HP_HEADERITEM, 3, &r);
        } else {
            mem.FillSolidRect(&r, m_colFace);
            mem.DrawEdge(&r, BDR_RAISEDINNER, BF_RECT);
        }
        DrawHeaderTitle(mem, pos, r, false);
        mem.SelectBitmap(old);
    }
    // The drag loop takes the mouse from here.
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    m_dragColumn = pos;
    if (!picture.IsNull()) {
        SHDRAGIMAGE image = {};
        image.sizeDragImage.cx = w;
        image.sizeDragImage.cy = h;
        image.ptOffset.x = w / 2;
        image.ptOffset.y = h / 2;
        image.hbmpDragImage = picture.Detach();  // the shell's helper takes it
        image.crColorKey = m_colWindow;
        m_dragDrop.DoDrag(&image, DROPEFFECT_MOVE);
    } else {
        m_dragDrop.DoDrag(nullptr, DROPEFFECT_MOVE);
    }
    m_dropArrows.Hide();
    ReleaseButton();
    m_pressedColumn = m_dragColumn = m_dropSlot = -1;
    InvalidateHeader();
}

bool CSkinListImpl::RenderDragData(const FORMATETC& format, STGMEDIUM* medium) {
    if (format.cfFormat != m_clipFormat || !(format.tymed & TYMED_HGLOBAL) || !medium) return false;
    HGLOBAL g = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(HWND));
    if (!g) return false;
    void* p = ::GlobalLock(g);
    if (!p) {
        ::GlobalFree(g);
        return false;
    }
    HWND self = m_hWnd;
    memcpy(p, &self, sizeof self);
    ::GlobalUnlock(g);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = g;
    medium->pUnkForRelease = nullptr;
    return true;
}

DWORD CSkinListImpl::OnDragOver(const FORMATETC& format, const STGMEDIUM& medium, DWORD, POINT pt) {
    if (format.cfFormat != m_clipFormat || medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) return DROPEFFECT_NONE;
    // Another program can offer a block of the same registered name: read only what is there.
    if (::GlobalSize(medium.hGlobal) < sizeof(HWND)) return DROPEFFECT_NONE;
    const void* p = ::GlobalLock(medium.hGlobal);
    if (!p) return DROPEFFECT_NONE;
    HWND from = nullptr;
    memcpy(&from, p, sizeof from);
    ::GlobalUnlock(medium.hGlobal);
    if (from != m_hWnd) return DROPEFFECT_NONE;  // columns move only within their own list
    return UpdateDropPosition(pt.x, pt.y) ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
}

bool CSkinListImpl::UpdateDropPosition(int x, int y) {
    if (!m_model.m_headerShown) return false;
    m_hoverColumn = -1;
    int left = -m_model.GetHPos();
    for (int i = 0; i < m_model.GetColumnCount(); ++i) {
        int right = left + m_model.GetColumnWidth(i);
        if (x >= left && x < right) m_hoverColumn = i;
        left = right;
    }
    m_dropSlot = m_model.DropSlotAt(x, y, m_dragColumn);
    if (m_dropSlot < 0) {
        m_dropArrows.Hide();
        return false;
    }
    int edge;
    if (m_dropSlot < m_model.GetColumnCount())
        m_model.GetHeaderRect(m_dropSlot, &edge, nullptr);
    else
        m_model.GetHeaderRect(m_model.GetColumnCount() - 1, nullptr, &edge);
    POINT p = {edge, m_model.GetHeaderHeight() / 2};
    ClientToScreen(&p);
    m_dropArrows.MoveTo(p.x, p.y);
    return true;
}

bool CSkinListImpl::OnDrop(const FORMATETC& format, const STGMEDIUM&, DWORD, POINT) {
    if (format.cfFormat != m_clipFormat) return false;
    m_dropArrows.Hide();
    if (m_dragColumn < 0 || m_dropSlot < 0) return false;
    bool moved = m_model.MoveColumn(m_dragColumn, m_dropSlot);
    m_dropSlot = -1;
    RequestRepaint();
    return moved;
}

void CSkinListImpl::OnDragLeave() {
    m_dropArrows.Hide();
    m_dropSlot = -1;
}
