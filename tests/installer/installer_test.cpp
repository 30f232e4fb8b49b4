#include "gozsupport/paths.h"
#include "installer/goz_init_util.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;
using goztest::Exists;
using goztest::kNewline;
using goztest::ReadFile;
using goztest::RunProgram;
using goztest::WriteFile;

namespace {

const std::string kLibraryLine =
    ">>[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... [ErrorCode(-1)]";
const std::string kSystemFailure = "[Non-GoZ SDK Error (WIN)] Cannot read path of Quiltara app... ";

#if defined(_WIN32)
constexpr int32_t kMissingFolderCode = ERROR_PATH_NOT_FOUND;
constexpr int32_t kFolderAtLogCode = ERROR_ACCESS_DENIED;
#else
constexpr int32_t kMissingFolderCode = ENOENT;
constexpr int32_t kFolderAtLogCode = EISDIR;
#endif

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

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
    void run(const std::vector<std::string>& arguments = {}) const {
        auto result = RunProgram(GOZ_INSTALLER, arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, "");
    }
    // Two lines: the asctime text of a moment during the run, then `line`.
    void expectReport(const std::string& line, std::time_t before) const {
        std::string report = ReadFile(log);
        size_t firstEnd = report.find(kNewline);
        ASSERT_NE(firstEnd, std::string::npos) << report;
        std::string stamp = report.substr(0, firstEnd) + "\n";
        bool matched = false;
        for (std::time_t t = before; t <= std::time(nullptr) && !matched; ++t)
            matched = stamp == std::asctime(std::localtime(&t));
        EXPECT_TRUE(matched) << stamp;
        EXPECT_EQ(report.substr(firstEnd + std::string(kNewline).size()), line + kNewline);
    }

    const fs::path apps = fs::path(GoZPublicRoot) / "GoZApps";
    const fs::path folder = apps / "Quiltara";
    const fs::path log = folder / "GoZ_InstallLog.txt";
};

TEST_F(Installer, ValidConfigLeavesAnEmptyLog) {
    config("PATH = \"C:\\Program Files\\Quiltara\\Quiltara.exe\"\n");
    run();
    ASSERT_TRUE(Exists(log));
    EXPECT_EQ(fs::file_size(log), 0u);
    // An older report goes; an empty PATH still counts as found.
    WriteFile(log, "Mon Jan  1 00:00:00 2024\n>>old\n");
    config("PATH =\n");
    run();
    ASSERT_TRUE(Exists(log));
    EXPECT_EQ(fs::file_size(log), 0u);
}

TEST_F(Installer, UnreadableConfigIsReportedInTwoLines) {
    for (const char* content :
         std::vector<const char*>{"", "NAME = Quiltara\nPATHS = x\n", nullptr}) {
        if (content)
            config(content);
        else
            fs::remove(folder / "GoZ_Config.txt");
        std::time_t before = std::time(nullptr);
        run();
        expectReport(kLibraryLine, before); // the previous report is replaced, not appended to
    }
}

TEST_F(Installer, MissingFolderWritesNothingAndAFolderAtTheLogIsLeftAlone) {
    fs::remove_all(folder);
    auto here = Entries(fs::current_path());
    run();
    EXPECT_FALSE(Exists(folder));
    for (const std::string& name : Entries(apps))
        EXPECT_EQ(name.find("Quiltara"), std::string::npos) << name;
    EXPECT_EQ(Entries(fs::current_path()), here);
    // The failed creation, with its code, replaces the failed lookup.
    GoZInitUtil missing;
    missing.readHostPath();
    missing.prepareInstallLog();
    EXPECT_EQ(missing.errorMessage, kSystemFailure);
    EXPECT_EQ(missing.errorCode, kMissingFolderCode);

    fs::create_directories(log / "inner");
    config("PATH = q.exe\n");
    WriteFile(log / "inner" / "file", "x");
    run();
    EXPECT_EQ(ReadFile(log / "inner" / "file"), "x");
    GoZInitUtil blocked;
    blocked.readHostPath();
    blocked.prepareInstallLog();
    EXPECT_EQ(blocked.errorMessage, kSystemFailure);
    EXPECT_EQ(blocked.errorCode, kFolderAtLogCode);
}

TEST_F(Installer, ArgumentsTouchNoFile) {
    config("PATH = q.exe\n");
    WriteFile(log, "kept");
    RunProgram(GOZ_INSTALLER, {"a", "b"});
    RunProgram(GOZ_INSTALLER, {""});
    EXPECT_EQ(ReadFile(log), "kept");
}

TEST_F(Installer, ReportWritesTheCodeInSignedDecimal) {
    for (int32_t code : {5, -2147024891}) {
        GoZInitUtil util;
        util.prepareInstallLog();
        util.errorMessage = kSystemFailure;
        util.errorCode = code;
        std::time_t before = std::time(nullptr);
        util.writeErrorReport();
        expectReport(">>" + kSystemFailure + "[ErrorCode(" + std::to_string(code) + ")]", before);
    }
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

TEST(BuildGoZAppsPath, AppendsTheFolderWithItsSeparatorOnlyWhenItFits) {
    char buffer[GoZInitUtil::kPathSize] = "pre:";
    ASSERT_TRUE(GoZInitUtil::buildGoZAppsPath(buffer));
    EXPECT_EQ(std::string(buffer), std::string("pre:") + GoZPublicRoot + GoZPathSeparator +
                                       "GoZApps" + GoZPathSeparator);
    std::string full(GoZInitUtil::kPathSize - 10, 'x');
    std::copy(full.begin(), full.end(), buffer);
    buffer[full.size()] = '\0';
    EXPECT_FALSE(GoZInitUtil::buildGoZAppsPath(buffer));
    EXPECT_EQ(std::string(buffer), full);
}

} // namespace
