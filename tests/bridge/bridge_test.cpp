// The bridge end to end on Linux: the real program, the stand-in Quiltara as
// the host, each case with its own temporary folder, so its own lock file and
// socket, and its own copy of the host, so the search finds no other.
#include "bridge/exit_status.h"
#include "gozsupport/paths.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using goztest::Exists;
using goztest::ReadFile;
using goztest::RunningProgram;
using goztest::RunProgram;
using goztest::RunResult;
using goztest::ScopedEnvironment;
using goztest::WaitFor;

namespace {

const std::string kMarker = "----------<::>-GoZ";
const int kSuccess = ProcessExitStatus(-1);

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Bridge : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
        // Short: the socket's path must fit a sockaddr_un.
        char pattern[] = "/tmp/goz-bridge-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        setting("TMPDIR", temp.string());
        setting("QUILTARA_STANDIN_LOG", logPath.string());
        setting("QUILTARA_STANDIN_STDOUT", "off");
        setting("QUILTARA_STANDIN_SECONDS", "30");
    }

    void TearDown() override {
        for (pid_t id : hostProcesses())
            kill(id, SIGKILL);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::remove_all(temp, ignored);
    }

    void setting(const std::string& name, const std::string& value) {
        environment.emplace_back(name, value);
    }

    void configure(const std::string& path) const {
        goztest::WriteFile(configPath, "PATH = \"" + path + "\"\n");
    }

    // This case's own Quiltara, configured as PATH.
    void installHost() const {
        fs::copy_file(QUILTARA_STANDIN, hostPath, fs::copy_options::overwrite_existing);
        configure(hostPath.string());
    }

    // Processes running from this case's copy of the host.
    std::vector<pid_t> hostProcesses() const {
        std::vector<pid_t> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            std::error_code unreadable;
            fs::path image = fs::read_symlink(entry.path() / "exe", unreadable);
            if (!unreadable && image == hostPath)
                found.push_back(std::stoi(entry.path().filename().string()));
        }
        return found;
    }

    std::vector<std::string> log() const {
        std::vector<std::string> lines;
        std::istringstream text(ReadFile(logPath));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    bool logged(const std::string& line) const {
        return WaitFor([&] {
            for (const std::string& entry : log()) {
                if (entry == line)
                    return true;
            }
            return false;
        });
    }

    RunResult bridge(const std::vector<std::string>& arguments = {}) const {
        return RunProgram(GOZ_BRIDGE, arguments);
    }

    fs::path lockFile() const {
        std::ostringstream name;
        name << "qtsingleapp-Quilta-6f28-" << std::hex << getuid() << "-lockfile";
        return temp / name.str();
    }

    const fs::path folder = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara";
    const fs::path configPath = folder / "GoZ_Config.txt";
    goztest::ScratchDir scratch;
    const fs::path hostPath = scratch.path() / "Quiltara";
    const fs::path logPath = scratch.path() / "host.log";
    fs::path temp;
    std::list<ScopedEnvironment> environment;
};

TEST(BridgeExitStatus, KeepsSuccessAndTheMissingPathApartInEightBits) {
    EXPECT_EQ(ProcessExitStatus(-1), 255);
    EXPECT_EQ(ProcessExitStatus(32767), 254);
    EXPECT_EQ(ProcessExitStatus(0), 0);
    EXPECT_EQ(ProcessExitStatus(ENOENT), ENOENT);
    EXPECT_EQ(ProcessExitStatus(253), 253);
    EXPECT_EQ(ProcessExitStatus(254), 253);
    EXPECT_EQ(ProcessExitStatus(70000), 253);
    EXPECT_EQ(ProcessExitStatus(-2), 253);
}

TEST_F(Bridge, WithoutAReadablePathEndsWith32767AndStartsNothing) {
    RunResult run = bridge();
    EXPECT_EQ(run.exitCode, ProcessExitStatus(32767));
    EXPECT_EQ(run.output, "");

    goztest::WriteFile(configPath, "NAME = Quiltara\nPATHS = " + hostPath.string() + "\n");
    fs::copy_file(QUILTARA_STANDIN, hostPath);
    run = bridge();
    EXPECT_EQ(run.exitCode, ProcessExitStatus(32767));
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(hostProcesses().empty());
}

TEST_F(Bridge, FailedStartEndsWithItsErrno) {
    configure("");
    EXPECT_EQ(bridge().exitCode, ENOENT) << "empty PATH";

    installHost();
    fs::remove(hostPath);
    EXPECT_EQ(bridge().exitCode, ENOENT) << "executable removed after configuration";

    goztest::WriteFile(hostPath, "not a program\n");
    EXPECT_EQ(bridge().exitCode, EACCES) << "not executable";

    configure((scratch.path() / "no-folder" / "Quiltara").string());
    RunResult run = bridge();
    EXPECT_EQ(run.exitCode, ENOENT) << "missing folder";
    EXPECT_EQ(run.output, "");
}

TEST_F(Bridge, StartsTheHostThenMessagesTheRunningOne) {
    installHost();
    setting("QUILTARA_STANDIN_MESSAGES", "1");

    // Two arguments are no option: the bridge goes on as without any.
    auto start = Clock::now();
    RunResult run = bridge({"--help", "-v"});
    EXPECT_EQ(run.exitCode, kSuccess);
    EXPECT_EQ(run.output, "");
    // Back at once, while the host it started goes on running.
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(hostProcesses().size(), 1u);
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(log(), (std::vector<std::string>{"argv: " + kMarker, "lock: held"}));

    run = bridge();
    EXPECT_EQ(run.exitCode, kSuccess);
    ASSERT_TRUE(logged("exit: messages"));
    // The message arrived and no second host was started.
    EXPECT_EQ(log(), (std::vector<std::string>{"argv: " + kMarker, "lock: held",
                                               "message: " + kMarker, "exit: messages"}));
}

TEST_F(Bridge, RunningHostWithoutTheLockGetsNothing) {
    installHost();
    setting("QUILTARA_STANDIN_MODE", "nolock");
    RunningProgram host(hostPath.string(), {});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(logged("lock: skipped"));

    RunResult run = bridge();
    EXPECT_EQ(run.exitCode, kSuccess);
    EXPECT_EQ(hostProcesses(), std::vector<pid_t>{static_cast<pid_t>(host.processId())});
    EXPECT_EQ(log(), std::vector<std::string>{"lock: skipped"});
    // The bridge took the lock itself, through its own lock file.
    EXPECT_TRUE(Exists(lockFile()));
}

TEST_F(Bridge, HostThatNeverAnswersYieldsASystemErrorCodeInTime) {
    installHost();
    setting("QUILTARA_STANDIN_MODE", "silent");
    RunningProgram host(hostPath.string(), {});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(logged("lock: held"));

    auto start = Clock::now();
    RunResult run = bridge();
    double seconds = SecondsSince(start);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.exitCode, kSuccess);
    EXPECT_NE(run.exitCode, ProcessExitStatus(32767));
    EXPECT_GT(run.exitCode, 0);
    EXPECT_LT(seconds, 7.5);
    EXPECT_EQ(hostProcesses().size(), 1u);
}

TEST_F(Bridge, HelpPrintsUsageAndLeavesOnlyTheLockFile) {
    installHost();
    ASSERT_FALSE(Exists(lockFile()));
    RunResult run = bridge({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.rfind("USAGE:\nGoZBrushToQuiltara.exe [OPTION]\n", 0), 0u) << run.output;
    EXPECT_TRUE(Exists(lockFile()));
    EXPECT_TRUE(hostProcesses().empty());
    EXPECT_FALSE(Exists(logPath));
}

} // namespace
