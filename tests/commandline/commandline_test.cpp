// Compared whole and with their case, the argument printed as text, never as a format.
#include "tests/support/harness.h"

TEST_F(GoZFolder, OptionsAreAnsweredByteForByteAndTouchNothing) {
    goztest::WriteFile(folder / "GoZ_InstallLog.txt", "old");
    for (const char* program : {GOZ_INSTALLER, GOZ_BRIDGE}) {
        const std::string name = fs::path(program).stem().string();
        const std::string usage = "USAGE:\n" + name +
                                  ".exe [OPTION]\nOPTION:\n        -h, --help\n"
                                  "Displays usage information and exits.\n        -v, --version\n"
                                  "Displays version information and exits.\n";
        const std::string version = name + " Version : " GOZ_VERSION "\n";
        std::vector<std::pair<std::string, std::string>> cases{
            {"-h", usage}, {"--help", usage}, {"-v", version}, {"--version", version}};
        for (const std::string other : {"-H", "-help", "", "100%s%n%d", "--version "})
            cases.push_back({other, other + " is Invalid Command. Please Try Again.\n"});
        for (const auto& [argument, output] : cases) {
            auto result = run(program, {QString::fromStdString(argument)});
            EXPECT_EQ(std::make_pair(result.exitCode, result.output), std::make_pair(0, output))
                << name << " [" << argument << "]";
        }
    }
    EXPECT_EQ(run(GOZ_INSTALLER, {"-h", "-v"}).output, "") << "two arguments: no option, no work";
    EXPECT_EQ(goztest::ReadFile(folder / "GoZ_InstallLog.txt"), "old");
}
