// The one interface through which the program fetches a URL: raw sockets without a proxy host,
// WinInet (win32 build) with one.
#pragma once

#include <atomic>
#include <string>

#include "base/memstream.h"
#include "base/thread.h"
#include "net/http.h"

class HttpClient {
public:
    enum AccessType { kAccessPreconfig = 0, kAccessDirect = 1, kAccessProxy = 3 };
    enum ProxyType { kProxyNone = 0, kProxySocks4 = 1, kProxySocks5 = 2, kProxyHttp = 3 };
    enum { kConnectTimeoutMs = 5000 };

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Types 0 and 1 choose the system's settings or a direct connection (the proxy host and
    // credentials are cleared) and return 1. Type 3 names a proxy: with an empty host the access
    // type falls back to 0 and the result is 0, otherwise host, port and credentials are kept
    // and the result is 1. Any other type returns 0 and changes nothing.
    int SetProxy(int type, int proxyType, const char* host, int port, const char* user, const char* password);

    // The WinInet proxy text: "socks=" (types 1, 2) or "http=" (3) before "host:port"; empty
    // for an empty host.
    static std::string MakeProxyString(int proxyType, const char* host, int port);

    // True only when the server answered 200 and the whole body is in the stream (a body shorter
    // than its announced length is a failure on both transports); on failure the stream is
    // empty. Never throws. Calls on one instance run one after the other. The body goes straight
    // into the stream. chunkSize bounds the WinInet read pieces, which are read into memory of the
    // request's own (a request given up at its deadline may still be reading): buffer is not
    // used. headers may be null.
    bool Download(const char* url, CMemoryStream* stream, void* buffer, int chunkSize, const char* headers);

    // Ends a download in progress on another thread and fails later ones until ResetCancel.
    void Cancel();
    void ResetCancel();

    // Whether the next Download goes through WinInet (a proxy host is set, win32 build).
    bool UsesWinInet() const;

    int GetAccessType() const;
    int GetProxyType() const;
    std::string GetProxyHost() const;
    int GetProxyPort() const;
    std::string GetProxyUser() const;
    std::string GetProxyPassword() const;

    // Time limits of every Download, on both transports:
    //   waitMs      each wait for the network: connecting (through WinInet at most
    //               kConnectTimeoutMs), sending, and each receive while the server is silent;
    //               default 10 s; 0 or less restores the default (a wait is never unbounded);
    //   deadlineMs  the whole request, redirects and body included; default 60 s, negative for
    //               none. A body with an announced length adds the time it takes at
    //               CHTTP::kSlowestRate (32 KB/s), so a large file on a slow line is not cut off.
    // Through WinInet the caller's thread returns by the deadline (or promptly on Cancel) even
    // when WinInet itself keeps waiting.
    enum { kDefaultWaitMs = 10000, kDefaultDeadlineMs = 60000 };
    void SetTimeouts(int waitMs, int deadlineMs);

private:
    bool DownloadRaw(const std::string& url, CMemoryStream* stream, const std::string& headers);
#ifdef _WIN32
    bool DownloadWinInet(const std::string& url, CMemoryStream* stream, int chunkSize, const std::string& headers);
#endif

    int m_nAccessType;
    int m_nProxyType;
    std::string m_strProxyHost;
    int m_nProxyPort;
    std::string m_strProxyUser;
    std::string m_strProxyPassword;
    int m_nConnectTimeout;
    CHTTP m_raw;
    int m_bRawSocket;
    // Held for the whole of every Download; the proxy members are read and written under it.
    mutable CriticalSection m_lock;
    std::atomic<bool> m_cancel;
    int m_waitMs = kDefaultWaitMs;  // read and written under m_lock
    int m_deadlineMs = kDefaultDeadlineMs;
};
