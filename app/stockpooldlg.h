// The stock-pool dialog: one of the service's four pools in a skinned list. The dialog opens at
// once and fills its list when the reply arrives (the request runs on a thread of its own); a
// click on a row opens that stock, a right click offers to add it to the watch list.
#pragma once

#include <string>
#include <vector>

#include "app/advice.h"
#include "app/replyfetch.h"
#include "app/resource.h"
#include "charts/message.h"
#include "skin/ncdraw.h"
#include "skin/skinlist.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

class CGoldSelStockDlg : public CDialogImpl<CGoldSelStockDlg>, public CSkinDialogRegionT<CGoldSelStockDlg> {
public:
    enum { IDD = IDD_GOLDSELSTOCK };
    enum : UINT { WM_POOL_REPLY = WM_APP + 0x231 };
    enum { kAddToWatchCommand = 4044 };

    CGoldSelStockDlg();
    // The request thread is ended before the dialog goes.
    ~CGoldSelStockDlg() override { m_fetch.Stop(); }

    // Set by the creator before DoModal: where chosen stocks and commands go (not owned; may be
    // null), and the pool type 1 to 4.
    void SetMessageProcessor(CMessageProcessor* processor) { m_processor = processor; }
    void SetPoolType(int type) { m_type = type; }

    // Sets the title and note of the type and starts its request; false (no request) for a type
    // outside 1 to 4. The list fills when the reply arrives.
    bool LoadPool(int type);

    // For the owner's and tests' eyes.
    const std::vector<StockPoolRecord>& Records() const { return m_records; }
    CSkinListCtrlData& List() { return m_list; }
    bool IsLoading() const { return m_loading; }

    BEGIN_MSG_MAP(CGoldSelStockDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_DESTROY(OnDestroy)
        MSG_RAW(WM_POOL_REPLY, OnPoolReply)
        MSG_NOTIFY_ID(IDC_POOL_LIST, OnListNotify)
        MSG_COMMAND_ID(IDCANCEL, EndDialogWithId)
        MSG_COMMAND_RANGE(4000, 5000, OnForwardCommand)
        CHAIN_MSG_MAP(CSkinDialogRegionT<CGoldSelStockDlg>)
    END_MSG_MAP()

    // Request limits: each wait for the service, and the whole request.
    static constexpr RequestLimits kLimits = {5000, 15000};

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnDestroy();
    // wParam: the number of the request that ended.
    LRESULT OnPoolReply(UINT msg, WPARAM serial, LPARAM);
    LRESULT OnListNotify(LPNMHDR hdr);
    void OnForwardCommand(UINT code, int id, HWND ctl);
    void EndDialogWithId(UINT code, int id, HWND ctl) { EndDialog(id); }
    void OpenRow(int row);
    void ShowRecords(const StockPoolReply& reply);
    void SetStatus(const std::string& text) { SetDlgItemText(IDC_POOL_STATUS, text.c_str()); }

    CMessageProcessor* m_processor = nullptr;
    std::vector<StockPoolRecord> m_records;
    CSkinListCtrlData m_list;
    std::string m_imagePath;
    int m_type = 0;
    CReplyFetch m_fetch;
    unsigned m_serial = 0;
    bool m_loading = false;
    bool m_filling = false;
};
