// A temporary folder of this process's own, removed when the process exits.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace goztest {

// For tools that end by exit() rather than by scope: benchmarks and fuzzers.
// One folder per process; the first call's prefix names it.
inline const std::filesystem::path& ProcessScratchFolder(const char* prefix) {
    static const std::filesystem::path dir = [prefix] {
        auto made = std::filesystem::temp_directory_path() /
                    (std::string(prefix) + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    // Registered after `dir` exists, so it runs before `dir` is destroyed.
    static const bool cleanup = [] {
        return std::atexit([] {
                   std::error_code ignored;
                   std::filesystem::remove_all(dir, ignored);
               }) == 0;
    }();
    (void)cleanup;
    return dir;
}

} // namespace goztest
