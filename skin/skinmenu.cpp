#include "skin/skinmenu.h"

#include <cstring>

#include "base/log.h"
#include "skin/skinbitmap.h"
#include "skin/skinctl.h"

FontWeightSelector::FontWeightSelector(HDC dc, bool bold) : m_dc(dc) {
    const LONG wanted = bold ? FW_BOLD : FW_NORMAL;
    LOGFONTA lf;
    HGDIOBJ current = dc ? ::GetCurrentObject(dc, OBJ_FONT) : nullptr;
    if (!current || ::GetObjectA(current, sizeof(lf), &lf) != sizeof(lf) || lf.lfWeight == wanted) return;
    lf.lfWeight = wanted;
    m_copy = CreateGbkFont(lf);
    if (m_copy) m_old = ::SelectObject(dc, m_copy);
}

FontWeightSelector::~FontWeightSelector() {
    if (m_old) ::SelectObject(m_dc, m_old);
    if (m_copy) ::DeleteObject(m_copy);
}

CSkinMenuCore::CSkinMenuCore() { std::memset(&m_logFont, 0, sizeof(m_logFont)); }

CSkinMenuCore::~CSkinMenuCore() = default;

void CSkinMenuCore::InitMenuFont(const LOGFONTA* lf) {
    LOGFONTA f;
    if (lf) f = *lf;
    else if (!GetMenuLogFont(&f)) {
        std::memset(&f, 0, sizeof(f));
        f.lfHeight = -12;
        lstrcpynA(f.lfFaceName, "宋体", LF_FACESIZE);
    }
    m_font.Attach(CreateGbkFont(f));
    ::GetObjectA(m_font, sizeof(m_logFont), &m_logFont);
    // A tab as narrow as 3 pixels would glue the accelerator to the label.
    CDibCanvas c(1, 1);
    HGDIOBJ old = ::SelectObject(c.dc(), m_font);
    SIZE tab = {0, 0}, x = {0, 0};
    ::GetTextExtentPoint32A(c.dc(), "\t", 1, &tab);
    ::GetTextExtentPoint32A(c.dc(), "x", 1, &x);
    m_extraWidth = tab.cx <= 3 ? x.cx : 0;
    ::SelectObject(c.dc(), old);
}

int CSkinMenuCore::GetImageIndex(UINT id) {
    switch (id) {
    case 57632: return 20;
    case 57634: return 4;
    case 57635: return 3;
    case 57637: return 5;
    case 57643: return 17;
    default: return -1;
    }
}

COLORREF CSkinMenuCore::MenuColorOf(MenuColor role) {
    COLORREF base = ::GetSysColor(MenuColorFromHighlight(role) ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    DWORD hsl = RgbToHsl(base);
    HslBytes c = {(int)(hsl & 0xFF), (int)((hsl >> 16) & 0xFF), (int)((hsl >> 8) & 0xFF)};
    c = ApplyMenuColorRule(role, c);
    return HslToRgb((DWORD)(c.h & 0xFF) | ((DWORD)(c.l & 0xFF) << 8) | ((DWORD)(c.s & 0xFF) << 16));
}

MenuItemRecord* CSkinMenuCore::Find(ULONG_PTR data) const {
    if (!data) return nullptr;
    for (const auto& r : m_records)
        if ((ULONG_PTR)r.get() == data) return r.get();
    return nullptr;
}

LRESULT CSkinMenuCore::OnInitMenuPopup(UINT, WPARAM wParam, LPARAM lParam) {
    HMENU menu = (HMENU)wParam;
    if (HIWORD(lParam) || !::IsMenu(menu)) {  // the system menu stays as it is
        SetMsgHandled(FALSE);
        return 0;
    }
    if (m_font.IsNull()) InitMenuFont();
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_DATA | MIIM_STRING;
        if (!::GetMenuItemInfoA(menu, i, TRUE, &info) || (info.fType & MFT_OWNERDRAW)) continue;
        // The length first: a long text is kept whole.
        std::string text;
        if (info.cch > 0 && !(info.fType & MFT_SEPARATOR)) {
            text.assign(info.cch + 1, '\0');
            info.dwTypeData = &text[0];
            info.cch += 1;
            if (!::GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
            text.resize(std::strlen(text.c_str()));
        }
        std::unique_ptr<MenuItemRecord> rec;
        try {
            rec.reset(new MenuItemRecord);
        } catch (...) {
            LogCaughtException("CSkinMenuCore::OnInitMenuPopup", text.c_str());
            continue;  // the item stays a normal one
        }
        rec->text = text;
        rec->type = info.fType | MFT_OWNERDRAW;
        rec->state = info.fState;
        rec->image = GetImageIndex(info.wID);
        MENUITEMINFOA set;
        std::memset(&set, 0, sizeof(set));
        set.cbSize = sizeof(set);
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = rec->type;
        set.dwItemData = (ULONG_PTR)rec.get();
        if (::SetMenuItemInfoA(menu, i, TRUE, &set)) m_records.push_back(std::move(rec));
    }
    m_stack.push_back(menu);
    return 0;
}

void CSkinMenuCore::RestoreAll() {
    for (HMENU menu : m_stack) {
        if (!::IsMenu(menu)) continue;
        int count = ::GetMenuItemCount(menu);
        for (int i = 0; i < count; ++i) {
            MENUITEMINFOA info;
            std::memset(&info, 0, sizeof(info));
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_DATA;
            if (!::GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
            MenuItemRecord* rec = Find(info.dwItemData);
            if (!rec) continue;
            MENUITEMINFOA set;
            std::memset(&set, 0, sizeof(set));
            set.cbSize = sizeof(set);
            set.fMask = MIIM_FTYPE | MIIM_DATA;
            set.fType = rec->type & ~(UINT)MFT_OWNERDRAW;
            if (!(set.fType & MFT_SEPARATOR)) {
                set.fMask |= MIIM_STRING;
                set.dwTypeData = const_cast<char*>(rec->text.c_str());
                set.cch = (UINT)rec->text.size();
            }
            set.dwItemData = 0;
            ::SetMenuItemInfoA(menu, i, TRUE, &set);
        }
    }
    m_stack.clear();
    // Every record goes, also those of menus destroyed while open.
    m_records.clear();
}

LRESULT CSkinMenuCore::OnMenuSelect(UINT, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == 0xFFFF && lParam == 0) RestoreAll();
    SetMsgHandled(FALSE);
    return 0;
}

void CSkinMenuCore::OnDrawItem(UINT, LPDRAWITEMSTRUCT dis) {
    if (!dis || dis->CtlType != ODT_MENU || !Find(dis->itemData)) {
        SetMsgHandled(FALSE);
        return;
    }
    DrawItem(dis);
}

void CSkinMenuCore::OnMeasureItem(UINT, LPMEASUREITEMSTRUCT mis) {
    if (!mis || mis->CtlType != ODT_MENU || !Find(mis->itemData)) {
        SetMsgHandled(FALSE);
        return;
    }
    MeasureItem(mis);
}

void CSkinMenuCore::MeasureItem(LPMEASUREITEMSTRUCT mis) {
    MenuItemRecord* rec = Find(mis->itemData);
    if (!rec) return;
    if (m_font.IsNull()) InitMenuFont();
    if (rec->type & MFT_SEPARATOR) {
        mis->itemHeight = ::GetSystemMetrics(SM_CYMENU) / 2;
        mis->itemWidth = 0;
        return;
    }
    CDibCanvas c(1, 1);
    CFont bold;
    HFONT use = m_font;
    if (rec->state & MFS_DEFAULT) {
        LOGFONTA lf = m_logFont;
        lf.lfWeight += 200;
        bold.Attach(CreateGbkFont(lf));
        use = bold;
    }
    HGDIOBJ old = ::SelectObject(c.dc(), use);
    RECT r = {0, 0, 0, 0};
    ::DrawTextA(c.dc(), rec->text.c_str(), (int)rec->text.size(), &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS);
    ::SelectObject(c.dc(), old);
    mis->itemHeight = (UINT)MenuItemHeight(m_logFont.lfHeight);
    mis->itemWidth = (UINT)MenuItemWidth(r.right - r.left, m_extraWidth, m_buttonWidth, ::GetSystemMetrics(SM_CXMENUCHECK));
}

void CSkinMenuCore::DrawItem(LPDRAWITEMSTRUCT dis) {
    MenuItemRecord* rec = Find(dis->itemData);
    if (!rec) return;
    if (m_font.IsNull()) InitMenuFont();
    HDC dc = dis->hDC;
    RECT r = dis->rcItem;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    const bool disabled = (dis->itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const bool checked = (dis->itemState & ODS_CHECKED) != 0;
    const bool isDefault = (dis->itemState & ODS_DEFAULT) != 0 || (rec->state & MFS_DEFAULT);
    const int saved = ::SaveDC(dc);
    CDCHandle out(dc);
    const int band = r.left + m_imageWidth + 6;
    if (!selected || disabled) {
        RECT b = {r.left, r.top, band, r.bottom}, t = {band, r.top, r.right, r.bottom};
        out.FillSolidRect(&b, MenuColorOf(MenuColor::IconBand));
        out.FillSolidRect(&t, MenuColorOf(MenuColor::TextArea));
    } else {
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_HIGHLIGHT));
        CBrush brush;
        brush.CreateSolidBrush(MenuColorOf(MenuColor::SelectionFill));
        CSelectObject sp(dc, pen), sb(dc, brush);
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    if (rec->type & MFT_SEPARATOR) {
        RECT line = {band, r.top + (r.bottom - r.top) / 2, r.right, r.bottom};
        ::DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    } else {
        std::string label, accel;
        SplitMenuText(rec->text, &label, &accel);
        ::SelectObject(dc, m_font);
        {
            FontWeightSelector weight(dc, isDefault);  // the default item is bold
            ::SetTextColor(dc, disabled ? MenuColorOf(MenuColor::DisabledText) : ::GetSysColor(COLOR_MENUTEXT));
            ::SetBkMode(dc, TRANSPARENT);
            RECT lr = {r.left + m_imageWidth + 14, r.top, r.right, r.bottom};
            ::DrawTextA(dc, label.c_str(), (int)label.size(), &lr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            if (!accel.empty()) {
                RECT ar = {r.left, r.top, r.right - 12, r.bottom};
                ::DrawTextA(dc, accel.c_str(), (int)accel.size(), &ar, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
            }
        }
        ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));
    }
    if (checked) {
        COLORREF fill = disabled ? MenuColorOf(MenuColor::CheckDisabled)
                        : selected ? MenuColorOf(MenuColor::CheckSelected)
                                   : MenuColorOf(MenuColor::CheckOther);
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_HIGHLIGHT));
        CBrush brush;
        brush.CreateSolidBrush(fill);
        {
            CSelectObject sp(dc, pen), sb(dc, brush);
            ::Rectangle(dc, r.left + 1, r.top + 1, r.left + m_buttonWidth - 2, r.bottom - 1);
        }
        HBITMAP tick = ::LoadBitmapA(nullptr, MAKEINTRESOURCEA(32760));  // OBM_CHECK
        if (tick) {
            BITMAP bm = {};
            ::GetObjectA(tick, sizeof(bm), &bm);
            COLORREF oldBk = ::SetBkColor(dc, fill);
            ::DrawStateA(dc, nullptr, nullptr, (LPARAM)tick, 0, r.left + 5, r.top + 3, bm.bmWidth, bm.bmHeight, DST_BITMAP);
            ::SetBkColor(dc, oldBk);
            ::DeleteObject(tick);
        }
    }
    ::RestoreDC(dc, saved);
}
