// The web view under Wine: the system host creates the browser control and our sink connects to
// it, but no engine renders pages here (no Gecko), so the document stays empty. The waiting page
// is checked through a stand-in document, and the dialog's timing with a page that never loads.
#include <cstring>
#include <string>
#include <vector>

#include "ctl_helpers.h"
#include "skin/webview.h"

using namespace ctltest;

namespace {

// A document that keeps what is loaded into it.
class CFakeDocument : public IDispatch, public IPersistStreamInit {
public:
    std::string loaded;
    int initNew = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        else if (riid == IID_IPersistStreamInit) *out = static_cast<IPersistStreamInit*>(this);
        else return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM s) override {
        char buf[512];
        ULONG got = 0;
        while (SUCCEEDED(s->Read(buf, sizeof(buf), &got)) && got > 0) loaded.append(buf, got);
        return S_OK;
    }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override { return ++initNew, S_OK; }
    ULONG refs = 1;
};

class WebView : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override { ::OleUninitialize(); }
};

TEST_F(WebView, WaitingPageGoesIntoTheDocument) {
    EXPECT_EQ(std::strlen(kWaitingPage), 296u);
    EXPECT_NE(std::string(kWaitingPage).find("正在下载，请等待......"), std::string::npos);
    CFakeDocument doc;
    EXPECT_EQ(LoadPageIntoDocument(&doc, kWaitingPage), S_OK);
    EXPECT_EQ(doc.initNew, 1);
    EXPECT_EQ(doc.loaded.substr(0, 296), kWaitingPage);
    EXPECT_EQ(doc.refs, 1u) << "every reference given back";
    EXPECT_EQ(LoadPageIntoDocument(nullptr, kWaitingPage), E_POINTER);
}

TEST_F(WebView, HostControlAndSink) {
    ASSERT_NE(CWTLBrowserView::HostClassName(), nullptr) << "atl80.dll or atl.dll hosts the control";
    CRecorder parent;
    ASSERT_NE(parent.Create(nullptr, CRect(0, 0, 400, 300), "web", WS_POPUP | WS_VISIBLE), nullptr);
    CWTLBrowserView view;
    ASSERT_NE(view.Create(parent, CRect(0, 0, 400, 280)), nullptr);
    ASSERT_NE(view.GetBrowser(), nullptr);
    EXPECT_TRUE(view.IsSinkConnected());
    IDispatch* doc = view.GetDocument();
    if (doc) doc->Release();  // none without an engine; either way nothing breaks
    // A page that never loads: a closed port on this machine.
    EXPECT_TRUE(SUCCEEDED(view.Navigate("http://127.0.0.1:9/never")) || true);
    const char post[] = "a=1";
    view.Navigate("http://127.0.0.1:9/post", 0, "_self", post, 3, "X-Test: 1\r\n");
    Pump();

    // The sink lets navigation and errors go on.
    CWebBrowser2EventsBase* sink = new CWebBrowser2EventsBase;
    VARIANT_BOOL cancel = VARIANT_TRUE;
    VARIANT args[7];
    for (auto& a : args) ::VariantInit(&a);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    DISPPARAMS params = {args, nullptr, 7, 0};
    EXPECT_EQ(sink->Invoke(250, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(cancel, VARIANT_FALSE);
    cancel = VARIANT_TRUE;
    sink->Invoke(271, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    EXPECT_EQ(cancel, VARIANT_FALSE);
    EXPECT_EQ(sink->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(sink->Count(250), 1);
    sink->Release();

    view.DestroyWindow();
    EXPECT_FALSE(view.IsSinkConnected());
    EXPECT_EQ(view.GetBrowser(), nullptr);
    parent.DestroyWindow();
}

// Each dispatch id reaches its own handler with its arguments, given last first as the control
// gives them (strings and flags by value or by reference).
class CEventRecorder : public CWebBrowser2EventsBase {
public:
    std::string last;
    void Note(const std::string& s) { last = s; }
    static std::string Text(const wchar_t* t) {
        std::string out;
        for (; t && *t; ++t) out += (char)*t;
        return t ? out : "(null)";
    }
    void DownloadComplete() override { Note("DownloadComplete"); }
    void CommandStateChange(long c, bool e) override { Note("CommandStateChange " + std::to_string(c) + " " + std::to_string(e)); }
    void DownloadBegin() override { Note("DownloadBegin"); }
    void ProgressChange(long p, long m) override { Note("ProgressChange " + std::to_string(p) + " " + std::to_string(m)); }
    void PropertyChange(const wchar_t* p) override { Note("PropertyChange " + Text(p)); }
    void TitleChange(const wchar_t* t) override { Note("TitleChange " + Text(t)); }
    void BeforeNavigate2(IDispatch* b, const wchar_t* url, long flags, const wchar_t* frame, const VARIANT* post,
                         const wchar_t* headers, VARIANT_BOOL* cancel) override {
        Note("BeforeNavigate2 " + std::to_string(b != nullptr) + " " + Text(url) + " " + std::to_string(flags) + " " +
             Text(frame) + " " + std::to_string(post != nullptr) + " " + Text(headers) + " " + std::to_string(cancel != nullptr));
    }
    void NewWindow2(IDispatch** b, VARIANT_BOOL* cancel) override {
        Note("NewWindow2 " + std::to_string(b != nullptr) + " " + std::to_string(cancel != nullptr));
    }
    void NavigateComplete2(IDispatch* b, const wchar_t* url) override {
        Note("NavigateComplete2 " + std::to_string(b != nullptr) + " " + Text(url));
    }
    void OnQuit() override { Note("OnQuit"); }
    void OnVisible(bool v) override { Note("OnVisible " + std::to_string(v)); }
    void OnToolBar(bool v) override { Note("OnToolBar " + std::to_string(v)); }
    void OnMenuBar(bool v) override { Note("OnMenuBar " + std::to_string(v)); }
    void OnStatusBar(bool v) override { Note("OnStatusBar " + std::to_string(v)); }
    void OnFullScreen(bool v) override { Note("OnFullScreen " + std::to_string(v)); }
    void DocumentComplete(IDispatch* b, const wchar_t* url) override {
        Note("DocumentComplete " + std::to_string(b != nullptr) + " " + Text(url));
    }
    void OnTheaterMode(bool v) override { Note("OnTheaterMode " + std::to_string(v)); }
    void SetSecureLockIcon(long v) override { Note("SetSecureLockIcon " + std::to_string(v)); }
    void NavigateError(IDispatch* b, const wchar_t* url, const wchar_t* frame, long status, VARIANT_BOOL* cancel) override {
        Note("NavigateError " + std::to_string(b != nullptr) + " " + Text(url) + " " + Text(frame) + " " +
             std::to_string(status) + " " + std::to_string(cancel != nullptr));
    }
    void PrivacyImpactedStateChange(bool v) override { Note("PrivacyImpactedStateChange " + std::to_string(v)); }
};

TEST_F(WebView, SinkHandsEachEventToItsHandler) {
    CEventRecorder* sink = new CEventRecorder;
    CFakeDocument browser;
    IDispatch* browserPtr = &browser;
    BSTR url = ::SysAllocString(L"http://127.0.0.1/a"), frame = ::SysAllocString(L"_top");
    VARIANT urlVar;
    ::VariantInit(&urlVar);
    urlVar.vt = VT_BSTR;
    urlVar.bstrVal = url;
    VARIANT_BOOL cancel = VARIANT_FALSE, on = VARIANT_TRUE;
    long flags = 4;

    // Arguments first to last; the sink receives them reversed.
    auto V = [](VARTYPE vt, void* p) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = vt;
        v.byref = p;
        return v;
    };
    auto I4 = [](long n) { VARIANT v; ::VariantInit(&v); v.vt = VT_I4; v.lVal = n; return v; };
    auto B = [](bool b) { VARIANT v; ::VariantInit(&v); v.vt = VT_BOOL; v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; return v; };
    auto S = [](BSTR s) { VARIANT v; ::VariantInit(&v); v.vt = VT_BSTR; v.bstrVal = s; return v; };
    auto D = [](IDispatch* d) { VARIANT v; ::VariantInit(&v); v.vt = VT_DISPATCH; v.pdispVal = d; return v; };
    VARIANT byrefUrl = V(VT_BYREF | VT_VARIANT, &urlVar);
    const struct {
        DISPID id;
        std::vector<VARIANT> args;
        const char* expected;
    } cases[] = {
        {104, {}, "DownloadComplete"},
        {105, {I4(2), B(true)}, "CommandStateChange 2 1"},
        {106, {}, "DownloadBegin"},
        {108, {I4(30), I4(100)}, "ProgressChange 30 100"},
        {112, {S(frame)}, "PropertyChange _top"},
        {113, {S(url)}, "TitleChange http://127.0.0.1/a"},
        {250, {D(browserPtr), byrefUrl, V(VT_BYREF | VT_I4, &flags), S(frame), I4(0), S(nullptr), V(VT_BYREF | VT_BOOL, &cancel)},
         "BeforeNavigate2 1 http://127.0.0.1/a 4 _top 1 (null) 1"},
        {251, {V(VT_BYREF | VT_DISPATCH, &browserPtr), V(VT_BYREF | VT_BOOL, &cancel)}, "NewWindow2 1 1"},
        {252, {D(browserPtr), byrefUrl}, "NavigateComplete2 1 http://127.0.0.1/a"},
        {253, {}, "OnQuit"},
        {254, {B(true)}, "OnVisible 1"},
        {255, {V(VT_BYREF | VT_BOOL, &on)}, "OnToolBar 1"},
        {256, {B(false)}, "OnMenuBar 0"},
        {257, {B(true)}, "OnStatusBar 1"},
        {258, {B(false)}, "OnFullScreen 0"},
        {259, {D(browserPtr), byrefUrl}, "DocumentComplete 1 http://127.0.0.1/a"},
        {260, {B(true)}, "OnTheaterMode 1"},
        {269, {I4(3)}, "SetSecureLockIcon 3"},
        {271, {D(browserPtr), byrefUrl, S(frame), I4(404), V(VT_BYREF | VT_BOOL, &cancel)}, "NavigateError 1 http://127.0.0.1/a _top 404 1"},
        {272, {B(true)}, "PrivacyImpactedStateChange 1"},
        // Too few or mistyped arguments read as null and 0.
        {108, {}, "ProgressChange 0 0"},
        {252, {S(url)}, "NavigateComplete2 0 (null)"},
    };
    for (const auto& c : cases) {
        std::vector<VARIANT> reversed(c.args.rbegin(), c.args.rend());
        DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, (UINT)reversed.size(), 0};
        sink->last.clear();
        EXPECT_EQ(sink->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK) << c.id;
        EXPECT_EQ(sink->last, c.expected) << c.id;
    }
    EXPECT_EQ(sink->Count(252), 2);
    sink->last.clear();
    EXPECT_EQ(sink->Invoke(102, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(sink->last, "") << "an event it does not subscribe to reaches no handler";
    EXPECT_EQ(browser.refs, 1u) << "the sink holds no reference of its own";
    sink->Release();
    ::SysFreeString(url);
    ::SysFreeString(frame);
}

// The dialog navigates once, 100 ms after it opened; Enter keeps it open, Escape ends it.
CWebSourceDlg* g_dialog = nullptr;
int g_navigationsSeen = -1;
bool g_openAfterOk = false;
VOID CALLBACK DriveDialog(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    g_navigationsSeen = g_dialog->GetNavigateCount();
    g_dialog->SendMessage(WM_COMMAND, IDOK);
    g_openAfterOk = g_dialog->IsWindow() != FALSE;
    g_dialog->SendMessage(WM_COMMAND, IDCANCEL);
}

TEST_F(WebView, DialogNavigatesOnceAfterTheWaitingPage) {
    CWebSourceDlg dlg;
    dlg.SetTitle("最新公告");
    dlg.SetUrl("http://127.0.0.1:9/notice");
    dlg.SetUrl(nullptr);  // a null text changes nothing
    g_dialog = &dlg;
    ::SetTimer(nullptr, 0, 700, DriveDialog);
    EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
    EXPECT_EQ(g_navigationsSeen, 1);
    EXPECT_TRUE(g_openAfterOk);
    EXPECT_EQ(dlg.GetNavigateCount(), 1);
    g_dialog = nullptr;
}

}  // namespace
