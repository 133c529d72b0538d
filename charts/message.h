// The application's message bus between the content panel and its views, panels and dialogs: an
// acceptor receives the application messages it registered for; the processor (the content
// panel) calls every acceptor of a message id, in registration order, on the caller's thread.
#pragma once

#include <cstdint>

#include "base/platform.h"

// Application message ids carried by the processor.
enum AppMessageId {
    kAppMsgKey = 256,           // wParam: virtual-key code, lParam: key flags
    kAppMsgWheel = 522,         // wParam: wheel data, lParam: position
    kAppMsgPaneCount = 4024,    // wParam: intraday pane count
    kAppMsgIndicator = 4025,    // wParam: indicator id
    kAppMsgStockIndex = 4027,   // wParam: stock index, lParam: container flag
    kAppMsgOpenCode = 4028,     // wParam: code text, lParam: nonzero opens the K-line view
    kAppMsgReload = 4029,       // wParam, lParam: the two reload values
    kAppMsgStockChanged = 4031, // the current stock changed
    kAppMsgCommand = 4032,      // wParam: command id
    kAppMsgAddToWatch = 4033,   // wParam: code text, lParam: name text
    kAppMsgSectorsChanged = 4034,
};

// The content panel's stock views.
enum ViewId { kViewRealTime = 3000, kViewGraph = 3001, kViewF10 = 3002 };

class CMessageAcceptor {
public:
    virtual ~CMessageAcceptor() = default;
    // The result is the acceptor's own; the processor ignores it.
    virtual int OnMessage(int id, intptr_t wParam, intptr_t lParam) = 0;
};

class CMessageProcessor {
public:
    virtual ~CMessageProcessor() = default;
    // Adds the acceptor to the id's list (the same acceptor may be added twice); 1.
    virtual int AddAcceptor(int id, CMessageAcceptor* acceptor) = 0;
    // Calls OnMessage of every acceptor of the id, in registration order, synchronously; 0.
    virtual int SendMessage(int id, intptr_t wParam, intptr_t lParam) = 0;
    // Drops every registration of the acceptor, so that one destroyed before the processor is
    // never called again.
    virtual void RemoveAcceptor(CMessageAcceptor* acceptor) { (void)acceptor; }
};
