// Runs a program of the build and collects what it printed.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace goztest {

struct RunResult {
    int32_t exitCode = 0; // as the process reported it, widened from the platform's form
    std::string output;   // standard output, line ends as written
};

// `program` is a path of the build tree; each argument reaches it as one argv entry.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// A program started in the background with a pipe as its standard input,
// left running until stop(); killed and reaped when the object dies.
class RunningProgram {
public:
    RunningProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const;
    uint32_t processId() const;
    // Closes its standard input, which tells a program waiting on it to end,
    // and waits for its exit code (-1000 when it never started).
    int32_t stop();

private:
    struct State;
    std::unique_ptr<State> state;
};

// The running processes whose executable lies below `folder`.
std::vector<uint32_t> ProcessesUnder(const std::filesystem::path& folder);

// Ends a process at once, as a crash would.
void KillProcess(uint32_t id);

// A fresh folder for the temporary files of the programs a test starts, with
// a path short enough for a socket; empty on failure. The caller removes it.
std::filesystem::path MakeTemporaryFolder();

// The environment variables that name the temporary folder to a program.
extern const std::vector<std::string> kTemporaryFolderVariables;

// A build-tree path as the system names it: Z:\... with backslashes under
// Wine, unchanged on POSIX.
std::string SystemPath(const std::string& path);

// Line end the programs write to standard output in text mode.
#if defined(_WIN32)
inline constexpr const char* kNewline = "\r\n";
#else
inline constexpr const char* kNewline = "\n";
#endif

// `text` with each "\n" written as kNewline.
std::string WithNewlines(const std::string& text);

// Sets an environment variable of this process, which the programs it starts
// inherit, and puts the old value back when it dies.
class ScopedEnvironment {
public:
    ScopedEnvironment(const std::string& name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name;
    std::optional<std::string> old;
};

// Polls `condition` until it holds or `timeout` has passed; its last answer.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace goztest
