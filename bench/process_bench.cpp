// The process lookup over this machine's processes, then with 1000 sleeping
// children of the benchmark's own, for a path that matches none of them, so
// that every listed process is opened and compared.
#include "gozsupport/process.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

class SleepingChildren {
public:
    explicit SleepingChildren(int count) {
        char sleepPath[] = "/bin/sleep";
        char seconds[] = "600";
        char* argv[] = {sleepPath, seconds, nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t child = 0;
            if (posix_spawn(&child, sleepPath, nullptr, nullptr, argv, environ) == 0)
                children.push_back(child);
        }
    }
    ~SleepingChildren() {
        for (pid_t child : children)
            kill(child, SIGKILL);
        for (pid_t child : children)
            waitpid(child, nullptr, 0);
    }
    SleepingChildren(const SleepingChildren&) = delete;
    SleepingChildren& operator=(const SleepingChildren&) = delete;
    size_t size() const { return children.size(); }

private:
    std::vector<pid_t> children;
};

void FindProcess(benchmark::State& state) {
    SleepingChildren children(static_cast<int>(state.range(0)));
    if (children.size() != static_cast<size_t>(state.range(0)))
        state.SkipWithError("could not start the children");
    bool privilegeTried = false;
    for (auto _ : state) {
        char path[] = "/opt/Quiltara/bin/NoSuchQuiltara";
        uint32_t processId = 0;
        benchmark::DoNotOptimize(FindProcessByImagePath(path, processId, privilegeTried));
    }
    state.counters["children"] = static_cast<double>(children.size());
}

BENCHMARK(FindProcess)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
