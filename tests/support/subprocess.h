// Runs a program of the build and collects what it printed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

// Line end the programs write to standard output in text mode.
#if defined(_WIN32)
inline constexpr const char* kNewline = "\r\n";
#else
inline constexpr const char* kNewline = "\n";
#endif

// `text` with each "\n" written as kNewline.
std::string WithNewlines(const std::string& text);

// A path of the build tree as the programs under test see it: unchanged on
// POSIX, Z:\... under Wine.
std::string NativePath(const std::string& path);

// A program of the build started without waiting for it, for tests that need
// a process running beside the one under test. Ended (and reaped) when the
// object dies, unless it has ended by then.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool started() const { return id != 0; }
    uint32_t processId() const { return id; }
    // True while it runs; once it has ended, exitCode() holds its exit code.
    bool running();
    std::optional<int32_t> exitCode() const { return code; }
    // Ends it at once and waits for it.
    void kill();

private:
    void* handle = nullptr; // the process handle on Windows
    uint32_t id = 0;
    std::optional<int32_t> code;
};

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
