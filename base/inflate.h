// Unpacking of gzip and zlib bodies.
#pragma once

#include <cstddef>

// Largest output InflateBuffer produces: a body that unpacks to more is refused.
constexpr size_t kInflateLimit = 64u * 1024 * 1024;

// Unpacks input into a newly allocated buffer (the caller frees *out with free(), also after a
// failure). With header set a zlib or gzip header is detected; otherwise a zlib header is
// expected. Returns 0 on success, else a zlib error code: -3 for data that is not compressed
// or ends early, -4 when memory runs out or the output would pass the limit.
int InflateBuffer(const void* input, size_t inputLength, unsigned char** out, size_t* outLength, bool header,
                  size_t limit = kInflateLimit);

// The size of InflateBuffer's first output buffer: the gzip size trailer (plus one) when there is
// one, but never more than 8 times the input plus 64 KB, nor more than the limit plus one.
size_t InflateFirstCapacity(const void* input, size_t inputLength, size_t limit = kInflateLimit);

// True when the data starts with the gzip magic bytes.
bool HasGzipMagic(const void* data, size_t length);
