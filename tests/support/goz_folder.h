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
#include "singleinstance/lock_platform.h"
#endif

namespace fs = std::filesystem;

inline const std::string kMarker = "----------<::>-GoZ";
inline const int kSuccess = ProcessExitStatus(-1);
inline const int kNoPath = ProcessExitStatus(32767);

// Where the outcomes differ by platform. Windows keeps the whole 32-bit exit
// code and has error numbers of its own; Linux keeps 8 bits (exit_status.h)
// and reports errno values. The stand-in logs a started Quiltara's command
// line: on Windows all of it, on Linux each argument.
#if defined(_WIN32)
inline const char* const kExe = ".exe";
inline const std::string kStartedWithMarker = "commandline: " + kMarker;
inline const int kNotConnected = 233;                 // ERROR_PIPE_NOT_CONNECTED
inline const int kNoHostSocket = 2, kMissingFile = 2; // ERROR_FILE_NOT_FOUND
inline const int kMissingFolder = 3, kEmptyPath = 3;  // ERROR_PATH_NOT_FOUND
inline const int kNotAProgram = 193;                  // ERROR_BAD_EXE_FORMAT
inline const int kSendTimedOut = 0; // whatever GetLastError holds: any failure code
#else
inline const char* const kExe = "";
inline const std::string kStartedWithMarker = "argv: " + kMarker;
inline const int kNotConnected = ENOTCONN, kSendTimedOut = ETIMEDOUT, kNoHostSocket = ENOENT;
inline const int kMissingFile = ENOENT, kMissingFolder = ENOENT, kEmptyPath = ENOENT;
inline const int kNotAProgram = EACCES; // not marked executable
#endif

class GoZFolder : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
#if defined(GOZ_BRIDGE)
        temp = goztest::MakeTemporaryFolder();
        ASSERT_FALSE(temp.empty());
        for (const std::string& variable : goztest::kTemporaryFolderVariables)
            setting(variable, temp.string());
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
    // A copy of the stand-in at `path` (".exe" added on Windows), configured as Quiltara.
    fs::path installHost(fs::path path) const {
        path += kExe;
        fs::create_directories(path.parent_path());
        fs::copy_file(goztest::SystemPath(QUILTARA_STANDIN), path,
                      fs::copy_options::overwrite_existing);
        configure(path.string());
        return path;
    }
    // Processes running a program below this case's folder.
    std::vector<uint32_t> hosts() const {
        return goztest::ProcessesUnder(temp);
    }
    void stopHosts() const {
        for (uint32_t id : hosts())
            goztest::KillProcess(id);
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
    // The peer's socket for "Quiltara" (a file on POSIX, a pipe name on
    // Windows); the lock file adds "-lockfile".
    fs::path socketFile() const {
        uint32_t scope = 0;
        goz::platform::InstanceScope(scope);
        char name[64];
        std::snprintf(name, sizeof name, "qtsingleapp-Quilta-6f28-%x", scope);
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
