// A file over a C run-time file descriptor, always in binary mode, with an error code.
#pragma once

#include <string>

#include "base/containers.h"
#include "base/platform.h"

class CSPFile : public Object {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,      // truncates an existing file unless modeNoTruncate is given too
        modeNoTruncate = 0x2000,
    };
    enum Errors : int {
        errNone = 0,
        errAlreadyOpen = 5,
        errSeek = 6,
        errClose = 7,
        errShortRead = 10,
        errShortWrite = 11,
    };
    enum { kCodePageUtf16Le = 1200, kCodePageUtf16Be = 1201 };

    CSPFile();
    CSPFile(const CSPFile&) = delete;
    CSPFile& operator=(const CSPFile&) = delete;
    ~CSPFile() override;

    // 1 when open. An open file refuses with error 5; a failed open leaves the error as it was.
    // Read access refuses a file shorter than 4 bytes; it notes a UTF-16 byte-order mark as
    // the text code page, but reading always starts at offset 0.
    virtual int Open(const char* path, UINT flags);
    // New position, or -1 with error 6 (also for an origin outside 0 to 2).
    virtual long Seek(long offset, int origin);
    // Bytes read; error 10 when fewer than count.
    virtual UINT Read(void* buffer, UINT count);
    // Bytes written; error 11 when fewer than count.
    virtual UINT Write(const void* buffer, UINT count);
    // Closes without checking.
    virtual void Abort();
    // Commits the written data to the disk.
    virtual void Flush();
    // Error 7 when the close fails; the file is closed either way.
    virtual void Close();
    // The file never offers a direct buffer.
    virtual int GetBufferPtr() { return 0; }

    // Length by seeking to the end and back; -1 when that fails.
    long GetLength();
    long GetPosition();

    // A text line of at most |limit| characters into buffer (limit + 1 bytes). Carriage returns
    // are dropped; a line feed ends the line and is kept only with a negative limit. Null at the
    // end of the file, and for text in a code page other than 0 or 65001 (the buffer is then
    // empty).
    char* ReadLine(char* buffer, int limit);
    // The next line without its line end; false at the end of the file (or for text it cannot
    // read). A last line without a line feed is still a line.
    bool ReadString(std::string& out);

    int GetError() const { return m_nError; }
    void ClearError() { m_nError = errNone; }
    bool IsOpen() const { return m_bOpen; }
    int GetDescriptor() const { return m_fd; }
    const std::string& GetFilePath() const { return m_strPath; }
    UINT GetCodePage() const { return m_nCodePage; }
    void SetCodePage(UINT codePage) { m_nCodePage = codePage; }

private:
    enum { kReadAhead = 64 * 1024 };
    bool CanReadText() const { return m_nCodePage == 0 || m_nCodePage == 65001; }
    // Refills the read-ahead buffer; false at the end of the file.
    bool FillReadAhead();
    // Puts the descriptor back where the reader is, dropping the read-ahead bytes.
    bool DropReadAhead();
    void FreeReadAhead();
    UINT RawRead(void* buffer, UINT count);

    int m_nError;
    int m_fd;
    bool m_bOpen;
    std::string m_strPath;
    UINT m_nCodePage;
    // Read-ahead of the text readers: bytes [m_nAheadPos, m_nAheadEnd) are already taken from
    // the descriptor but not yet delivered.
    char* m_pAhead;
    UINT m_nAheadPos;
    UINT m_nAheadEnd;
};
