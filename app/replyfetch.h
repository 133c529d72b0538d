// One request of a dialog on a thread of its own, through a client of its own: the dialog never
// waits for the service, and closing it ends the request at once (the client is cancelled and
// the thread joined), whatever the rest of the program is fetching meanwhile.
#pragma once

#include <functional>
#include <string>

#include "app/appstate.h"
#include "base/thread.h"
#include "net/httpclient.h"

class CReplyFetch : public CThread {
public:
    // Called on the request's thread once the request has ended, unless it was stopped first.
    // The owner typically posts a message to its window and reads the outcome there.
    typedef std::function<void()> DoneFunc;

    ~CReplyFetch() override { Stop(); }

    // Starts a request; one still running is ended first. False when no thread could start.
    bool Begin(const std::string& url, int bufferSize, RequestLimits limits, DoneFunc done);
    // Ends the request in flight promptly and waits for the thread; the callback is not called
    // after this returns.
    void Stop() override;
    void Run() override;

    // The outcome, for the owner once the callback ran and Stop returned: true only with the
    // whole body of a 200 reply.
    bool Succeeded() const { return m_ok; }
    const std::string& Body() const { return m_body; }

private:
    HttpClient m_client;
    std::string m_url;
    int m_bufferSize = 256;
    DoneFunc m_done;
    bool m_ok = false;
    std::string m_body;
};
