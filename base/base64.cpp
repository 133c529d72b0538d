#include "base/base64.h"

#include <cstdlib>
#include <cstring>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Writes the base64 text of the data; a line feed after every lineWidth characters when
// lineWidth > 0, and after a non-empty last line. Returns the count written.
size_t EncodeInto(const unsigned char* in, size_t length, char* out, size_t lineWidth, bool urlForm) {
    const char plus = urlForm ? '!' : '+', slash = urlForm ? '_' : '/', pad = urlForm ? '-' : '=';
    size_t n = 0, onLine = 0;
    auto put = [&](char c) {
        if (c == '+') c = plus;
        else if (c == '/') c = slash;
        out[n++] = c;
        if (lineWidth && ++onLine == lineWidth) {
            out[n++] = '\n';
            onLine = 0;
        }
    };
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    if (length - i == 1) {
        unsigned v = in[i] << 16;
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(pad);
        put(pad);
    } else if (length - i == 2) {
        unsigned v = (in[i] << 16) | (in[i + 1] << 8);
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(pad);
    }
    if (lineWidth && onLine) out[n++] = '\n';
    return n;
}

size_t EncodedCapacity(size_t length) {
    size_t chars = (length + 2) / 3 * 4;
    return chars + chars / 72 + 2;
}

char* EncodeAlloc(const void* data, size_t length, size_t* outLength, bool urlForm) {
    if (outLength) *outLength = 0;
    if (length > (static_cast<size_t>(-1) / 2)) return nullptr;
    char* out = static_cast<char*>(std::malloc(EncodedCapacity(length)));
    if (!out) return nullptr;
    size_t n = EncodeInto(static_cast<const unsigned char*>(data), length, out, 72, urlForm);
    out[n] = 0;
    if (outLength) *outLength = n;
    return out;
}

int DecodeValue(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '!') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

bool IsPad(unsigned char c) { return c == '=' || c == '-'; }

}  // namespace

char* CUrlBase64::Encode(const void* data, size_t length, size_t* outLength) {
    return EncodeAlloc(data, length, outLength, false);
}

char* CUrlBase64::EncodeUrl(const void* data, size_t length, size_t* outLength) {
    return EncodeAlloc(data, length, outLength, true);
}

std::string CUrlBase64::EncodeLine(const void* data, size_t length, bool urlForm) {
    std::string out(EncodedCapacity(length), '\0');
    size_t n = EncodeInto(static_cast<const unsigned char*>(data), length, &out[0], 0, urlForm);
    out.resize(n);
    return out;
}

std::string CUrlBase64::Decode(const char* text) {
    std::string out;
    if (!text) return out;
    // Alphabet characters and padding count, anything else is skipped. The counted characters
    // must make whole groups of four; padding counts as a 0 value and only the last group's
    // padding drops bytes (one for its fourth character, two for its third).
    size_t counted = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (DecodeValue(*p) >= 0 || IsPad(*p)) ++counted;
    if (counted % 4 != 0) return out;
    out.reserve(counted / 4 * 3);
    unsigned group = 0;
    int inGroup = 0;
    bool pad3 = false, pad4 = false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const int v = DecodeValue(*p);
        const bool pad = IsPad(*p);
        if (v < 0 && !pad) continue;
        group = (group << 6) | static_cast<unsigned>(pad ? 0 : v);
        if (inGroup == 2) pad3 = pad;
        if (inGroup == 3) pad4 = pad;
        if (++inGroup == 4) {
            out.push_back(static_cast<char>((group >> 16) & 0xFF));
            out.push_back(static_cast<char>((group >> 8) & 0xFF));
            out.push_back(static_cast<char>(group & 0xFF));
            group = 0;
            inGroup = 0;
        }
    }
    if (pad3) out.resize(out.size() - 2);
    else if (pad4) out.resize(out.size() - 1);
    return out;
}
