#include "tests/support/harness.h"

#include <ctime>
#if defined(_WIN32)
#include <windows.h>
const char* const kEol = "\r\n"; // the log is a text file
#else
const char* const kEol = "\n";
#endif

class Installer : public GoZFolder {
protected:
    void install(const std::string& line = "") const {
        std::time_t t = std::time(nullptr);
        goztest::RunResult result = run(GOZ_INSTALLER);
        EXPECT_EQ(std::make_pair(result.exitCode, result.output), std::make_pair(0, std::string()));
        std::string report = goztest::ReadFile(log), expected = line;
        for (; !line.empty() && report != expected && t <= std::time(nullptr); ++t)
            expected = std::string(std::asctime(std::localtime(&t)), 24) + kEol + line + kEol;
        EXPECT_EQ(report, expected);
    }

    const fs::path log = folder / "GoZ_InstallLog.txt";
};

// Each run replaces the log: a report, or nothing once PATH (even empty) is found. An old
// log that cannot go is reported; a folder in its place stays; Quiltara's is not made.
TEST_F(Installer, ReportsWhatFailedAndOtherwiseLeavesAnEmptyLog) {
    install(">>[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... [ErrorCode(-1)]");
    configure("");
    install();
#if defined(_WIN32)
    HANDLE held =
        CreateFileA(log.string().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr); // but no deletion
    install(">>[Non-GoZ SDK Error (WIN)] Cannot read path of Quiltara app... [ErrorCode(32)]");
    CloseHandle(held);
#endif
    ASSERT_TRUE(fs::remove(log));
    fs::create_directories(log / "inner");
    install();
    EXPECT_TRUE(fs::is_directory(log / "inner"));
    fs::remove_all(folder);
    install();
    EXPECT_FALSE(fs::exists(folder));
}
