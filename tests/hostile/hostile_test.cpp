// Both programs against GoZ folders that a crash, another tool or a hostile
// user left behind: each ends with its usual exit code, silent and in time.
#include "tests/support/goz_folder.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using goztest::WriteFile;

namespace {

#if defined(_WIN32)
constexpr const char kMissingHost[] = "C:\\nonexistent\\Quiltara\\Quiltara.exe";
#else
constexpr const char kMissingHost[] = "/nonexistent/Quiltara/Quiltara";
#endif

class HostileFolder : public GoZFolder {
protected:
    // The installer stays silent and ends with 0 whatever it meets; it logs
    // nothing when it read a path. The bridge ends with `status`.
    void expectRuns(bool found, [[maybe_unused]] int status) {
        auto run = goztest::RunProgram(GOZ_INSTALLER, {});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
        std::string log = goztest::ReadFile(folder / "GoZ_InstallLog.txt");
        if (found)
            EXPECT_EQ(log, "");
        else
            EXPECT_NE(log.find(">>[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... "
                               "[ErrorCode(-1)]"),
                      std::string::npos)
                << log;
#if defined(GOZ_BRIDGE)
        EXPECT_EQ(bridge(), status);
#endif
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
    WriteFile(config, "");
    fs::resize_file(config, 300u << 20); // 300 MiB of NUL bytes, without the disk space
    std::ofstream(config, std::ios::binary | std::ios::app) << "\nPATH = " << kMissingHost << "\n";
    expectRuns(true, kMissingFolder);

    std::string garbage;
    for (uint32_t i = 0, state = 12345; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    WriteFile(config, garbage);
    expectRuns(false, kNoPath);
    WriteFile(config,
              garbage + "\r\nPATH = " + kMissingHost + std::string("\0trailing\n", 10) + garbage);
    expectRuns(true, kMissingFolder);
}

#if defined(GOZ_BRIDGE)
TEST_F(HostileFolder, PathOf255BytesIsUsedWholeAndALongerOneIsCutTo255) {
    fs::path base = temp / std::string(200, 'd');
    fs::path host =
        installHost(base / std::string(255 - base.string().size() - 1 - std::strlen(kExe), 'q'));
    ASSERT_EQ(host.string().size(), 255u);
    for (const std::string& beyond : {std::string(), std::string(745, 'x')}) {
        WriteFile(config, "PATH = " + host.string() + beyond + "\n");
        fs::remove(temp / "host.log");
        expectRuns(true, kSuccess);
        EXPECT_TRUE(logged(kStartedWithMarker)) << beyond.size();
        stopHosts();
    }
}

TEST_F(HostileFolder, LockFileThatCannotBeOpened) {
    fs::path host = installHost(temp / "Quiltara");
    fs::create_directory(lockFile()); // a folder: no one, root included, can open it
    // Not running: the start needs no lock. The host cannot take one either and ends.
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("lock: busy"));
    ASSERT_TRUE(goztest::WaitFor([&] { return hosts().empty(); }));
    // Running without the lock, which this bridge cannot take either: nobody to
    // connect to, a failure, and soon.
    fs::remove(temp / "host.log");
    setting("QUILTARA_STANDIN_MODE", "nolock");
    goztest::RunningProgram running(host.string(), {});
    ASSERT_TRUE(logged("lock: skipped"));
    expectFailedSend(kNoHostSocket, 6.5);
    // With the lock the bridge is the instance; it messages no one and starts
    // nothing, and must not claim it delivered.
    fs::remove(lockFile());
    EXPECT_EQ(bridge(), kNotConnected);
    EXPECT_EQ(hosts(), std::vector<uint32_t>{running.processId()});
    EXPECT_EQ(hostLog().find("message:"), std::string::npos);
}
#endif

} // namespace
