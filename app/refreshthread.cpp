#include "app/refreshthread.h"

#include <chrono>
#include <ctime>

#include "app/urltable.h"
#include "base/log.h"
#include "base/memstream.h"
#include "base/text.h"
#include "net/services.h"
#include "store/storeenv.h"

namespace {
// Small replies: a news page, seven status lines, "time|flag".
constexpr int kChunkSize = 4096;
}

RefreshThread::RefreshThread(IRefreshSink* sink) : m_sink(sink) {}

RefreshThread::~RefreshThread() { Stop(); }

void RefreshThread::Stop() {
    RequestStop();
    // Sticky until the next run resets it, so a fetch about to begin fails at once too.
    m_client.Cancel();
    {
        std::lock_guard<std::mutex> lock(m_waitLock);
    }
    m_wake.notify_all();
    CThread::Stop();
}

void RefreshThread::Run() {
    // Before the loop's first look at the stop flag: a Stop that came earlier is still seen.
    m_client.ResetCancel();
    if (m_creationFetches && !IsStopRequested()) {
        FetchRollNews();
        FetchStatusInfo();
        CheckLogin(true);
    }
    RefreshHandlers handlers;
    handlers.news = [this] { FetchRollNews(); };
    handlers.status = [this] { FetchStatusInfo(); };
    handlers.heartbeat = [this] { CheckLogin(); };
    handlers.marketOpen = [] { return MarketOpenFlag.load() != 0; };
    handlers.wait = [this] { WaitTick(); };
    RunRefreshLoop(m_bStop, handlers);
}

void RefreshThread::WaitTick() {
    std::unique_lock<std::mutex> lock(m_waitLock);
    m_wake.wait_for(lock, std::chrono::milliseconds(m_tickMs), [this] { return IsStopRequested(); });
}

bool RefreshThread::Fetch(const std::string& url, std::string* body) {
    if (IsStopRequested()) return false;
    CMemoryStream stream;
    if (!m_client.Download(url.c_str(), &stream, nullptr, kChunkSize, nullptr)) return false;
    body->clear();
    if (stream.GetSize() > 0) body->assign(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize()));
    return true;
}

bool RefreshThread::FetchRollNews() {
    std::string body;
    if (!Fetch(GetSiteRoot() + GetUrl(kUrlRollNews), &body)) return false;
    NewsItems items;
    if (!ParseNewsText(Utf8ToAnsi(body.c_str()), &items)) {
        LogError("RefreshThread", "the news reply is not a news list, refused");
        return false;
    }
    if (IsStopRequested()) return false;
    m_sink->SetNews(items);
    return true;
}

bool RefreshThread::FetchStatusInfo() {
    std::string body;
    if (!Fetch(GetServerRootUrl() + GetUrl(kUrlMarketStatus), &body)) return false;
    StatusPaneList panes;
    if (!ParseStatusInfo(body, &panes)) {
        LogError("RefreshThread", "the market status reply is not understood, refused");
        return false;
    }
    if (IsStopRequested()) return false;
    m_sink->SetStatusPanes(panes);
    return true;
}

bool RefreshThread::CheckLogin(bool fromCreation) {
    std::string body;
    // The time only keeps caches from answering.
    std::string url = GetSiteRoot() + GetUrl(kUrlHeartbeat) + std::to_string(static_cast<long long>(std::time(nullptr)));
    if (!Fetch(url, &body)) return false;
    HeartbeatReply reply;
    if (!ParseHeartbeat(Utf8ToAnsi(body.c_str()), &reply)) {
        LogError("RefreshThread", "%s: the heartbeat reply is not understood, refused", url.c_str());
        return false;
    }
    if (IsStopRequested()) return false;
    if (ApplyHeartbeat(reply, fromCreation)) m_sink->RequestRelogin();
    return true;
}
