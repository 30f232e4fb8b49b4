// The test harness, one for both platforms: files, programs, processes, and
// Quiltara's sandbox GoZ folder with a temporary folder of each case's own.
// GOZ_BRIDGE, GOZ_INSTALLER and QUILTARA_STANDIN name the sandbox programs as
// the system does (on drive Z: under Wine); GOZ_VERSION is the project's version.
#pragma once

#include "bridge/exit_status.h"
#include "gozsupport/paths.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace goztest {

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path); // "" for a missing file
// Polls `condition` until it holds or `ms` pass; its last answer.
bool WaitFor(const std::function<bool()>& condition, int ms = 30000);

struct RunResult {
    int32_t exitCode;   // all 32 bits on Windows, 8 on POSIX; -2000 for a crash
    std::string output; // standard output, line ends as "\n"
    std::string errors; // standard error, when it went to a file
};
// Runs `program` to its own end; what it leaves running is not waited for.
// Its standard error goes to `errors` when given, a file that what it starts
// may go on writing to; otherwise to the test's.
RunResult
RunProgram(const std::string& program, const QStringList& arguments = {},
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           const fs::path& errors = {});
// Starts `count` copies of `program` at once, then waits for each; copy i
// writes its standard error to `errors` with i appended, when given.
std::vector<RunResult> RunTogether(const std::string& program, int count,
                                   const QProcessEnvironment& environment,
                                   const fs::path& errors = {});
void KillProcess(uint32_t id);
// Whether the narrow code page is a double-byte one, as under Wine with ja_JP (932).
inline bool DoubleByteCodePage() {
    return QString::fromLocal8Bit("\x83\x41").size() == 1;
}

} // namespace goztest

inline const std::string kMarker = "----------<::>-GoZ";
inline const int kSuccess = ProcessExitStatus(-1);
inline const int kNoPath = ProcessExitStatus(32767);

// Where outcomes differ by platform: Windows keeps 32-bit exit codes and has
// error numbers of its own, Linux keeps 8 bits and errno values. The stand-in
// logs a started Quiltara's whole command line on Windows, each argument on Linux.
#if defined(_WIN32)
inline const char* const kExe = ".exe";
inline const std::string kStartedWithMarker = "commandline: " + kMarker;
inline const int kNotConnected = 233, kSendTimedOut = 121; // ERROR_PIPE_NOT_CONNECTED, _SEM_TIMEOUT
inline const int kMissingFile = 2;                         // ERROR_FILE_NOT_FOUND
inline const int kMissingFolder = 3, kEmptyPath = 3;       // ERROR_PATH_NOT_FOUND
inline const int kNotAProgram = 193;                       // ERROR_BAD_EXE_FORMAT
inline const int kStartRefused = 1260;                     // ERROR_ACCESS_DISABLED_BY_POLICY
inline const int kBurst = 20; // bridges at once: a Wine start costs a fifth of a second
// Qt's connect waits up to 5 s for a free pipe instance itself, so the wait a
// bridge traces on a Quiltara set up slowly and busy once it listens is the first.
inline const std::string kWaitedTrace = "send: nobody listens yet, waiting";
#else
inline const char* const kExe = "";
inline const std::string kStartedWithMarker = "argv: " + kMarker;
inline const int kNotConnected = ENOTCONN, kSendTimedOut = ETIMEDOUT;
inline const int kMissingFile = ENOENT, kMissingFolder = ENOENT, kEmptyPath = ENOENT;
inline const int kNotAProgram = EACCES; // not marked executable
inline const int kStartRefused = EPERM;
inline const int kBurst = 60;
inline const std::string kWaitedTrace = "send: busy, waiting";
#endif

// Quiltara's sandbox GoZ folder, emptied for each case, and a temporary folder
// of the case's own for the programs' lock files, sockets and stand-ins.
class GoZFolder : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void setting(const QString& name, const QString& value) { environment.insert(name, value); }
    goztest::RunResult run(const std::string& program, const QStringList& arguments = {}) const {
        auto result = goztest::RunProgram(program, arguments, environment, temp / "stderr.txt");
        std::cerr << result.errors; // where it went before
        return result;
    }
    void configure(const std::string& path) const {
        goztest::WriteFile(config, "PATH = \"" + path + "\"\n");
    }
    // A copy of the stand-in at `path` (".exe" added on Windows), configured as Quiltara.
    fs::path installHost(fs::path path);
    void stopHosts();
    std::string hostLog() const { return goztest::ReadFile(temp / "host.log"); }
    int logCount(const std::string& line) const;
    bool logged(const std::string& line) const {
        return goztest::WaitFor([&] { return hostLog().find(line + "\n") != std::string::npos; });
    }
    // The bridge, which prints nothing without an option, and on Linux nothing
    // on standard error without GOZ_TRACE=1; `took` is how long it ran, `trace`
    // its standard error.
    int bridge(const QStringList& arguments = {});
    fs::path lockFile() const;  // the peer's for "Quiltara"
    QString socketPath() const; // where the peer for "Quiltara" listens

    const fs::path folder = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara";
    const fs::path config = folder / "GoZ_Config.txt";
    QTemporaryDir tempDir;
    const fs::path temp = tempDir.path().toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::vector<std::string> hosts;
    double took = 0;
    std::string trace;
};
