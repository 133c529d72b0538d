// The rankings dialog: one of twelve whole-market rankings in a skinned list, downloaded each time
// it opens. The download runs on a thread of its own, so the dialog shows at once, stays
// answering, and shows the list (or what went wrong) when the reply arrives.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/rankings.h"
#include "app/resource.h"
#include "base/thread.h"
#include "charts/message.h"
#include "net/httpclient.h"
#include "skin/ncdraw.h"
#include "skin/skinlist.h"
#include "skin/statusbar.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

// The server computes a ranking over the whole market before its first byte, which can take
// seconds: each wait for the network gets the client's usual ten seconds, and the whole request
// has no limit of its own (the dialog shows its progress text meanwhile and closes at once).
constexpr RequestLimits kRankingLimits = {HttpClient::kDefaultWaitMs, -1};

// One download of a ranking file on a client of its own (so that closing the dialog can end it
// without touching the program's other transfers); posts the outcome to the dialog unless stopped.
class CRankingDownload : public CThread {
public:
    ~CRankingDownload() override;
    // Starts the download; an earlier one is ended first.
    bool Begin(HWND dialog, UINT message, const std::string& url);
    // Ends the download in flight at once and waits for the thread.
    void Cancel();
    void Run() override;
    // After the outcome arrived: true with the whole body of a 200 reply.
    bool Succeeded() const { return m_ok; }
    const std::string& Body() const { return m_body; }

private:
    HttpClient m_client;
    HWND m_hDialog = nullptr;
    UINT m_message = 0;
    std::string m_url;
    std::string m_body;
    bool m_ok = false;
};

class CStatisTicalDlg : public CDialogImpl<CStatisTicalDlg>, public CSkinDialogRegionT<CStatisTicalDlg> {
public:
    enum { IDD = IDD_STATISTICAL };
    enum : UINT { WM_RANKING_REPLY = WM_APP + 0x220 };
    enum : int { kCommandFirst = 4000, kCommandLast = 5000, kAddToWatchCommand = 4044 };

    CStatisTicalDlg() = default;
    ~CStatisTicalDlg() override;

    // Set before the dialog runs.
    void SetType(int type) { m_type = type; }
    void SetProcessor(CMessageProcessor* processor) { m_processor = processor; }

    BEGIN_MSG_MAP(CStatisTicalDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_DESTROY(OnDestroy)
        MSG_RAW(WM_RANKING_REPLY, OnReply)
        MSG_WM_CTLCOLORSTATIC(OnCtlColorStatic)
        MSG_COMMAND_ID(IDCANCEL, OnCloseButton)
        MSG_COMMAND_RANGE(IDC_RANK_ALL, IDC_RANK_SZ, OnMarket)
        MSG_COMMAND_RANGE(kCommandFirst, kCommandLast, OnForwardCommand)
        MSG_NOTIFY_ID(IDC_RANK_LIST, OnListNotify)
        CHAIN_MSG_MAP(CSkinDialogRegionT<CStatisTicalDlg>)
    END_MSG_MAP()

    // For tests and the owner's eyes.
    int GetType() const { return m_type; }
    CSkinListCtrlData& List() { return m_list; }
    const std::vector<RankingRecord>& Records() const { return m_records; }
    int GetFilter() const { return m_filter; }
    // True once the reply (or the failure) has been shown.
    bool IsSettled() const { return m_settled.load(); }

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnDestroy();
    LRESULT OnReply(UINT msg, WPARAM, LPARAM);
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);
    void OnCloseButton(UINT code, int id, HWND ctl);
    void OnMarket(UINT code, int id, HWND ctl);
    void OnForwardCommand(UINT code, int id, HWND ctl);
    LRESULT OnListNotify(LPNMHDR hdr);

    // Columns, then the download of the type's file.
    void Load();
    void FitColumns();
    void Fill();
    void OpenRow(int row);
    void ShowRowMenu();
    void SetStatus(const std::string& text, bool failure);

    int m_type = kRankingFirst;
    CMessageProcessor* m_processor = nullptr;  // not owned
    CSkinListCtrlData m_list;
    CSkinGradientStatic m_title;
    std::vector<RankingRecord> m_records;
    int m_filter = kRankingAllMarkets;
    bool m_failure = false;
    std::atomic<bool> m_settled{false};
    CRankingDownload m_download;
};
