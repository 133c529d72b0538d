#ifdef _WIN32

#include "net/wininet.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

CInternetException::CInternetException(HINTERNET handle, const char* format, ...)
    : m_handle(handle), m_dwError(GetLastError()), m_dwExtended(0) {
    DWORD length = 0;
    InternetGetLastResponseInfoA(&m_dwExtended, nullptr, &length);
    if (length > 0) {
        std::vector<char> text(length + 1, 0);
        DWORD size = length + 1;
        if (InternetGetLastResponseInfoA(&m_dwExtended, text.data(), &size)) m_response.assign(text.data());
    }
    if (m_response.empty()) m_response = "Unknown error";
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    m_message = buffer;
}

CInternetHandle::~CInternetHandle() { Close(); }

void CInternetHandle::Close() {
    if (m_handle) InternetCloseHandle(m_handle);
    m_handle = nullptr;
}

namespace {

std::string ProgramName() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

CInternetSession::CInternetSession(const char* agent, DWORD accessType, const char* proxy, const char* bypass,
                                   DWORD flags) {
    std::string name = agent ? agent : ProgramName();
    m_handle = InternetOpenA(name.c_str(), accessType, proxy, bypass, flags);
    if (!m_handle) throw CInternetException(nullptr, "Failed to open an internet session");
}

void CInternetSession::SetOption(DWORD option, const char* text) {
    DWORD length = text ? static_cast<DWORD>(strlen(text)) : 0;
    if (!InternetSetOptionA(m_handle, option, const_cast<char*>(text ? text : ""), length))
        throw CInternetException(m_handle, "Failed to set an internet option (%u)", static_cast<unsigned>(option));
}

void CInternetSession::SetOption(DWORD option, DWORD value) {
    if (!InternetSetOptionA(m_handle, option, &value, sizeof(value)))
        throw CInternetException(m_handle, "Failed to set an internet option (%u)", static_cast<unsigned>(option));
}

DWORD CInternetFile::Read(void* buffer, DWORD size) {
    DWORD read = 0;
    if (!InternetReadFile(m_handle, buffer, size, &read))
        throw CInternetException(m_handle, "Failed to read from network (%u bytes)", static_cast<unsigned>(size));
    return read;
}

CHttpFile::CHttpFile(CInternetSession& session, const char* url, const char* headers, DWORD headersLength,
                     DWORD flags) {
    m_handle = InternetOpenUrlA(session.GetHandle(), url, headers, headers ? headersLength : 0, flags,
                                reinterpret_cast<DWORD_PTR>(this));
    if (!m_handle) throw CInternetException(session.GetHandle(), "Failed to open http url (%s)", url);
}

DWORD CHttpFile::QueryInfoNumber(DWORD level, DWORD index) {
    DWORD value = 0, size = sizeof(value);
    DWORD combined = level | HTTP_QUERY_FLAG_NUMBER;
    if (!HttpQueryInfoA(m_handle, combined, &value, &size, &index))
        throw CInternetException(m_handle, "Failed to query http info (%u)", static_cast<unsigned>(combined));
    return value;
}

#endif  // _WIN32
