// The sector download's progress dialog: a worker thread of its own makes the group downloader
// fetch the sector list and every member file, the dialog shows each step and, when the pass is
// over, the side panel is told through the message processor and the dialog closes by itself.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "app/resource.h"
#include "base/thread.h"
#include "charts/message.h"
#include "skin/ncdraw.h"
#include "store/groups.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

class CDownLoadGroupDlg : public CDialogImpl<CDownLoadGroupDlg>,
                          public CSkinDialogRegionT<CDownLoadGroupDlg>,
                          public CStockGroupDownloadNotif,
                          public CThread {
public:
    enum { IDD = IDD_DOWNLOADGROUP };
    enum : UINT { WM_GROUP_PROGRESS = WM_APP + 0x230, WM_GROUP_DONE = WM_APP + 0x231 };

    // The processor (may be null) is told with 4034 when the pass is over; the downloader is the
    // process-wide one unless a test gives its own.
    explicit CDownLoadGroupDlg(CMessageProcessor* processor, CGroupDownloader* downloader = GetGroupDownloader());
    // Cancels a pass still running and waits for the thread: it may still be on its way out.
    ~CDownLoadGroupDlg() override;

    BEGIN_MSG_MAP(CDownLoadGroupDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_DESTROY(OnDestroy)
        MSG_RAW(WM_GROUP_PROGRESS, OnProgressMessage)
        MSG_RAW(WM_GROUP_DONE, OnDoneMessage)
        MSG_COMMAND_ID(IDCANCEL, OnCancel)
        CHAIN_MSG_MAP(CSkinDialogRegionT<CDownLoadGroupDlg>)
    END_MSG_MAP()

    // On the worker, from the downloader: a step's text and percentage; a negative one is not shown.
    void OnGroupProgress(std::string text, int percent) override;
    // The worker's one pass.
    void Run() override;

    // Cancel was pressed (or the window closed).
    bool IsCancelled() const { return m_bCancelled.load(); }

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnDestroy();
    LRESULT OnProgressMessage(UINT, WPARAM, LPARAM);
    LRESULT OnDoneMessage(UINT, WPARAM, LPARAM);
    // Button 2 and closing the window (which the dialog manager turns into the same command).
    void OnCancel(UINT code, int id, HWND control);
    // Cancels a pass still running and waits, answering sent messages, until the thread ended.
    void WaitForThread();

    HWND m_hProgress = nullptr;
    CMessageProcessor* m_processor;
    CGroupDownloader* m_downloader;
    // The worker reaches the window only by posting to this; cleared when the window goes.
    std::atomic<HWND> m_hTarget{nullptr};
    std::atomic<bool> m_bCancelled{false};
    std::atomic<bool> m_bPassOver{false};
    // The latest step, handed from the worker to the dialog's thread.
    std::mutex m_stepLock;
    std::string m_stepText;
    int m_stepPercent = 0;
    bool m_stepPosted = false;
};
