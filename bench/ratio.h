// Runs Google Benchmark and prints, for each pair (ours, limit), the ratio limit time / our time:
// 1.0 means as fast as the simplest correct loop, below 1 slower. A pair marked as a cost prints
// the other way round, our time / limit time (1.0 as cheap, above 1 dearer), with a goal at most.
// A pair that says what its baseline loop does prints that line first.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velmora_bench {

class CaptureReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the figures end up in logs, where colour codes are noise.
    CaptureReporter() : benchmark::ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            // With repetitions the median stands for the benchmark (it comes after the single
            // runs, so it replaces them); the other aggregates are not times of a run.
            const bool aggregate = r.run_type == Run::RT_Aggregate;
            if (aggregate && r.aggregate_name != "median") continue;
            times[aggregate ? r.run_name.str() : r.benchmark_name()] = r.GetAdjustedRealTime();
            // Also by the bare function name, so that options such as MinTime do not hide a run.
            times[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

struct Pair {
    std::string ours, limit, label;
    double goal;
    std::string baseline = "";  // what the plain loop does
    bool cost = false;          // print our time / limit time, goal at most
};

// notes: lines printed before the ratios, such as what each kind of plain loop does.
inline int RunAndReport(int argc, char** argv, const std::vector<Pair>& pairs,
                        const std::vector<std::string>& notes = {}) {
    benchmark::Initialize(&argc, argv);
    CaptureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const std::string& note : notes) std::printf("%s\n", note.c_str());
    int status = 0;
    for (const Pair& p : pairs) {
        auto a = reporter.times.find(p.ours), b = reporter.times.find(p.limit);
        if (a == reporter.times.end() || b == reporter.times.end() || a->second <= 0 || b->second <= 0) continue;
        if (!p.baseline.empty()) std::printf("%s: the plain loop %s\n", p.label.c_str(), p.baseline.c_str());
        if (p.cost) {
            double ratio = a->second / b->second;
            std::printf("%s: cost ratio %.3f = our time / plain-loop time (1 = as cheap, goal at most %.2f)%s\n",
                        p.label.c_str(), ratio, p.goal, ratio <= p.goal ? "" : "  ABOVE GOAL");
            if (ratio > p.goal) status = 1;
            continue;
        }
        double ratio = b->second / a->second;
        std::printf("%s: ratio %.3f = plain-loop time / our time (1 = as fast, goal at least %.2f)%s\n",
                    p.label.c_str(), ratio, p.goal, ratio >= p.goal ? "" : "  BELOW GOAL");
        if (ratio < p.goal) status = 1;
    }
    benchmark::Shutdown();
    return status;
}

}  // namespace velmora_bench
