#include "bridge/exit_status.h"
#include "tests/support/subprocess.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using goztest::RunProgram;
using goztest::WithNewlines;

TEST(CommandLine, OneArgumentIsAnsweredByteForByteWithExitCode0) {
    std::vector<std::pair<const char*, std::string>> programs{{GOZ_INSTALLER, "GoZInitQuiltara"}};
#ifdef GOZ_BRIDGE
    programs.push_back({GOZ_BRIDGE, "GoZBrushToQuiltara"});
#endif
    for (const auto& [path, name] : programs) {
        const std::string usage = "USAGE:\n" + name +
                                  ".exe [OPTION]\nOPTION:\n        -h, --help\n"
                                  "Displays usage information and exits.\n        -v, --version\n"
                                  "Displays version information and exits.\n";
        const std::string version = name + " Version : 1.0.0\n";
        std::vector<std::pair<std::string, std::string>> cases{
            {"-h", usage}, {"--help", usage}, {"-v", version}, {"--version", version}};
        for (const char* other : {"-H", "-help", "", "100%s%n%d", "--version "})
            cases.push_back(
                {other, std::string(other) + " is Invalid Command. Please Try Again.\n"});
        for (const auto& [argument, output] : cases) {
            auto run = RunProgram(path, {argument});
            EXPECT_EQ(run.exitCode, 0) << name << " [" << argument << "]";
            EXPECT_EQ(run.output, WithNewlines(output)) << name << " [" << argument << "]";
        }
    }
}

TEST(CommandLine, MoreArgumentsAreNoOptions) {
    // The installer stops without a word.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help", "-v"}, {"a", "b", "c"}}) {
        auto run = RunProgram(GOZ_INSTALLER, arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
    }
#ifdef GOZ_BRIDGE
    // The bridge goes on, and finds no Quiltara configuration in the sandbox.
    auto run = RunProgram(GOZ_BRIDGE, {"--help", "--version"});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exitCode, ProcessExitStatus(32767));
#endif
}
