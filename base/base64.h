// Base64 as the service expects it, and its URL form ("+" -> "!", "/" -> "_", "=" -> "-").
#pragma once

#include <cstddef>
#include <string>

class CUrlBase64 {
public:
    CUrlBase64() = default;
    virtual ~CUrlBase64() = default;

    // Standard base64 with a line feed after every 72 characters and after a non-empty last
    // line. Returns a malloc'd text (the caller frees it) or null; outLength counts the
    // characters without the terminating zero.
    char* Encode(const void* data, size_t length, size_t* outLength);
    char* EncodeUrl(const void* data, size_t length, size_t* outLength);

    // Without line feeds: for HTTP headers and ini values, where a line feed would cut the value.
    static std::string EncodeLine(const void* data, size_t length, bool urlForm);
    // Decodes the standard and the URL form; skips line feeds and other non-alphabet bytes. The
    // alphabet and padding characters must make whole groups of four, else the result is empty;
    // padding counts as a 0 value, and the last group's padding drops the bytes it stands for.
    static std::string Decode(const char* text);
};
