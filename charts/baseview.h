// The base of the content panel's stock views: a child window that answers the view contract
// (current stock, reload, diagnosis, code and name), receives application messages as a
// CMessageAcceptor and sends them through the panel's CMessageProcessor.
#pragma once

#ifdef _WIN32
#include <string>

#include "charts/message.h"
#include "winfw/typedmap.h"
#include "winfw/window.h"

// Draws a view's client area into the DC a message gave (WM_PRINTCLIENT, or WM_PAINT with a
// DC), or else between BeginPaint and EndPaint.
template <class Draw>
void PaintClient(HWND wnd, HDC given, Draw draw) {
    RECT client;
    ::GetClientRect(wnd, &client);
    if (given) {
        draw(given, client);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(wnd, &ps);
    draw(dc, client);
    ::EndPaint(wnd, &ps);
}

// The chart's right-click menu (menu resource 213) at the client point packed in lParam; the
// chosen command comes back to the view as WM_COMMAND. 0.
LRESULT ShowChartContextMenu(HWND view, LPARAM point);

class CStockInfo;

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

    // The application's current stock: its code with market suffix and 1 for Shanghai, 0 otherwise.
    virtual bool GetCurrentStock(std::string* code, int* market) { return false; }
    // Rebinds to the current stock and reloads (may run on a download worker).
    virtual void ReloadStock(int reload, int extra) {}
    // 0 (no diagnosis) leaves the text unchanged.
    virtual int GetDiagnosis(std::string* text) { return 0; }
    virtual std::string GetStockCode() { return std::string(); }
    virtual std::string GetPlainCode() { return std::string(); }
    virtual std::string GetStockName() { return std::string(); }

    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override { return 0; }

    // Sends the command on as application message 4032; 0.
    int ForwardCommand(int commandId);

    // What every view's map does after its own entries: no background erase (the views paint
    // their whole client area), and the parent-bound messages go to the parent.
    static BOOL ProcessBaseMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    // Sends owner-draw, notification, command, scroll, colour and parent-notify messages to the
    // parent window; their answer becomes the view's. False for any other message.
    static BOOL ForwardToParent(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // The profile's current stock, for the views that show it.
    static bool CurrentStockInfo(CStockInfo* info);

protected:
    int m_nViewId;
    CMessageProcessor* m_pProcessor;
};

// A view class T over its own window class.
template <class T, class TWinTraits = CControlWinTraits>
class CBaseViewImpl : public CWindowImpl<T, CWindow, TWinTraits>, public CBaseView {
public:
    CBaseViewImpl(int viewId, CMessageProcessor* processor) : CBaseView(viewId, processor) {}

    HWND GetViewWindow() const override { return this->m_hWnd; }
    HWND CreateView(HWND parent, const RECT& r) override { return this->Create(parent, r); }

    BEGIN_MSG_MAP(CBaseViewImpl)
        if (CBaseView::ProcessBaseMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
    END_MSG_MAP()
};

#endif  // _WIN32
