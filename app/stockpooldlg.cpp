#include "app/stockpooldlg.h"

#include <ctime>

#include "app/appdialogs.h"
#include "app/urltable.h"
#include "base/text.h"
#include "skin/skinmanager.h"

CGoldSelStockDlg::CGoldSelStockDlg() {
    ClearBackground();
    SetMaskColor(RGB(255, 0, 255));
}

BOOL CGoldSelStockDlg::OnInitDialog(HWND, LPARAM) {
    LoadSkin();
    m_imagePath = GetSkinFilePath("ListItems.bmp");
    m_list.SetImageFilePath(m_imagePath);
    if (m_list.SubclassWindow(GetDlgItem(IDC_POOL_LIST))) {
        m_list.Initialise();
        m_list.SetSingleSelection(true);
        m_list.Invalidate();
        m_list.SetFocusCellMode(true);
        m_list.Invalidate();
        m_list.AddColumn("股票代码", 100);
        m_list.AddColumn("股票名称", 100);
        m_list.AddColumn("推荐日期", 120);
    }
    LoadPool(m_type);
    CenterWindow(GetParent());
    return TRUE;
}

void CGoldSelStockDlg::OnDestroy() {
    // Ended while the window exists: nothing is posted to a window that has gone.
    m_fetch.Stop();
    m_loading = false;
    SetMsgHandled(FALSE);
}

bool CGoldSelStockDlg::LoadPool(int type) {
    SetWindowText(StockPoolTitle(type));
    SetDlgItemText(IDC_POOL_NOTE, StockPoolNote(type));
    if (!IsStockPoolKind(type)) {
        SetStatus("");
        return false;
    }
    m_records.clear();
    if (m_list.m_hWnd) m_list.DeleteAllItems();
    const std::string url = StockPoolRequestUrl(GetSiteRoot(), GetUrl(kUrlStockPool), type,
                                                static_cast<uint32_t>(std::time(nullptr)));
    const unsigned serial = ++m_serial;
    HWND wnd = m_hWnd;
    if (!m_fetch.Begin(url, 128, kLimits, [wnd, serial] { ::PostMessageA(wnd, WM_POOL_REPLY, serial, 0); })) {
        SetStatus("无法获得股票池数据，请稍后再试。");
        return true;
    }
    m_loading = true;
    SetStatus("正在获取股票池数据，请稍候……");
    return true;
}

LRESULT CGoldSelStockDlg::OnPoolReply(UINT, WPARAM serial, LPARAM) {
    if (!m_loading || serial != m_serial) return 0;  // a request ended before this one began
    m_fetch.Stop();  // it posted this as its last act
    m_loading = false;
    if (!m_fetch.Succeeded()) {
        SetStatus("无法获得股票池数据，请稍后再试。");
        return 0;
    }
    StockPoolReply reply;
    ParseStockPool(m_fetch.Body(), &reply);
    ShowRecords(reply);
    return 0;
}

void CGoldSelStockDlg::ShowRecords(const StockPoolReply& reply) {
    m_records = reply.records;
    if (m_list.m_hWnd) {
        m_list.DeleteAllItems();
        for (const StockPoolRecord& r : m_records) {
            int row = m_list.AddItem(r.code, -1, 0, 0);
            if (row < 0) break;
            m_list.SetItemText(row, 1, r.name);
            m_list.SetItemText(row, 2, r.date);
        }
        // Row 0 is marked, not opened: only the user's choice opens a stock.
        m_filling = true;
        if (!m_records.empty()) m_list.SelectItem(0, 0, 0);
        m_filling = false;
        m_list.UpdateScrollBars();
    }
    if (m_records.empty()) {
        SetStatus(reply.rejected > 0 ? "股票池数据无法识别，请稍后再试。" : "该股票池暂无股票。");
    } else if (reply.rejected > 0) {
        SetStatus(StringPrintf("共%d只股票，已略过%d行无法识别的数据。", static_cast<int>(m_records.size()), reply.rejected));
    } else {
        SetStatus(StringPrintf("共%d只股票", static_cast<int>(m_records.size())));
    }
}

void CGoldSelStockDlg::OpenRow(int row) {
    if (m_filling || !m_processor || row < 0 || row >= static_cast<int>(m_records.size())) return;
    const std::string code = StockPoolOpenCode(m_records[row]);
    if (!code.empty()) m_processor->SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), 1);
}

LRESULT CGoldSelStockDlg::OnListNotify(LPNMHDR hdr) {
    const SkinListNotify* n = reinterpret_cast<const SkinListNotify*>(hdr);
    const int code = static_cast<int>(hdr->code);
    if (code == kListNotifyDblClick || code == kListNotifySelChanged || code == kListNotifyClick) {
        OpenRow(n->row);
    } else if (code == kListNotifyRightClick && n->row >= 0) {
        // The menu's command adds the panel's current stock: make it this row's, also when the
        // row was selected already (row 0 after the fill) and so was not opened by the click.
        OpenRow(n->row);
        HMENU menu = ::CreatePopupMenu();
        if (!menu) return 0;
        ::AppendMenuA(menu, MF_STRING, kAddToWatchCommand, "加入自选股");
        POINT pt;
        ::GetCursorPos(&pt);
        ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
        ::DestroyMenu(menu);
    }
    return 0;
}

void CGoldSelStockDlg::OnForwardCommand(UINT, int id, HWND) {
    if (m_processor) m_processor->SendMessage(kAppMsgCommand, id, 0);
}

void RunStockPoolDialog(HWND owner, CMessageProcessor* processor, int poolKind) {
    CGoldSelStockDlg dlg;
    dlg.SetMessageProcessor(processor);
    dlg.SetPoolType(poolKind);
    dlg.DoModal(owner);
}
