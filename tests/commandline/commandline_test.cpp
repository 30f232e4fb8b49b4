#include "bridge/exit_status.h"
#include "gozsupport/commandline.h"
#include "tests/support/subprocess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using goztest::RunProgram;
using goztest::WithNewlines;

namespace {

struct Program {
    const char* path;
    const char* name;
};

std::vector<Program> Programs() {
    std::vector<Program> programs{{GOZ_INSTALLER, "GoZInitQuiltara"}};
#ifdef GOZ_BRIDGE
    programs.push_back({GOZ_BRIDGE, "GoZBrushToQuiltara"});
#endif
    return programs;
}

std::string Usage(const std::string& name) {
    return WithNewlines("USAGE:\n" + name +
                        ".exe [OPTION]\n"
                        "OPTION:\n"
                        "        -h, --help\n"
                        "Displays usage information and exits.\n"
                        "        -v, --version\n"
                        "Displays version information and exits.\n");
}

} // namespace

TEST(CommandLine, OptionsPrintUsageAndVersionAndStop) {
    for (const Program& program : Programs()) {
        for (const char* option : {"-h", "--help"}) {
            auto run = RunProgram(program.path, {option});
            EXPECT_EQ(run.exitCode, 0) << program.name << " " << option;
            EXPECT_EQ(run.output, Usage(program.name)) << option;
        }
        for (const char* option : {"-v", "--version"}) {
            auto run = RunProgram(program.path, {option});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(run.output, WithNewlines(std::string(program.name) + " Version : 1.0.0\n"));
        }
    }
}

TEST(CommandLine, AnyOtherSingleArgumentIsInvalidVerbatim) {
    for (const Program& program : Programs()) {
        for (const char* argument : {"-H", "--Help", "-help", "x", "", "100%s%n%d", "--version "}) {
            auto run = RunProgram(program.path, {argument});
            EXPECT_EQ(run.exitCode, 0) << program.name << " [" << argument << "]";
            EXPECT_EQ(run.output, WithNewlines(std::string(argument) +
                                               " is Invalid Command. Please Try Again.\n"));
        }
    }
}

TEST(CommandLine, InstallerStopsSilentlyOnTwoOrMoreArguments) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help", "-v"}, {"a", "b", "c"}}) {
        auto run = RunProgram(GOZ_INSTALLER, arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
    }
}

TEST(CommandLine, HasSingleArgumentCountsTheProgramName) {
    EXPECT_FALSE(ProgramInfo::hasSingleArgument(1));
    EXPECT_TRUE(ProgramInfo::hasSingleArgument(2));
    EXPECT_FALSE(ProgramInfo::hasSingleArgument(3));
    EXPECT_STREQ(ProgramInfo("X").extension, "exe");
}

#ifdef GOZ_BRIDGE
TEST(CommandLine, BridgeTakesTwoArgumentsAsNoOptionsAndGoesOn) {
    // No Quiltara configuration in the sandbox: going on means failing to read it.
    auto run = RunProgram(GOZ_BRIDGE, {"--help", "--version"});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exitCode, ProcessExitStatus(32767));
}
#endif
