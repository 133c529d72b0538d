// A trace of failures that are handled where they happen (an exception caught and contained, a
// downloaded reply refused while the stored file is kept): nothing is shown to the user and no file
// is written, but a developer sees why. Lines go to the debugger's output under Windows
// (OutputDebugStringA) and to stderr natively. Safe from any thread.
#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__MINGW_PRINTF_FORMAT)
#define VELMORA_LOG_FORMAT(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#elif defined(__GNUC__)
#define VELMORA_LOG_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define VELMORA_LOG_FORMAT(f, a)
#endif

// The longest line, terminator included: a longer message is cut, never allocated for, so that
// logging works when memory has run out.
constexpr size_t kLogLineSize = 1024;

// One line "where: message". where names the function or the file handled; fmt is printf's.
void LogError(const char* where, const char* fmt, ...) VELMORA_LOG_FORMAT(2, 3);
void LogErrorV(const char* where, const char* fmt, va_list args);

// Inside a catch block only: logs what was caught (the text of a std::exception, the value of an
// integer) at where, naming about (a URL, a file) when given. Allocates nothing of its own, so it
// may follow a failed allocation.
void LogCaughtException(const char* where, const char* about = nullptr);

// Tests: every line goes to sink (without a line break) instead of the output above; null puts the
// output back. The sink is called under the log's lock, one line at a time, and must not log.
// Returns the sink it replaces, and its context in previousContext when given.
typedef void (*LogSink)(const char* line, void* context);
LogSink SetLogSink(LogSink sink, void* context, void** previousContext = nullptr);
