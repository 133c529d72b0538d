// Windows bound to objects: message-map dispatch and chaining (the raw entries, as app/ and the
// rare message use them; winfw/typedmap.h has its own test), super- and subclassing,
// reflected and forwarded notifications, the final message, and the double buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winfw/winfw.h"

namespace {

enum : UINT {
    WM_PING = WM_APP + 1,      // derived map: 100 + wParam
    WM_PASSON = WM_APP + 2,    // first handler passes on, second answers 7
    WM_MIXIN = WM_APP + 3,     // mix-in: 300 + wParam
    WM_BASEONLY = WM_APP + 4,  // base class: 200
    WM_BASEPASS = WM_APP + 5,  // base class passes on: default processing answers 0
    WM_RANGE_LO = WM_APP + 10,
    WM_RANGE_HI = WM_APP + 12,
    WM_NOBODY = WM_APP + 50,
};

const int kEndEditCode = -1505;

template <class T>
class CRecordingMixin {
public:
    BEGIN_MSG_MAP(CRecordingMixin)
        MESSAGE_HANDLER(WM_MIXIN, OnMixin)
    END_MSG_MAP()
    LRESULT OnMixin(UINT, WPARAM w, LPARAM, BOOL&) {
        static_cast<T*>(this)->calls.push_back("mixin");
        return 300 + w;
    }
};

template <class T>
class CTestBase : public CWindowImpl<T> {
public:
    std::vector<std::string> calls;
    BEGIN_MSG_MAP(CTestBase)
        MESSAGE_HANDLER(WM_PING, OnBasePing)
        MESSAGE_HANDLER(WM_BASEONLY, OnBaseOnly)
        MESSAGE_HANDLER(WM_BASEPASS, OnBasePass)
    END_MSG_MAP()
    LRESULT OnBasePing(UINT, WPARAM, LPARAM, BOOL&) { calls.push_back("base-ping"); return -1; }
    LRESULT OnBaseOnly(UINT, WPARAM, LPARAM, BOOL&) { calls.push_back("base"); return 200; }
    LRESULT OnBasePass(UINT, WPARAM, LPARAM, BOOL& handled) {
        calls.push_back("base-pass");
        handled = FALSE;
        return 99;
    }
};

class CTestWnd : public CTestBase<CTestWnd>, public CRecordingMixin<CTestWnd> {
public:
    typedef CTestBase<CTestWnd> Base;
    DECLARE_WND_CLASS("VelmoraTestWnd")

    bool sawNcCreate = false;
    HWND hwndAtCreate = nullptr;
    static int finals;

    BEGIN_MSG_MAP(CTestWnd)
        MESSAGE_HANDLER(WM_NCCREATE, OnNcCreate)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_PING, OnPing)
        MESSAGE_HANDLER(WM_PASSON, OnPassOnFirst)
        MESSAGE_HANDLER(WM_PASSON, OnPassOnSecond)
        MESSAGE_RANGE_HANDLER(WM_RANGE_LO, WM_RANGE_HI, OnRange)
        COMMAND_ID_HANDLER(IDOK, OnOk)
        COMMAND_HANDLER(4100, BN_CLICKED, OnIdAndCode)
        COMMAND_RANGE_HANDLER(4000, 5000, OnCommandRange)
        COMMAND_CODE_HANDLER(EN_CHANGE, OnEnChange)
        NOTIFY_HANDLER(5001, NM_DBLCLK, OnListDblClk)
        NOTIFY_CODE_HANDLER(kEndEditCode, OnEndEdit)
        NOTIFY_RANGE_HANDLER(6001, 6050, OnNotifyRange)
        CHAIN_MSG_MAP(CRecordingMixin<CTestWnd>)
        CHAIN_MSG_MAP(Base)
    END_MSG_MAP()

    LRESULT OnNcCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
        sawNcCreate = true;
        handled = FALSE;  // default processing must still run, or creation fails
        return 0;
    }
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
        hwndAtCreate = m_hWnd;
        return 0;
    }
    LRESULT OnPing(UINT, WPARAM w, LPARAM, BOOL&) { calls.push_back("ping"); return 100 + w; }
    LRESULT OnPassOnFirst(UINT, WPARAM, LPARAM, BOOL& handled) {
        calls.push_back("pass1");
        handled = FALSE;
        return 0;
    }
    LRESULT OnPassOnSecond(UINT, WPARAM, LPARAM, BOOL&) { calls.push_back("pass2"); return 7; }
    LRESULT OnRange(UINT m, WPARAM, LPARAM, BOOL&) { calls.push_back("range"); return m - WM_RANGE_LO + 1; }
    LRESULT OnOk(WORD, WORD, HWND, BOOL&) { calls.push_back("ok"); return 1; }
    LRESULT OnIdAndCode(WORD, WORD, HWND, BOOL&) { calls.push_back("id+code"); return 2; }
    LRESULT OnCommandRange(WORD, WORD id, HWND, BOOL&) { calls.push_back("cmd-range"); return id; }
    LRESULT OnEnChange(WORD, WORD, HWND, BOOL&) { calls.push_back("en-change"); return 3; }
    LRESULT OnListDblClk(int, LPNMHDR, BOOL&) { calls.push_back("dblclk"); return 4; }
    LRESULT OnEndEdit(int, LPNMHDR, BOOL&) { calls.push_back("end-edit"); return 5; }
    LRESULT OnNotifyRange(int id, LPNMHDR, BOOL&) { calls.push_back("notify-range"); return id; }

    void OnFinalMessage(HWND) override {
        ++finals;
        delete this;
    }
};
int CTestWnd::finals = 0;

LRESULT SendNotify(HWND to, HWND from, UINT_PTR id, UINT code) {
    NMHDR nm = {from, id, (UINT)code};
    return ::SendMessageA(to, WM_NOTIFY, id, (LPARAM)&nm);
}

TEST(WindowMap, DispatchesByMessageCommandAndNotifyAndChains) {
    CTestWnd* w = new CTestWnd;
    RECT r = {0, 0, 100, 80};
    ASSERT_NE(w->Create(nullptr, r, "map", WS_OVERLAPPEDWINDOW), nullptr);
    HWND h = w->m_hWnd;
    EXPECT_TRUE(w->sawNcCreate);           // bound from the first messages on
    EXPECT_EQ(w->hwndAtCreate, h);
    EXPECT_EQ(CWindowImplCore::FromHandle(h), w);

    struct Case {
        UINT msg;
        WPARAM wp;
        LRESULT expected;
        std::vector<std::string> calls;
    } cases[] = {
        {WM_PING, 5, 105, {"ping"}},                       // derived before base
        {WM_PASSON, 0, 7, {"pass1", "pass2"}},             // a handler that passes on
        {WM_MIXIN, 2, 302, {"mixin"}},                     // chained mix-in
        {WM_BASEONLY, 0, 200, {"base"}},                   // chained base class
        {WM_BASEPASS, 0, 0, {"base-pass"}},                // passed on to DefWindowProc
        {WM_RANGE_LO + 1, 0, 2, {"range"}},
        {WM_NOBODY, 0, 0, {}},
        {WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 1, {"ok"}},
        {WM_COMMAND, MAKEWPARAM(4100, BN_CLICKED), 2, {"id+code"}},   // id and code
        {WM_COMMAND, MAKEWPARAM(4100, EN_CHANGE), 4100, {"cmd-range"}},  // other code: the range
        {WM_COMMAND, MAKEWPARAM(4999, 0), 4999, {"cmd-range"}},
        {WM_COMMAND, MAKEWPARAM(3000, EN_CHANGE), 3, {"en-change"}},
        {WM_COMMAND, MAKEWPARAM(3000, BN_CLICKED), 0, {}},
    };
    for (const Case& c : cases) {
        w->calls.clear();
        EXPECT_EQ(::SendMessageA(h, c.msg, c.wp, 0), c.expected) << "message " << std::hex << c.msg << " " << c.wp;
        EXPECT_EQ(w->calls, c.calls) << "message " << std::hex << c.msg << " " << c.wp;
    }

    struct NotifyCase {
        UINT_PTR id;
        UINT code;
        LRESULT expected;
        const char* call;
    } notes[] = {
        {5001, NM_DBLCLK, 4, "dblclk"},
        {5001, (UINT)kEndEditCode, 5, "end-edit"},
        {6020, NM_CLICK, 6020, "notify-range"},
        {5001, NM_CLICK, 0, nullptr},
    };
    for (const NotifyCase& n : notes) {
        w->calls.clear();
        EXPECT_EQ(SendNotify(h, nullptr, n.id, n.code), n.expected) << n.id << " " << n.code;
        EXPECT_EQ(w->calls.size(), n.call ? 1u : 0u);
        if (n.call && !w->calls.empty()) {
            EXPECT_EQ(w->calls[0], n.call);
        }
    }

    // A notification without its record matches no entry (and reads nothing).
    w->calls.clear();
    EXPECT_EQ(::SendMessageA(h, WM_NOTIFY, 5001, 0), 0);
    EXPECT_TRUE(w->calls.empty());

    // Unhandled messages get the class default: the window text round-trips.
    ::SetWindowTextA(h, "title");
    EXPECT_EQ(w->GetWindowText(), "title");

    int before = CTestWnd::finals;
    ::DestroyWindow(h);  // OnFinalMessage deletes the object
    EXPECT_EQ(CTestWnd::finals, before + 1);
    EXPECT_EQ(CWindowImplCore::FromHandle(h), nullptr);
}

class CRefusingWnd : public CWindowImpl<CRefusingWnd> {
public:
    DECLARE_WND_CLASS("VelmoraTestRefusing")
    int finals = 0;
    BEGIN_MSG_MAP(CRefusingWnd)
        MSG_WM_CREATE(OnCreate)
    END_MSG_MAP()
    LRESULT OnCreate(LPCREATESTRUCTA) { return -1; }
    void OnFinalMessage(HWND) override { ++finals; }
};

TEST(WindowMap, RefusedCreationLeavesTheObjectUnbound) {
    CRefusingWnd w;
    EXPECT_EQ(w.Create(nullptr, CRect(0, 0, 20, 20), nullptr, WS_POPUP), nullptr);
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(w.finals, 1);
    EXPECT_EQ(w.Create(nullptr, CRect(0, 0, 20, 20), nullptr, WS_POPUP), nullptr);  // and again
    EXPECT_EQ(w.finals, 2);
}

// ---- Superclassing and subclassing ---------------------------------------------------------

class CHost : public CWindowImpl<CHost> {
public:
    DECLARE_WND_CLASS("VelmoraTestHost")
    std::vector<std::pair<WORD, WORD>> commands;  // (id, code)
    BEGIN_MSG_MAP(CHost)
        MSG_WM_COMMAND(OnCommand)
    END_MSG_MAP()
    void OnCommand(UINT code, int id, HWND) { commands.push_back({(WORD)id, (WORD)code}); }
};

class CSuperButton : public CWindowImpl<CSuperButton, CButton> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraTestButton", "BUTTON")
    int pings = 0;
    int doubleClicks = 0;
    BEGIN_MSG_MAP(CSuperButton)
        MSG_RAW(WM_PING, OnPing)
        MSG_WM_LBUTTONDBLCLK(OnDoubleClick)
    END_MSG_MAP()
    LRESULT OnPing(UINT, WPARAM, LPARAM) { return ++pings; }
    // Swallowed: the button's own procedure never sees the double click.
    void OnDoubleClick(UINT, CPoint) { ++doubleClicks; }
};

TEST(WindowClass, SuperclassKeepsTheSystemControlBehaviour) {
    CHost host;
    RECT r = {0, 0, 200, 100};
    ASSERT_NE(host.Create(nullptr, r, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    CSuperButton button;
    RECT br = {10, 10, 90, 30};
    ASSERT_NE(button.Create(host, br, "check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 4001U), nullptr);

    char cls[64] = {};
    ::GetClassNameA(button, cls, sizeof(cls));
    EXPECT_STREQ(cls, "VelmoraTestButton");
    EXPECT_EQ(button.SendMessage(WM_PING), 1);
    // The original procedure runs for everything the map leaves alone.
    button.SetCheck(BST_CHECKED);
    EXPECT_EQ(button.GetCheck(), BST_CHECKED);
    button.Click();  // an auto check box toggles and tells its parent
    EXPECT_EQ(button.GetCheck(), BST_UNCHECKED);
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0], std::make_pair((WORD)4001, (WORD)BN_CLICKED));
    button.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(button.doubleClicks, 1);
    EXPECT_EQ(host.commands.size(), 1u);  // BN_DOUBLECLICKED never came
    host.DestroyWindow();
    EXPECT_EQ(button.m_hWnd, nullptr);  // unbound by the final message
}

class CSubclassedEdit : public CWindowImpl<CSubclassedEdit, CEdit> {
public:
    std::vector<std::string> texts;
    BEGIN_MSG_MAP(CSubclassedEdit)
        MSG_RAW(WM_SETTEXT, OnSetText)
        MSG_WM_CHAR(OnChar)
        MSG_RAW(WM_PING, OnPing)
    END_MSG_MAP()
    LRESULT OnSetText(UINT, WPARAM, LPARAM l) {
        texts.push_back((const char*)l);
        SetMsgHandled(FALSE);  // the edit still stores the text
        return 0;
    }
    void OnChar(UINT ch, UINT, UINT) {
        SetMsgHandled(!(ch >= 'a' && ch <= 'z'));  // only letters reach the edit
    }
    LRESULT OnPing(UINT, WPARAM, LPARAM) { return 55; }
};

TEST(WindowClass, SubclassAndUnsubclassAnExistingControl) {
    CHost host;
    RECT r = {0, 0, 200, 100};
    ASSERT_NE(host.Create(nullptr, r, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, host, (HMENU)7, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    LONG_PTR original = ::GetWindowLongPtrA(edit, GWLP_WNDPROC);

    CSubclassedEdit sub;
    ASSERT_TRUE(sub.SubclassWindow(edit));
    CSubclassedEdit second;
    EXPECT_FALSE(second.SubclassWindow(edit));  // one object per window

    ::SetWindowTextA(edit, "abc");
    ASSERT_EQ(sub.texts.size(), 1u);
    EXPECT_EQ(sub.texts[0], "abc");
    EXPECT_EQ(CWindow(edit).GetWindowText(), "abc");
    ::SendMessageA(edit, EM_SETSEL, 3, 3);
    ::SendMessageA(edit, WM_CHAR, 'd', 0);
    ::SendMessageA(edit, WM_CHAR, '5', 0);
    EXPECT_EQ(CWindow(edit).GetWindowText(), "abcd");
    EXPECT_EQ(::SendMessageA(edit, WM_PING, 0, 0), 55);

    EXPECT_EQ(sub.UnsubclassWindow(), edit);
    EXPECT_EQ(::GetWindowLongPtrA(edit, GWLP_WNDPROC), original);
    EXPECT_EQ(::SendMessageA(edit, WM_PING, 0, 0), 0);
    ::SendMessageA(edit, WM_CHAR, '6', 0);
    EXPECT_EQ(CWindow(edit).GetWindowText(), "abcd6");
    host.DestroyWindow();
}

// A control whose notifications (to its parent) arrive in its own alternate map, as a combo's
// edit child does.
class CComboLike : public CWindowImpl<CComboLike> {
public:
    DECLARE_WND_CLASS("VelmoraTestCombo")
    CContainedWindow edit{this, 1};
    int editKeys = 0;
    BEGIN_MSG_MAP(CComboLike)
    ALT_MSG_MAP(1)
        MSG_WM_CHAR(OnEditChar)
    END_MSG_MAP()
    void OnEditChar(UINT ch, UINT, UINT) {
        ++editKeys;
        SetMsgHandled(ch >= '0' && ch <= '9');  // digits swallowed
    }
};

TEST(WindowClass, ContainedWindowUsesTheOwnersAlternateMap) {
    CComboLike combo;
    RECT r = {0, 0, 200, 60};
    ASSERT_NE(combo.Create(nullptr, r, "combo", WS_OVERLAPPEDWINDOW), nullptr);
    RECT er = {0, 0, 150, 20};
    ASSERT_NE(combo.edit.Create("EDIT", combo, er, "", WS_CHILD | WS_VISIBLE, 0, 11U), nullptr);
    ::SendMessageA(combo.edit, WM_CHAR, 'x', 0);
    ::SendMessageA(combo.edit, WM_CHAR, '7', 0);
    EXPECT_EQ(combo.editKeys, 2);
    EXPECT_EQ(combo.edit.GetWindowText(), "x");
    combo.DestroyWindow();
}

// ---- Reflection and forwarding -------------------------------------------------------------

class CReflectingParent : public CWindowImpl<CReflectingParent> {
public:
    DECLARE_WND_CLASS("VelmoraTestReflect")
    BEGIN_MSG_MAP(CReflectingParent)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

class CReflectedButton : public CWindowImpl<CReflectedButton, CButton> {
public:
    std::vector<std::string> calls;
    BEGIN_MSG_MAP(CReflectedButton)
        MSG_REFLECTED_COMMAND_CODE(BN_CLICKED, OnClicked)
        MSG_REFLECTED_NOTIFY_CODE(NM_RCLICK, OnRightClick)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()
    void OnClicked(UINT, int id, HWND) { calls.push_back("clicked " + std::to_string(id)); }
    LRESULT OnRightClick(LPNMHDR) { calls.push_back("rclick"); return 77; }
};

class CForwardingView : public CWindowImpl<CForwardingView> {
public:
    DECLARE_WND_CLASS("VelmoraTestForward")
    BEGIN_MSG_MAP(CForwardingView)
        FORWARD_NOTIFICATIONS()
    END_MSG_MAP()
};

class CNotifyRecorder : public CWindowImpl<CNotifyRecorder> {
public:
    DECLARE_WND_CLASS("VelmoraTestRecorder")
    std::vector<WORD> commandIds;
    std::vector<UINT_PTR> notifyIds;
    BEGIN_MSG_MAP(CNotifyRecorder)
        MSG_WM_COMMAND(OnCommand)
        MSG_WM_NOTIFY(OnNotify)
    END_MSG_MAP()
    void OnCommand(UINT, int id, HWND) { commandIds.push_back((WORD)id); }
    LRESULT OnNotify(LPNMHDR nm) { notifyIds.push_back(nm->idFrom); return 31; }
};

TEST(Notifications, ReflectedToTheChildThatSentThem) {
    CReflectingParent parent;
    RECT r = {0, 0, 200, 100};
    ASSERT_NE(parent.Create(nullptr, r, "reflect", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    HWND h = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 60, 20, parent,
                               (HMENU)1016, nullptr, nullptr);
    CReflectedButton child;
    ASSERT_TRUE(child.SubclassWindow(h));

    child.Click();  // WM_COMMAND to the parent, back to the child as OCM_COMMAND
    ASSERT_EQ(child.calls.size(), 1u);
    EXPECT_EQ(child.calls[0], "clicked 1016");
    EXPECT_EQ(SendNotify(parent, h, 1016, NM_RCLICK), 77);
    EXPECT_EQ(child.calls.back(), "rclick");
    // Reflected but unhandled: the default handler answers as for the plain message.
    EXPECT_EQ(SendNotify(parent, h, 1016, NM_CLICK), 0);
    // A notification from no window is not reflected.
    EXPECT_EQ(SendNotify(parent, nullptr, 1016, NM_RCLICK), 0);
    EXPECT_EQ(child.calls.size(), 2u);
    parent.DestroyWindow();
}

TEST(Notifications, ForwardedToTheParent) {
    CNotifyRecorder top;
    RECT r = {0, 0, 300, 200};
    ASSERT_NE(top.Create(nullptr, r, "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    CForwardingView view;
    RECT vr = {0, 0, 200, 100};
    ASSERT_NE(view.Create(top, vr, nullptr, WS_CHILD | WS_VISIBLE, 0, 3001U), nullptr);
    CButton button(::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 5, 5, 60, 20, view, (HMENU)4044,
                                     nullptr, nullptr));
    button.Click();
    ASSERT_EQ(top.commandIds.size(), 1u);
    EXPECT_EQ(top.commandIds[0], 4044);
    EXPECT_EQ(SendNotify(view, button, 4044, NM_DBLCLK), 31);  // the parent's answer comes back
    ASSERT_EQ(top.notifyIds.size(), 1u);
    EXPECT_EQ(view.SendMessage(WM_PING), 0);  // other messages are not forwarded
    top.DestroyWindow();
}

// ---- Double buffer -------------------------------------------------------------------------

const COLORREF kBack = RGB(10, 200, 30);
const COLORREF kMark = RGB(20, 40, 220);

class CBufferedView : public CWindowImpl<CBufferedView>, public CDoubleBufferImpl<CBufferedView> {
public:
    DECLARE_WND_CLASS("VelmoraTestBuffered")
    int paints = 0;
    BEGIN_MSG_MAP(CBufferedView)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CBufferedView>)
    END_MSG_MAP()
    void DoPaint(HDC hdc) {
        ++paints;
        CDCHandle dc(hdc);
        CRect r = GetClientRect();
        dc.FillSolidRect(&r, kBack);
        dc.FillSolidRect(5, 5, 10, 10, kMark);
    }
};

TEST(DoubleBuffer, PaintReachesAMemoryDC) {
    CBufferedView view;
    RECT r = {0, 0, 60, 40};
    ASSERT_NE(view.Create(nullptr, r, nullptr, WS_POPUP), nullptr);
    CRect client = view.GetClientRect();

    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    void* bits = nullptr;
    bmp.CreateDIB32(client.Width(), client.Height(), &bits);
    ASSERT_FALSE(bmp.IsNull());
    CSelectObject select(mem, bmp);
    mem.FillSolidRect(&client, RGB(255, 255, 255));

    EXPECT_EQ(view.SendMessage(WM_ERASEBKGND, (WPARAM)mem.m_hDC), 1);
    EXPECT_EQ(mem.GetPixel(1, 1), RGB(255, 255, 255));  // erasing drew nothing
    view.SendMessage(WM_PRINTCLIENT, (WPARAM)mem.m_hDC, PRF_CLIENT);
    EXPECT_EQ(view.paints, 1);
    EXPECT_EQ(mem.GetPixel(1, 1), kBack);
    EXPECT_EQ(mem.GetPixel(8, 8), kMark);
    EXPECT_EQ(mem.GetPixel(client.Width() - 1, client.Height() - 1), kBack);

    view.ShowWindow(SW_SHOWNOACTIVATE);
    view.Invalidate();
    view.UpdateWindow();  // a real WM_PAINT goes through the same routine
    EXPECT_GE(view.paints, 2);
    view.DestroyWindow();
}

// The views' one bitmap: a paint lands in the target at its rectangle, the settings a paint
// changes do not reach the next, a paint inside another gets its own bitmap, and the last user
// gone frees it.
TEST(DoubleBuffer, SharedBackBufferServesOnePaintAtATime) {
    const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(200, 0, 0), kBlue = RGB(0, 0, 200);
    CDC target;
    target.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    void* bits = nullptr;
    bmp.CreateDIB32(80, 50, &bits);
    ASSERT_FALSE(bmp.IsNull());
    CSelectObject select(target, bmp);
    {
        CSharedBackBuffer::Use first, second;
        EXPECT_EQ(CSharedBackBuffer::GetSize().cx, 0) << "made at the first paint";
        const RECT whole = {0, 0, 80, 50}, part = {10, 20, 30, 30};
        {
            CSharedBackBuffer::Paint paint(target.m_hDC, whole);
            CDCHandle dc(paint.m_hDC);
            dc.FillSolidRect(&whole, kWhite);
            ::SetTextColor(paint.m_hDC, kRed);
            ::SetBkColor(paint.m_hDC, kRed);
        }
        EXPECT_EQ(CSharedBackBuffer::GetSize().cx, 80);
        EXPECT_EQ(CSharedBackBuffer::GetSize().cy, 50);
        EXPECT_EQ(target.GetPixel(79, 49), kWhite);
        {
            // Drawn in the target's coordinates, copied to the rectangle alone.
            CSharedBackBuffer::Paint paint(target.m_hDC, part);
            EXPECT_EQ(::GetTextColor(paint.m_hDC), RGB(0, 0, 0)) << "the last paint's settings are gone";
            CDCHandle dc(paint.m_hDC);
            dc.FillSolidRect(&part, kBlue);
            {
                CSharedBackBuffer::Paint inner(target.m_hDC, whole);
                EXPECT_NE(inner.m_hDC, paint.m_hDC);
                CDCHandle(inner.m_hDC).FillSolidRect(&whole, kRed);
            }
            EXPECT_EQ(target.GetPixel(0, 0), kRed);  // the inner paint reached the target
        }
        EXPECT_EQ(target.GetPixel(10, 20), kBlue);
        EXPECT_EQ(target.GetPixel(29, 29), kBlue);
        EXPECT_EQ(target.GetPixel(30, 30), kRed);
        EXPECT_EQ(CSharedBackBuffer::GetSize().cx, 20) << "follows the size asked";
    }
    EXPECT_EQ(CSharedBackBuffer::GetSize().cx, 0) << "freed with its last user";
}

// ---- Visual styles -------------------------------------------------------------------------

class CStyledView : public CWindowImpl<CStyledView>, public CThemeImpl<CStyledView> {
public:
    DECLARE_WND_CLASS("VelmoraTestStyled")
    CStyledView() { SetThemeClassList(L"HEADER"); }
    BEGIN_MSG_MAP(CStyledView)
        CHAIN_MSG_MAP(CThemeImpl<CStyledView>)
    END_MSG_MAP()
};

TEST(Theme, OpenWhileTheWindowLivesAndDrawsWhenActive) {
    CStyledView view;
    ASSERT_NE(view.Create(nullptr, CRect(0, 0, 80, 30), nullptr, WS_POPUP), nullptr);
    ASSERT_EQ(!view.m_theme.IsNull(), CTheme::IsThemingActive());
    if (!view.m_theme.IsNull()) {
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap bmp;
        bmp.CreateDIB32(80, 30);
        CSelectObject select(mem, bmp);
        CRect r(0, 0, 80, 30);
        mem.FillSolidRect(&r, RGB(255, 0, 255));
        EXPECT_EQ(view.m_theme.DrawBackground(mem, 1, 1, &r), S_OK);  // header item, normal
        EXPECT_NE(mem.GetPixel(40, 15), RGB(255, 0, 255));
        view.SendMessage(WM_THEMECHANGED);
        EXPECT_FALSE(view.m_theme.IsNull());  // reopened
    }
    view.DestroyWindow();
    EXPECT_TRUE(view.m_theme.IsNull());
}

}  // namespace
