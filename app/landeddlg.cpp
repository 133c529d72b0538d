#include "app/landeddlg.h"

#include "app/appstate.h"
#include "app/login.h"
#include "app/proxydlg.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/seams.h"
#include "base/win32util.h"
#include "skin/skinmanager.h"
#include "store/storeenv.h"

std::string GetAppDirectory() { return GetProgramFolder(); }

CLandedDlg::CLandedDlg() {}

CLandedDlg::~CLandedDlg() {
    WaitForThread();
    if (m_hLogo) ::DeleteObject(m_hLogo);
}

void CLandedDlg::WaitForThread() {
    if (!m_hThread) return;
    // The thread may be sending a status text to a dialog of this thread: keep answering
    // sent messages while waiting.
    for (;;) {
        DWORD r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CThread::Stop();
}

LRESULT CLandedDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    m_register.SetHyperLink((GetSiteRoot() + GetUrl(kUrlRegister)).c_str());
    m_register.SubclassWindow(GetDlgItem(IDC_REGISTER));
    m_getPassword.SetHyperLink((GetSiteRoot() + GetUrl(kUrlResetPassword)).c_str());
    m_getPassword.SubclassWindow(GetDlgItem(IDC_GETPASSWORD));

    m_ini.SetPathName(GetAppDirectory() + "run.ini");
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

LRESULT CLandedDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
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
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

void CLandedDlg::EnableLoginButtons(bool enable) {
    GetDlgItem(IDOK).EnableWindow(enable);
    GetDlgItem(IDC_NETSETTING).EnableWindow(enable);
}

LRESULT CLandedDlg::OnLogin(WORD, WORD, HWND, BOOL&) {
    std::string name = GetDlgItem(IDC_USERNAME).GetWindowText();
    std::string password = GetDlgItem(IDC_PASSWORD).GetWindowText();
    if (name.empty() || password.empty()) {
        ShowMessageBox(m_hWnd, "用户名或密码不能为空", "提示", MB_OK);
        return 0;
    }
    EnableLoginButtons(false);
    m_bSavePassword = IsDlgButtonChecked(IDC_SAVEPASSWORD) == BST_CHECKED;

    const char* script = LoginScriptForEdition(Edition);
    SetUrl(kUrlLoginScript, script);
    std::string url = BuildLoginUrl(GetSiteRoot(), script, GetUrl(kUrlClientId), name, password);
    ApplyProxySettings(ReadProxySettings(m_ini));

    LoginReply reply;
    bool good = RequestLogin([](const std::string& u, std::string* body) { return FetchUrl(u, body, 256); }, url,
                             &reply);
    if (!good) {
        ShowMessageBox(m_hWnd, "登陆失败，请重新登录！", "提示", MB_OK);
        EnableLoginButtons(true);
        return 0;
    }
    ApplyLoginReply(reply);
    m_bUpdate = NeedsUpdate(reply.version);
    if (!IsStarted()) Start(false);
    WriteSavedUser(m_ini, name, password, m_bSavePassword);
    SetLoginUserName(name);
    WriteSavePassword(m_ini, m_bSavePassword);
    return 0;
}

LRESULT CLandedDlg::OnCancel(WORD, WORD, HWND, BOOL&) {
    WriteSavePassword(m_ini, IsDlgButtonChecked(IDC_SAVEPASSWORD) == BST_CHECKED);
    // The thread sees the flag between its steps and leaves the dialog alone from then on.
    RequestStop();
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CLandedDlg::OnProxySet(WORD, WORD, HWND, BOOL&) {
    CProxySetDlg dlg(m_ini);
    dlg.DoModal(::GetActiveWindow());
    return 0;
}

LRESULT CLandedDlg::OnFinish(UINT, WPARAM code, LPARAM, BOOL&) {
    if (code == IDOK) EnableLoginButtons(true);
    EndDialog(static_cast<int>(code));
    return 0;
}

void CLandedDlg::Run() {
    if (IsStopRequested()) return;
    if (m_bUpdate) {
        char exe[MAX_PATH * 4] = {0};
        ::GetModuleFileNameA(nullptr, exe, sizeof(exe) - 1);
        RunUpdate(*this, [](const std::string& u, std::string* body) { return FetchUrl(u, body, 128); }, exe,
                  GetAppDirectory() + "Update.exe");
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

int CLandedDlg::Message(const char* text, const char* title, UINT type) {
    if (IsStopRequested()) return IDCANCEL;
    return ShowMessageBox(m_hWnd, text, title, type);
}
