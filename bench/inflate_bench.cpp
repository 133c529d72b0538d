// InflateBuffer against a plain zlib inflate into a buffer of exactly the right size.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/inflate.h"
#include "ratio.h"

namespace {

const size_t kSize = 20 * 1024 * 1024;

struct Body {
    std::string gz;
    Body() {
        // Text-like data, as the code list and day files are.
        std::string raw(kSize, '\0');
        unsigned x = 1;
        for (size_t i = 0; i < kSize; ++i) {
            x = x * 1103515245 + 12345;
            raw[i] = "0123456789.;,\n"[(x >> 16) % 14];
        }
        z_stream zs;
        std::memset(&zs, 0, sizeof zs);
        deflateInit2(&zs, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        gz.resize(deflateBound(&zs, raw.size()) + 64);
        zs.next_in = reinterpret_cast<Bytef*>(&raw[0]);
        zs.avail_in = static_cast<uInt>(raw.size());
        zs.next_out = reinterpret_cast<Bytef*>(&gz[0]);
        zs.avail_out = static_cast<uInt>(gz.size());
        deflate(&zs, Z_FINISH);
        gz.resize(zs.total_out);
        deflateEnd(&zs);
    }
};

const Body& TheBody() {
    static Body body;
    return body;
}

void BM_InflateBuffer(benchmark::State& state) {
    const std::string& gz = TheBody().gz;
    for (auto _ : state) {
        unsigned char* out = nullptr;
        size_t n = 0;
        int rc = InflateBuffer(gz.data(), gz.size(), &out, &n, true);
        if (rc != 0 || n != kSize) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
}

void BM_PlainInflate(benchmark::State& state) {
    const std::string& gz = TheBody().gz;
    for (auto _ : state) {
        unsigned char* out = static_cast<unsigned char*>(std::malloc(kSize));
        z_stream zs;
        std::memset(&zs, 0, sizeof zs);
        inflateInit2(&zs, 47);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
        zs.avail_in = static_cast<uInt>(gz.size());
        zs.next_out = out;
        zs.avail_out = static_cast<uInt>(kSize);
        if (inflate(&zs, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&zs);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
}

BENCHMARK(BM_InflateBuffer)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PlainInflate)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunAndReport(argc, argv, {{"BM_InflateBuffer", "BM_PlainInflate", "inflate 20 MB gzip", 0.9}});
}
