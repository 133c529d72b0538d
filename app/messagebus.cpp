#include "app/messagebus.h"

#include <algorithm>

int MessageBus::AddAcceptor(int id, CMessageAcceptor* acceptor) {
    if (!acceptor) return 1;
    std::lock_guard<std::mutex> hold(m_lock);
    m_acceptors[id].push_back(acceptor);
    return 1;
}

int MessageBus::SendMessage(int id, intptr_t wParam, intptr_t lParam) {
    std::vector<CMessageAcceptor*> targets;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = m_acceptors.find(id);
        if (it == m_acceptors.end()) return 0;
        targets = it->second;
    }
    // Outside the lock: an acceptor may send or register in turn.
    for (CMessageAcceptor* acceptor : targets) acceptor->OnMessage(id, wParam, lParam);
    return 0;
}

void MessageBus::RemoveAcceptor(CMessageAcceptor* acceptor) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto& entry : m_acceptors)
        entry.second.erase(std::remove(entry.second.begin(), entry.second.end(), acceptor), entry.second.end());
}

size_t MessageBus::GetAcceptorCount(int id) const {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_acceptors.find(id);
    return it == m_acceptors.end() ? 0 : it->second.size();
}
