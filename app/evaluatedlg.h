// The two diagnosis dialogs of the current stock: the pattern diagnosis asks the view that shows
// the stock; the trend diagnosis asks the service on a thread of its own, so the dialog stays
// answering (and can be closed) while the service is slow or silent.
#pragma once

#include <string>

#include "app/replyfetch.h"
#include "app/resource.h"
#include "skin/ncdraw.h"
#include "skin/statusbar.h"
#include "store/stockinfo.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

class CBaseView;

class CStateEvaluDlg : public CDialogImpl<CStateEvaluDlg>, public CSkinDialogRegionT<CStateEvaluDlg> {
public:
    enum { IDD = IDD_STATEEVALU };

    CStateEvaluDlg();
    // The view showing the stock (not owned); without one the template's texts stay.
    void SetView(CBaseView* view) { m_view = view; }
    // What the verdict control shows.
    const std::string& GetVerdict() const { return m_verdict.GetText(); }

    BEGIN_MSG_MAP(CStateEvaluDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_COMMAND_ID(IDC_DIAGNOSE, OnDiagnose)
        MSG_COMMAND_ID(IDCANCEL, EndDialogWithId)
        CHAIN_MSG_MAP(CSkinDialogRegionT<CStateEvaluDlg>)
    END_MSG_MAP()

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnDiagnose(UINT code, int id, HWND ctl);
    void EndDialogWithId(UINT code, int id, HWND ctl) { EndDialog(id); }

    CBaseView* m_view = nullptr;
    CSkinStatic m_verdict;
};

class CTrendEvaluDlg : public CDialogImpl<CTrendEvaluDlg> {
public:
    enum { IDD = IDD_TRENDEVALU };
    enum : UINT { WM_TREND_REPLY = WM_APP + 0x230 };

    // The stock to judge (copied).
    explicit CTrendEvaluDlg(const CStockInfo& stock) : m_stock(stock) {}
    // The request thread is ended before the dialog goes.
    ~CTrendEvaluDlg() override { m_fetch.Stop(); }

    const std::string& GetVerdict() const { return m_verdict.GetText(); }
    // Whether a request is on its way (the diagnose button is disabled meanwhile).
    bool IsBusy() const { return m_busy; }

    BEGIN_MSG_MAP(CTrendEvaluDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_CLOSE(OnClose)
        MSG_RAW(WM_TREND_REPLY, OnReply)
        MSG_COMMAND_ID(IDC_DIAGNOSE, OnDiagnose)
        MSG_COMMAND_ID(IDCANCEL, EndDialogWithId)
    END_MSG_MAP()

    // Request limits: each wait for the service, and the whole request.
    static constexpr RequestLimits kLimits = {5000, 10000};

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnDestroy();
    void OnClose();
    void OnDiagnose(UINT code, int id, HWND ctl);
    // wParam: the number of the request that ended.
    LRESULT OnReply(UINT msg, WPARAM serial, LPARAM);
    void EndDialogWithId(UINT code, int id, HWND ctl) { EndDialog(id); }
    void ShowVerdict(const char* text);

    CStockInfo m_stock;
    CReplyFetch m_fetch;
    CSkinStatic m_verdict;
    unsigned m_serial = 0;
    bool m_busy = false;
};
