#include "charts/tabstrip.h"

#include <algorithm>

using namespace charts;

bool CSkinTabManagerItem::SetText(const char* text) {
    if (!text) return false;
    if (m_strText == text) return true;
    m_strText = text;
    if (m_pOwner) m_pOwner->OnChanged();
    return true;
}

void CSkinTabManager::SetSelected(CSkinTabManagerItem* item) {
    if (item == m_pSelected) return;
    m_pSelected = item;
    OnChanged();
}

void CSkinTabManager::Renumber() {
    for (size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetId(int(i));
    OnChanged();
}

void CSkinTabManager::Layout(const Rect& r) {
    m_rect = r;
    const int count = int(m_items.size());
    if (count == 0) return;
    const int w = std::max(m_nItemWidth, m_nMinWidth);
    const int rowHeight = m_nRows >= 2 ? r.Height() / m_nRows : r.Height();
    int perRow = count;
    if (r.Width() < w * count && m_nRows >= 2) perRow = count - count / m_nRows;
    if (perRow < 1) perRow = 1;
    int i = 0;
    for (int row = 0; row < m_nRows && i < count; ++row) {
        const int top = r.top + row * rowHeight;
        for (int col = 0; col < perRow && i < count; ++col, ++i)
            m_items[i]->SetRect(Rect(r.left + col * w, top, r.left + (col + 1) * w, top + rowHeight));
    }
    // Items that found no row keep no place.
    for (; i < count; ++i) m_items[i]->SetRect(Rect());
}

CSkinTabManagerItem* CSkinTabManager::AddItem(std::unique_ptr<CSkinTabManagerItem> owned, int id) {
    if (!owned) owned = std::make_unique<CSkinTabManagerItem>();
    CSkinTabManagerItem* item = owned.get();
    item->SetOwner(this);
    m_items.push_back(std::move(owned));
    if (id < 0) Renumber();
    else item->SetId(id);
    return item;
}

CSkinTabManagerItem* CSkinTabManager::AddItem(const char* caption, int id) {
    auto item = std::make_unique<CSkinTabManagerItem>();
    item->SetText(caption ? caption : "");
    return AddItem(std::move(item), id);
}

CSkinTabManagerItem* CSkinTabManager::HitTest(int x, int y) const {
    for (const auto& item : m_items)
        if (item->GetRect().Contains(x, y)) return item.get();
    return nullptr;
}

bool CSkinTabManager::OnLButtonDown(int x, int y, bool handled) {
    if (handled) return false;
    CSkinTabManagerItem* item = HitTest(x, y);
    if (!item || !OnSelectRequest(item)) return false;
    OnItemClick(item);
    return true;
}

void CSkinTabManager::Draw(Canvas& c, const Rect& update) const {
    const Font font(13);
    for (const auto& item : m_items) {
        const Rect& r = item->GetRect();
        if (r.IsEmpty() || r.Intersect(update).IsEmpty()) continue;
        c.FrameRect(r, MakeColor(255, 0, 0));
        Color text = MakeColor(255, 255, 255);
        if (item.get() == m_pSelected) {
            c.FillRect(r.Deflated(1, 1), MakeColor(50, 50, 50));
            text = MakeColor(0, 255, 255);
        }
        c.TextInRect(r.Deflated(2, 2), item->GetText(), text, font, kAlignCenter | kAlignTop);
    }
}
