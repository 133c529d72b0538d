// The proxy settings dialog over run.ini's "ProxyInfo".
#pragma once

#include "app/ini.h"
#include "app/resource.h"
#include "app/settings.h"
#include "winfw/winfw.h"

class CProxySetDlg : public CDialogImpl<CProxySetDlg> {
public:
    enum { IDD = IDD_PROXYSET };
    explicit CProxySetDlg(CIni& ini) : m_ini(ini) {}

    BEGIN_MSG_MAP(CProxySetDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
        COMMAND_RANGE_CODE_HANDLER(IDC_PROXY_DIRECT, IDC_PROXY_NAMED, BN_CLICKED, OnAccessType)
        COMMAND_RANGE_CODE_HANDLER(IDC_PROXY_SOCKS4, IDC_PROXY_HTTP, BN_CLICKED, OnProxyType)
    END_MSG_MAP()

    // Checks the fields in order; on the first bad one beeps, focuses it and returns false.
    bool ReadFields(ProxySettings* out);

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD, HWND, BOOL&);
    LRESULT OnClose(WORD, WORD, HWND, BOOL&);
    LRESULT OnAccessType(WORD, WORD, HWND, BOOL&);
    LRESULT OnProxyType(WORD, WORD, HWND, BOOL&);
    void UpdateEnabling();
    CIni& m_ini;
};

// The port field's rule: an unsigned whole number from 0 to 65535.
bool ParsePortText(const char* text, UINT* port);
