#include "installer/install_log_platform.h"
#include "tests/support/harness.h"

#include <ctime>
#if defined(_WIN32)
#include <windows.h>
const char* const kEol = "\r\n"; // the log is a text file
#else
#include <unistd.h>
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
// log that cannot go is reported; a folder in its place stays unless empty; Quiltara's is not
// made.
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
    goztest::WriteFile(folder / "other.txt", "kept\n"); // held as a second name of it: untouched
    fs::remove(log);
    fs::create_hard_link(folder / "other.txt", log);
    held = CreateFileA(log.string().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(run(GOZ_INSTALLER).exitCode, 0);
    CloseHandle(held);
    EXPECT_EQ(goztest::ReadFile(folder / "other.txt"), "kept\n");
#endif
    ASSERT_TRUE(fs::remove(log));
    fs::create_directories(log / "inner");
    install();
    EXPECT_TRUE(fs::is_directory(log / "inner"));
    fs::remove(log / "inner");
    install();
    EXPECT_TRUE(fs::is_regular_file(log));
    fs::remove_all(folder);
    install();
    EXPECT_FALSE(fs::exists(folder));
}

// Once the folder is held, what its path leads to may change (a link put in above it): the
// old log goes and the new one is made in the held folder still.
TEST_F(Installer, LogFollowsTheHeldFolderNotItsPath) {
    const fs::path apps = folder.parent_path(), moved = apps.parent_path() / "GoZApps.moved";
    goztest::WriteFile(log, "old");
    {
        goz::platform::InstallLogFolder held;
        ASSERT_TRUE(held.open(folder.string()));
        fs::rename(apps, moved);
        fs::create_directories(folder);
        goztest::WriteFile(log, "other");
        EXPECT_TRUE(held.removeIfPresent("GoZ_InstallLog.txt"));
        std::fclose(held.openText("GoZ_InstallLog.txt"));
    }
    EXPECT_EQ(goztest::ReadFile(log), "other");
    EXPECT_TRUE(fs::is_empty(moved / "Quiltara" / "GoZ_InstallLog.txt"));
    fs::remove_all(apps);
    fs::rename(moved, apps);
}

#if !defined(_WIN32)
// Where the old log cannot go (a folder only root may write, the installer run as nobody), a
// plain file is emptied for the report, and a link or a second name of another file makes it
// write nothing. Where it can, a link goes, never its target. Quiltara's folder as a link gets
// no log at all.
TEST_F(Installer, NeverWritesThroughALink) {
    const fs::path victim = folder / "victim.txt", real = temp / "real";
    bool root = geteuid() == 0; // whom no folder refuses: as nobody, then
    const auto locked = [&](const std::function<void()>& step) {
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
        // The real user too: a program started with only the effective one set may not be
        // traced, which the leak checker needs.
        ASSERT_TRUE(!root || setresuid(65534, 65534, 0) == 0);
        step();
        ASSERT_TRUE(!root || setresuid(0, 0, 0) == 0);
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    };
    goztest::WriteFile(victim, "kept\n");
    goztest::WriteFile(log, std::string(200, 'x'));
    for (const fs::path& path : {temp, victim, log}) // so that nobody could write them
        fs::permissions(path, fs::perms::all);
    locked([&] { // with no config: a report to write
        install(">>[Non-GoZ SDK Error (WIN)] Cannot read path of Quiltara app... [ErrorCode(" +
                std::to_string(EACCES) + ")]");
    });
    for (bool hard : {false, true}) {
        fs::remove(log);
        hard ? fs::create_hard_link(victim, log) : fs::create_symlink(victim, log);
        locked([&] { EXPECT_EQ(run(GOZ_INSTALLER).exitCode, 0); });
        EXPECT_EQ(goztest::ReadFile(victim), "kept\n");
    }
    configure("");
    install();
    EXPECT_EQ(fs::symlink_status(log).type(), fs::file_type::regular);
    EXPECT_EQ(goztest::ReadFile(victim), "kept\n");
    fs::remove(log);
    fs::rename(folder, real);
    fs::create_directory_symlink(real, folder);
    install();
    EXPECT_FALSE(fs::exists(real / "GoZ_InstallLog.txt"));
}
#endif
