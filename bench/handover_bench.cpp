// Wall time of the bridge from its start to its exit, both ways: Quiltara (the
// stand-in) is not running and the bridge starts it, or it runs and the bridge
// messages it and waits for the acknowledgement. Both against a Qt program that
// only starts and ends.
#include "bench/ratio.h"
#include "bridge/exit_status.h"
#include "gozsupport/paths.h"
#include "gozsupport/process.h"
#include "tests/support/process_scratch.h"
#include "tests/support/subprocess.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>

namespace fs = std::filesystem;

namespace {

const int kDelivered = ProcessExitStatus(-1);

// Until the program's own exit: a host it starts may hold its output open longer.
int32_t RunToExit(const char* program) {
    return goztest::RunningProgram(program, {}).stop();
}

// The sandbox GoZ folder names a copy of the stand-in of this process's own;
// a temporary folder of its own keeps its lock file and socket apart from any
// other Quiltara. Set up once, undone at exit.
class Sandbox {
public:
    static Sandbox& get() {
        static Sandbox sandbox;
        return sandbox;
    }

    ~Sandbox() {
        std::error_code ignored;
        fs::remove(configPath, ignored);
    }

    // Whether the stand-in has logged `line` (within 10 s).
    bool logged(const std::string& line) const {
        return goztest::WaitFor([&] {
            std::ifstream file(logPath);
            std::string text((std::istreambuf_iterator<char>(file)), {});
            return text.find(line + "\n") != std::string::npos;
        });
    }

    // Ends every stand-in started from the copy, waits until the search finds
    // none, and drops their log, so that logged() speaks of the next one only.
    void stopHosts() {
        bool privilegeTried = false;
        uint32_t processId = 0;
        goztest::WaitFor([&] {
            if (!FindProcessByImagePath(hostPath.data(), processId, privilegeTried))
                return true;
            kill(static_cast<pid_t>(processId), SIGKILL);
            return false;
        });
        std::error_code ignored;
        fs::remove(logPath, ignored);
    }

    const fs::path folder = goztest::ProcessScratchFolder("goz_bench_") / "handover";
    const fs::path logPath = folder / "Quiltara.log";
    std::string hostPath = (folder / "Quiltara").string();

private:
    Sandbox() {
        fs::create_directories(folder);
        fs::create_directories(configPath.parent_path());
        fs::copy_file(QUILTARA_STANDIN, hostPath, fs::copy_options::overwrite_existing);
        std::ofstream(configPath) << "PATH = \"" << hostPath << "\"\n";
        setting("TMPDIR", folder.string());
        setting("QUILTARA_STANDIN_LOG", logPath.string());
        setting("QUILTARA_STANDIN_STDOUT", "off");
        setting("QUILTARA_STANDIN_SECONDS", "600");
    }

    void setting(const std::string& name, const std::string& value) {
        environment.emplace_back(name, value);
    }

    const fs::path configPath = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara" / "GoZ_Config.txt";
    std::list<goztest::ScopedEnvironment> environment;
};

void HandoverStart(benchmark::State& state) {
    Sandbox& sandbox = Sandbox::get();
    sandbox.stopHosts();
    for (auto _ : state) {
        if (RunToExit(GOZ_BRIDGE) != kDelivered) {
            state.SkipWithError("the bridge did not start Quiltara");
            break;
        }
        state.PauseTiming();
        sandbox.stopHosts();
        state.ResumeTiming();
    }
}

void HandoverMessage(benchmark::State& state) {
    Sandbox& sandbox = Sandbox::get();
    sandbox.stopHosts();
    goztest::RunningProgram host(sandbox.hostPath, {});
    if (!host.started() || !sandbox.logged("lock: held")) {
        state.SkipWithError("Quiltara did not start");
        return;
    }
    for (auto _ : state) {
        if (RunToExit(GOZ_BRIDGE) != kDelivered) {
            state.SkipWithError("the message did not reach Quiltara");
            break;
        }
    }
}

void QtStartAndExit(benchmark::State& state) {
    for (auto _ : state) {
        if (RunToExit(MINIMAL_QT_APP) != 0) {
            state.SkipWithError("the Qt program failed");
            break;
        }
    }
}

const int registered = [] {
    for (auto* bench : {benchmark::RegisterBenchmark("HandoverStart", HandoverStart),
                        benchmark::RegisterBenchmark("HandoverMessage", HandoverMessage),
                        benchmark::RegisterBenchmark("QtStartAndExit", QtStartAndExit)})
        bench->Unit(benchmark::kMillisecond)->UseRealTime();
    gozbench::CompareWith("HandoverStart", "QtStartAndExit");
    gozbench::CompareWith("HandoverMessage", "QtStartAndExit");
    return 0;
}();

} // namespace
