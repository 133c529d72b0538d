#include "base/inflate.h"

#include <zlib.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

bool HasGzipMagic(const void* data, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return length >= 2 && p[0] == 0x1F && p[1] == 0x8B;
}

namespace {

// The gzip size trailer (the size modulo 4 GB), or 0 when the data is not gzip.
size_t GzipSizeTrailer(const void* input, size_t inputLength) {
    if (!HasGzipMagic(input, inputLength) || inputLength < 18) return 0;
    const unsigned char* t = static_cast<const unsigned char*>(input) + inputLength - 4;
    return t[0] | (t[1] << 8) | (t[2] << 16) | (static_cast<size_t>(t[3]) << 24);
}

}  // namespace

size_t InflateFirstCapacity(const void* input, size_t inputLength, size_t limit) {
    // The trailer is the sender's word, not a fact: a tiny body may claim any size. Start at no
    // more than a plausible ratio of the compressed size and grow once the data proves larger.
    size_t plausible = inputLength <= (SIZE_MAX - 65536) / 8 ? inputLength * 8 + 65536 : SIZE_MAX;
    size_t capacity = inputLength <= (SIZE_MAX - 16384) / 4 ? inputLength * 4 + 16384 : SIZE_MAX;
    size_t trailer = GzipSizeTrailer(input, inputLength);
    // One spare byte lets inflate report the end without a regrow.
    if (trailer > 0) capacity = trailer < limit ? trailer + 1 : limit + 1;
    if (capacity > plausible) capacity = plausible;
    if (capacity > limit + 1) capacity = limit + 1;
    if (capacity < 16384) capacity = 16384;
    return capacity;
}

int InflateBuffer(const void* input, size_t inputLength, unsigned char** out, size_t* outLength, bool header,
                  size_t limit) {
    *out = nullptr;
    *outLength = 0;
    if (inputLength > UINT_MAX) return Z_MEM_ERROR;
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    int rc = header ? inflateInit2(&zs, 47) : inflateInit(&zs);
    if (rc != Z_OK) return rc;
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(input));
    zs.avail_in = static_cast<uInt>(inputLength);

    const size_t trailer = GzipSizeTrailer(input, inputLength);
    size_t capacity = InflateFirstCapacity(input, inputLength, limit);

    unsigned char* buf = nullptr;
    size_t used = 0, allocated = 0;
    int result = Z_DATA_ERROR;
    for (;;) {
        if (used == capacity) {
            if (capacity > limit) {
                result = Z_MEM_ERROR;  // past the limit: a bomb, not a data file
                break;
            }
            size_t next = capacity * 2;
            // While the data bears the trailer out, step to its figure rather than past it.
            if (trailer >= capacity && trailer < next - 1) next = trailer + 1;
            if (next > limit + 1) next = limit + 1;
            capacity = next;
        }
        if (capacity != allocated) {
            unsigned char* grown = static_cast<unsigned char*>(std::realloc(buf, capacity));
            if (!grown) {
                result = Z_MEM_ERROR;
                break;
            }
            buf = grown;
            allocated = capacity;
        }
        size_t room = capacity - used;
        if (room > UINT_MAX) room = UINT_MAX;
        zs.next_out = buf + used;
        zs.avail_out = static_cast<uInt>(room);
        rc = inflate(&zs, Z_NO_FLUSH);
        used += room - zs.avail_out;
        if (rc == Z_STREAM_END) {
            result = used > limit ? Z_MEM_ERROR : Z_OK;
            break;
        }
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR) {
            result = Z_DATA_ERROR;
            break;
        }
        if (rc == Z_MEM_ERROR) {
            result = Z_MEM_ERROR;
            break;
        }
        // The output area was not filled: the input is used up before the stream's end.
        if (zs.avail_out != 0 || rc == Z_BUF_ERROR) {
            result = Z_DATA_ERROR;
            break;
        }
    }
    inflateEnd(&zs);
    *out = buf;
    *outLength = used;
    return result;
}
