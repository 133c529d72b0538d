#include "base/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// windowBits 15 gives a zlib stream, 31 a gzip one.
std::string Deflate(const std::string& in, int windowBits) {
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    EXPECT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, in.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    unsigned x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245 + 12345;
        s[i] = static_cast<char>('a' + (x >> 16) % 7);  // compressible but not trivial
    }
    return s;
}

struct Result {
    int rc;
    std::string data;
};

Result Unpack(const std::string& in, bool header, size_t limit = kInflateLimit) {
    unsigned char* out = nullptr;
    size_t n = 12345;
    int rc = InflateBuffer(in.data(), in.size(), &out, &n, header, limit);
    Result r{rc, out ? std::string(reinterpret_cast<char*>(out), n) : std::string()};
    std::free(out);
    return r;
}

TEST(InflateTest, Table) {
    const std::string small = "hello, hqdata";
    const std::string step = Pattern(16384 * 3 + 1);  // just past a 16 KB step
    const std::string large = Pattern(3 * 1024 * 1024);
    std::string gz = Deflate(small, 31);
    struct Case {
        const char* name;
        std::string input;
        bool header;
        int rc;
        const std::string* expected;
    } cases[] = {
        {"gzip", gz, true, 0, &small},
        {"zlib with header detection", Deflate(small, 15), true, 0, &small},
        {"zlib without", Deflate(small, 15), false, 0, &small},
        {"gzip needs detection", gz, false, Z_DATA_ERROR, nullptr},
        {"plain text", "plain text, not packed", true, Z_DATA_ERROR, nullptr},
        {"truncated gzip", gz.substr(0, gz.size() - 9), true, Z_DATA_ERROR, nullptr},
        {"empty", "", true, Z_DATA_ERROR, nullptr},
        {"past a 16 KB step", Deflate(step, 31), true, 0, &step},
        {"exactly 16 KB", Deflate(step.substr(0, 16384), 15), true, 0, nullptr},
        {"large gzip", Deflate(large, 31), true, 0, &large},
    };
    for (const Case& c : cases) {
        Result r = Unpack(c.input, c.header);
        EXPECT_EQ(r.rc, c.rc) << c.name;
        if (c.expected) {
            EXPECT_EQ(r.data, *c.expected) << c.name;
        }
    }
    EXPECT_EQ(Unpack(Deflate(step.substr(0, 16384), 15), true).data, step.substr(0, 16384));
}

TEST(InflateTest, BombStopsAtTheLimit) {
    // 8 MB of zeros packs into a few kilobytes; with a 1 MB limit it is refused.
    std::string zeros(8 * 1024 * 1024, '\0');
    std::string gz = Deflate(zeros, 31);
    EXPECT_LT(gz.size(), 20000u);
    Result r = Unpack(gz, true, 1024 * 1024);
    EXPECT_EQ(r.rc, Z_MEM_ERROR);
    EXPECT_LE(r.data.size(), 1024u * 1024 + 1);
    // A lying size trailer changes nothing but the first guess.
    gz[gz.size() - 1] = '\x7F';
    EXPECT_EQ(Unpack(gz, true, 1024 * 1024).rc, Z_MEM_ERROR);
    // Exactly at the limit is fine.
    EXPECT_EQ(Unpack(Deflate(std::string(1024 * 1024, 'z'), 31), true, 1024 * 1024).rc, 0);
    EXPECT_TRUE(HasGzipMagic("\x1F\x8B\x08", 3));
    EXPECT_FALSE(HasGzipMagic("\x1F", 1));
}

// The first output buffer follows the size trailer only as far as the compressed size makes it
// plausible: a 21-byte body that claims 64 MB must not reserve 64 MB of a 32-bit address space.
TEST(InflateTest, FirstAllocationIsBoundedByTheCompressedSize) {
    std::string one = Deflate("a", 31);
    ASSERT_EQ(one.size(), 21u);
    std::string claims64 = one;
    claims64.replace(claims64.size() - 4, 4, std::string("\x00\x00\x00\x04", 4));  // 64 MB
    std::string claimsHuge = one;
    claimsHuge.replace(claimsHuge.size() - 4, 4, std::string("\xFF\xFF\xFF\xFF", 4));
    std::string zeros(8 * 1024 * 1024, '\0');
    std::string packedZeros = Deflate(zeros, 31);  // a few KB that honestly unpack to 8 MB
    const std::string large = Pattern(3 * 1024 * 1024);
    std::string packedLarge = Deflate(large, 31);
    struct Case {
        const char* name;
        std::string input;
        size_t maxFirst;  // the bound on the first buffer
        int rc;
        const std::string* expected;
    } cases[] = {
        {"21 bytes claiming 64 MB", claims64, 21 * 8 + 65536, Z_DATA_ERROR, nullptr},
        {"21 bytes claiming 4 GB", claimsHuge, 21 * 8 + 65536, Z_DATA_ERROR, nullptr},
        {"honest 21 bytes", one, 16384, 0, nullptr},
        {"honest 8 MB of zeros", packedZeros, packedZeros.size() * 8 + 65536, 0, &zeros},
        {"honest 3 MB, the trailer's figure", packedLarge, large.size() + 1, 0, &large},
    };
    for (const Case& c : cases) {
        size_t first = InflateFirstCapacity(c.input.data(), c.input.size());
        EXPECT_LE(first, c.maxFirst) << c.name;
        EXPECT_GE(first, 16384u) << c.name;
        Result r = Unpack(c.input, true);
        EXPECT_EQ(r.rc, c.rc) << c.name;
        if (c.expected) {
            EXPECT_TRUE(r.data == *c.expected) << c.name << ": " << r.data.size() << " bytes";
        }
    }
    EXPECT_EQ(Unpack(one, true).data, "a");
    // An honest trailer is used as it is when the ratio is plausible.
    EXPECT_EQ(InflateFirstCapacity(packedLarge.data(), packedLarge.size()), large.size() + 1);
    // The output cap still holds.
    EXPECT_EQ(InflateFirstCapacity(packedZeros.data(), packedZeros.size(), 4096), 16384u);
    EXPECT_EQ(Unpack(packedZeros, true, 1024 * 1024).rc, Z_MEM_ERROR);
}

}  // namespace
