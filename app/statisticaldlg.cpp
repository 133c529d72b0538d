#include "app/statisticaldlg.h"

#include <cstdio>

#include "app/appdialogs.h"
#include "app/urltable.h"
#include "base/gdicache.h"
#include "base/log.h"
#include "base/memstream.h"
#include "net/services.h"
#include "skin/skinmanager.h"

// ---- the download -------------------------------------------------------------------------------

CRankingDownload::~CRankingDownload() { Cancel(); }

bool CRankingDownload::Begin(HWND dialog, UINT message, const std::string& url) {
    Cancel();
    m_client.ResetCancel();
    m_hDialog = dialog;
    m_message = message;
    m_url = url;
    m_body.clear();
    m_ok = false;
    return Start(false) != nullptr;
}

void CRankingDownload::Cancel() {
    if (!IsStarted()) return;
    RequestStop();
    m_client.Cancel();
    // The thread only posts to the dialog, never sends: waiting here cannot hold it up.
    Stop();
}

void CRankingDownload::Run() {
    m_client.SetTimeouts(kRankingLimits.waitMs, kRankingLimits.totalMs);
    CMemoryStream stream;
    char buffer[128];
    bool ok = m_client.Download(m_url.c_str(), &stream, buffer, sizeof(buffer), nullptr);
    if (ok) m_body.assign(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize()));
    m_ok = ok;
    if (!IsStopRequested()) ::PostMessageA(m_hDialog, m_message, ok ? 1 : 0, 0);
}

// ---- the dialog ---------------------------------------------------------------------------------

CStatisTicalDlg::~CStatisTicalDlg() { m_download.Cancel(); }

BOOL CStatisTicalDlg::OnInitDialog(HWND, LPARAM) {
    m_title.SubclassWindow(GetDlgItem(IDC_RANK_TITLE));
    // Red on a light band of the skin's caption text colour: the system caption blue behind red
    // text is hard to read.
    LoadSkin();
    m_title.SetColors(GetThemeColor("FrameParams", "TextColorActive", RGB(226, 232, 240)), ::GetSysColor(COLOR_BTNFACE),
                      RGB(255, 0, 0));
    if (CGdiCache* cache = GetGdiCache()) m_title.SetTextFont(cache->GetFont(14, "宋体", false));

    // The list takes the place the template keeps for it.
    CWindow place = GetDlgItem(IDC_RANK_LIST);
    CRect r;
    place.GetWindowRect(&r);
    ScreenToClient(&r);
    place.DestroyWindow();
    LoadSkin();
    m_list.SetImageFilePath(GetSkinFilePath("ListItems.bmp"));
    m_list.Create(m_hWnd, r, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, WS_EX_STATICEDGE,
                  IDC_RANK_LIST);

    Load();
    FitColumns();
    CheckRadioButton(IDC_RANK_ALL, IDC_RANK_SZ, IDC_RANK_ALL);
    if (const RankingKind* kind = FindRankingKind(m_type)) m_title.SetWindowText(kind->title);
    m_title.Invalidate();
    CenterWindow(GetParent());
    return TRUE;
}

void CStatisTicalDlg::Load() {
    const RankingKind* kind = FindRankingKind(m_type);
    if (!kind) {
        m_settled.store(true);
        return;
    }
    AddRankingColumns(m_list, m_type);
    m_records.clear();
    std::string url = GetServerRootUrl() + GetUrl(kUrlCalcFolder) + GetUrl(kind->file->urlIndex);
    SetStatus("正在下载排名数据，请稍候……", false);
    if (!m_download.Begin(m_hWnd, WM_RANKING_REPLY, url)) {
        SetStatus("排名数据下载失败：无法开始下载。", true);
        m_settled.store(true);
    }
    Fill();
}

void CStatisTicalDlg::FitColumns() {
    // Column widths are pixels and the template's size follows its font: when the kind's columns
    // and the vertical bar do not fit, the dialog grows so that no column is cut off.
    int needed = ::GetSystemMetrics(SM_CXVSCROLL) + 2;
    for (int i = 0; i < m_list.GetColumnCount(); ++i) needed += m_list.GetColumnWidth(i);
    CRect list, client;
    m_list.GetWindowRect(&list);
    m_list.GetClientRect(&client);
    int room = client.Width() + ((m_list.GetStyle() & WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
    int grow = needed - room;
    if (grow <= 0) return;
    CRect window;
    GetWindowRect(&window);
    SetWindowPos(nullptr, 0, 0, window.Width() + grow, window.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        CRect r;
        ::GetWindowRect(child, &r);
        ScreenToClient(&r);
        int id = ::GetDlgCtrlID(child);
        if (id == IDCANCEL)  // the button keeps to the right edge
            ::SetWindowPos(child, nullptr, r.left + grow, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        else if (r.Width() > list.Width() / 2)  // the title, the group box and the list span the width
            ::SetWindowPos(child, nullptr, 0, 0, r.Width() + grow, r.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT CStatisTicalDlg::OnReply(UINT, WPARAM ok, LPARAM) {
    m_download.Stop();  // it posted this as its last act
    const RankingKind* kind = FindRankingKind(m_type);
    if (!kind) return 0;
    if (!ok || !m_download.Succeeded()) {
        m_records.clear();
        SetStatus("排名数据下载失败，请检查网络后重新打开。", true);
    } else {
        const std::string& body = m_download.Body();
        RankingBodyResult result = ReadRankingBody(*kind->file, body.data(), body.size(), &m_records);
        std::string text = DescribeRankingResult(result);
        if (result.status != RankingBodyStatus::kGood)
            LogError("CStatisTicalDlg", "ranking reply of %u bytes %s: %u records kept, %u bytes dropped, record %u bad",
                     unsigned(body.size()), result.status == RankingBodyStatus::kPartial ? "cut short" : "refused",
                     unsigned(result.records), unsigned(result.droppedBytes), unsigned(result.badRecord));
        SetStatus(text, result.status != RankingBodyStatus::kGood);
    }
    m_settled.store(true);
    Fill();
    return 0;
}

void CStatisTicalDlg::Fill() {
    int rows = FillRankingList(m_list, m_type, m_records, m_filter);
    // A message about the reply stays in view; a good reply shows how many rows there are.
    if (!m_failure && m_settled.load()) {
        char text[64];
        std::snprintf(text, sizeof(text), "共%d只股票", rows);
        SetStatus(text, false);
    }
}

void CStatisTicalDlg::SetStatus(const std::string& text, bool failure) {
    m_failure = failure;
    SetDlgItemText(IDC_RANK_STATUS, text.c_str());
    GetDlgItem(IDC_RANK_STATUS).Invalidate();
}

HBRUSH CStatisTicalDlg::OnCtlColorStatic(HDC dc, HWND control) {
    if (::GetDlgCtrlID(control) == IDC_RANK_STATUS && m_failure) {
        ::SetTextColor(dc, RGB(200, 0, 0));
        ::SetBkMode(dc, TRANSPARENT);
        return ::GetSysColorBrush(COLOR_BTNFACE);
    }
    SetMsgHandled(FALSE);
    return nullptr;
}

void CStatisTicalDlg::OnDestroy() {
    // Closing never waits for a slow server: the transfer in flight ends now.
    m_download.Cancel();
    SetMsgHandled(FALSE);
}

void CStatisTicalDlg::OnCloseButton(UINT, int, HWND) { EndDialog(IDCANCEL); }

void CStatisTicalDlg::OnMarket(UINT code, int id, HWND) {
    if (code != BN_CLICKED) return;
    m_filter = id == IDC_RANK_SH ? kRankingShanghai : id == IDC_RANK_SZ ? kRankingShenzhen : kRankingAllMarkets;
    Fill();  // from the records already read: no new download
}

void CStatisTicalDlg::OnForwardCommand(UINT, int id, HWND) {
    if (m_processor) m_processor->SendMessage(kAppMsgCommand, id, 0);
}

LRESULT CStatisTicalDlg::OnListNotify(LPNMHDR hdr) {
    const SkinListNotify* n = reinterpret_cast<const SkinListNotify*>(hdr);
    switch (static_cast<int>(hdr->code)) {
    case kListNotifySelChanged:
    case kListNotifyClick:
    case kListNotifyDblClick:
        if (n->row >= 0) OpenRow(n->row);
        break;
    case kListNotifyRightClick:
        if (n->row >= 0) ShowRowMenu();
        break;
    default:
        break;
    }
    return 0;
}

void CStatisTicalDlg::OpenRow(int row) {
    DWORD data = 0;
    if (!m_list.GetItemData(row, &data)) return;
    std::string key = RankingStockKey(m_list.GetItemText(row, 1), data);
    if (key.size() > 7 && m_processor)
        m_processor->SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(key.c_str()), 1);
}

void CStatisTicalDlg::ShowRowMenu() {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    ::AppendMenuA(menu, MF_STRING, kAddToWatchCommand, "加入自选股");
    POINT pt;
    ::GetCursorPos(&pt);
    // The chosen item arrives as WM_COMMAND and goes on to the content panel.
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
}

void RunStatisticsDialog(HWND owner, CMessageProcessor* processor, int rankingKind) {
    CStatisTicalDlg dlg;
    dlg.SetType(rankingKind);
    dlg.SetProcessor(processor);
    dlg.DoModal(owner);
}
