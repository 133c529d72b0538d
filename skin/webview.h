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

// The browser's DWebBrowserEvents2 sink: Invoke hands each event, by its dispatch id, to a
// handler of its own with the arguments unpacked (absent or mistyped ones read as null or 0).
// The handlers change nothing, so navigation, new windows and errors follow the control's own
// behaviour; BeforeNavigate2 and NavigateError answer that the operation goes on. It counts
// what arrived.
class CWebBrowser2EventsBase : public IDispatch {
public:
    CWebBrowser2EventsBase() = default;
    virtual ~CWebBrowser2EventsBase() = default;
    CWebBrowser2EventsBase(const CWebBrowser2EventsBase&) = delete;
    CWebBrowser2EventsBase& operator=(const CWebBrowser2EventsBase&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override;

    int Count(DISPID id) const;
    static bool Subscribes(DISPID id);

    // One handler per event; `cancel` may be null.
    virtual void DownloadComplete() {}                                  // 104
    virtual void CommandStateChange(long /*command*/, bool /*enable*/) {}  // 105
    virtual void DownloadBegin() {}                                     // 106
    virtual void ProgressChange(long /*progress*/, long /*progressMax*/) {}  // 108
    virtual void PropertyChange(const wchar_t* /*property*/) {}         // 112
    virtual void TitleChange(const wchar_t* /*text*/) {}                // 113
    virtual void BeforeNavigate2(IDispatch* browser, const wchar_t* url, long flags, const wchar_t* targetFrame,
                                 const VARIANT* postData, const wchar_t* headers, VARIANT_BOOL* cancel);  // 250
    virtual void NewWindow2(IDispatch** /*browser*/, VARIANT_BOOL* /*cancel*/) {}  // 251
    virtual void NavigateComplete2(IDispatch* /*browser*/, const wchar_t* /*url*/) {}  // 252
    virtual void OnQuit() {}                                            // 253
    virtual void OnVisible(bool /*visible*/) {}                         // 254
    virtual void OnToolBar(bool /*toolBar*/) {}                         // 255
    virtual void OnMenuBar(bool /*menuBar*/) {}                         // 256
    virtual void OnStatusBar(bool /*statusBar*/) {}                     // 257
    virtual void OnFullScreen(bool /*fullScreen*/) {}                   // 258
    virtual void DocumentComplete(IDispatch* /*browser*/, const wchar_t* /*url*/) {}  // 259
    virtual void OnTheaterMode(bool /*theaterMode*/) {}                 // 260
    virtual void SetSecureLockIcon(long /*secureLockIcon*/) {}          // 269
    virtual void NavigateError(IDispatch* browser, const wchar_t* url, const wchar_t* frame, long statusCode,
                               VARIANT_BOOL* cancel);  // 271
    virtual void PrivacyImpactedStateChange(bool /*impacted*/) {}       // 272

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
    const CWebBrowser2EventsBase* GetSink() const { return m_sink; }
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
    CWebBrowser2EventsBase* m_sink = nullptr;
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
