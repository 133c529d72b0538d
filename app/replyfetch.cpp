#include "app/replyfetch.h"

#include "base/memstream.h"

bool CReplyFetch::Begin(const std::string& url, int bufferSize, RequestLimits limits, DoneFunc done) {
    Stop();
    m_client.ResetCancel();
    m_client.SetTimeouts(limits.waitMs, limits.totalMs);
    m_url = url;
    m_bufferSize = bufferSize > 0 ? bufferSize : 256;
    m_done = std::move(done);
    m_ok = false;
    m_body.clear();
    return Start(false) != nullptr;
}

void CReplyFetch::Stop() {
    RequestStop();
    // Sticky until the next Begin: a download about to start fails at once as well.
    m_client.Cancel();
    CThread::Stop();
}

void CReplyFetch::Run() {
    if (IsStopRequested()) return;
    CMemoryStream stream;
    std::string buffer(static_cast<size_t>(m_bufferSize), '\0');
    bool ok = m_client.Download(m_url.c_str(), &stream, &buffer[0], m_bufferSize, nullptr);
    if (IsStopRequested()) return;
    m_ok = ok;
    if (ok && stream.GetSize() > 0)
        m_body.assign(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize()));
    if (m_done) m_done();
}
