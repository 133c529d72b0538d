// The raw-socket HTTP/1.1 client: one request at a time on a fresh connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/socket.h"

// Owns one socket handle (-1 when none).
class CAutoPtrSocket {
public:
    CAutoPtrSocket() : m_hSocket(velmora::net::kNoSocket) {}
    virtual ~CAutoPtrSocket();
    CAutoPtrSocket(const CAutoPtrSocket&) = delete;
    CAutoPtrSocket& operator=(const CAutoPtrSocket&) = delete;

    // Closes the socket when there is one; returns 0.
    virtual int Close();
    velmora::net::SocketHandle GetSocket() const { return m_hSocket; }

protected:
    velmora::net::SocketHandle m_hSocket;
};

// Host names already looked up, as (name, dotted address) pairs.
class CDNSNameCache {
public:
    // True with the dotted address text of the name (a dotted address is returned as it is).
    bool Resolve(const std::string& name, std::string& address);

private:
    std::vector<std::pair<std::string, std::string>> m_names;
};

// Where a reply body goes as it arrives, so that it is copied once, straight to its owner.
class CBodySink {
public:
    virtual ~CBodySink() = default;
    // The announced length, before the first byte: room can be made once. False fails the read.
    virtual bool Expect(size_t length) { return true; }
    // False (out of memory) fails the read.
    virtual bool Append(const char* data, size_t length) = 0;
    virtual size_t Size() const = 0;
    // Drops what arrived: a failed read leaves nothing behind.
    virtual void Clear() = 0;
};

class CHTTP : public CAutoPtrSocket {
public:
    enum {
        kBufferSize = 65536,     // reply bytes the receive buffer holds (plus a terminating zero)
        kMaxRedirects = 5,
        kMaxHostLength = 127,
        kDefaultTimeoutMs = 10000,
        kDefaultDeadlineMs = 60000,
        // An announced body adds the time it takes at this rate (bytes per second) to the
        // request's deadline: a large file on a slow line is not cut off, a trickle still is.
        kSlowestRate = 32768,
    };
    static const size_t kDefaultMaxBody = 64u * 1024u * 1024u;

    CHTTP();
    ~CHTTP() override;

    // Extra header lines sent with every request (redirects included); "\r\n" ends each line.
    void SetExtraHeaders(const std::string& text) { m_extraHeaders = text; }
    void SetUserAgent(const std::string& text) { m_userAgent = text; }
    void SetCookie(const std::string& text) { m_cookie = text; }

    // Limits: each wait for the network (connect, send, receive), the whole request including
    // redirects and the body (negative: none; an announced length extends it, see kSlowestRate),
    // and the body size.
    void SetTimeout(int ms) { m_timeoutMs = ms; }
    void SetDeadline(int ms) { m_deadlineMs = ms; }
    void SetMaxBody(size_t bytes) { m_maxBody = bytes; }

    // Ends a request in progress on another thread (within a few milliseconds) and fails every
    // later one until ResetCancel.
    void Cancel() { m_cancel.store(true, std::memory_order_release); }
    void ResetCancel() { m_cancel.store(false, std::memory_order_release); }

    // GET into body; true only for a 200 reply whose body arrived whole (else body is empty).
    bool Get(const std::string& url, std::string& body);
    bool Get(const std::string& url, CBodySink& body);
    // The final status after redirects, or 0 on failure. On 100 to 299 the connection stays open
    // with the first body bytes received; otherwise it is closed.
    int Request(const std::string& method, const std::string& url, const std::string* body);
    // Reads the body of the reply in progress; on failure the body is empty and the connection closed.
    bool ReadBody(std::string& body);
    bool ReadBody(CBodySink& body);

    // True when the URL holds "://" and a host of at most 127 characters.
    static bool ParseUrl(const std::string& url, std::string& host, std::string& user, std::string& password,
                         int& port, std::string& path);

    bool Connect();
    bool Send(const char* data, size_t length);
    // 0 on error, 1 when bytes arrived, 2 when the peer closed the connection.
    int Receive(int limit);
    // Closes the socket (the receive buffer is kept for the next request); keeps the last error
    // as it was. Returns 0.
    int Close() override;

    // After a request: the reply's header block, status line parts and the URL last asked for.
    const std::string& GetHeaderText() const { return m_headerText; }
    const std::string& GetCurrentUrl() const { return m_currentUrl; }
    const std::string& GetVersion() const { return m_version; }
    const std::string& GetReason() const { return m_reason; }
    // The error code of the last failure (Windows Sockets numbering), 0 after a success.
    int GetError() const { return m_error; }

private:
    int RequestOnce(std::string& method, const std::string& url, const std::string* body, std::string& next);
    int Fail(int code);
    bool FailBody(CBodySink& body, int code);
    bool FindHeader(const char* name, std::string& value) const;
    bool ReadChunked(CBodySink& body);
    bool ReadCounted(CBodySink& body, size_t length);
    bool ReadToClose(CBodySink& body);
    bool Append(CBodySink& body, const char* data, size_t length);
    void Consume(size_t n);
    char* Held() const { return m_pBuffer.get() + m_nStart; }
    size_t HeldCount() const { return static_cast<size_t>(m_nCount - m_nStart); }
    velmora::net::Deadline OperationDeadline() const;

    std::string m_host;
    std::string m_cookie;
    std::string m_headerText;    // the reply's header block
    std::string m_extraHeaders;  // the caller's headers, resent on redirects
    std::string m_user;
    std::string m_password;
    std::string m_userAgent;
    std::string m_currentUrl;
    std::string m_version;
    std::string m_reason;
    int m_port;
    std::unique_ptr<char[]> m_pBuffer;  // made at the first receive
    int m_nCount;
    int m_nStart;  // reply bytes not yet taken start here
    bool m_peerClosed;
    int m_error;
    int m_timeoutMs;
    int m_deadlineMs;
    size_t m_maxBody;
    velmora::net::Deadline m_requestDeadline;
    std::atomic<bool> m_cancel;
};
