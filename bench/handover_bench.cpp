// Wall time of the bridge from its start to its exit, both ways: Quiltara (the
// stand-in) is not running and the bridge starts it, or it runs and the bridge
// messages it and waits for the acknowledgement. Both against a Qt program that
// only starts and ends. Then the load: many bridges at once, with Quiltara not
// running and running, counted at Quiltara; and how soon a bridge that waits
// for a slow Quiltara delivers once it listens, once a busy one reads again,
// and once the next one listens after one that closed while sends waited.
// The Linux programs run natively; when GOZ_WINDOWS_BUILD names a Windows
// build tree, its programs run too, under Wine in its prefix.
#include "bench/ratio.h"
#include "devsupport/process_scratch.h"
#include "gozsupport/paths.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <list>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// -1 in the 8 bits of a Linux exit status, which Wine's status keeps too.
constexpr int32_t kDelivered = 255;

// One build's programs, the folders they see, and how to run them.
struct Programs {
    std::vector<std::string> runner; // wine-run.sh, or nothing
    std::string bridge, standIn, minimal;
    fs::path config;      // the sandbox's GoZApps/Quiltara/GoZ_Config.txt
    fs::path hostCopy;    // where the stand-in is copied to
    std::string hostPath; // that copy as Quiltara's PATH names it
    fs::path logFile;     // where the stand-in logs
    std::string logPath;  // that log as the stand-in names it
    std::string tmpdir;   // TMPDIR for the programs, or none: Wine's prefix has its own
};

std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
        if (c == '/')
            c = '\\';
    }
    return text;
}

Programs LinuxPrograms(const fs::path& scratch) {
    Programs p;
    p.bridge = GOZ_BRIDGE;
    p.standIn = QUILTARA_STANDIN;
    p.minimal = MINIMAL_QT_APP;
    p.config = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara" / "GoZ_Config.txt";
    p.hostCopy = scratch / "Quiltara";
    p.hostPath = p.hostCopy.string();
    p.logFile = scratch / "Quiltara.log";
    p.logPath = p.logFile.string();
    p.tmpdir = scratch.string();
    return p;
}

Programs WindowsPrograms(const fs::path& build, const fs::path& scratch) {
    Programs p;
    p.runner = {(build / "wine-run.sh").string()};
    p.bridge = (build / "sandbox" / "bin" / "GoZBrushToQuiltara.exe").string();
    p.standIn = (build / "tools" / "QuiltaraStandIn.exe").string();
    p.minimal = (build / "bench" / "minimal_qt_app.exe").string();
    p.config = build / "sandbox" / "Pixologic" / "GoZApps" / "Quiltara" / "GoZ_Config.txt";
    p.hostCopy = build / "wineprefix" / "drive_c" / "goz_bench" / "Quiltara.exe";
    p.hostPath = "C:\\goz_bench\\Quiltara.exe";
    p.logFile = scratch / "Quiltara.log";
    p.logPath = WindowsPath(p.logFile);
    return p;
}

// Polls `condition` until it holds or 10 s pass; its last answer.
bool WaitFor(const std::function<bool()>& condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The exit code of a started program, once it has ended; -1000 for none that
// started, -2000 for one that a signal ended.
int32_t Finish(pid_t child) {
    if (child <= 0)
        return -1000;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2000;
}

// The stand-ins started from `program`, by their first argument in /proc.
// Wine shows a process's Windows command line there, which for a Quiltara
// that the bridge started is the marker alone.
std::vector<pid_t> HostsOf(const std::string& program) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream file(entry.path() / "cmdline");
        std::string first;
        if (std::getline(file, first, '\0') && (first == program || first == "----------<::>-GoZ"))
            found.push_back(std::atoi(entry.path().filename().c_str()));
    }
    return found;
}

// Sets up one build's sandbox with a copy of the stand-in as Quiltara; undone
// at exit.
class Sandbox {
public:
    explicit Sandbox(Programs chosen)
        : programs(std::move(chosen)), environment(childEnvironment()) {
        fs::create_directories(programs.logFile.parent_path());
        fs::create_directories(programs.hostCopy.parent_path());
        fs::create_directories(programs.config.parent_path());
        fs::copy_file(programs.standIn, programs.hostCopy, fs::copy_options::overwrite_existing);
        std::ofstream(programs.config) << "PATH = \"" << programs.hostPath << "\"\n";
    }

    ~Sandbox() {
        stopHosts();
        std::error_code ignored;
        fs::remove(programs.config, ignored);
    }

    // Starts `program` with `arguments`, under the build's runner if it has
    // one, with the sandbox's settings and `extra` ones, and nothing on its
    // standard input; its process id, or 0.
    pid_t start(const std::string& program, const std::vector<std::string>& extra = {},
                const std::vector<std::string>& arguments = {}) const {
        std::vector<std::string> command = programs.runner;
        command.push_back(program);
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv, envp;
        for (std::string& word : command)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        for (const std::string& setting : extra)
            envp.push_back(const_cast<char*>(setting.c_str()));
        for (const std::string& setting : environment) {
            // What `extra` sets replaces the sandbox's own.
            auto same = [&](const std::string& own) {
                return own.compare(0, own.find('=') + 1, setting, 0, setting.find('=') + 1) == 0;
            };
            if (std::none_of(extra.begin(), extra.end(), same))
                envp.push_back(const_cast<char*>(setting.c_str()));
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        pid_t child = 0;
        int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0 ? child : 0;
    }

    // Until the program's own exit: a host it starts may hold its output open longer.
    int32_t run(const std::string& program) const { return Finish(start(program)); }

    // Starts Quiltara as the user would, with `extra` settings; false when it failed.
    bool startHost(const std::vector<std::string>& extra = {},
                   const std::vector<std::string>& arguments = {}) const {
        pid_t host = start(programs.hostPath, extra, arguments);
        if (host != 0)
            runners.push_back(host);
        return host != 0;
    }

    std::string log() const {
        std::ifstream file(programs.logFile);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

    // Whether the stand-in has logged `line` (within 10 s).
    bool logged(const std::string& line) const {
        return WaitFor([&] { return log().find(line + "\n") != std::string::npos; });
    }

    // How many lines of the log start with `start`.
    int count(const std::string& start) const {
        const std::string text = "\n" + log(), wanted = "\n" + start;
        int found = 0;
        for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1))
            ++found;
        return found;
    }

    // Ends every stand-in started from the copy and drops their log, so that
    // logged() speaks of the next one only. The runners go first: a shell
    // whose program is killed says so on the output.
    void stopHosts() const {
        for (pid_t runner : runners) {
            kill(runner, SIGKILL);
            Finish(runner);
        }
        runners.clear();
        WaitFor([&] {
            std::vector<pid_t> running = HostsOf(programs.hostPath);
            for (pid_t id : running)
                kill(id, SIGKILL);
            return running.empty();
        });
        std::error_code ignored;
        fs::remove(programs.logFile, ignored);
    }

    const Programs programs;

private:
    // This process's environment with the settings of the programs it starts.
    std::vector<std::string> childEnvironment() const {
        std::vector<std::string> settings = {"QUILTARA_STANDIN_LOG=" + programs.logPath,
                                             "QUILTARA_STANDIN_STDOUT=off",
                                             "QUILTARA_STANDIN_SECONDS=600"};
        if (!programs.tmpdir.empty())
            settings.push_back("TMPDIR=" + programs.tmpdir);
        const auto ours = static_cast<std::ptrdiff_t>(settings.size());
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string setting = *entry;
            std::string name = setting.substr(0, setting.find('=') + 1);
            auto named = [&](const std::string& own) { return own.rfind(name, 0) == 0; };
            if (std::none_of(settings.begin(), settings.begin() + ours, named))
                settings.push_back(setting);
        }
        return settings;
    }

    const std::vector<std::string> environment;
    mutable std::vector<pid_t> runners; // of the hosts that startHost() started
};

void HandoverStart(benchmark::State& state, const Sandbox* sandbox) {
    sandbox->stopHosts();
    for (auto _ : state) {
        bool delivered = sandbox->run(sandbox->programs.bridge) == kDelivered;
        state.PauseTiming();
        if (!delivered || !sandbox->logged("lock: held")) {
            state.SkipWithError("the bridge did not start Quiltara");
            break;
        }
        sandbox->stopHosts();
        state.ResumeTiming();
    }
}

void HandoverMessage(benchmark::State& state, const Sandbox* sandbox) {
    sandbox->stopHosts();
    if (!sandbox->startHost() || !sandbox->logged("lock: held")) {
        state.SkipWithError("Quiltara did not start");
    } else {
        for (auto _ : state) {
            if (sandbox->run(sandbox->programs.bridge) != kDelivered) {
                state.SkipWithError("the message did not reach Quiltara");
                break;
            }
        }
    }
    sandbox->stopHosts();
}

void QtStartAndExit(benchmark::State& state, const Sandbox* sandbox) {
    for (auto _ : state) {
        if (sandbox->run(sandbox->programs.minimal) != 0) {
            state.SkipWithError("the Qt program failed");
            break;
        }
    }
}

// Messages are logged once acknowledged: gives the last ones a moment, then
// what has arrived.
int Settled(const std::function<int()>& arrived, int expected) {
    int last = -1;
    WaitFor([&] {
        int now = arrived();
        bool settled = now == last;
        last = now;
        return settled && now >= expected;
    });
    return last;
}

// Starts `bridges` bridges at once; how many of them did not end with -1.
int RunTogether(const Sandbox* sandbox, int bridges) {
    std::vector<pid_t> running;
    for (int i = 0; i < bridges; ++i)
        running.push_back(sandbox->start(sandbox->programs.bridge));
    int failed = 0;
    for (pid_t bridge : running)
        failed += Finish(bridge) != kDelivered;
    return failed;
}

// What a burst reports, per run.
void CountDeliveries(benchmark::State& state, int bridges, double delivered, double failed) {
    const auto runs = static_cast<double>(state.iterations());
    state.counters["delivered"] = delivered / runs;
    state.counters["lost"] = bridges - delivered / runs;
    state.counters["failed"] = failed / runs;
}

// `bridges` bridges at once, with Quiltara not running (cold) or running
// (warm). Delivered is what Quiltara logged: each instance's own start with
// the marker and every message; lost is the rest.
void Burst(benchmark::State& state, const Sandbox* sandbox, bool warm) {
    const auto bridges = static_cast<int>(state.range(0));
    const std::string marker = "----------<::>-GoZ";
    double delivered = 0, started = 0, failed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sandbox->stopHosts();
        if (warm && (!sandbox->startHost() || !sandbox->logged("lock: held"))) {
            state.SkipWithError("Quiltara did not start");
            break;
        }
        const int before = sandbox->count("message: ");
        state.ResumeTiming();
        failed += RunTogether(sandbox, bridges);
        state.PauseTiming();
        // What reached Quiltara: every message since, and when cold its own start.
        delivered += Settled(
            [&] {
                return sandbox->count("message: ") - before +
                       (warm ? 0 : sandbox->count("lock: held"));
            },
            bridges);
        started += sandbox->count("argv: " + marker) + sandbox->count("commandline: " + marker);
        state.ResumeTiming();
    }
    sandbox->stopHosts();
    CountDeliveries(state, bridges, delivered, failed);
    state.counters["started"] = started / static_cast<double>(state.iterations());
}

// `bridges` bridges at once into a Quiltara that blocks its event loop for 3 s
// once it listens: more than its socket queues (50) or its pipe has instances
// (8). Delivered is what Quiltara logged; "afterSpell" the time from the end
// of its busy spell to the exit of the last bridge, which follows its "ack".
void BurstBusy(benchmark::State& state, const Sandbox* sandbox) {
    using Clock = std::chrono::steady_clock;
    const auto bridges = static_cast<int>(state.range(0));
    double delivered = 0, failed = 0, afterSpell = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sandbox->stopHosts();
        if (!sandbox->startHost({"QUILTARA_STANDIN_BUSY_MS=3000"}) ||
            !sandbox->logged("lock: held")) {
            state.SkipWithError("Quiltara did not start");
            break;
        }
        state.ResumeTiming();
        Clock::time_point spellOver{};
        std::thread watch([&] {
            sandbox->logged("busy: over");
            spellOver = Clock::now();
        });
        failed += RunTogether(sandbox, bridges);
        const Clock::time_point lastExit = Clock::now();
        watch.join();
        state.PauseTiming();
        delivered += Settled([&] { return sandbox->count("message: "); }, bridges);
        afterSpell += std::chrono::duration<double, std::milli>(lastExit - spellOver).count();
        state.ResumeTiming();
    }
    sandbox->stopHosts();
    CountDeliveries(state, bridges, delivered, failed);
    state.counters["afterSpell_ms"] = afterSpell / static_cast<double>(state.iterations());
}

// `bridges` bridges at once into a Quiltara that imports each transfer for
// 100 ms, closes 1 s into the burst and saves for 2 s more, after its peer
// went. Delivered is what every Quiltara logged (each message, and the start
// of one that a bridge started), duplicated what went beyond one per bridge,
// started the Quiltaras that bridges started after it. In the runs that
// started one, "afterEnd" is the time from the closing one's end to the exit
// of the last bridge, which follows its "ack", and "afterListen" that from the
// next one's listening. Qt's pipe server on Windows takes each connection
// that keeps coming before the close gets its turn: under Wine the burst may
// be over by then, and none is started. So the bridges may also start only
// once it has begun to close (`late`).
void BurstClosing(benchmark::State& state, const Sandbox* sandbox, bool late) {
    using Clock = std::chrono::steady_clock;
    const auto bridges = static_cast<int>(state.range(0));
    double delivered = 0, duplicated = 0, failed = 0, started = 0, afterEnd = 0, afterListen = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sandbox->stopHosts();
        if (!sandbox->startHost({"QUILTARA_STANDIN_SECONDS=1", "QUILTARA_STANDIN_CLOSING_MS=2000",
                                 "QUILTARA_STANDIN_BUSY_ON_MESSAGE_MS=100"}) ||
            !sandbox->logged("lock: held") || (late && !sandbox->logged("exit: time"))) {
            state.SkipWithError("Quiltara did not start");
            break;
        }
        state.ResumeTiming();
        Clock::time_point ended{}, listening{};
        std::atomic<bool> done{false};
        std::thread watch([&] {
            sandbox->logged("closing: over");
            ended = Clock::now();
            WaitFor([&] { return sandbox->count("lock: held") == 2 || done; });
            listening = Clock::now();
        });
        failed += RunTogether(sandbox, bridges);
        const Clock::time_point lastExit = Clock::now();
        done = true;
        watch.join();
        state.PauseTiming();
        const int arrived =
            Settled([&] { return sandbox->count("message: ") + sandbox->count("lock: held") - 1; },
                    bridges);
        delivered += std::min(arrived, bridges);
        duplicated += std::max(arrived - bridges, 0);
        if (sandbox->count("lock: held") > 1) {
            started += sandbox->count("lock: held") - 1;
            afterEnd += std::chrono::duration<double, std::milli>(lastExit - ended).count();
            afterListen += std::chrono::duration<double, std::milli>(lastExit - listening).count();
        }
        state.ResumeTiming();
    }
    sandbox->stopHosts();
    CountDeliveries(state, bridges, delivered, failed);
    const auto runs = static_cast<double>(state.iterations());
    state.counters["duplicated"] = duplicated / runs;
    state.counters["started"] = started / runs;
    if (started > 0) {
        state.counters["afterEnd_ms"] = afterEnd / started;
        state.counters["afterListen_ms"] = afterListen / started;
    }
}

// From the moment a Quiltara that took a second to load listens until the
// message of a bridge that has been waiting for it arrives, as its log shows.
void ListenToMessage(benchmark::State& state, const Sandbox* sandbox) {
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        sandbox->stopHosts();
        sandbox->startHost({"QUILTARA_STANDIN_STARTUP_MS=1000"}, {"loading"});
        // Under Wine a process takes a while to come up; the bridge must find it.
        sandbox->logged("loading");
        pid_t bridge = sandbox->start(sandbox->programs.bridge);
        Clock::time_point listening{}, arrived{};
        const Clock::time_point end = Clock::now() + std::chrono::seconds(10);
        while (arrived == Clock::time_point{} && Clock::now() < end) {
            std::string text = sandbox->log();
            if (listening == Clock::time_point{} && text.find("lock: held\n") != std::string::npos)
                listening = Clock::now();
            if (listening != Clock::time_point{} && text.find("message: ") != std::string::npos)
                arrived = Clock::now();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        bool delivered = Finish(bridge) == kDelivered;
        if (!delivered || arrived == Clock::time_point{}) {
            state.SkipWithError("the waiting bridge did not deliver");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(arrived - listening).count());
    }
    sandbox->stopHosts();
}

void Register(const std::string& prefix, const Sandbox* sandbox) {
    // The ratio printer keeps these names past registration.
    static std::list<std::string> names;
    const std::string& start = names.emplace_back(prefix + "HandoverStart");
    const std::string& message = names.emplace_back(prefix + "HandoverMessage");
    const std::string& bare = names.emplace_back(prefix + "QtStartAndExit");
    for (auto* bench : {benchmark::RegisterBenchmark(start.c_str(), HandoverStart, sandbox),
                        benchmark::RegisterBenchmark(message.c_str(), HandoverMessage, sandbox),
                        benchmark::RegisterBenchmark(bare.c_str(), QtStartAndExit, sandbox)})
        // A Wine start takes a fifth of a second, and the first one longer still.
        bench->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(prefix.empty() ? 0.5 : 5.0);
    gozbench::CompareWith(start.c_str(), bare.c_str());
    gozbench::CompareWith(message.c_str(), bare.c_str());

    const int bridges = prefix.empty() ? 50 : 20;
    const std::string& cold = names.emplace_back(prefix + "BurstCold");
    const std::string& warm = names.emplace_back(prefix + "BurstWarm");
    const std::string& delay = names.emplace_back(prefix + "ListenToMessage");
    const std::string& busy = names.emplace_back(prefix + "BurstBusy");
    for (bool isWarm : {false, true})
        benchmark::RegisterBenchmark((isWarm ? warm : cold).c_str(), Burst, sandbox, isWarm)
            ->Arg(bridges)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    benchmark::RegisterBenchmark(busy.c_str(), BurstBusy, sandbox)
        ->Arg(prefix.empty() ? 60 : 20)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    const std::string& closing = names.emplace_back(prefix + "BurstClosing");
    const std::string& intoClosing = names.emplace_back(prefix + "BurstIntoClosing");
    for (bool late : {false, true})
        benchmark::RegisterBenchmark((late ? intoClosing : closing).c_str(), BurstClosing, sandbox,
                                     late)
            ->Arg(prefix.empty() ? 40 : 10)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    benchmark::RegisterBenchmark(delay.c_str(), ListenToMessage, sandbox)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
}

const int registered = [] {
    const fs::path scratch = goztest::ProcessScratchFolder("goz_bench_");
    static const Sandbox linux(LinuxPrograms(scratch / "linux"));
    Register("", &linux);
    if (const char* windows = std::getenv("GOZ_WINDOWS_BUILD")) {
        static const Sandbox wine(WindowsPrograms(windows, scratch / "wine"));
        Register("Wine/", &wine);
    }
    return 0;
}();

} // namespace
