// The bridge end to end: the real program, copies of the stand-in Quiltara as
// the host; on Windows under Wine, with the same cases.
#include "tests/support/goz_folder.h"

#include <algorithm>
#include <cerrno>
#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

using Bridge = GoZFolder;

#if !defined(_WIN32)
TEST(BridgeExitStatus, KeepsSuccessAndTheMissingPathApartInEightBits) {
    const int cases[][2] = {{-1, 255},  {32767, 254}, {0, 0},       {ENOENT, ENOENT},
                            {253, 253}, {254, 253},   {70000, 253}, {-2, 253}};
    for (const auto& [code, status] : cases)
        EXPECT_EQ(ProcessExitStatus(code), status) << code;
}
#endif

// The peer opens its lock file before anything else, even before an option.
TEST_F(Bridge, WithoutAReadablePathEndsWith32767) {
    ASSERT_EQ(goztest::RunProgram(GOZ_BRIDGE, {"--help"}).exitCode, 0);
    EXPECT_TRUE(goztest::Exists(lockFile()));
    fs::remove(lockFile());
    EXPECT_EQ(bridge(), kNoPath);
    EXPECT_TRUE(goztest::Exists(lockFile()));
}

TEST_F(Bridge, FailedStartEndsWithTheSystemErrorCode) {
    const fs::path text = temp / (std::string("Quiltara") + kExe);
    goztest::WriteFile(text, "not a program\n");
    const std::pair<fs::path, int> cases[] = {{"", kEmptyPath},
                                              {temp / "missing.exe", kMissingFile},
                                              {temp / "no-folder" / "Quiltara.exe", kMissingFolder},
                                              {text, kNotAProgram}};
    for (const auto& [path, code] : cases) {
        configure(path.string());
        EXPECT_EQ(bridge(), code) << path;
    }
}

// The message goes out, but no "ack" comes back: a failure, within both waits.
TEST_F(Bridge, HostThatNeverAnswersFailsInTimeAndNoSecondHostStarts) {
    fs::path host = installHost(temp / "Quiltara");
    setting("QUILTARA_STANDIN_MODE", "silent");
    goztest::RunningProgram running(host.string(), {});
    ASSERT_TRUE(logged("lock: held"));
    expectFailedSend(kSendTimedOut, 7.5);
    EXPECT_EQ(hosts().size(), 1u);
}

// With the lock file, and on POSIX the socket file, that a killed Quiltara leaves behind.
TEST_F(Bridge, StartsTheHostThenMessagesTheRunningOne) {
    installHost(temp / "Quiltara");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    goztest::WriteFile(lockFile(), "");
#if !defined(_WIN32)
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketFile().c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
#endif
    EXPECT_EQ(goztest::RunProgram(GOZ_BRIDGE, {"--help"}).exitCode, 0);
    EXPECT_TRUE(hosts().empty()); // an option ends it before any search

    // Two arguments are no option; the host gets the marker alone.
    EXPECT_EQ(bridge({"--help", "-v"}), kSuccess);
    EXPECT_LT(took, 5.0); // back at once, while the host goes on running
    EXPECT_EQ(hosts().size(), 1u);
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(hostLog(), kStartedWithMarker + "\nlock: held\n");

    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("exit: messages"));
    // Delivered, and no second host was started.
    EXPECT_EQ(hostLog(),
              kStartedWithMarker + "\nlock: held\nmessage: " + kMarker + "\nexit: messages\n");
}

#if defined(_WIN32)
// The zip that Quiltara's installer ships, unpacked into the real GoZ public
// folder of the throw-away prefix: two programs that need no DLL beside them,
// an installer that accepts the configuration and a bridge that hands over.
TEST_F(Bridge, ShippedFolderWorksInThePublicFolder) {
    const fs::path app = "C:\\Users\\Public\\Pixologic\\GoZApps\\Quiltara";
    std::vector<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(app))
        shipped.push_back(entry.path().filename().string());
    std::sort(shipped.begin(), shipped.end());
    EXPECT_EQ(shipped, (std::vector<std::string>{"GoZBrushToQuiltara.exe", "GoZInitQuiltara.exe",
                                                 "licenses"}));
    fs::path host = installHost(temp / "Quiltara");
    goztest::WriteFile(app / "GoZ_Config.txt", "PATH = \"" + host.string() + "\"\n");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    EXPECT_EQ(goztest::RunProgram((app / "GoZInitQuiltara.exe").string(), {}).exitCode, 0);
    EXPECT_EQ(goztest::ReadFile(app / "GoZ_InstallLog.txt"), "");
    const std::string bridgeProgram = (app / "GoZBrushToQuiltara.exe").string();
    EXPECT_EQ(goztest::RunProgram(bridgeProgram, {}).exitCode, kSuccess);
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(goztest::RunProgram(bridgeProgram, {}).exitCode, kSuccess);
    ASSERT_TRUE(logged("exit: messages"));
    EXPECT_EQ(hostLog(),
              kStartedWithMarker + "\nlock: held\nmessage: " + kMarker + "\nexit: messages\n");
    fs::remove(app / "GoZ_Config.txt");
    fs::remove(app / "GoZ_InstallLog.txt");
}
#endif

} // namespace
