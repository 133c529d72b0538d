// Whole-file reads and writes for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace velmora_test {

// The file's bytes; empty when it does not open.
inline std::string ReadTestFile(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

inline void WriteTestFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size()) << path;
    std::fclose(f);
}

}  // namespace velmora_test
