#include "app/evaluatedlg.h"

#include "app/advice.h"
#include "app/appdialogs.h"
#include "app/urltable.h"
#include "base/log.h"
#include "base/gdicache.h"
#include "charts/baseview.h"

namespace {

// Code and name into their controls, each only when there is one; the verdict control taken over
// in blue; the dialog centred on its parent.
void PrepareEvaluDialog(CWindow dlg, CSkinStatic& verdict, const std::string& code, const std::string& name) {
    if (!code.empty()) dlg.SetDlgItemText(IDC_EVALU_CODE, code.c_str());
    if (!name.empty()) dlg.SetDlgItemText(IDC_EVALU_NAME, name.c_str());
    verdict.SubclassWindow(dlg.GetDlgItem(IDC_VERDICT));
    verdict.SetTextColor(RGB(0, 0, 255));
    if (CGdiCache* cache = GetGdiCache()) verdict.SetTextFont(cache->GetFont(14, "宋体", false));
    dlg.CenterWindow(dlg.GetParent());
}

// The verdict draws transparently: the dialog repaints under it first, so no earlier text stays.
void ShowVerdictText(CWindow dlg, CSkinStatic& verdict, const char* text) {
    verdict.SetText(text);
    RECT r;
    ::GetWindowRect(verdict.m_hWnd, &r);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    ::RedrawWindow(dlg.m_hWnd, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

// ---- pattern diagnosis ----------------------------------------------------------------------

CStateEvaluDlg::CStateEvaluDlg() {
    // No background picture is given: the mix-in passes everything on and the system look stays.
    ClearBackground();
    SetMaskColor(RGB(255, 0, 255));
}

BOOL CStateEvaluDlg::OnInitDialog(HWND, LPARAM) {
    std::string code, name;
    if (m_view) {
        code = m_view->GetPlainCode();
        name = m_view->GetStockName();
    }
    PrepareEvaluDialog(*this, m_verdict, code, name);
    return TRUE;
}

void CStateEvaluDlg::OnDiagnose(UINT, int, HWND) {
    std::string text = kPatternUnclearText;
    // The intraday view writes its verdict; the other views leave the text as it is.
    if (m_view) m_view->GetDiagnosis(&text);
    ShowVerdictText(*this, m_verdict, text.c_str());
}

// ---- trend diagnosis ------------------------------------------------------------------------

BOOL CTrendEvaluDlg::OnInitDialog(HWND, LPARAM) {
    PrepareEvaluDialog(*this, m_verdict, m_stock.GetPlainCode(), m_stock.GetStockName());
    return TRUE;
}

void CTrendEvaluDlg::OnDestroy() {
    // Ended here, while the window still exists: nothing is posted to a window that has gone.
    m_fetch.Stop();
    m_busy = false;
    SetMsgHandled(FALSE);
}

void CTrendEvaluDlg::OnClose() {
    m_stock.Clear();
    SetMsgHandled(FALSE);
}

void CTrendEvaluDlg::ShowVerdict(const char* text) { ShowVerdictText(*this, m_verdict, text); }

void CTrendEvaluDlg::OnDiagnose(UINT, int, HWND) {
    if (m_busy) return;
    if (m_stock.IsIndex()) {
        ShowVerdict(kIndexRefusalText);
        return;
    }
    std::string code = m_stock.GetPlainCode();
    if (code.empty()) {
        ShowVerdict(kTrendUnclearText);
        return;
    }
    const unsigned serial = ++m_serial;
    HWND wnd = m_hWnd;
    bool started = m_fetch.Begin(TrendRequestUrl(GetSiteRoot(), code), 256, kLimits,
                                 [wnd, serial] { ::PostMessageA(wnd, WM_TREND_REPLY, serial, 0); });
    if (!started) {
        ShowVerdict(kTrendUnclearText);
        return;
    }
    m_busy = true;
    // The keyboard focus leaves the button before it is disabled, so the keys still work.
    if (::GetFocus() == GetDlgItem(IDC_DIAGNOSE).m_hWnd)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDCANCEL).m_hWnd), TRUE);
    GetDlgItem(IDC_DIAGNOSE).EnableWindow(FALSE);
    ShowVerdict("正在诊断，请稍候……");
}

LRESULT CTrendEvaluDlg::OnReply(UINT, WPARAM serial, LPARAM) {
    if (!m_busy || serial != m_serial) return 0;  // a request ended before this one began
    m_fetch.Stop();  // it posted this as its last act
    m_busy = false;
    std::string text;
    if (!m_fetch.Succeeded() || !ParseTrendReply(m_fetch.Body(), &text)) {
        if (m_fetch.Succeeded()) LogError("CTrendEvaluDlg", "the trend reply is not understood, refused");
        text = kTrendUnclearText;
    }
    ShowVerdict(text.c_str());
    GetDlgItem(IDC_DIAGNOSE).EnableWindow(TRUE);
    return 0;
}

// ---- the commands ---------------------------------------------------------------------------

void RunStateEvaluDialog(HWND owner, CBaseView* view) {
    CStateEvaluDlg dlg;
    dlg.SetView(view);
    dlg.DoModal(owner);
}

void RunTrendEvaluDialog(HWND owner, const CStockInfo& stock) {
    CTrendEvaluDlg dlg(stock);
    dlg.DoModal(owner);
}
