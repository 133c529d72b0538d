#include "skin/listmodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char kWan[] = "万";  // the unit of ten thousand
const std::string kEmpty;
const uint32_t kTypeAheadMs = 800;

// Bytes of the GBK character at p (1 or 2; 0 at the end).
size_t CharLength(const char* p, const char* end) {
    if (p >= end) return 0;
    unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x81 && c <= 0xFE && p + 1 < end && p[1] != 0) return 2;
    return 1;
}

bool ContainsWan(const std::string& s) {
    const char* end = s.data() + s.size();
    for (const char* p = s.data(); p < end; p += CharLength(p, end)) {
        if (end - p >= 2 && std::memcmp(p, kWan, 2) == 0) return true;
    }
    return false;
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

double ReadNumber(const std::string& s) {
    double v = std::strtod(s.c_str(), nullptr);
    return std::isnan(v) ? 0.0 : v;
}

char FoldSingle(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

}  // namespace

// ---- free helpers -------------------------------------------------------------------------

std::string FormatListDate(const SkinListDate& d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
    return buf;
}

bool ParseListDate(const std::string& text, SkinListDate* date) {
    if (text.size() != 14) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    auto num = [&](size_t at, size_t n) { return std::atoi(text.substr(at, n).c_str()); };
    SkinListDate d;
    d.year = num(0, 4);
    d.month = num(4, 2);
    d.day = num(6, 2);
    d.hour = num(8, 2);
    d.minute = num(10, 2);
    d.second = num(12, 2);
    // A zero year is the "no date" value an empty date editor writes back.
    bool empty = d.year == 0 && d.month == 0 && d.day == 0;
    if (!empty && (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)) return false;
    if (d.hour > 23 || d.minute > 59 || d.second > 59) return false;
    if (date) *date = d;
    return true;
}

uint32_t NormaliseListFlags(uint32_t f) {
    if (f & kListAlignCenter) f &= ~(kListAlignLeft | kListAlignRight);
    if (f & kListAlignRight) f &= ~kListAlignLeft;
    if (f & kListDateOnly) f &= ~kListTimeOnly;
    if (f & (kListEditInteger | kListEditDecimal))
        f &= ~kListEditUpper;
    else
        f &= ~(kListEditSigned | kListEditCompare);
    if (f & kListEditDropDown) f &= ~(kListDateOnly | kListTimeOnly | kListDateAllowNone);
    return f;
}

bool GbkStartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    const char* p = text.data();
    const char* q = prefix.data();
    const char* pend = text.data() + text.size();
    const char* qend = prefix.data() + prefix.size();
    while (q < qend) {
        size_t lp = CharLength(p, pend), lq = CharLength(q, qend);
        if (lp != lq) return false;
        if (lp == 1) {
            if (FoldSingle(*p) != FoldSingle(*q)) return false;
        } else if (std::memcmp(p, q, 2) != 0) {
            return false;
        }
        p += lp;
        q += lq;
    }
    return true;
}

int ReadListCheckValue(const std::string& text) { return (int)std::strtol(text.c_str(), nullptr, 10); }

std::string NextListCheckText(int format, const std::string& text) {
    int v = ReadListCheckValue(text);
    if (format == kListFormatCheck) return v > 0 ? "0" : "1";
    if (v > 0) return "-1";
    if (v < 0) return "0";
    return "1";
}

bool ListEditAcceptsChar(const std::string& before, const std::string& after, char c, uint32_t flags) {
    std::string s = before;
    s += c;
    s += after;
    int minus = -1, digit = -1, lt = -1, eq = -1, gt = -1;
    bool dot = false;
    for (int i = 0; i < (int)s.size(); ++i) {
        char ch = s[i];
        if (ch == '-') {
            // A minus only where the field is signed, and once.
            if (!(flags & kListEditSigned) || minus >= 0) return false;
            minus = i;
        } else if (ch == '.') {
            if (!(flags & kListEditDecimal) || dot) return false;
            dot = true;
        } else if (ch == '<' || ch == '=' || ch == '>') {
            if (!(flags & kListEditCompare)) return false;
            int& at = ch == '<' ? lt : ch == '=' ? eq : gt;
            if (at >= 0) return false;
            at = i;
        } else if (ch >= '0' && ch <= '9') {
            if (digit < 0) digit = i;
        } else {
            return false;
        }
    }
    if (eq >= 0 && ((gt >= 0 && eq < gt) || (lt >= 0 && eq < lt))) return false;
    if (digit >= 0) {
        for (int at : {lt, eq, gt, minus})
            if (at >= 0 && digit < at) return false;
    }
    return true;
}

std::string ListEditToggleSign(const std::string& text, int* moved) {
    size_t p = 0;
    while (p < text.size() && (text[p] == '<' || text[p] == '=' || text[p] == '>' || text[p] == ' ')) ++p;
    std::string out = text;
    if (p < out.size() && out[p] == '-') {
        out.erase(p, 1);
        if (moved) *moved = -1;
    } else {
        out.insert(p, 1, '-');
        if (moved) *moved = 1;
    }
    return out;
}

const std::vector<std::string>& SkinListChoices::get() const {
    static const std::vector<std::string> none;
    return m_p ? *m_p : none;
}

// ---- columns ------------------------------------------------------------------------------

CSkinListModel::CSkinListModel() : m_windowColour(0xFFFFFF), m_textColour(0) {}

int CSkinListModel::AddColumn(const std::string& title, int width, int image, int fixed, int format,
                              uint32_t flags) {
    SkinListColumn c;
    c.title = title;
    c.width = width;
    c.image = image;
    c.fixed = fixed;
    c.format = format;
    c.flags = flags;
    return InsertColumn(std::move(c));
}

int CSkinListModel::InsertColumn(SkinListColumn c) {
    if (c.title.empty() && c.image != -1) {
        c.flags |= kListAlignCenter;
        c.width = m_imageWidth + 5;
    }
    c.flags = NormaliseListFlags(c.flags);
    c.index = (int)m_columns.size();
    try {
        // Rows that exist get a cell for the new column, so that every reader finds one.
        for (SkinListRow& r : m_rows)
            if ((int)r.cells.size() <= c.index) r.cells.resize(c.index + 1);
        m_columns.push_back(std::move(c));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    GetTotalWidth(true);
    return (int)m_columns.size() - 1;
}

const SkinListColumn* CSkinListModel::Column(int position) const {
    if (position < 0 || position >= (int)m_columns.size()) return nullptr;
    return &m_columns[position];
}

bool CSkinListModel::GetColumn(int position, SkinListColumn* out) const {
    const SkinListColumn* c = Column(position);
    if (!c) return false;
    if (out) *out = *c;
    return true;
}

int CSkinListModel::GetColumnIndex(int position) const {
    const SkinListColumn* c = Column(position);
    return c ? c->index : 0;
}

int CSkinListModel::GetColumnWidth(int position) const {
    const SkinListColumn* c = Column(position);
    return c ? c->width : 0;
}

int CSkinListModel::GetColumnFormat(int position) const {
    const SkinListColumn* c = Column(position);
    return c ? c->format : 0;
}

uint32_t CSkinListModel::GetColumnFlags(int position) const {
    const SkinListColumn* c = Column(position);
    return c ? c->flags : 0;
}

bool CSkinListModel::GetColumnList(int position, std::vector<std::string>* out) const {
    const SkinListColumn* c = Column(position);
    if (!c || c->list.empty()) return false;
    if (out) *out = c->list;
    return true;
}

int CSkinListModel::FindColumn(int index) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].index == index) return (int)i;
    return -1;
}

int CSkinListModel::SetColumnWidth(int position, int width) {
    if (position < 0 || position >= (int)m_columns.size()) return 0;
    SkinListColumn& c = m_columns[position];
    if (c.fixed) return 1;
    c.width = std::max(0, width);
    GetTotalWidth(true);
    SetHPos(m_hPos);
    return 1;
}

int CSkinListModel::AutoSizeColumn(int position, const std::function<bool(const std::string&, int*)>& measure,
                                   bool cellImages, int cellImageWidth) {
    const SkinListColumn* c = Column(position);
    if (!c || c->fixed || !measure) return 0;
    int widest = 0;
    if (!measure(c->title, &widest)) return 0;
    widest += 20;
    for (int r = 0; r < (int)m_rows.size(); ++r) {
        const SkinListItem* cell = Cell(r, c->index);
        if (!cell) continue;
        int w = 0;
        if (!measure(cell->text, &w)) return 0;
        if (cellImages && cell->image >= 0) w += cellImageWidth;
        widest = std::max(widest, w + 20);
    }
    return SetColumnWidth(position, widest);
}

bool CSkinListModel::MoveColumn(int from, int slot) {
    int n = (int)m_columns.size();
    if (from < 0 || from >= n || slot < 0 || slot > n || slot == from || slot == from + 1) return false;
    int focusIndex = m_focusColumn >= 0 && m_focusColumn < n ? m_columns[m_focusColumn].index : -1;
    SkinListColumn moved = m_columns[from];
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + (from < slot ? slot - 1 : slot), std::move(moved));
    if (focusIndex >= 0) m_focusColumn = FindColumn(focusIndex);
    return true;
}

int CSkinListModel::DropSlotAt(int x, int y, int dragged) const {
    if (!m_headerShown || y < 0 || y >= m_headerHeight) return -1;
    int left = -m_hPos;
    for (int i = 0; i < (int)m_columns.size(); ++i) {
        int right = left + m_columns[i].width;
        if (x >= left && x < right) {
            int slot = x >= left + m_columns[i].width / 2 ? i + 1 : i;
            if (slot == dragged || slot == dragged + 1) return -1;
            return slot;
        }
        left = right;
    }
    return -1;
}

// ---- rows ---------------------------------------------------------------------------------

SkinListItem* CSkinListModel::Cell(int row, int index) {
    if (row < 0 || row >= (int)m_rows.size() || index < 0) return nullptr;
    std::vector<SkinListItem>& cells = m_rows[row].cells;
    return index < (int)cells.size() ? &cells[index] : nullptr;
}

const SkinListItem* CSkinListModel::Cell(int row, int index) const {
    return const_cast<CSkinListModel*>(this)->Cell(row, index);
}

const SkinListRow* CSkinListModel::Row(int row) const {
    return row >= 0 && row < (int)m_rows.size() ? &m_rows[row] : nullptr;
}

int CSkinListModel::AddItem(const std::string& text, int image, int format, uint32_t flags) {
    // The text goes into the first cell: without columns there is none.
    if (m_columns.empty()) return -1;
    flags = NormaliseListFlags(flags);
    try {
        SkinListRow row;
        row.cells.resize(m_columns.size());
        if (format || flags) {
            for (SkinListItem& cell : row.cells) {
                cell.format = format;
                cell.flags = flags;
            }
        }
        row.cells[0].text = text;
        row.cells[0].image = image;
        m_rows.push_back(std::move(row));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    m_sorted = false;
    return (int)m_rows.size() - 1;
}

void CSkinListModel::Renumber(int& value, int deleted, bool drop) {
    if (value < 0) return;
    if (value > deleted) {
        --value;
    } else if (value == deleted) {
        if (drop)
            value = -1;
        else if (value >= (int)m_rows.size())
            value = (int)m_rows.size() - 1;
    }
}

bool CSkinListModel::DeleteItem(int row) {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    m_rows.erase(m_rows.begin() + row);
    std::set<int> kept;
    for (int s : m_selection) {
        if (s < row)
            kept.insert(kept.end(), s);
        else if (s > row)
            kept.insert(kept.end(), s - 1);
    }
    m_selection.swap(kept);
    // The focus moves to the row that took the deleted one's place; the anchor and the
    // pointer's cells go with their row.
    Renumber(m_focusRow, row, false);
    if (m_focusRow < 0) m_focusColumn = -1;
    Renumber(m_anchor, row, true);
    Renumber(m_hotRow, row, true);
    if (m_hotRow < 0) m_hotColumn = -1;
    Renumber(m_tipRow, row, true);
    if (m_tipRow < 0) m_tipColumn = -1;
    SetVPos(m_vPos);
    return true;
}

void CSkinListModel::DeleteAllItems() {
    std::vector<SkinListRow>().swap(m_rows);
    m_selection.clear();
    m_anchor = m_focusRow = m_focusColumn = -1;
    m_hotRow = m_hotColumn = m_tipRow = m_tipColumn = -1;
    m_sorted = false;
    m_vPos = 0;
}

bool CSkinListModel::SetItemText(int row, int index, const std::string& text) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->text = text;
    if (index == m_sortColumn) m_sorted = false;
    return true;
}

std::string CSkinListModel::GetItemText(int row, int index) const { return ItemText(row, index); }

const std::string& CSkinListModel::ItemText(int row, int index) const {
    const SkinListItem* c = Cell(row, index);
    return c ? c->text : kEmpty;
}

bool CSkinListModel::SetItemData(int row, uint32_t data) {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    m_rows[row].data = data;
    return true;
}

bool CSkinListModel::GetItemData(int row, uint32_t* data) const {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    if (data) *data = m_rows[row].data;
    return true;
}

bool CSkinListModel::SetItemDate(int row, int index, const SkinListDate& date) {
    return SetItemText(row, index, FormatListDate(date));
}

bool CSkinListModel::GetItemDate(int row, int index, SkinListDate* date) const {
    return ParseListDate(ItemText(row, index), date);
}

bool CSkinListModel::SetItemFormat(int row, int index, int format, uint32_t flags) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->format = format;
    c->flags = flags;
    if (index == m_sortColumn) m_sorted = false;
    return true;
}

bool CSkinListModel::SetItemColours(int row, int index, ListColor background, ListColor text) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->background = background;
    c->textColor = text;
    return true;
}

bool CSkinListModel::SetItemImage(int row, int index, int image) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->image = image;
    return true;
}

bool CSkinListModel::SetItemFont(int row, int index, void* font) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->font = font;
    return true;
}

bool CSkinListModel::SetItemList(int row, int index, const std::vector<std::string>& list) {
    SkinListItem* c = Cell(row, index);
    if (!c) return false;
    c->list.set(list);
    return true;
}

bool CSkinListModel::SetItemToolTip(int row, const std::string& text) {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    m_rows[row].tooltip = text;
    return true;
}

int CSkinListModel::GetItemImage(int row, int index) const {
    const SkinListItem* c = Cell(row, index);
    return c ? c->image : -1;
}

int CSkinListModel::GetItemFormat(int row, int index) const {
    const SkinListItem* c = Cell(row, index);
    if (c && c->format != kListFormatDefault) return c->format;
    int pos = FindColumn(index);
    return pos >= 0 ? m_columns[pos].format : kListFormatDefault;
}

uint32_t CSkinListModel::GetItemFlags(int row, int index) const {
    const SkinListItem* c = Cell(row, index);
    if (c && c->flags != 0) return c->flags;
    int pos = FindColumn(index);
    return pos >= 0 ? m_columns[pos].flags : 0;
}

void* CSkinListModel::GetItemFont(int row, int index) const {
    const SkinListItem* c = Cell(row, index);
    return c ? c->font : nullptr;
}

bool CSkinListModel::GetItemColours(int row, int index, ListColor* background, ListColor* text) const {
    const SkinListItem* c = Cell(row, index);
    if (!c) return false;
    if (background) *background = c->background == kListDefaultColour ? m_windowColour : c->background;
    if (text) *text = c->textColor == kListDefaultColour ? m_textColour : c->textColor;
    return true;
}

bool CSkinListModel::GetItemList(int row, int index, std::vector<std::string>* out) const {
    const SkinListItem* c = Cell(row, index);
    if (c && !c->list.empty()) {
        if (out) *out = c->list.get();
        return true;
    }
    return GetColumnList(FindColumn(index), out);
}

std::string CSkinListModel::GetItemToolTip(int row) const {
    return row >= 0 && row < (int)m_rows.size() ? m_rows[row].tooltip : std::string();
}

// ---- sorting ------------------------------------------------------------------------------

void CSkinListModel::SortRows(int index, bool ascending) {
    size_t n = m_rows.size();
    std::vector<size_t> order(n);
    // Keys are read once per row; equal keys keep the rows' present order.
    int format = n ? GetItemFormat(0, index) : kListFormatDefault;
    if (format == kListFormatInteger) {
        std::vector<std::pair<long long, size_t>> keys(n);
        for (size_t i = 0; i < n; ++i) keys[i] = {std::strtoll(ItemText((int)i, index).c_str(), nullptr, 10), i};
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < n; ++i) order[i] = keys[i].second;
    } else if (format == kListFormatNumber) {
        // Amounts in 万 are larger than plain numbers.
        struct Key {
            bool wan;
            double value;
            size_t row;
            bool operator<(const Key& o) const {
                if (wan != o.wan) return o.wan;
                if (value != o.value) return value < o.value;
                return row < o.row;
            }
        };
        std::vector<Key> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const std::string& t = ItemText((int)i, index);
            keys[i] = {ContainsWan(t), ReadNumber(t), i};
        }
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < n; ++i) order[i] = keys[i].row;
    } else {
        std::vector<std::pair<const std::string*, size_t>> keys(n);
        for (size_t i = 0; i < n; ++i) keys[i] = {&ItemText((int)i, index), i};
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
            int c = a.first->compare(*b.first);  // byte order: GBK lead bytes sort above ASCII
            return c != 0 ? c < 0 : a.second < b.second;
        });
        for (size_t i = 0; i < n; ++i) order[i] = keys[i].second;
    }
    // Rows move into place along the permutation's cycles: each row moves once.
    std::vector<bool> placed(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (placed[i] || order[i] == i) continue;
        SkinListRow held = std::move(m_rows[i]);
        size_t j = i;
        for (;;) {
            placed[j] = true;
            size_t from = order[j];
            if (from == i) {
                m_rows[j] = std::move(held);
                break;
            }
            m_rows[j] = std::move(m_rows[from]);
            j = from;
        }
    }
    if (!ascending) std::reverse(m_rows.begin(), m_rows.end());
}

bool CSkinListModel::SortColumn(int position, int mode) {
    if (!m_headerShown || !m_sortAllowed) return false;
    const SkinListColumn* c = Column(position);
    if (!c) return false;
    int index = c->index;
    try {
        if (mode == 0 && index == m_sortColumn) {
            m_ascending = !m_ascending;
            if (m_sorted)
                std::reverse(m_rows.begin(), m_rows.end());
            else
                SortRows(index, m_ascending);  // rows came in since the last sort
        } else {
            m_ascending = mode != 2;
            m_sortColumn = index;
            SortRows(index, m_ascending);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_sorted = true;
    ClearSelection();
    return true;
}

// ---- selection ----------------------------------------------------------------------------

void CSkinListModel::Notify(int code, int row, int position) {
    if (m_host) m_host->Notify(code, row, position);
}

bool CSkinListModel::SelectItem(int row, int column, unsigned keys) {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    bool shift = (keys & kListKeyShift) != 0, control = (keys & kListKeyControl) != 0;
    if (control && (m_singleSelection || !shift)) {
        if (m_singleSelection) m_selection.clear();
        if (m_selection.erase(row) == 0) {
            m_selection.insert(row);
            Notify(kListNotifySelChanged, row, column);
        }
        m_anchor = m_focusRow = row;
        m_focusColumn = m_selection.size() < 2 ? column : -1;
    } else if (m_selection.size() == 1 && *m_selection.begin() == row) {
        m_anchor = m_focusRow = row;
        m_focusColumn = column;
    } else {
        m_selection.clear();
        if (shift && !m_singleSelection) {
            if (m_anchor < 0 || m_anchor >= (int)m_rows.size()) m_anchor = row;
            int lo = std::min(m_anchor, row), hi = std::max(m_anchor, row);
            for (int r = lo; r <= hi; ++r) m_selection.insert(m_selection.end(), r);
        } else {
            m_anchor = row;
            m_selection.insert(row);
        }
        m_focusRow = row;
        m_focusColumn = m_selection.size() < 2 ? column : -1;
        Notify(kListNotifySelChanged, row, m_focusColumn);
    }
    if (m_host) {
        bool visible = IsItemVisible(m_focusRow, m_selection.size() < 2 ? m_focusColumn : -1, true);
        m_host->OnFocusCellSelected(m_focusRow, m_focusColumn, visible);
    }
    return true;
}

void CSkinListModel::ClearSelection() {
    m_selection.clear();
    m_anchor = m_focusRow = m_focusColumn = -1;
}

void CSkinListModel::SelectAll() {
    for (int r = 0; r < (int)m_rows.size(); ++r) m_selection.insert(m_selection.end(), r);
}

bool CSkinListModel::GetFocusItem(int* row, int* column) const {
    int r = -1;
    if (m_focusRow >= 0 && m_selection.count(m_focusRow))
        r = m_focusRow;
    else if (!m_selection.empty())
        r = *m_selection.begin();
    if (row) *row = r;
    if (column) *column = (m_cellFocusMode && r >= 0) ? m_focusColumn : -1;
    return r >= 0;
}

bool CSkinListModel::SetFocusItem(int row, int column) {
    m_focusRow = row;
    m_focusColumn = column;
    return EnsureVisible(row, column);
}

void CSkinListModel::SelectBand(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    m_selection.clear();
    m_anchor = -1;
    int n = (int)m_rows.size();
    if (n == 0 || m_rowHeight <= 0 || left >= m_columnSum - 1) return;
    int hdr = GetHeaderHeight();
    int first = std::max(0, FloorDiv(top - hdr, m_rowHeight));
    int last = std::min(n - 1, FloorDiv(bottom - hdr, m_rowHeight));
    if (first > last) return;
    for (int r = first; r <= last; ++r) m_selection.insert(m_selection.end(), r);
    m_anchor = first;
    m_focusRow = last;
    m_focusColumn = -1;
}

// ---- keyboard -----------------------------------------------------------------------------

bool CSkinListModel::ToggleCell(int row, int position) {
    const SkinListColumn* c = Column(position);
    if (!c || !Row(row)) return false;
    int format = GetItemFormat(row, c->index);
    if ((format != kListFormatCheck && format != kListFormatTriState) || (GetItemFlags(row, c->index) & kListReadOnly))
        return false;
    SetItemText(row, c->index, NextListCheckText(format, ItemText(row, c->index)));
    Notify(kListNotifyValueChanged, row, position);
    return true;
}

int CSkinListModel::TypeAhead(char letter, uint32_t now) {
    int n = (int)m_rows.size();
    int index = m_sortColumn >= 0 ? m_sortColumn : 0;
    int start = m_focusRow + 1;
    if (!m_searchStarted || now - m_searchTime >= kTypeAheadMs) {
        if (m_search.empty() || letter != m_search[0]) start = 0;
        m_search.assign(1, letter);
    } else {
        if (letter != m_search[0]) m_search += letter;
        if (m_search.size() >= 2 && Row(m_focusRow) && GbkStartsWithNoCase(ItemText(m_focusRow, index), m_search)) {
            m_searchTime = now;
            return -1;
        }
    }
    m_searchTime = now;
    m_searchStarted = true;
    if (start < 0 || start >= n) start = 0;
    for (int k = 0; k < n; ++k) {
        int r = (start + k) % n;
        if (GbkStartsWithNoCase(ItemText(r, index), m_search)) {
            int column = m_focusColumn;
            SelectItem(r, column, 0);
            EnsureVisible(r, column);
            return r;
        }
    }
    return -1;
}

CSkinListModel::KeyResult CSkinListModel::OnKeyDown(unsigned vk, bool control, bool shift, uint32_t now) {
    int row = -1, column = -1;
    GetFocusItem(&row, &column);
    int n = (int)m_rows.size(), last = n - 1;
    int columns = (int)m_columns.size();
    int target = -1;
    switch (vk) {
    case kListVkTab:
        if (control) return kKeyIgnored;
        if (m_cellFocusMode && columns > 0) {
            int next = shift ? std::max(0, column - 1) : std::min(columns - 1, column + 1);
            SetFocusItem(row, next);
            column = next;
        }
        SelectItem(row, column, shift ? (unsigned)kListKeyShift : 0u);
        return kKeyHandled;
    case kListVkPrior:
    case kListVkNext: {
        if (n == 0) return kKeyIgnored;
        // A page moves by the rows that fit, less the one kept in view (at least one).
        int step = std::max(1, GetVisibleCount(false) - 1);
        target = vk == kListVkPrior ? std::max(0, row - step) : std::min(last, row + step);
        break;
    }
    case kListVkHome:
        if (n == 0) return kKeyIgnored;
        target = 0;
        break;
    case kListVkEnd:
        if (n == 0) return kKeyIgnored;
        target = last;
        break;
    case kListVkUp:
        if (n == 0) return kKeyIgnored;
        target = std::max(0, row - 1);
        break;
    case kListVkDown:
        if (n == 0) return kKeyIgnored;
        target = std::min(last, row + 1);
        break;
    case kListVkLeft:
    case kListVkRight:
        if (!m_cellFocusMode) {
            int step = control ? 50 : 5;
            SetHPos(vk == kListVkLeft ? m_hPos - step : m_hPos + step);
            return kKeyHandled;
        }
        if (n == 0 || columns == 0) return kKeyIgnored;
        column = vk == kListVkLeft ? std::max(0, column - 1) : std::min(columns - 1, column + 1);
        target = std::max(0, row);
        break;
    case kListVkSpace:
        return row >= 0 && ToggleCell(row, column) ? kKeyToggled : kKeyIgnored;
    default:
        if (vk == 'A' && control) {
            if (m_singleSelection) return kKeyIgnored;
            SelectAll();
            return kKeyHandled;
        }
        if (vk >= 'A' && vk <= 'Z' && !control) {
            TypeAhead((char)vk, now);
            return kKeyHandled;
        }
        return kKeyIgnored;
    }
    SetFocusItem(target, column);
    if (!control) SelectItem(target, column, shift ? (unsigned)kListKeyShift : 0u);
    return kKeyHandled;
}

// ---- editing ------------------------------------------------------------------------------

bool CSkinListModel::EndEdit(int row, int position, int endKey, const std::string& text, const SkinListDate* date,
                             bool* nextCell) {
    if (nextCell) *nextCell = false;
    const SkinListColumn* c = Column(position);
    if (endKey == 27 || !c || !Row(row)) return false;
    if (date) {
        if (std::strtol(text.c_str(), nullptr, 10) != 0)
            SetItemDate(row, c->index, *date);
        else
            SetItemText(row, c->index, std::string());
    } else {
        SetItemText(row, c->index, text);
    }
    if (nextCell) *nextCell = endKey == 9;
    Notify(kListNotifyValueChanged, row, position);
    return true;
}

// ---- geometry -----------------------------------------------------------------------------

void CSkinListModel::SetClientSize(int width, int height) {
    m_clientWidth = std::max(0, width);
    m_clientHeight = std::max(0, height);
    SetVPos(m_vPos);
    SetHPos(m_hPos);
}

void CSkinListModel::SetRowHeight(int height) {
    m_rowHeight = m_headerHeight = std::max(1, height);
    SetVPos(m_vPos);
}

int CSkinListModel::GetTopIndex() const { return m_rowHeight > 0 ? m_vPos / m_rowHeight : 0; }

int CSkinListModel::GetVisibleCount(bool partial) const {
    if (m_rowHeight <= 0) return 1;
    int avail = m_clientHeight - GetHeaderHeight();
    if (avail <= 0) return 1;
    int n = avail / m_rowHeight;
    if (partial && avail % m_rowHeight) ++n;
    return std::max(1, n);
}

int CSkinListModel::GetContentHeight() const {
    long long h = GetHeaderHeight() + (long long)m_rows.size() * m_rowHeight;
    return h < 2 ? 1 : (int)std::min<long long>(h, 0x7FFFFFFF);
}

int CSkinListModel::GetTotalWidth(bool recompute) {
    if (recompute) {
        long long sum = 0;
        for (const SkinListColumn& c : m_columns) sum += std::max(0, c.width);
        m_columnSum = (int)std::min<long long>(sum, 0x3FFFFFFF);
    }
    return m_columnSum - 1;
}

bool CSkinListModel::GetHeaderRect(int position, int* left, int* right) const {
    if (position < 0 || position >= (int)m_columns.size()) return false;
    int l = -m_hPos;
    for (int i = 0; i < position; ++i) l += m_columns[i].width;
    if (left) *left = l;
    if (right) *right = l + m_columns[position].width;
    return true;
}

bool CSkinListModel::GetCellRect(int row, int position, Rect* out) const {
    int top = GetTopIndex();
    if (row < 0 || row >= (int)m_rows.size() || row < top || row >= top + GetVisibleCount(true)) return false;
    Rect r;
    r.top = GetHeaderHeight() + (row - top) * m_rowHeight;
    r.bottom = r.top + m_rowHeight;
    if (position < 0) {
        r.left = 0;
        r.right = std::min(m_clientWidth, m_columnSum - m_hPos);
    } else if (!GetHeaderRect(position, &r.left, &r.right)) {
        return false;
    }
    if (out) *out = r;
    return true;
}

int CSkinListModel::HitTestHeader(int x, int y, bool* divider) const {
    if (divider) *divider = false;
    if (!m_headerShown || y < 0 || y >= m_headerHeight) return -1;
    int n = (int)m_columns.size();
    int left = -m_hPos;
    for (int i = 0; i < n; ++i) {
        int e = left + m_columns[i].width;
        if (x >= e - 5 && x <= e + 4) {
            int j = i;
            // Columns squeezed to nothing right of this edge: the last one is the one to widen.
            if (x >= e)
                while (j + 1 < n && m_columns[j + 1].width == 0) ++j;
            if (divider) *divider = true;
            return j;
        }
        if (x > left && x < e) return i;
        left = e;
    }
    return -1;
}

bool CSkinListModel::HitTestCell(int x, int y, int* row, int* position) const {
    int hdr = GetHeaderHeight();
    if (y < hdr || m_rowHeight <= 0 || x < 0 || x >= m_clientWidth) return false;
    int r = GetTopIndex() + (y - hdr) / m_rowHeight;
    if (r >= (int)m_rows.size()) return false;
    int left = -m_hPos;
    for (int i = 0; i < (int)m_columns.size(); ++i) {
        int right = left + m_columns[i].width;
        if (x > left && x < right) {
            if (row) *row = r;
            if (position) *position = i;
            return true;
        }
        left = right;
    }
    return false;
}

bool CSkinListModel::IsItemVisible(int row, int position, bool partial) const {
    int top = GetTopIndex();
    if (row < top || row >= top + GetVisibleCount(partial)) return false;
    if (m_cellFocusMode && position >= 0) {
        int l, r;
        if (!GetHeaderRect(position, &l, &r)) return false;
        return l >= 0 && r <= m_clientWidth;
    }
    return true;
}

bool CSkinListModel::EnsureVisible(int row, int position) {
    if (row < 0 || row >= (int)m_rows.size()) return false;
    if (IsItemVisible(row, position, false)) return false;
    int oldV = m_vPos, oldH = m_hPos;
    int top = GetTopIndex(), whole = GetVisibleCount(false);
    if (row < top)
        SetVPos(row * m_rowHeight);
    else if (row >= top + whole)
        SetVPos((row - whole + 1) * m_rowHeight);
    int l, r;
    if (m_cellFocusMode && GetHeaderRect(position, &l, &r) && (l < 0 || r > m_clientWidth)) {
        if (r - l <= m_clientWidth && l >= 0 && l < m_clientWidth)
            SetHPos(m_hPos + r - m_clientWidth);
        else
            SetHPos(m_hPos + l);
    }
    return m_vPos != oldV || m_hPos != oldH;
}

int CSkinListModel::GetVPage() const { return std::max(0, m_clientHeight - GetHeaderHeight()); }

int CSkinListModel::GetVMax() const {
    if (m_rowHeight <= 0) return 0;
    long long over = (long long)m_rows.size() * m_rowHeight - GetVPage();
    if (over <= 0) return 0;
    // Row-aligned, so that the last row shows whole at the end.
    over = (over + m_rowHeight - 1) / m_rowHeight * m_rowHeight;
    return (int)std::min<long long>(over, 0x3FFFFFFF);
}

int CSkinListModel::GetHMax() const { return std::max(0, m_columnSum - m_clientWidth); }

int CSkinListModel::SetVPos(int pos) {
    pos = std::max(0, std::min(pos, GetVMax()));
    if (m_rowHeight > 0) pos -= pos % m_rowHeight;
    m_vPos = pos;
    return m_vPos;
}

int CSkinListModel::SetHPos(int pos) {
    m_hPos = std::max(0, std::min(pos, GetHMax()));
    return m_hPos;
}

void CSkinListModel::GetVScrollRange(int* max, int* page) const {
    int p = GetVPage(), m = GetVMax();
    if (page) *page = p;
    if (max) *max = m > 0 ? m + p - 1 : 0;
}

void CSkinListModel::GetHScrollRange(int* max, int* page) const {
    if (page) *page = m_clientWidth;
    if (max) *max = m_columnSum > m_clientWidth ? m_columnSum - 1 : 0;
}

int CSkinListModel::VScrollTarget(int code, int track, bool* animatable) const {
    if (animatable) *animatable = false;
    int p = m_vPos;
    switch (code) {
    case kListSbLineUp:
    case kListSbLineDown:
    case kListSbPageUp:
    case kListSbPageDown: {
        if (animatable) *animatable = true;
        int step = (code == kListSbLineUp || code == kListSbLineDown) ? m_rowHeight : std::max(m_rowHeight, GetVPage());
        bool up = code == kListSbLineUp || code == kListSbPageUp;
        return up ? std::max(0, p - step) : p + step;
    }
    case kListSbTop:
        return 0;
    case kListSbBottom:
        return (int)std::min<long long>((long long)m_rows.size() * m_rowHeight, 0x3FFFFFFF);
    case kListSbThumbPosition:
    case kListSbThumbTrack:
        return track == p ? -1 : track;
    default:
        return -1;
    }
}

int CSkinListModel::HScrollTarget(int code, int track) const {
    int p = m_hPos, last = std::max(0, m_columnSum - 1);
    switch (code) {
    case kListSbLineUp:
        return p < 6 ? 0 : p - 5;
    case kListSbLineDown:
        return std::min(p + 5, last);
    case kListSbPageUp:
        return std::max(0, p - m_clientWidth);
    case kListSbPageDown:
        return std::min(p + m_clientWidth, last);
    case kListSbTop:
        return 0;
    case kListSbBottom:
        return GetHMax();  // the right end: the last column's edge at the view's right
    case kListSbThumbPosition:
    case kListSbThumbTrack:
        return track;
    default:
        return -1;
    }
}

int CSkinListModel::WheelTarget(int delta, int wheelLines) const {
    long long move;
    if (wheelLines < 0)
        move = (long long)delta * std::max(m_rowHeight, GetVPage()) / 120;  // one page per notch
    else
        move = (long long)delta * wheelLines / 120 * m_rowHeight;
    long long pos = m_vPos - move;
    if (pos < 0) pos = 0;
    return (int)std::min<long long>(pos, 0x3FFFFFFF);
}

// ---- animation ----------------------------------------------------------------------------

bool SkinListAnimation::Start(int fromTop, int toTop, int rowHeight) {
    running = false;
    if (fromTop == toTop || rowHeight <= 0) return false;
    rows = std::abs(toTop - fromTop);
    remaining = rows * rowHeight;
    frames = std::max(4, std::min(8, rows));
    step = std::max(1, (remaining - frames) / frames);
    down = fromTop < toTop;
    running = true;
    return true;
}

bool SkinListAnimation::Step() {
    if (!running) return false;
    if (remaining > frames) {
        remaining -= step;
        if (remaining < step) remaining = frames;
    } else {
        remaining -= 1;
    }
    if (remaining < 0) {
        running = false;
        return false;
    }
    return true;
}
