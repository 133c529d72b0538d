// Scratch files for the file and archive tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"

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
    static void Put(const std::string& path, const std::string& bytes) { velmora_test::WriteTestFile(path, bytes); }
    static bool Exists(const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f) std::fclose(f);
        return f != nullptr;
    }
    static std::string Get(const std::string& path) { return velmora_test::ReadTestFile(path); }
    void TearDown() override {
        for (const std::string& p : made_) std::remove(p.c_str());
    }

private:
    std::vector<std::string> made_;
};
