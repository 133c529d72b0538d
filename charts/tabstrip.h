// The owner-drawn strip of fixed-width tabs every view mixes in: layout, hit test, selection with
// the view's consent, and drawing through the canvas seam.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "charts/canvas.h"

class CSkinTabManager;

class CSkinTabManagerItem {
public:
    CSkinTabManagerItem() = default;
    virtual ~CSkinTabManagerItem() = default;

    int GetId() const { return m_nId; }
    void SetId(int id) { m_nId = id; }
    const charts::Rect& GetRect() const { return m_rect; }
    void SetRect(const charts::Rect& r) { m_rect = r; }
    CSkinTabManager* GetOwner() const { return m_pOwner; }
    void SetOwner(CSkinTabManager* owner) { m_pOwner = owner; }
    // Replaces the caption and tells the owner; a missing text changes nothing (false), the same
    // caption changes nothing either.
    bool SetText(const char* text);
    std::string GetText() const { return m_strText; }

private:
    int m_nId = -1;
    charts::Rect m_rect;
    std::string m_strText;
    CSkinTabManager* m_pOwner = nullptr;
};

class CSkinTabManager {
public:
    CSkinTabManager() = default;
    virtual ~CSkinTabManager() = default;
    CSkinTabManager(const CSkinTabManager&) = delete;
    CSkinTabManager& operator=(const CSkinTabManager&) = delete;

    // Selects the item; a different one than before calls OnChanged.
    virtual void SetSelected(CSkinTabManagerItem* item);
    // Asked before a click selects a tab; false refuses.
    virtual bool OnSelectRequest(CSkinTabManagerItem* item) { return true; }
    virtual void OnItemClick(CSkinTabManagerItem* item) { SetSelected(item); }
    // Every item gets its index as id.
    virtual void Renumber();
    // After a change of selection, numbering or caption.
    virtual void OnChanged() {}
    virtual void Layout(const charts::Rect& r);

    // Appends an item (a new one when none is given), owned from now on. An id below 0 renumbers
    // every item; otherwise the item gets the id.
    CSkinTabManagerItem* AddItem(std::unique_ptr<CSkinTabManagerItem> item, int id);
    CSkinTabManagerItem* AddItem(const char* caption, int id);
    // The first item, in order of addition, whose rectangle holds the point.
    CSkinTabManagerItem* HitTest(int x, int y) const;
    // A press: nothing when already handled; otherwise hit test, the view's consent, then the
    // click. True when a tab was selected.
    bool OnLButtonDown(int x, int y, bool handled = false);
    // Paints every item whose rectangle meets the update rectangle.
    void Draw(charts::Canvas& c, const charts::Rect& update) const;

    void SetItemWidth(int width) { m_nItemWidth = width; }
    void SetRows(int rows) { m_nRows = rows < 1 ? 1 : rows; }
    CSkinTabManagerItem* GetSelected() const { return m_pSelected; }
    int GetItemCount() const { return int(m_items.size()); }
    CSkinTabManagerItem* GetItem(int i) const { return m_items[i].get(); }
    const charts::Rect& GetRect() const { return m_rect; }

private:
    std::vector<std::unique_ptr<CSkinTabManagerItem>> m_items;
    charts::Rect m_rect;
    int m_nMinWidth = 20;
    int m_nItemWidth = 20;
    int m_nRows = 1;
    CSkinTabManagerItem* m_pSelected = nullptr;
};

// The strip a view owns: a click on a tab asks the view's OnTabChange(id), whose answer lets the
// tab be selected.
template <class View>
class CViewTabStrip : public CSkinTabManager {
public:
    explicit CViewTabStrip(View* view) : m_view(view) {}
    bool OnSelectRequest(CSkinTabManagerItem* item) override { return m_view->OnTabChange(item->GetId()); }

private:
    View* m_view;
};
