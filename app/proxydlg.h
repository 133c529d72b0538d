// The proxy settings dialog over run.ini's "ProxyInfo".
#pragma once

#include "app/ini.h"
#include "app/resource.h"
#include "app/settings.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

class CProxySetDlg : public CDialogImpl<CProxySetDlg> {
public:
    enum { IDD = IDD_PROXYSET };
    explicit CProxySetDlg(CIni& ini) : m_ini(ini) {}

    BEGIN_MSG_MAP(CProxySetDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_COMMAND_ID(IDOK, OnOK)
        MSG_COMMAND_ID(IDCANCEL, OnClose)
        MSG_COMMAND_RANGE(IDC_PROXY_DIRECT, IDC_PROXY_NAMED, OnChoice)
        MSG_COMMAND_RANGE(IDC_PROXY_SOCKS4, IDC_PROXY_HTTP, OnChoice)
    END_MSG_MAP()

    // Checks the fields in order; on the first bad one beeps, focuses it and returns false.
    bool ReadFields(ProxySettings* out);

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnOK(UINT code, int id, HWND ctl);
    void OnClose(UINT code, int id, HWND ctl);
    // A radio button of the access or the proxy type.
    void OnChoice(UINT code, int id, HWND ctl);
    void UpdateEnabling();
    CIni& m_ini;
};

// The port field's rule: an unsigned whole number from 0 to 65535.
bool ParsePortText(const char* text, UINT* port);
