#include "gozsupport/paths.h"
#include "installer/goz_init_util.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;
using goztest::Exists;
using goztest::ReadFile;
using goztest::RunProgram;
using goztest::WriteFile;

namespace {

const std::string kSystemFailure = "[Non-GoZ SDK Error (WIN)] Cannot read path of Quiltara app... ";

// Quiltara's application folder, fresh for each case.
class Installer : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void config(const std::string& content) const { WriteFile(folder / "GoZ_Config.txt", content); }
    // Runs the real program, which must stay silent and exit with 0.
    void run() const {
        auto result = RunProgram(GOZ_INSTALLER, {});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, "");
    }
    // Two lines: the asctime text of a moment during the run, then `line`.
    void expectReport(const std::string& line, std::time_t before) const {
        std::string report = ReadFile(log);
        bool matched = false;
        for (std::time_t t = before; t <= std::time(nullptr) && !matched; ++t)
            matched =
                report == goztest::WithNewlines(std::asctime(std::localtime(&t)) + line + "\n");
        EXPECT_TRUE(matched) << report;
    }

    const fs::path folder = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara";
    const fs::path log = folder / "GoZ_InstallLog.txt";
};

TEST_F(Installer, FoundPathLeavesAnEmptyLogAndArgumentsTouchNothing) {
    config("PATH =\n"); // an empty PATH still counts as found
    WriteFile(log, "Mon Jan  1 00:00:00 2024\n>>old\n");
    RunProgram(GOZ_INSTALLER, {"a", "b"});
    RunProgram(GOZ_INSTALLER, {""});
    EXPECT_EQ(ReadFile(log), "Mon Jan  1 00:00:00 2024\n>>old\n");
    run();
    EXPECT_TRUE(Exists(log));
    EXPECT_EQ(ReadFile(log), "");
}

TEST_F(Installer, UnreadableConfigIsReportedInTwoLines) {
    for (const char* content : {"", "NAME = Quiltara\nPATHS = x\n", "<none>"}) {
        if (std::string(content) == "<none>")
            fs::remove(folder / "GoZ_Config.txt");
        else
            config(content);
        std::time_t before = std::time(nullptr);
        run();
        // Replaced each time, never appended to.
        expectReport(">>[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... [ErrorCode(-1)]",
                     before);
    }
}

TEST_F(Installer, MissingFolderOrAFolderAtTheLogIsLeftAlone) {
    fs::remove_all(folder);
    run();
    EXPECT_FALSE(Exists(folder));
    // The log is a folder: removed only when empty, and never written into.
    fs::create_directories(log / "inner");
    WriteFile(log / "inner" / "file", "x");
    run();
    EXPECT_EQ(ReadFile(log / "inner" / "file"), "x");
}

TEST_F(Installer, ReportWritesTheCodeInSignedDecimal) {
    GoZInitUtil util;
    util.prepareInstallLog();
    util.errorMessage = kSystemFailure;
    util.errorCode = -2147024891;
    std::time_t before = std::time(nullptr);
    util.writeErrorReport();
    expectReport(">>" + kSystemFailure + "[ErrorCode(-2147024891)]", before);
}

#if defined(_WIN32)
TEST_F(Installer, LogHeldOpenIsRewrittenWithTheRemovalFailure) {
    config("PATH = q.exe\n");
    WriteFile(log, "old");
    // Shared for reading and writing but not deletion.
    HANDLE held =
        CreateFileA(log.string().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::time_t before = std::time(nullptr);
    run();
    expectReport(">>" + kSystemFailure + "[ErrorCode(32)]", before);
    CloseHandle(held);
}
#endif

} // namespace
