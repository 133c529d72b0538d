// A GoogleTest suite that shares one fixture service, started once for all its tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_servers.h"

namespace velmora_test {

template <int Seed>
class FixtureSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_fixture = new FixtureProcess;
        s_started = s_fixture->Start({"--seed", std::to_string(Seed), "--now", "2026-12-10 14:00"}, &s_why);
    }
    static void TearDownTestSuite() {
        delete s_fixture;
        s_fixture = nullptr;
    }
    static void NeedFixture() { ASSERT_TRUE(s_started) << s_why; }
    static std::string Url(const std::string& path) { return s_fixture->Url(path); }
    // The body of one of the fixture's control requests ("clear", "log", "last", ...).
    static std::string Control(const std::string& what) { return FixtureControl(s_fixture->Port(), what); }

    static inline FixtureProcess* s_fixture = nullptr;
    static inline bool s_started = false;
    static inline std::string s_why;
};

}  // namespace velmora_test
