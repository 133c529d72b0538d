// The content panel's message processor without its window: per message id the acceptors in
// registration order. Views and panels register on the user-interface thread; download
// workers send too, so the lists are read under a lock and the acceptors called outside it.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "charts/message.h"

class MessageBus : public CMessageProcessor {
public:
    int AddAcceptor(int id, CMessageAcceptor* acceptor) override;
    // Calls every acceptor of the id in registration order; an id nobody registered does nothing.
    int SendMessage(int id, intptr_t wParam, intptr_t lParam) override;
    void RemoveAcceptor(CMessageAcceptor* acceptor) override;
    size_t GetAcceptorCount(int id) const;

private:
    mutable std::mutex m_lock;
    std::map<int, std::vector<CMessageAcceptor*>> m_acceptors;
};
