// Both programs against GoZ folders that a crash, another tool or a hostile
// user left behind: each ends with its usual exit code, silent and in time.
#include "tests/support/harness.h"

#include <cstring>
#include <fstream>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

#if defined(_WIN32)
const std::string kMissingHost = "C:\\nonexistent\\Quiltara.exe";
#else
const std::string kMissingHost = "/nonexistent/Quiltara";
#endif

class HostileFolder : public GoZFolder {
protected:
    // The installer stays silent and ends with 0, and logs nothing when it read
    // a path; the bridge ends with `status`.
    void expectRuns(bool found, int status) {
        EXPECT_EQ(run(GOZ_INSTALLER).exitCode, 0);
        EXPECT_EQ(goztest::ReadFile(folder / "GoZ_InstallLog.txt").empty(), found);
        EXPECT_EQ(bridge(), status);
    }
};

TEST_F(HostileFolder, ConfigThatIsNoPlainFileReadsAsMissing) {
    fs::create_directory(config);
    expectRuns(false, kNoPath);
#if !defined(_WIN32)
    fs::remove(config);
    for (const fs::path& target : {fs::path("GoZ_Config.txt"), fs::path("/dev/zero")}) {
        fs::create_symlink(target, config); // a loop, then an endless device
        expectRuns(false, kNoPath);
        fs::remove(config);
    }
    ASSERT_EQ(mkfifo(config.c_str(), 0600), 0); // a reader must not wait for a writer
    expectRuns(false, kNoPath);
#endif
}

TEST_F(HostileFolder, PathAfterAHugeSparseFileOrGarbageIsFound) {
    goztest::WriteFile(config, "");
    fs::resize_file(config, 300u << 20); // 300 MiB of NUL bytes, without the disk space
    std::ofstream(config, std::ios::binary | std::ios::app) << "\nPATH = " << kMissingHost << "\n";
    expectRuns(true, kMissingFolder);
    std::string garbage;
    for (uint32_t i = 0, state = 12345; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    goztest::WriteFile(config, garbage);
    expectRuns(false, kNoPath);
    goztest::WriteFile(config, garbage + "\r\nPATH = " + kMissingHost +
                                   std::string("\0trailing\n", 10) + garbage);
    expectRuns(true, kMissingFolder);
}

// Without the lock: a host that the lookup cannot name (Windows reads image
// names of 260 bytes) holds nothing that the next start needs.
TEST_F(HostileFolder, PathOf255BytesIsUsedWholeAndALongerOneIsCutTo255) {
    setting("QUILTARA_STANDIN_MODE", "nolock");
    fs::path base = temp / std::string(200, 'd');
    fs::path host =
        installHost(base / std::string(255 - base.string().size() - 1 - std::strlen(kExe), 'q'));
    ASSERT_EQ(host.string().size(), 255u);
    std::string started;
    for (const std::string& beyond : {std::string(), std::string(745, 'x')}) {
        goztest::WriteFile(config, "PATH = " + host.string() + beyond + "\n");
        expectRuns(true, kSuccess);
        started += kStartedWithMarker + "\nlock: skipped\n";
        EXPECT_TRUE(goztest::WaitFor([&] { return hostLog() == started; })) << hostLog();
        stopHosts();
    }
}

} // namespace
