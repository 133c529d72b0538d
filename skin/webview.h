// Web pages inside the program: a child window hosting the system browser control (through the
// system's ActiveX host, atl80.dll or atl.dll) with its event sink, and a dialog that shows one
// page after a built-in "loading" page.
#pragma once

#include <exdisp.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "winfw/winfw.h"

// The page shown while the real one loads (GB2312).
extern const char kWaitingPage[];

// Loads HTML text into a document through its IPersistStreamInit.
HRESULT LoadPageIntoDocument(IDispatch* document, const char* html);

// Listens to the browser's DWebBrowserEvents2; it changes nothing, so navigation, new windows
// and errors follow the control's own behaviour. It counts what arrived.
class CWebBrowserEventSink : public IDispatch {
public:
    CWebBrowserEventSink() = default;
    virtual ~CWebBrowserEventSink() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override;

    int Count(DISPID id) const;
    static bool Subscribes(DISPID id);

private:
    ULONG m_refs = 1;
    std::map<DISPID, int> m_counts;
};

class CWTLBrowserView : public CWindowImplRootT<CWindow> {
public:
    CWTLBrowserView();
    ~CWTLBrowserView() override;

    // The host's window class once the host library is ready, or null when no host exists.
    static const char* HostClassName();
    // A child of the host class that creates the control from the text ("about:blank" or a URL).
    HWND Create(HWND parent, const RECT& rect, const char* url = "about:blank",
                DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, UINT id = 0);
    IWebBrowser2* GetBrowser() const { return m_browser; }
    bool IsSinkConnected() const { return m_cookie != kNotConnected; }
    const CWebBrowserEventSink* GetSink() const { return m_sink; }
    // The control's document, or null (the caller releases it).
    IDispatch* GetDocument();
    HRESULT Navigate(const char* url, DWORD flags = 0, const char* target = nullptr, const void* postData = nullptr,
                     DWORD postSize = 0, const char* headers = nullptr);

    BEGIN_MSG_MAP(CWTLBrowserView)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

private:
    enum : DWORD { kNotConnected = 0xFEFEFEFE };
    void OnDestroy();
    void Disconnect();
    IWebBrowser2* m_browser = nullptr;
    CWebBrowserEventSink* m_sink = nullptr;
    DWORD m_cookie = kNotConnected;
};

class CWebSourceDlg : public CDialogImpl<CWebSourceDlg> {
public:
    enum { IDD = 0 };  // built in memory
    enum : UINT_PTR { kNavigateTimer = 2002 };

    CWebSourceDlg() = default;
    ~CWebSourceDlg() override = default;
    void SetTitle(const char* text) { if (text) m_title = text; }
    void SetUrl(const char* text) { if (text) m_url = text; }
    INT_PTR DoModal(HWND parent = ::GetActiveWindow());

    CWTLBrowserView& View() { return m_view; }
    int GetNavigateCount() const { return m_navigations; }
    bool WaitingPageShown() const { return m_waitingShown; }

    BEGIN_MSG_MAP(CWebSourceDlg)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_TIMER(OnTimer)
        MSG_COMMAND_ID(IDOK, OnOk)
        MSG_COMMAND_ID(IDCANCEL, OnCancel)
    END_MSG_MAP()

private:
    BOOL OnInitDialog(HWND, LPARAM);
    void OnTimer(UINT_PTR id);
    void OnOk(UINT, int, HWND) {}
    void OnCancel(UINT, int, HWND) { EndDialog(IDCANCEL); }

    CWTLBrowserView m_view;
    std::string m_title, m_url;
    int m_navigations = 0;
    bool m_waitingShown = false;
};
