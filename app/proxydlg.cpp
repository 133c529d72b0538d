#include "app/proxydlg.h"

#include <cstdlib>
#include <string>

bool ParsePortText(const char* text, UINT* port) {
    if (!text) return false;
    while (*text == ' ') ++text;
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    while (*end == ' ') ++end;
    if (*end || v > 65535) return false;
    *port = static_cast<UINT>(v);
    return true;
}

BOOL CProxySetDlg::OnInitDialog(HWND, LPARAM) {
    ProxySettings p = ReadProxySettings(m_ini);
    auto cut = [](const std::string& s) { return s.substr(0, 256); };
    SetDlgItemText(IDC_PROXY_ADDRESS, cut(p.address).c_str());
    SetDlgItemText(IDC_PROXY_PORT, std::to_string(p.port).c_str());
    SetDlgItemText(IDC_PROXY_USER, cut(p.user).c_str());
    SetDlgItemText(IDC_PROXY_PASSWORD, cut(p.password).c_str());
    for (int id : {IDC_PROXY_ADDRESS, IDC_PROXY_USER, IDC_PROXY_PASSWORD}) GetDlgItem(id).SendMessage(EM_LIMITTEXT, 256);
    CheckRadioButton(IDC_PROXY_SOCKS4, IDC_PROXY_HTTP,
                     p.proxyType == 1 ? IDC_PROXY_SOCKS4 : p.proxyType == 2 ? IDC_PROXY_SOCKS5 : IDC_PROXY_HTTP);
    CheckRadioButton(IDC_PROXY_DIRECT, IDC_PROXY_NAMED,
                     p.accessType == 1 ? IDC_PROXY_DIRECT : p.accessType == 3 ? IDC_PROXY_NAMED : IDC_PROXY_SYSTEM);
    UpdateEnabling();
    CenterWindow(GetParent());
    return TRUE;
}

void CProxySetDlg::UpdateEnabling() {
    bool named = IsDlgButtonChecked(IDC_PROXY_NAMED) == BST_CHECKED;
    bool socks4 = IsDlgButtonChecked(IDC_PROXY_SOCKS4) == BST_CHECKED;
    for (int id : {IDC_PROXY_SOCKS4, IDC_PROXY_SOCKS5, IDC_PROXY_HTTP, IDC_PROXY_ADDRESS_LABEL, IDC_PROXY_ADDRESS,
                   IDC_PROXY_PORT_LABEL, IDC_PROXY_PORT})
        GetDlgItem(id).EnableWindow(named);
    for (int id : {IDC_PROXY_USER_LABEL, IDC_PROXY_USER, IDC_PROXY_PASSWORD_LABEL, IDC_PROXY_PASSWORD})
        GetDlgItem(id).EnableWindow(named && !socks4);
}

void CProxySetDlg::OnChoice(UINT code, int, HWND) {
    if (code == BN_CLICKED) UpdateEnabling();
    else SetMsgHandled(FALSE);
}

bool CProxySetDlg::ReadFields(ProxySettings* out) {
    auto fail = [this](int id) {
        ::MessageBeep((UINT)-1);
        GetDlgItem(id).SetFocus();
        return false;
    };
    auto text = [this](int id, std::string* value) {
        CWindow w = GetDlgItem(id);
        if (w.GetWindowTextLength() > 256) return false;
        *value = w.GetWindowText();
        return true;
    };
    ProxySettings p;
    if (!text(IDC_PROXY_ADDRESS, &p.address)) return fail(IDC_PROXY_ADDRESS);
    if (!ParsePortText(GetDlgItem(IDC_PROXY_PORT).GetWindowText().c_str(), &p.port)) return fail(IDC_PROXY_PORT);
    if (!text(IDC_PROXY_USER, &p.user)) return fail(IDC_PROXY_USER);
    if (!text(IDC_PROXY_PASSWORD, &p.password)) return fail(IDC_PROXY_PASSWORD);
    p.accessType = IsDlgButtonChecked(IDC_PROXY_DIRECT) == BST_CHECKED  ? 1
                   : IsDlgButtonChecked(IDC_PROXY_NAMED) == BST_CHECKED ? 3
                                                                        : 0;
    p.proxyType = IsDlgButtonChecked(IDC_PROXY_SOCKS4) == BST_CHECKED   ? 1
                  : IsDlgButtonChecked(IDC_PROXY_SOCKS5) == BST_CHECKED ? 2
                                                                        : 3;
    *out = p;
    return true;
}

void CProxySetDlg::OnOK(UINT, int, HWND) {
    ProxySettings p;
    if (!ReadFields(&p)) return;
    WriteProxySettings(m_ini, p);
    EndDialog(IDOK);
}

void CProxySetDlg::OnClose(UINT, int, HWND) { EndDialog(IDCANCEL); }
