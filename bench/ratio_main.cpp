// Runs the benchmarks, then prints each registered subject's time as a ratio
// of its baseline's, so the figure stays meaningful across machines.
#include "bench/ratio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace gozbench {

namespace {

std::vector<std::pair<std::string, std::string>>& Pairs() {
    static std::vector<std::pair<std::string, std::string>> pairs;
    return pairs;
}

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

void CompareWith(const char* subject, const char* baseline) {
    Pairs().emplace_back(subject, baseline);
}

} // namespace gozbench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    gozbench::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nRatios (subject time / baseline time):\n");
    for (const auto& [subject, baseline] : gozbench::Pairs()) {
        for (const auto& [name, time] : reporter.times) {
            if (name.rfind(subject, 0) != 0)
                continue;
            std::string other = baseline + name.substr(std::string(subject).size());
            auto found = reporter.times.find(other);
            if (found != reporter.times.end() && found->second > 0)
                std::printf("  %-48s %8.2f x %s\n", name.c_str(), time / found->second,
                            other.c_str());
        }
    }
    return 0;
}
