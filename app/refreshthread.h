// The frame's refresh thread: rolling news, market status and the login heartbeat, fetched on
// the schedule of RunRefreshLoop with a client of its own, so a slow service never holds up the
// UI thread's requests.
#pragma once

#include <condition_variable>
#include <mutex>

#include "app/refresh.h"
#include "base/thread.h"
#include "net/httpclient.h"

// What the thread hands on; the frame implements it. Called on the refresh thread, never under
// any lock of the thread, and only with replies that parsed.
class IRefreshSink {
public:
    virtual ~IRefreshSink() = default;
    virtual void SetNews(const NewsItems& items) = 0;
    virtual void SetStatusPanes(const StatusPaneList& panes) = 0;
    // The once-per-run relogin is due (the frame posts its relogin command).
    virtual void RequestRelogin() = 0;
};

class RefreshThread : public CThread {
public:
    // The sink must outlive the thread's run.
    explicit RefreshThread(IRefreshSink* sink);
    ~RefreshThread() override;

    // The time between ticks (kRefreshTickMs by default); set before Start. 0 runs the ticks
    // back to back.
    void SetTickMs(int ms) { m_tickMs = ms < 0 ? 0 : ms; }
    // The thread's own client, e.g. for its time limits; touch it only before Start.
    HttpClient& Client() { return m_client; }

    // Prompt: a fetch in progress is cancelled, the tick wait is cut short, then the thread is joined.
    void Stop() override;
    void Run() override;

    // The frame's creation fetches (news, status, a heartbeat marked as from creation) as the
    // thread's first work instead of on the creating thread, so they never hold up the first
    // paint; set before Start.
    void SetCreationFetches(bool on) { m_creationFetches = on; }

    // One fetch each, as the schedule runs them; false when the reply was not taken.
    bool FetchRollNews();
    bool FetchStatusInfo();
    bool CheckLogin(bool fromCreation = false);

private:
    bool Fetch(const std::string& url, std::string* body);
    void WaitTick();

    IRefreshSink* m_sink;
    HttpClient m_client;
    int m_tickMs = kRefreshTickMs;
    bool m_creationFetches = false;
    std::mutex m_waitLock;
    std::condition_variable m_wake;
};
