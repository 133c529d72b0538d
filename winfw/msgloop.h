// The message loop of a user-interface thread, with message filters and idle handlers.
#pragma once

#include <vector>

#include "winfw/win.h"

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    // TRUE when the message was consumed (not translated and dispatched).
    virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;
};

class CIdleHandler {
public:
    virtual ~CIdleHandler() = default;
    // Called when the queue is empty; FALSE stops idle calls until the next input message.
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its wParam.
    int Run();

    // Filters in order of registration until one consumes the message.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL OnIdle(int idleCount);
    // Whether a message ends an idle period (mouse moves and the caret blink do not).
    static BOOL IsIdleMessage(const MSG* pMsg);

    virtual ~CMessageLoop() = default;

    MSG m_msg = {};

private:
    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idle;
};
