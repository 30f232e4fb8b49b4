// Quiltara's sandbox GoZ folder, emptied for each case. Where the bridge is
// built, also a temporary folder of the case's own, so that its lock file,
// socket and copies of the stand-in Quiltara meet nobody else's.
#pragma once

#include "bridge/exit_status.h"
#include "gozsupport/paths.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#if defined(GOZ_BRIDGE)
#include <csignal>
#include <cstdlib>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

inline const std::string kMarker = "----------<::>-GoZ";
inline const int kSuccess = ProcessExitStatus(-1);
inline const int kNoPath = ProcessExitStatus(32767);

// Platform difference: the codes of a hand-over that delivered nothing. Windows
// records GetLastError after a failed send, whatever Qt left there; 0 takes any
// failure code.
#if defined(_WIN32)
inline const int kNotConnected = 233; // ERROR_PIPE_NOT_CONNECTED
inline const int kSendTimedOut = 0, kNoHostSocket = 0;
#else
inline const int kNotConnected = ENOTCONN, kSendTimedOut = ETIMEDOUT, kNoHostSocket = ENOENT;
#endif

class GoZFolder : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
#if defined(GOZ_BRIDGE)
        char pattern[] = "/tmp/goz-XXXXXX"; // short: a socket path must fit a sockaddr_un
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        setting("TMPDIR", temp.string());
        setting("QUILTARA_STANDIN_LOG", (temp / "host.log").string());
        setting("QUILTARA_STANDIN_STDOUT", "off");
        setting("QUILTARA_STANDIN_SECONDS", "30");
#endif
    }

    void TearDown() override {
        std::error_code ignored;
#if defined(GOZ_BRIDGE)
        stopHosts();
        fs::remove_all(temp, ignored);
#endif
        fs::remove_all(folder, ignored);
    }

    const fs::path folder = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara";
    const fs::path config = folder / "GoZ_Config.txt";

#if defined(GOZ_BRIDGE)
    void setting(const std::string& name, const std::string& value) {
        environment.emplace_back(name, value);
    }
    void configure(const std::string& path) const {
        goztest::WriteFile(config, "PATH = \"" + path + "\"\n");
    }
    // A copy of the stand-in at `path`, configured as Quiltara.
    fs::path installHost(const fs::path& path) const {
        fs::create_directories(path.parent_path());
        fs::copy_file(QUILTARA_STANDIN, path, fs::copy_options::overwrite_existing);
        configure(path.string());
        return path;
    }
    // Processes running a program below this case's folder.
    std::vector<pid_t> hosts() const {
        std::vector<pid_t> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code unreadable;
            fs::path image = fs::read_symlink(entry.path() / "exe", unreadable);
            if (!unreadable && image.string().rfind(temp.string() + "/", 0) == 0)
                found.push_back(std::stoi(entry.path().filename().string()));
        }
        return found;
    }
    void stopHosts() const {
        for (pid_t id : hosts())
            kill(id, SIGKILL);
        goztest::WaitFor([&] { return hosts().empty(); });
    }
    std::string hostLog() const {
        return goztest::ReadFile(temp / "host.log");
    }
    bool logged(const std::string& line) const {
        return goztest::WaitFor([&] { return hostLog().find(line + "\n") != std::string::npos; });
    }
    // The bridge, which prints nothing without an option; `took` is how long it ran.
    int bridge(const std::vector<std::string>& arguments = {}) {
        auto start = std::chrono::steady_clock::now();
        goztest::RunResult run = goztest::RunProgram(GOZ_BRIDGE, arguments);
        took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.output, "");
        return run.exitCode;
    }
    // The bridge against a host that does not take its message: `code` (0: any
    // system error code, neither success nor the missing path) within `seconds`.
    void expectFailedSend(int code, double seconds) {
        int status = bridge();
        EXPECT_TRUE(code == 0 || status == code) << status;
        EXPECT_GT(status, 0);
        EXPECT_NE(status, kSuccess);
        EXPECT_NE(status, kNoPath);
        EXPECT_LT(took, seconds);
    }
    // The peer's socket for "Quiltara"; the lock file adds "-lockfile".
    fs::path socketFile() const {
        char name[64];
        std::snprintf(name, sizeof name, "qtsingleapp-Quilta-6f28-%x", getuid());
        return temp / name;
    }
    fs::path lockFile() const {
        return socketFile().string() + "-lockfile";
    }

    fs::path temp;
    double took = 0;
    std::list<goztest::ScopedEnvironment> environment;
#endif
};
