#include "skin/webview.h"

#include <exdispid.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <mutex>

const char kWaitingPage[] =
    "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"><title>Tips</title>"
    "</head><body leftmargin=0 topmargin=0 bgcolor='#000000'><table width='100%' height='100%'><tr><td "
    "align='center'><font color='#00000FF'>正在下载，请等待......</font></td></tr></table></body></html>";

namespace {

typedef BOOL(WINAPI* AxWinInitFn)();
typedef HRESULT(WINAPI* AxGetControlFn)(HWND, IUnknown**);

struct Host {
    const char* className = nullptr;
    AxGetControlFn getControl = nullptr;
};

// The system's ActiveX host: atl80.dll ("AtlAxWin80"), else atl.dll ("AtlAxWin").
const Host& GetHost() {
    static Host host;
    static std::once_flag once;
    std::call_once(once, [] {
        const struct {
            const char* dll;
            const char* cls;
        } choices[] = {{"atl80.dll", "AtlAxWin80"}, {"atl.dll", "AtlAxWin"}};
        for (const auto& c : choices) {
            HMODULE m = ::LoadLibraryA(c.dll);
            if (!m) continue;
            auto init = (AxWinInitFn)(void*)::GetProcAddress(m, "AtlAxWinInit");
            auto get = (AxGetControlFn)(void*)::GetProcAddress(m, "AtlAxGetControl");
            if (init && get && init()) {
                host.className = c.cls;
                host.getControl = get;
                return;
            }
            ::FreeLibrary(m);
        }
    });
    return host;
}

BSTR ToBstr(const char* text) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, nullptr, 0);
    BSTR b = ::SysAllocStringLen(nullptr, n > 0 ? n - 1 : 0);
    if (b && n > 0) ::MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, b, n);
    return b;
}

}  // namespace

HRESULT LoadPageIntoDocument(IDispatch* document, const char* html) {
    if (!document || !html) return E_POINTER;
    IPersistStreamInit* persist = nullptr;
    HRESULT hr = document->QueryInterface(IID_IPersistStreamInit, (void**)&persist);
    if (FAILED(hr) || !persist) return FAILED(hr) ? hr : E_NOINTERFACE;
    size_t n = std::strlen(html);
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n + 1);
    IStream* stream = nullptr;
    if (mem) {
        void* p = ::GlobalLock(mem);
        if (p) std::memcpy(p, html, n);
        ::GlobalUnlock(mem);
        hr = ::CreateStreamOnHGlobal(mem, TRUE, &stream);
        if (FAILED(hr)) ::GlobalFree(mem);
    } else {
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr) && stream) {
        hr = persist->InitNew();
        if (SUCCEEDED(hr)) hr = persist->Load(stream);
        stream->Release();
    }
    persist->Release();
    return hr;
}

// ---- Event sink ----------------------------------------------------------------------------------

STDMETHODIMP CWebBrowserEventSink::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CWebBrowserEventSink::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CWebBrowserEventSink::GetTypeInfoCount(UINT* n) {
    if (n) *n = 0;
    return S_OK;
}

bool CWebBrowserEventSink::Subscribes(DISPID id) {
    static const DISPID ids[] = {104, 105, 106, 108, 112, 113, 250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260, 269, 271, 272};
    for (DISPID d : ids)
        if (d == id) return true;
    return false;
}

int CWebBrowserEventSink::Count(DISPID id) const {
    auto it = m_counts.find(id);
    return it == m_counts.end() ? 0 : it->second;
}

STDMETHODIMP CWebBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                          EXCEPINFO*, UINT*) {
    if (result) ::VariantInit(result);
    if (!Subscribes(id)) return DISP_E_MEMBERNOTFOUND;
    ++m_counts[id];
    // BeforeNavigate2 and NavigateError end with their Cancel flag: the operation goes on.
    if ((id == DISPID_BEFORENAVIGATE2 || id == 271) && params && params->cArgs > 0) {
        VARIANT& cancel = params->rgvarg[0];
        if (cancel.vt == (VT_BOOL | VT_BYREF) && cancel.pboolVal) *cancel.pboolVal = VARIANT_FALSE;
    }
    return S_OK;
}

// ---- Browser view --------------------------------------------------------------------------------

CWTLBrowserView::CWTLBrowserView() = default;

CWTLBrowserView::~CWTLBrowserView() {
    Disconnect();
    if (m_sink) m_sink->Release();
}

const char* CWTLBrowserView::HostClassName() { return GetHost().className; }

HWND CWTLBrowserView::Create(HWND parent, const RECT& r, const char* url, DWORD style, UINT id) {
    const Host& host = GetHost();
    if (!host.className || m_hWnd) return nullptr;
    // The host creates the control from the window text while it is created.
    HWND h = ::CreateWindowExA(0, host.className, url ? url : "about:blank", style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent, (HMENU)(UINT_PTR)id, ::GetModuleHandleA(nullptr), nullptr);
    if (!h) return nullptr;
    if (!SubclassWindow(h)) {
        ::DestroyWindow(h);
        return nullptr;
    }
    IUnknown* control = nullptr;
    if (SUCCEEDED(host.getControl(h, &control)) && control) {
        control->QueryInterface(IID_IWebBrowser2, (void**)&m_browser);
        control->Release();
    }
    if (m_browser) {
        if (!m_sink) m_sink = new CWebBrowserEventSink;
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        DWORD cookie = 0;
        bool ok = SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer, (void**)&cpc)) && cpc &&
                  SUCCEEDED(cpc->FindConnectionPoint(DIID_DWebBrowserEvents2, &cp)) && cp &&
                  SUCCEEDED(cp->Advise(static_cast<IDispatch*>(m_sink), &cookie));
        if (cp) cp->Release();
        if (cpc) cpc->Release();
        if (ok) m_cookie = cookie;
        else {
            m_browser->Release();
            m_browser = nullptr;
        }
    }
    return h;
}

void CWTLBrowserView::Disconnect() {
    if (m_browser && m_cookie != kNotConnected) {
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        if (SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer, (void**)&cpc)) && cpc &&
            SUCCEEDED(cpc->FindConnectionPoint(DIID_DWebBrowserEvents2, &cp)) && cp)
            cp->Unadvise(m_cookie);
        if (cp) cp->Release();
        if (cpc) cpc->Release();
    }
    m_cookie = kNotConnected;
    if (m_browser) m_browser->Release();
    m_browser = nullptr;
}

void CWTLBrowserView::OnDestroy() {
    Disconnect();
    SetMsgHandled(FALSE);
}

IDispatch* CWTLBrowserView::GetDocument() {
    IDispatch* doc = nullptr;
    if (!m_browser || FAILED(m_browser->get_Document(&doc))) return nullptr;
    return doc;
}

HRESULT CWTLBrowserView::Navigate(const char* url, DWORD flags, const char* target, const void* postData,
                                  DWORD postSize, const char* headers) {
    if (!m_browser) return E_FAIL;
    BSTR burl = ToBstr(url);
    VARIANT vFlags, vTarget, vPost, vHeaders;
    ::VariantInit(&vFlags);
    ::VariantInit(&vTarget);
    ::VariantInit(&vPost);
    ::VariantInit(&vHeaders);
    vFlags.vt = VT_I4;
    vFlags.lVal = (LONG)flags;
    if (target) vTarget.vt = VT_BSTR, vTarget.bstrVal = ToBstr(target);
    if (headers) vHeaders.vt = VT_BSTR, vHeaders.bstrVal = ToBstr(headers);
    HRESULT hr = S_OK;
    if (postData && postSize) {
        SAFEARRAY* sa = ::SafeArrayCreateVector(VT_UI1, 0, postSize);
        void* p = nullptr;
        if (!sa || FAILED(::SafeArrayAccessData(sa, &p))) {
            if (sa) ::SafeArrayDestroy(sa);
            hr = E_OUTOFMEMORY;
        } else {
            std::memcpy(p, postData, postSize);
            ::SafeArrayUnaccessData(sa);
            vPost.vt = VT_ARRAY | VT_UI1;
            vPost.parray = sa;
        }
    }
    if (SUCCEEDED(hr)) hr = m_browser->Navigate(burl, &vFlags, &vTarget, &vPost, &vHeaders);
    ::VariantClear(&vFlags);
    ::VariantClear(&vTarget);
    ::VariantClear(&vPost);
    ::VariantClear(&vHeaders);
    ::SysFreeString(burl);
    return hr;
}

// ---- Web-page dialog ----------------------------------------------------------------------------------

INT_PTR CWebSourceDlg::DoModal(HWND parent) {
    // A plain captioned dialog; its size is set when it starts.
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 4, 0);
    DLGTEMPLATE* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d->cdit = 0;
    d->cx = 300;
    d->cy = 200;
    return DoModalIndirect(d, parent);
}

BOOL CWebSourceDlg::OnInitDialog(HWND, LPARAM) {
    RECT r = {0, 0, 600, 330};
    ::AdjustWindowRectEx(&r, GetStyle(), ::GetMenu(m_hWnd) != nullptr, GetExStyle());
    SetWindowPos(nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(&client);
    RECT viewRect = {0, 0, client.right, 300};
    m_view.Create(m_hWnd, viewRect, "about:blank");
    if (IDispatch* doc = m_view.GetDocument()) {
        m_waitingShown = SUCCEEDED(LoadPageIntoDocument(doc, kWaitingPage));
        doc->Release();
    }
    SetWindowText(m_title.c_str());
    SetTimer(kNavigateTimer, 100);
    CenterWindow(::GetParent(m_hWnd));
    return TRUE;
}

void CWebSourceDlg::OnTimer(UINT_PTR id) {
    if (id != kNavigateTimer) {
        SetMsgHandled(FALSE);
        return;
    }
    KillTimer(kNavigateTimer);
    ++m_navigations;
    m_view.Navigate(m_url.c_str());
}
