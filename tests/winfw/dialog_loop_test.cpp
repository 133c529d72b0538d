// Modal dialogs from templates, the message loop with filters and idle handlers, the module's
// loop registry and the frame window with accelerators.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "winfw/winfw.h"

namespace {

class CTimerDialog : public CDialogImpl<CTimerDialog> {
public:
    enum { IDD = 100 };
    enum Ending { kTimerEnds, kPostedOk };
    Ending ending = kTimerEnds;
    LPARAM initParam = 0;
    std::string templateText;
    int okCommands = 0;

    BEGIN_MSG_MAP(CTimerDialog)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_TIMER(OnTimer)
        MSG_COMMAND_ID(IDOK, OnOk)
        MSG_COMMAND_ID(IDCANCEL, OnCancel)
    END_MSG_MAP()

    BOOL OnInitDialog(HWND, LPARAM init) {
        initParam = init;
        templateText = GetDlgItem(1001).GetWindowText();
        CenterWindow();
        SetTimer(1, 50);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) {
        KillTimer(id);
        if (ending == kTimerEnds) EndDialog(42);
        else PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    }
    void OnOk(UINT, int id, HWND) {
        ++okCommands;
        EndDialog(id);
    }
    void OnCancel(UINT, int id, HWND) { EndDialog(id); }
};

TEST(Dialog, ModalDialogFromATemplateEndsByTimer) {
    CTimerDialog dlg;
    EXPECT_EQ(dlg.DoModal(nullptr, 1234), 42);
    EXPECT_EQ(dlg.initParam, 1234);
    EXPECT_EQ(dlg.templateText, "template text");
    EXPECT_EQ(dlg.m_hWnd, nullptr);  // the object lets go of the closed dialog

    CTimerDialog again;  // a posted command goes through the command handler
    again.ending = CTimerDialog::kPostedOk;
    EXPECT_EQ(again.DoModal(nullptr), IDOK);
    EXPECT_EQ(again.okCommands, 1);
}

// A template built in memory: caption and no controls.
std::vector<WORD> MakeTemplate(const wchar_t* caption) {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d->cdit = 0;
    d->cx = 120;
    d->cy = 60;
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    for (const wchar_t* p = caption; *p; ++p) t.push_back((WORD)*p);
    t.push_back(0);
    return t;
}

class CMemoryDialog : public CDialogImpl<CMemoryDialog> {
public:
    enum { IDD = 0 };
    std::string caption;
    BEGIN_MSG_MAP(CMemoryDialog)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_COMMAND_ID(IDCANCEL, OnCancel)
    END_MSG_MAP()
    BOOL OnInitDialog(HWND, LPARAM) {
        caption = GetWindowText();
        PostMessage(WM_CLOSE);  // the dialog manager turns this into IDCANCEL
        return TRUE;
    }
    void OnCancel(UINT, int, HWND) { EndDialog(7); }
};

TEST(Dialog, InMemoryTemplateClosedLikeEscape) {
    std::vector<WORD> t = MakeTemplate(L"memory");
    CMemoryDialog dlg;
    EXPECT_EQ(dlg.DoModalIndirect(reinterpret_cast<DLGTEMPLATE*>(t.data()), nullptr), 7);
    EXPECT_EQ(dlg.caption, "memory");
}

// ---- Loop and module -----------------------------------------------------------------------

enum : UINT { WM_SWALLOWED = WM_APP + 30, WM_DELIVERED = WM_APP + 31 };

class CLoopTarget : public CWindowImpl<CLoopTarget> {
public:
    DECLARE_WND_CLASS("VelmoraTestLoopTarget")
    std::vector<UINT> received;
    BEGIN_MSG_MAP(CLoopTarget)
        MSG_RAW_RANGE(WM_SWALLOWED, WM_DELIVERED, OnApp)
    END_MSG_MAP()
    LRESULT OnApp(UINT m, WPARAM, LPARAM) { received.push_back(m); return 0; }
};

class CSwallowFilter : public CMessageFilter {
public:
    std::vector<UINT> seen;
    BOOL PreTranslateMessage(MSG* m) override {
        if (m->message >= WM_APP) seen.push_back(m->message);
        return m->message == WM_SWALLOWED;
    }
};

class CPassFilter : public CMessageFilter {
public:
    int calls = 0;
    BOOL PreTranslateMessage(MSG* m) override {
        if (m->message >= WM_APP) ++calls;
        return FALSE;
    }
};

class CQuitOnSecondIdle : public CIdleHandler {
public:
    HWND target = nullptr;
    int idles = 0;
    BOOL OnIdle() override {
        if (++idles == 1) {
            ::PostMessageA(target, WM_SWALLOWED, 0, 0);
            ::PostMessageA(target, WM_DELIVERED, 0, 0);
        } else if (idles == 2) {
            ::PostQuitMessage(7);
        }
        return FALSE;
    }
};

TEST(MessageLoop, FiltersStopAtTheFirstThatConsumesAndIdleEndsTheLoop) {
    CLoopTarget target;
    ASSERT_NE(target.Create(nullptr, CRect(0, 0, 10, 10), nullptr, WS_POPUP), nullptr);
    CMessageLoop loop;
    ASSERT_TRUE(GetAppModule().AddMessageLoop(&loop));
    CMessageLoop other;
    EXPECT_FALSE(GetAppModule().AddMessageLoop(&other));  // one loop per thread
    EXPECT_EQ(GetAppModule().GetMessageLoop(), &loop);
    DWORD uiThread = ::GetCurrentThreadId();
    CMessageLoop* fromWorker = &other;
    CMessageLoop* uiFromWorker = nullptr;
    std::thread([&] {
        fromWorker = GetAppModule().GetMessageLoop();
        uiFromWorker = GetAppModule().GetMessageLoop(uiThread);
    }).join();
    EXPECT_EQ(fromWorker, nullptr);
    EXPECT_EQ(uiFromWorker, &loop);

    CSwallowFilter swallow;
    CPassFilter after;
    CQuitOnSecondIdle idle;
    idle.target = target;
    loop.AddMessageFilter(&swallow);
    loop.AddMessageFilter(&after);
    EXPECT_FALSE(loop.AddMessageFilter(&after));
    loop.AddIdleHandler(&idle);

    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(swallow.seen, (std::vector<UINT>{WM_SWALLOWED, WM_DELIVERED}));
    EXPECT_EQ(after.calls, 1);  // not asked about the consumed message
    EXPECT_EQ(target.received, (std::vector<UINT>{WM_DELIVERED}));
    EXPECT_EQ(idle.idles, 2);

    EXPECT_TRUE(GetAppModule().RemoveMessageLoop());
    EXPECT_EQ(GetAppModule().GetMessageLoop(), nullptr);
    target.DestroyWindow();
}

// ---- Frame ---------------------------------------------------------------------------------

class CTestFrame : public CFrameWindowImpl<CTestFrame> {
public:
    DECLARE_FRAME_WND_CLASS("VelmoraTestFrame", 0)
    std::vector<WORD> commands;
    BEGIN_MSG_MAP(CTestFrame)
        MSG_COMMAND_RANGE(4000, 5000, OnCommand)
        CHAIN_MSG_MAP(CFrameWindowImpl<CTestFrame>)
    END_MSG_MAP()
    void OnCommand(UINT, int id, HWND) { commands.push_back((WORD)id); }
};

MSG KeyDown(HWND h, WPARAM vk) {
    MSG m = {};
    m.hwnd = h;
    m.message = WM_KEYDOWN;
    m.wParam = vk;
    m.lParam = 1;
    return m;
}

TEST(Frame, AcceleratorsLayoutAndQuitOnDestroy) {
    CTestFrame frame;
    RECT r = {0, 0, 300, 200};
    ASSERT_NE(frame.Create(nullptr, r, "frame"), nullptr);
    EXPECT_TRUE(frame.GetStyle() & WS_THICKFRAME);  // frame traits
    HWND view = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame, nullptr, nullptr, nullptr);
    frame.m_hWndClient = view;
    frame.SetWindowPos(nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
    CRect client = frame.GetClientRect();
    CRect vr;
    ::GetWindowRect(view, &vr);
    EXPECT_EQ(vr.Width(), client.Width());
    EXPECT_EQ(vr.Height(), client.Height());

    ASSERT_TRUE(frame.LoadAccelerators(200));  // F6 -> 4002 from the resources
    MSG f6 = KeyDown(frame, VK_F6);
    EXPECT_TRUE(frame.PreTranslateMessage(&f6));
    ACCEL a = {FVIRTKEY, VK_F5, 4001};
    frame.SetAccelerators(::CreateAcceleratorTableA(&a, 1));
    MSG f5 = KeyDown(frame, VK_F5);
    MSG f6again = KeyDown(frame, VK_F6);
    EXPECT_TRUE(frame.PreTranslateMessage(&f5));
    EXPECT_FALSE(frame.PreTranslateMessage(&f6again));  // the table was replaced
    EXPECT_EQ(frame.commands, (std::vector<WORD>{4002, 4001}));

    frame.DestroyWindow();
    MSG quit = {};
    ASSERT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 1u);
}

}  // namespace
