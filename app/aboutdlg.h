// The "about" box: the skin's "about.png" as its whole background, the product, maker and version
// lines and the service's web address as a link, in white over the picture.
#pragma once

#include <string>

#include "app/resource.h"
#include "skin/hyperlink.h"
#include "winfw/typedmap.h"
#include "winfw/winfw.h"

class CAboutDlg : public CDialogImpl<CAboutDlg> {
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg() = default;
    ~CAboutDlg() override;

    // The background picture; the skin's "about.png" when none is set.
    void SetBackgroundFile(const std::string& path) { m_backgroundPath = path; }

    BEGIN_MSG_MAP(CAboutDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_CTLCOLORSTATIC(OnCtlColorStatic)
        MSG_COMMAND_ID(IDOK, OnEnd)
        MSG_COMMAND_ID(IDCANCEL, OnEnd)
    END_MSG_MAP()

    // The picture's size (0 when none was loaded).
    int GetBackgroundWidth() const { return m_width; }
    int GetBackgroundHeight() const { return m_height; }

private:
    BOOL OnInitDialog(HWND focus, LPARAM initParam);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { Paint(dc); }
    BOOL OnEraseBkgnd(HDC dc);
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);
    void OnEnd(UINT code, int id, HWND ctl) { EndDialog(id == IDOK ? 1 : 2); }
    void Paint(HDC dc);
    // Client area exactly the picture, children moved down with the height, OK centred near
    // the bottom.
    void FitToBackground();

    std::string m_backgroundPath;
    HBITMAP m_background = nullptr;
    int m_width = 0, m_height = 0;
    CSkinBitmapHyperLink m_link;
};
