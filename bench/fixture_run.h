// Benchmarks that fetch from the fixture service: one service for the whole run.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ratio.h"
#include "test_servers.h"

namespace velmora_bench {

// Starts the fixture service, points *fixture at it for the benchmarks, runs and reports the pairs.
inline int RunWithFixture(int argc, char** argv, velmora_test::FixtureProcess** fixture, const std::vector<Pair>& pairs) {
    velmora_test::FixtureProcess service;
    std::string why;
    if (!service.Start({}, &why)) {
        std::fprintf(stderr, "fixture service: %s\n", why.c_str());
        return 1;
    }
    *fixture = &service;
    int status = RunAndReport(argc, argv, pairs);
    service.Stop();
    *fixture = nullptr;
    return status;
}

}  // namespace velmora_bench
