// Runs a program of the build and collects what it printed.
#pragma once

#include <cstdint>
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

} // namespace goztest
