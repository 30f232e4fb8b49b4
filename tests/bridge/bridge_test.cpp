// The bridge end to end, on Linux and under Wine alike: the real program,
// copies of the stand-in Quiltara as the host.
#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "tests/support/harness.h"

#include <algorithm>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using Bridge = GoZFolder;

#if !defined(_WIN32)
// Eight bits of exit status: -1 and 32767 share their low byte, and no failure
// code may end up reading as either of them.
TEST(BridgeExitStatus, KeepsSuccessAndTheMissingPathApartInEightBits) {
    const int cases[][2] = {{-1, 255}, {32767, 254}, {ENOENT, ENOENT}, {254, 253}, {-2, 253}};
    for (const auto& [code, status] : cases)
        EXPECT_EQ(ProcessExitStatus(code), status) << code;
}
#endif

// Its single-instance peer exists from the start, even when an option ends it.
TEST_F(Bridge, WithoutAReadablePathEndsWith32767AndStartsNothing) {
    EXPECT_EQ(run(GOZ_BRIDGE, {"--help"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(lockFile()));
    EXPECT_EQ(bridge(), kNoPath);
    goztest::WriteFile(config, "NOTPATH = x\n");
    EXPECT_EQ(bridge(), kNoPath);
}

// What a crash, another tool or a hostile user may leave in place of the
// configuration reads as missing: the installer logs it, the bridge ends with
// 32767, neither waits for a writer to a pipe nor reads an endless device.
TEST_F(Bridge, ConfigThatIsNoPlainFileReadsAsMissing) {
    std::vector<std::function<void()>> makers = {[&] { fs::create_directory(config); }};
#if !defined(_WIN32)
    makers.push_back([&] { fs::create_symlink("GoZ_Config.txt", config); }); // a loop
    makers.push_back([&] { fs::create_symlink("/dev/zero", config); });
    makers.push_back([&] { ASSERT_EQ(mkfifo(config.c_str(), 0600), 0); });
#endif
    for (const auto& make : makers) {
        fs::remove(config);
        make();
        EXPECT_EQ(run(GOZ_INSTALLER).exitCode, 0);
        EXPECT_NE(goztest::ReadFile(folder / "GoZ_InstallLog.txt"), "");
        EXPECT_EQ(bridge(), kNoPath);
    }
}

// Without a program Windows would take one from the command line; nothing starts.
TEST(StartProgram, RefusesAMissingPathOrCommandLine) {
    std::string line = kMarker;
    int32_t code = 0;
    EXPECT_FALSE(StartProgram(nullptr, line.data(), code));
    EXPECT_EQ(code, GenericSystemErrorCode());
    EXPECT_FALSE(StartProgram(GOZ_INSTALLER, nullptr, code));
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

// The message goes out, but no "ack" comes back: a failure within both waits,
// and no second Quiltara, which would have found the lock busy.
TEST_F(Bridge, HostThatNeverAnswersFailsInTime) {
    installHost(temp / "Quiltara");
    setting("QUILTARA_STANDIN_MODE", "silent");
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("lock: held"));
    int status = bridge();
    EXPECT_TRUE(kSendTimedOut == 0 || status == kSendTimedOut) << status;
    EXPECT_TRUE(status != kSuccess && status != kNoPath && status > 0) << status;
    EXPECT_LT(took, 7.5);
    EXPECT_EQ(hostLog().find("busy"), std::string::npos);
}

// A killed Quiltara leaves its lock file, and on POSIX its socket file; the
// next one must take over both. Extra arguments are no option: the bridge goes
// on, and Quiltara gets the marker alone. In a double-byte code page Quiltara
// lies in a folder whose name holds 0x5C as a second byte (ソ is 83 5C in 932).
TEST_F(Bridge, StartsTheHostThenMessagesTheRunningOne) {
    installHost(temp / (goztest::DoubleByteCodePage() ? fs::u8path("ソフト") : "") / "Quiltara");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("lock: held"));
    stopHosts();
    fs::remove(temp / "host.log");
    EXPECT_EQ(bridge({"--help", "-v"}), kSuccess);
    EXPECT_LT(took, 5.0); // back at once, while the host goes on running
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("exit: messages"));
    EXPECT_EQ(hostLog(),
              kStartedWithMarker + "\nlock: held\nmessage: " + kMarker + "\nexit: messages\n");
}

// Found, but nobody holds the lock: nothing can be delivered. While the lock
// cannot be had (its file a folder) the send fails; once it can, the bridge
// takes it, sends nothing, starts nothing, and says so.
TEST_F(Bridge, RunningHostWithoutTheLockGetsNothing) {
    installHost(temp / "Quiltara");
    setting("QUILTARA_STANDIN_MODE", "nolock");
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("lock: skipped"));
    fs::remove(lockFile());
    fs::create_directory(lockFile());
    EXPECT_EQ(bridge(), kNoHostSocket);
    fs::remove(lockFile());
    EXPECT_EQ(bridge(), kNotConnected);
    EXPECT_EQ(hostLog(), kStartedWithMarker + "\nlock: skipped\n");
}

#if defined(_WIN32)
// The zip that Quiltara's installer ships, unpacked into the real GoZ public
// folder of the throw-away prefix: two programs that need no DLL beside them
// and load none from there, where any user may drop one (with Wine told to
// prefer it, as Windows does for DLLs that are no KnownDLLs; the probe loads
// them as the programs would), an installer that accepts the configuration
// and a bridge that hands over.
TEST_F(Bridge, ShippedFolderWorksInThePublicFolder) {
    const fs::path app = "C:\\Users\\Public\\Pixologic\\GoZApps\\Quiltara";
    std::vector<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(app))
        shipped.push_back(entry.path().filename().string());
    std::sort(shipped.begin(), shipped.end());
    EXPECT_EQ(shipped, (std::vector<std::string>{"GoZBrushToQuiltara.exe", "GoZInitQuiltara.exe",
                                                 "licenses"}));
    const QStringList planted = QString(PLANTED_DLL_NAMES).split(',');
    for (const QString& name : planted)
        fs::copy_file(PLANTED_DLL, app / (name + ".dll").toStdString());
    fs::copy_file(DLL_SEARCH_PROBE, app / "probe.exe");
    setting("WINEDLLOVERRIDES", "mscoree,mshtml=;" + planted.join(',') + "=n,b");
    setting("PLANTED_DLL_LOG", QString::fromStdString((temp / "planted.log").string()));
    fs::path host = installHost(temp / "Quiltara");
    goztest::WriteFile(app / "GoZ_Config.txt", "PATH = \"" + host.string() + "\"\n");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    EXPECT_EQ(run((app / "probe.exe").string()).exitCode, 0);
    EXPECT_EQ(run((app / "GoZInitQuiltara.exe").string()).exitCode, 0);
    EXPECT_EQ(goztest::ReadFile(app / "GoZ_InstallLog.txt"), "");
    for (const char* line : {"lock: held", "exit: messages"}) {
        EXPECT_EQ(run((app / "GoZBrushToQuiltara.exe").string()).exitCode, kSuccess);
        ASSERT_TRUE(logged(line));
    }
    EXPECT_EQ(hostLog(),
              kStartedWithMarker + "\nlock: held\nmessage: " + kMarker + "\nexit: messages\n");
    EXPECT_FALSE(fs::exists(temp / "planted.log")) << "a planted DLL ran";
    fs::remove(app / "GoZ_Config.txt");
    fs::remove(app / "GoZ_InstallLog.txt");
    for (const QString& name : planted)
        fs::remove(app / (name + ".dll").toStdString());
    fs::remove(app / "probe.exe");
}
#endif
