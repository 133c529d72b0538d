// Small owning wrappers over WinInet handles (win32 build only). Every failure throws
// CInternetException by value.
#pragma once

#ifdef _WIN32

#include <atomic>
#include <string>

#include "base/memstream.h"
#include "base/platform.h"
#include <wininet.h>

class CInternetException {
public:
    // Takes GetLastError and the server's last response text, then formats the message.
    CInternetException(HINTERNET handle, const char* format, ...);

    HINTERNET GetHandle() const { return m_handle; }
    DWORD GetErrorCode() const { return m_dwError; }
    DWORD GetExtendedError() const { return m_dwExtended; }
    const std::string& GetResponse() const { return m_response; }
    const std::string& GetErrorMessage() const { return m_message; }

private:
    HINTERNET m_handle;
    DWORD m_dwError;
    DWORD m_dwExtended;
    std::string m_response;
    std::string m_message;
};

// Owns one WinInet handle and closes it when destroyed.
class CInternetHandle {
public:
    explicit CInternetHandle(HINTERNET handle = nullptr) : m_handle(handle) {}
    virtual ~CInternetHandle();
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET GetHandle() const { return m_handle; }
    void Close();

protected:
    HINTERNET m_handle;
};

class CInternetSession : public CInternetHandle {
public:
    // A null agent becomes the program's file name without folder and extension.
    CInternetSession(const char* agent, DWORD accessType, const char* proxy, const char* bypass, DWORD flags);
    void SetOption(DWORD option, const char* text);
    void SetOption(DWORD option, DWORD value);
};

class CInternetFile : public CInternetHandle {
public:
    explicit CInternetFile(HINTERNET handle = nullptr) : CInternetHandle(handle) {}
    // The count read; 0 at the end of the body.
    DWORD Read(void* buffer, DWORD size);
};

class CHttpFile : public CInternetFile {
public:
    // Opens the URL, which sends the request once.
    CHttpFile(CInternetSession& session, const char* url, const char* headers, DWORD headersLength, DWORD flags);
    DWORD QueryInfoNumber(DWORD level, DWORD index = 0);
};

// One GET through WinInet, bounded in time.
struct WinInetGetRequest {
    std::string agent;
    DWORD accessType = INTERNET_OPEN_TYPE_DIRECT;
    std::string proxy;  // the proxy text ("http=host:port"); empty for none
    std::string proxyUser, proxyPassword;
    std::string url;      // http:// or https://
    std::string headers;  // extra request headers; may be empty
    DWORD connectMs = 5000;   // the connect time-out
    DWORD waitMs = 10000;     // each wait for a send or a receive
    int deadlineMs = 60000;   // the whole request (negative: none); an announced body extends it
    size_t maxBody = 64u * 1024u * 1024u;
    DWORD piece = 16384;      // the largest read
};

// True only for a 200 reply whose announced length (when there is one) arrived whole; the body
// is then in stream. False otherwise, with the stream holding whatever part arrived (the caller
// empties it). Returns by the deadline, or promptly once cancel is set, even when WinInet itself
// keeps waiting: the request runs on a thread of its own that the caller can give up.
bool WinInetGet(const WinInetGetRequest& request, CMemoryStream* stream, const std::atomic<bool>& cancel);

#endif  // _WIN32
