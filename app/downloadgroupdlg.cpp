#include "app/downloadgroupdlg.h"

#include <commctrl.h>

#include "app/appdialogs.h"
#include "base/log.h"

CDownLoadGroupDlg::CDownLoadGroupDlg(CMessageProcessor* processor, CGroupDownloader* downloader)
    : m_processor(processor), m_downloader(downloader) {
    SetMaskColor(RGB(255, 0, 255));
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

CDownLoadGroupDlg::~CDownLoadGroupDlg() { WaitForThread(); }

void CDownLoadGroupDlg::WaitForThread() {
    if (!m_hThread) return;
    RequestStop();
    if (!m_bPassOver.load() && m_downloader) m_downloader->Cancel();
    // The worker may be sending to a window of this thread (an acceptor of 4034): keep answering
    // sent messages while waiting, so that neither waits for the other.
    for (;;) {
        DWORD r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, 50, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CThread::Stop();
    // The pass is over: its cancel ends with it.
    if (m_downloader) m_downloader->ResetCancel();
}

BOOL CDownLoadGroupDlg::OnInitDialog(HWND, LPARAM) {
    m_hProgress = GetDlgItem(IDC_GROUP_PROGRESS);
    ::SendMessageA(m_hProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    CenterWindow(GetParent());
    m_hTarget.store(m_hWnd);
    // A cancel of an earlier pass must not end this one before it begins.
    if (m_downloader) m_downloader->ResetCancel();
    bool started = false;
    try {
        started = Start(false) != nullptr;
    } catch (ThreadAlreadyStarted) {
        LogError("CDownLoadGroupDlg", "the sector download's thread was already running");
    }
    if (!started) ::PostMessageA(m_hWnd, WM_GROUP_DONE, 0, 0);
    return TRUE;
}

void CDownLoadGroupDlg::OnDestroy() {
    // Destroyed from outside while the pass runs (its owner going away): the pass is cancelled
    // and the thread joined before anything of the dialog goes.
    m_hTarget.store(nullptr);
    WaitForThread();
    SetMsgHandled(FALSE);
}

void CDownLoadGroupDlg::OnGroupProgress(std::string text, int percent) {
    if (percent < 0) return;
    std::lock_guard<std::mutex> hold(m_stepLock);
    m_stepText = std::move(text);
    m_stepPercent = percent;
    // One message carries every step made before the dialog's thread gets to it.
    if (m_stepPosted) return;
    HWND target = m_hTarget.load();
    if (target && ::PostMessageA(target, WM_GROUP_PROGRESS, 0, 0)) m_stepPosted = true;
}

LRESULT CDownLoadGroupDlg::OnProgressMessage(UINT, WPARAM, LPARAM) {
    std::string text;
    int percent;
    {
        std::lock_guard<std::mutex> hold(m_stepLock);
        text = m_stepText;
        percent = m_stepPercent;
        m_stepPosted = false;
    }
    SetDlgItemText(IDC_GROUP_STEP, text.c_str());
    ::SendMessageA(m_hProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    return 0;
}

void CDownLoadGroupDlg::Run() {
    if (!IsStopRequested() && m_downloader) m_downloader->DownloadGroups(true, this);
    m_bPassOver.store(true);
    // The sectors changed (or were reloaded after a failure or a cancel); not while the window is
    // being destroyed from outside, when the panel may be going too.
    if (!IsStopRequested() && m_processor) m_processor->SendMessage(kAppMsgSectorsChanged, 0, 0);
    HWND target = m_hTarget.load();
    if (target) ::PostMessageA(target, WM_GROUP_DONE, 0, 0);
}

LRESULT CDownLoadGroupDlg::OnDoneMessage(UINT, WPARAM, LPARAM) {
    EndDialog(1);
    return 0;
}

void CDownLoadGroupDlg::OnCancel(UINT, int, HWND) {
    // The dialog stays until the worker ends it; the transfer in flight ends at once.
    m_bCancelled.store(true);
    if (m_downloader) m_downloader->Cancel();
    GetDlgItem(IDCANCEL).EnableWindow(FALSE);
}

void RunDownloadGroupDialog(HWND owner, CMessageProcessor* processor) {
    CDownLoadGroupDlg dlg(processor);
    dlg.DoModal(owner);
}
