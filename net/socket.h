// A thin portable layer over Winsock (win32 build) and BSD sockets (native build): non-blocking
// TCP sockets, waits bounded in time, and error codes in the Windows Sockets numbering everywhere.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/platform.h"

namespace velmora {
namespace net {

typedef intptr_t SocketHandle;
constexpr SocketHandle kNoSocket = -1;

// Windows Sockets error codes, used by both builds.
enum NetError {
    kErrInterrupted = 10004,   // WSAEINTR: the request was cancelled
    kErrInvalid = 10022,       // WSAEINVAL: a malformed reply or request
    kErrWouldBlock = 10035,    // WSAEWOULDBLOCK
    kErrMessageSize = 10040,   // WSAEMSGSIZE: a reply beyond a size bound
    kErrAddrInUse = 10048,     // WSAEADDRINUSE
    kErrConnAborted = 10053,   // WSAECONNABORTED
    kErrConnReset = 10054,     // WSAECONNRESET: the peer closed too early
    kErrNotConnected = 10057,  // WSAENOTCONN
    kErrTimedOut = 10060,      // WSAETIMEDOUT
    kErrConnRefused = 10061,   // WSAECONNREFUSED
    kErrHostNotFound = 11001,  // WSAHOST_NOT_FOUND
};

// The calling thread's last error (WSAGetLastError/WSASetLastError under Windows).
int GetLastNetError();
void SetLastNetError(int code);
// Takes the error of the last failed system socket call into the last error and returns it.
int TakeSystemError();

// Starts and stops the socket library (Winsock counts the calls; nothing to do natively).
bool NetStartup();
void NetCleanup();

// "a.b.c.d" with four decimal parts of 0 to 255 -> the address bytes in network order.
bool ParseDottedQuad(const std::string& text, uint8_t out[4]);

// Writes a line to the debugger output (OutputDebugStringA); nothing natively.
void DebugOutput(const char* text);

// An instant by which an operation must end.
class Deadline {
public:
    typedef std::chrono::steady_clock Clock;
    Deadline() : m_end(Clock::time_point::max()) {}
    explicit Deadline(int ms) : m_end(ms < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(ms)) {}
    static Deadline Earlier(const Deadline& a, const Deadline& b) { return a.m_end < b.m_end ? a : b; }
    // Milliseconds left, 0 when passed; -1 when unbounded.
    int64_t Remaining() const;
    // Moves a bounded instant later by ms.
    void Extend(int64_t ms) {
        if (m_end != Clock::time_point::max() && ms > 0) m_end += std::chrono::milliseconds(ms);
    }

private:
    Clock::time_point m_end;
};

SocketHandle OpenTcpSocket();          // non-blocking; kNoSocket on failure
void CloseSocket(SocketHandle s);
void ShutdownSocket(SocketHandle s);   // both directions

// Waits until the socket can be read (or written): 1 ready, 0 when the deadline passed
// (last error kErrTimedOut), -1 on cancel (kErrInterrupted) or error. Waits in short slices so
// that a cancel flag set by another thread is seen promptly.
// With failed given, it is set when the socket showed an error or a hang-up (a connect that
// failed): only then does a connect need FinishConnect to learn why.
int WaitSocket(SocketHandle s, bool forWrite, const Deadline& deadline, const std::atomic<bool>* cancel,
               bool* failed = nullptr);

// Starts a connect to address:port: 1 connected, 0 pending (wait for write), -1 failed.
int StartConnect(SocketHandle s, const uint8_t address[4], int port);
// After the wait for write: true when the connect succeeded, else false with the last error set.
bool FinishConnect(SocketHandle s);

// One non-blocking read or write: bytes moved (> 0), 0 when the peer closed (reads only),
// -1 when it would block, -2 on error (last error set).
int RecvSome(SocketHandle s, char* buffer, int length);
int SendSome(SocketHandle s, const char* data, int length);

}  // namespace net
}  // namespace velmora
