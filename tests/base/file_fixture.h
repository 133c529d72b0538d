// Scratch files for the file and archive tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <process.h>
#define VELMORA_GETPID _getpid
#else
#include <unistd.h>
#define VELMORA_GETPID getpid
#endif

class ScratchFiles : public testing::Test {
protected:
    std::string Path(const std::string& name) {
        std::string p = testing::TempDir() + "velmora_" + std::to_string(VELMORA_GETPID()) + "_" + name;
        made_.push_back(p);
        return p;
    }
    static void Put(const std::string& path, const std::string& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    static bool Exists(const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f) std::fclose(f);
        return f != nullptr;
    }
    static std::string Get(const std::string& path) {
        std::string out;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return out;
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
        return out;
    }
    void TearDown() override {
        for (const std::string& p : made_) std::remove(p.c_str());
    }

private:
    std::vector<std::string> made_;
};
