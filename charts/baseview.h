// The base of the content panel's stock views: a child window that answers the view contract
// (current stock, reload, diagnosis, code and name), receives application messages as a
// CMessageAcceptor and sends them through the panel's CMessageProcessor.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

#include "base/thread.h"
#include "charts/message.h"
#include "store/stockinfo.h"
#include "winfw/dblbuf.h"
#include "winfw/gdi.h"
#include "winfw/typedmap.h"
#include "winfw/window.h"

// Draws a view's client area into the DC a message gave (WM_PRINTCLIENT, or WM_PAINT with a
// DC), or else between BeginPaint and EndPaint.
template <class Draw>
void PaintClient(HWND wnd, HDC given, Draw draw) {
    RECT client;
    ::GetClientRect(wnd, &client);
    PaintGivenOrOwn(wnd, given, [&](HDC dc) { draw(dc, client); });
}

// The chart's right-click menu (menu resource 213) at the client point packed in lParam; the
// chosen command comes back to the view as WM_COMMAND. 0.
LRESULT ShowChartContextMenu(HWND view, LPARAM point);

// The application's stock list as a view asks it; the content panel keeps it.
class IStockList {
public:
    virtual ~IStockList() = default;
    // Records code as the application's current stock; the stock the list then reports for it.
    virtual CStockInfo RecordStock(const char* code) = 0;
    // Moves the current stock one on or back: the list's result, and in landed the current stock
    // after the move (on a failed step, the code the list was on alone).
    virtual int StepStock(bool next, CStockInfo* landed) = 0;
    // Up to n stocks before the current one, the nearest first.
    virtual void GetStocksBefore(std::vector<CStockInfo>& out, int n) = 0;
};

class CBaseView : public CMessageAcceptor {
public:
    // processor may be null (a view on its own); it is not owned.
    CBaseView(int viewId, CMessageProcessor* processor) : m_nViewId(viewId), m_pProcessor(processor) {}
    ~CBaseView() override;
    CBaseView(const CBaseView&) = delete;
    CBaseView& operator=(const CBaseView&) = delete;

    int GetViewId() const { return m_nViewId; }
    CMessageProcessor* GetProcessor() const { return m_pProcessor; }
    // The view's window (null before it is created).
    virtual HWND GetViewWindow() const = 0;
    // Creates the view's window as a child of parent over r.
    virtual HWND CreateView(HWND parent, const RECT& r) = 0;

    // The stock the view was handed (OpenStock): its code with market suffix and 1 for Shanghai,
    // 0 otherwise; false when it has none.
    virtual bool GetCurrentStock(std::string* code, int* market);
    // Rebinds to the stock handed in and reloads (may run on a download worker).
    virtual void ReloadStock(int reload, int extra) {}
    // 0 (no diagnosis) leaves the text unchanged.
    virtual int GetDiagnosis(std::string* text) { return 0; }
    // The handed-in stock's code with suffix, plain code and name; "" without one.
    virtual std::string GetStockCode();
    virtual std::string GetPlainCode();
    virtual std::string GetStockName();

    // The acceptor's slot: every view answers application messages in OnAcceptorMessage.
    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override { return OnAcceptorMessage(id, wParam, lParam); }
    // 0: not handled.
    virtual int OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) { return 0; }

    // Sends the command on as application message 4032; 0.
    int ForwardCommand(int commandId);

    // What every view's map does after its own entries: no background erase (the views paint
    // their whole client area), and the parent-bound messages go to the parent.
    static BOOL ProcessBaseMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    // Sends owner-draw, notification, command, scroll, colour and parent-notify messages to the
    // parent window; their answer becomes the view's. False for any other message.
    static BOOL ForwardToParent(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // Hands the view the stock it shows from now on; the caller reloads it (ReloadStock). A stock
    // without a code leaves the view without one. Any thread.
    void OpenStock(const CStockInfo& stock);
    // The stock handed in; false when there is none.
    bool CurrentStockInfo(CStockInfo* info) const;

    // The list the view records and steps its stocks in (not owned; null: a view on its own,
    // which keeps a stock it chooses to itself and cannot step).
    void SetStockList(IStockList* list) { m_pStockList = list; }

protected:
    // A stock the view chose itself (a default, a pick from a list): recorded as the
    // application's, and the one the view shows from now on.
    void RecordStock(const char* code);
    // One stock on or back in the list, taken as the view's; the list's result (0 without one).
    int StepStock(bool next);

    int m_nViewId;
    CMessageProcessor* m_pProcessor;
    IStockList* m_pStockList = nullptr;

private:
    mutable CriticalSection m_stockLock;
    CStockInfo m_stock;
};

// A view class T over its own window class.
template <class T, class TWinTraits = CControlWinTraits>
class CBaseViewImpl : public CWindowImpl<T, CWindow, TWinTraits>, public CBaseView {
public:
    CBaseViewImpl(int viewId, CMessageProcessor* processor) : CBaseView(viewId, processor) {}

    HWND GetViewWindow() const override { return this->m_hWnd; }
    HWND CreateView(HWND parent, const RECT& r) override { return this->Create(parent, r); }

protected:
    // The first step of every view's destructor, while the whole view still exists: no
    // application message reaches it any more, and its window (with the window's last messages)
    // is gone before any member is destroyed.
    void DestroyBase() {
        if (m_pProcessor) m_pProcessor->RemoveAcceptor(this);
        if (this->IsWindow()) this->DestroyWindow();
    }

public:

    BEGIN_MSG_MAP(CBaseViewImpl)
        if (CBaseView::ProcessBaseMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
    END_MSG_MAP()
};

#endif  // _WIN32
