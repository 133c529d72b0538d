#include "base/log.h"

#include <cstdio>
#include <exception>
#include <mutex>

#include "base/platform.h"

namespace {

// Constant-initialised: a line logged while statics are torn down still finds them.
std::mutex g_lock;
LogSink g_sink = nullptr;
void* g_sinkContext = nullptr;

void Emit(const char* line) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_sink) {
        g_sink(line, g_sinkContext);
        return;
    }
#ifdef _WIN32
    char out[kLogLineSize + 1];
    std::snprintf(out, sizeof out, "%s\n", line);
    OutputDebugStringA(out);
#else
    std::fprintf(stderr, "velmora: %s\n", line);
#endif
}

}  // namespace

void LogErrorV(const char* where, const char* fmt, va_list args) {
    char line[kLogLineSize];
    int used = std::snprintf(line, sizeof line, "%s: ", where ? where : "?");
    if (used < 0) used = 0;
    if (size_t(used) < sizeof line) std::vsnprintf(line + used, sizeof line - size_t(used), fmt ? fmt : "", args);
    Emit(line);
}

void LogError(const char* where, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    LogErrorV(where, fmt, args);
    va_end(args);
}

void LogCaughtException(const char* where, const char* about) {
    const char* sep = about ? ": " : "";
    if (!about) about = "";
    std::exception_ptr caught = std::current_exception();
    if (!caught) {
        LogError(where, "%s%sno exception", about, sep);
        return;
    }
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& e) {
        LogError(where, "%s%scaught %s", about, sep, e.what());
    } catch (int value) {
        LogError(where, "%s%scaught the integer %d", about, sep, value);
    } catch (...) {
        LogError(where, "%s%scaught an exception of another type", about, sep);
    }
}

LogSink SetLogSink(LogSink sink, void* context, void** previousContext) {
    std::lock_guard<std::mutex> hold(g_lock);
    LogSink previous = g_sink;
    if (previousContext) *previousContext = g_sinkContext;
    g_sink = sink;
    g_sinkContext = context;
    return previous;
}
