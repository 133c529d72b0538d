// The login dialog: saved settings, the proxy dialog, the login request (on a thread of its own,
// so that the dialog keeps painting and can be closed while the service is slow), and the
// dialog's thread that runs the online update or the start-up loading and ends the dialog.
#pragma once

#include <atomic>
#include <string>

#include "app/ini.h"
#include "app/login.h"
#include "app/loginflow.h"
#include "app/resource.h"
#include "base/thread.h"
#include "skin/hyperlink.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

// One login request (up to three attempts, each within kLoginLimits) through the process-wide
// client; posts its outcome to the dialog (wParam 1 for a good reply) unless stopped.
class CLoginRequest : public CThread {
public:
    ~CLoginRequest() override { Stop(); }
    // Starts the request; an earlier one must have ended.
    bool Begin(HWND dialog, UINT message, const std::string& url);
    void Run() override;
    // The reply of a good request; read after the outcome arrived.
    const LoginReply& Reply() const { return m_reply; }

private:
    HWND m_hDialog = nullptr;
    UINT m_message = 0;
    std::string m_url;
    LoginReply m_reply;
};

class CLandedDlg : public CDialogImpl<CLandedDlg>, public CThread, public ILoginView {
public:
    enum { IDD = IDD_LANDED };
    enum : UINT { WM_LOGIN_FINISH = WM_APP + 0x210, WM_LOGIN_REPLY = WM_APP + 0x211 };

    CLandedDlg();
    // Waits for both threads: they may still be on their way out after the dialog ended.
    ~CLandedDlg() override;

    BEGIN_MSG_MAP(CLandedDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_PAINT(OnPaint)
        MSG_RAW(WM_LOGIN_FINISH, OnFinish)
        MSG_RAW(WM_LOGIN_REPLY, OnLoginReply)
        MSG_COMMAND_ID(IDOK, OnLogin)
        MSG_COMMAND_ID(IDCANCEL, OnCancel)
        MSG_COMMAND_ID(IDC_NETSETTING, OnProxySet)
    END_MSG_MAP()

    // The thread's one pass: the update when the reply announced a newer version, else loading.
    void Run() override;
    // Waits, answering sent messages, until the dialog's thread has ended; then releases it.
    // Once the dialog was cancelled it keeps cancelling the transfers in flight meanwhile.
    void WaitForThread();

    // ILoginView (called on the dialog's thread).
    void SetStatusText(const char* text) override;
    void FinishDialog(int code) override;
    void ResumeLogin() override;
    int Message(const char* text, const char* title, UINT type) override;
    bool IsStopRequested() const override { return CThread::IsStopRequested(); }

    bool IsUpdatePending() const { return m_bUpdate; }

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnPaint(HDC dc);
    // wParam: the dialog's end code, or 0 when its thread handed the dialog back after a failure.
    LRESULT OnFinish(UINT msg, WPARAM code, LPARAM);
    // wParam: 1 for a good reply.
    LRESULT OnLoginReply(UINT msg, WPARAM good, LPARAM);
    void OnLogin(UINT code, int id, HWND ctl);
    void OnCancel(UINT code, int id, HWND ctl);
    void OnProxySet(UINT code, int id, HWND ctl);
    void EnableLoginButtons(bool enable);

    CSkinBitmapHyperLink m_register;
    CSkinBitmapHyperLink m_getPassword;
    CIni m_ini;
    HBITMAP m_hLogo = nullptr;
    bool m_bSavePassword = true;
    bool m_bUpdate = false;
    std::atomic<bool> m_bCancelled{false};
    // The name and password of the request in flight, saved once it succeeds.
    std::string m_loginName;
    std::string m_loginPassword;
    CLoginRequest m_request;
};
