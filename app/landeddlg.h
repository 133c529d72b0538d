// The login dialog: saved settings, the proxy dialog, the login request, and its own thread that
// runs the online update or the start-up loading and ends the dialog.
#pragma once

#include <string>

#include "app/ini.h"
#include "app/loginflow.h"
#include "app/resource.h"
#include "base/thread.h"
#include "skin/hyperlink.h"
#include "winfw/winfw.h"

class CLandedDlg : public CDialogImpl<CLandedDlg>, public CThread, public ILoginView {
public:
    enum { IDD = IDD_LANDED };
    enum : UINT { WM_LOGIN_FINISH = WM_APP + 0x210 };

    CLandedDlg();
    // Waits for the dialog's thread: it may still be on its way out after ending the dialog.
    ~CLandedDlg() override;

    BEGIN_MSG_MAP(CLandedDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LOGIN_FINISH, OnFinish)
        COMMAND_ID_HANDLER(IDOK, OnLogin)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        COMMAND_ID_HANDLER(IDC_NETSETTING, OnProxySet)
    END_MSG_MAP()

    // The thread's one pass: the update when the reply announced a newer version, else loading.
    void Run() override;
    // Waits, pumping sent messages, until the thread has ended; then releases it.
    void WaitForThread();

    // ILoginView (called on the dialog's thread).
    void SetStatusText(const char* text) override;
    void FinishDialog(int code) override;
    int Message(const char* text, const char* title, UINT type) override;
    bool IsStopRequested() const override { return CThread::IsStopRequested(); }

    bool IsUpdatePending() const { return m_bUpdate; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFinish(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLogin(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
    LRESULT OnProxySet(WORD, WORD, HWND, BOOL&);
    void EnableLoginButtons(bool enable);

    CSkinBitmapHyperLink m_register;
    CSkinBitmapHyperLink m_getPassword;
    CIni m_ini;
    HBITMAP m_hLogo = nullptr;
    bool m_bSavePassword = true;
    bool m_bUpdate = false;
};

// The folder of the program with its trailing backslash: run.ini and hqdata live there.
std::string GetAppDirectory();
