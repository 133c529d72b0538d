#include "app/landeddlg.h"

#include "app/appstate.h"
#include "app/proxydlg.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/seams.h"
#include "base/win32util.h"
#include "skin/skinmanager.h"
#include "store/storeenv.h"

// ---- the login request ----------------------------------------------------------------------

bool CLoginRequest::Begin(HWND dialog, UINT message, const std::string& url) {
    Stop();  // joins an earlier request, which has already posted its outcome
    m_hDialog = dialog;
    m_message = message;
    m_url = url;
    m_reply = LoginReply();
    return Start(false) != nullptr;
}

void CLoginRequest::Run() {
    LoginReply reply;
    bool good = RequestLogin(
        [this](const std::string& url, std::string* body) {
            return !IsStopRequested() && FetchUrl(url, body, 256, kLoginLimits);
        },
        m_url, &reply);
    if (IsStopRequested()) return;
    if (good) m_reply = reply;
    ::PostMessageA(m_hDialog, m_message, good ? 1 : 0, 0);
}

// ---- the dialog -----------------------------------------------------------------------------

CLandedDlg::CLandedDlg() {}

CLandedDlg::~CLandedDlg() {
    m_request.Stop();
    WaitForThread();
    // Nothing of this dialog runs any more: later requests of the process may go again.
    if (m_bCancelled.load()) ResumeTransfers();
    if (m_hLogo) ::DeleteObject(m_hLogo);
}

void CLandedDlg::WaitForThread() {
    if (!m_hThread) return;
    // The thread may be sending a status text to a dialog of this thread: keep answering sent
    // messages while waiting. After a cancel, a download it starts late is cancelled too.
    for (;;) {
        if (m_bCancelled.load()) CancelTransfers();
        DWORD r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, 50, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CThread::Stop();
}

BOOL CLandedDlg::OnInitDialog(HWND, LPARAM) {
    UrlTable& urls = GetUrlTable();
    m_register.SetHyperLink((urls.SiteRoot() + urls.Get(kUrlRegister)).c_str());
    m_register.SubclassWindow(GetDlgItem(IDC_REGISTER));
    m_getPassword.SetHyperLink((urls.SiteRoot() + urls.Get(kUrlResetPassword)).c_str());
    m_getPassword.SubclassWindow(GetDlgItem(IDC_GETPASSWORD));

    // Typing stops where the login request and run.ini stop carrying the text.
    CEdit(GetDlgItem(IDC_USERNAME)).LimitText(kUserTextLimit);
    CEdit(GetDlgItem(IDC_PASSWORD)).LimitText(kUserTextLimit);

    m_ini.SetPathName(GetProgramFolder() + "run.ini");
    SavedUser user = ReadSavedUser(m_ini);
    if (!user.name.empty()) SetDlgItemText(IDC_USERNAME, user.name.c_str());
    if (!user.password.empty()) SetDlgItemText(IDC_PASSWORD, user.password.c_str());

    LoadSkin();
    HBITMAP logo = LoadPngResource(GetSkinFilePath("Logo_01.png").c_str(), nullptr);
    if (logo) {
        if (m_hLogo) ::DeleteObject(m_hLogo);
        m_hLogo = logo;
    }
    if (ReadSavePassword(m_ini)) CheckDlgButton(IDC_SAVEPASSWORD, BST_CHECKED);
    SetWindowText(LoginCaptionForEdition(Edition));
    CenterWindow(GetParent());
    return TRUE;
}

void CLandedDlg::OnPaint(HDC given) {
    PAINTSTRUCT ps;
    HDC dc = given ? given : ::BeginPaint(m_hWnd, &ps);
    if (m_hLogo) {
        BITMAP bm = {};
        ::GetObjectA(m_hLogo, sizeof(bm), &bm);
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, m_hLogo);
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, bm.bmWidth, bm.bmHeight, bf);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    if (!given) ::EndPaint(m_hWnd, &ps);
}

void CLandedDlg::EnableLoginButtons(bool enable) {
    GetDlgItem(IDOK).EnableWindow(enable);
    GetDlgItem(IDC_NETSETTING).EnableWindow(enable);
}

void CLandedDlg::OnLogin(UINT, int, HWND) {
    // The button is disabled while a request or the dialog's thread works; a command sent all the
    // same waits for them.
    if (!GetDlgItem(IDOK).IsWindowEnabled()) return;
    std::string name = GetDlgItem(IDC_USERNAME).GetWindowText();
    std::string password = GetDlgItem(IDC_PASSWORD).GetWindowText();
    if (name.empty() || password.empty()) {
        ShowMessageBox(m_hWnd, "用户名或密码不能为空", "提示", MB_OK);
        return;
    }
    EnableLoginButtons(false);
    m_bSavePassword = IsDlgButtonChecked(IDC_SAVEPASSWORD) == BST_CHECKED;

    UrlTable& urls = GetUrlTable();
    const char* script = LoginScriptForEdition(Edition);
    urls.Set(kUrlLoginScript, script);
    std::string url = BuildLoginUrl(urls.SiteRoot(), script, urls.Get(kUrlClientId), name, password);
    ApplyProxySettings(ReadProxySettings(m_ini));
    ResumeTransfers();

    m_loginName = name;
    m_loginPassword = password;
    if (!m_request.Begin(m_hWnd, WM_LOGIN_REPLY, url)) {
        ShowMessageBox(m_hWnd, "登陆失败，请重新登录！", "提示", MB_OK);
        EnableLoginButtons(true);
    }
}

LRESULT CLandedDlg::OnLoginReply(UINT, WPARAM good, LPARAM) {
    m_request.Stop();  // it posted this as its last act
    if (m_bCancelled.load()) return 0;
    if (!good) {
        ShowMessageBox(m_hWnd, "登陆失败，请重新登录！", "提示", MB_OK);
        EnableLoginButtons(true);
        return 0;
    }
    const LoginReply& reply = m_request.Reply();
    ApplyLoginReply(reply);
    m_bUpdate = NeedsUpdate(reply.version);
    // A thread of an earlier attempt (an update that failed) has handed the dialog back already.
    WaitForThread();
    Start(false);
    WriteSavedUser(m_ini, m_loginName, m_loginPassword, m_bSavePassword);
    SetLoginUserName(m_loginName);
    WriteSavePassword(m_ini, m_bSavePassword);
    m_loginPassword.clear();
    return 0;
}

void CLandedDlg::OnCancel(UINT, int, HWND) {
    WriteSavePassword(m_ini, IsDlgButtonChecked(IDC_SAVEPASSWORD) == BST_CHECKED);
    // The threads see the flags between their steps and leave the dialog alone from then on; the
    // transfers in flight end now, so that the program ends at once.
    m_bCancelled.store(true);
    RequestStop();
    m_request.RequestStop();
    CancelTransfers();
    EndDialog(IDCANCEL);
}

void CLandedDlg::OnProxySet(UINT, int, HWND) {
    CProxySetDlg dlg(m_ini);
    dlg.DoModal(::GetActiveWindow());
}

LRESULT CLandedDlg::OnFinish(UINT, WPARAM code, LPARAM) {
    if (code == 0) {  // handed back after a failure
        SetDlgItemText(IDC_STATUS, "");
        EnableLoginButtons(true);
        return 0;
    }
    if (code == IDOK) EnableLoginButtons(true);
    EndDialog(static_cast<int>(code));
    return 0;
}

void CLandedDlg::Run() {
    if (IsStopRequested()) return;
    if (m_bUpdate) {
        char exe[MAX_PATH * 4] = {0};
        ::GetModuleFileNameA(nullptr, exe, sizeof(exe) - 1);
        RunUpdate(*this, [](const std::string& u, std::string* body) { return FetchUrl(u, body, 128, kUpdateLimits); },
                  exe, GetProgramFolder() + "Update.exe");
    } else {
        LoadStartupData(*this);
    }
}

void CLandedDlg::SetStatusText(const char* text) {
    if (!IsStopRequested() && m_hWnd) ::SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
}

void CLandedDlg::FinishDialog(int code) {
    if (!IsStopRequested() && m_hWnd) ::PostMessageA(m_hWnd, WM_LOGIN_FINISH, code, 0);
}

void CLandedDlg::ResumeLogin() {
    if (!IsStopRequested() && m_hWnd) ::PostMessageA(m_hWnd, WM_LOGIN_FINISH, 0, 0);
}

int CLandedDlg::Message(const char* text, const char* title, UINT type) {
    if (IsStopRequested()) return IDCANCEL;
    return ShowMessageBox(m_hWnd, text, title, type);
}
