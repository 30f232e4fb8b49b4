// The bridge end to end, on Linux and under Wine alike: the real program,
// copies of the stand-in Quiltara as the host.
#include "gozsupport/process.h"
#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "tests/support/harness.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using Bridge = GoZFolder;
constexpr auto npos = std::string::npos;

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
// Only GOZ_TRACE=1 asks for the trace, which names the file read and what it
// lacked, and ends with the outcome.
TEST_F(Bridge, WithoutAReadablePathEndsWith32767AndStartsNothing) {
    EXPECT_EQ(run(GOZ_BRIDGE, {"--help"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(lockFile()));
    setting("GOZ_TRACE", "yes");
#if defined(_WIN32)
    // The debugger channel is always written: Wine shows it on the test's
    // standard error, where bridge_test_debugstr looks for it.
    setting("WINEDEBUG", "+debugstr");
#endif
    EXPECT_EQ(bridge(), kNoPath);
    EXPECT_EQ(trace, "");
    setting("GOZ_TRACE", "1");
    EXPECT_EQ(bridge(), kNoPath);
    EXPECT_NE(trace.find("config \"" + config.string() + "\": missing"), npos) << trace;
    goztest::WriteFile(config, "NOTPATH = x\n");
    EXPECT_EQ(bridge(), kNoPath);
    EXPECT_NE(trace.find("\": no PATH line"), npos) << trace;
    EXPECT_NE(trace.find("exit code " + std::to_string(kNoPath)), npos) << trace;
    EXPECT_NE(trace.find(": Quiltara's GoZ_Config.txt or its PATH is missing"), npos) << trace;
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

// The trace names the program that did not start, its path as started.
TEST_F(Bridge, FailedStartEndsWithTheSystemErrorCode) {
    setting("GOZ_TRACE", "1");
    const fs::path text = temp / (std::string("Quiltara") + kExe);
    goztest::WriteFile(text, "not a program\n");
    const std::pair<fs::path, int> cases[] = {{"", kEmptyPath},
                                              {temp / "missing.exe", kMissingFile},
                                              {temp / "no-folder" / "Quiltara.exe", kMissingFolder},
                                              {text, kNotAProgram}};
    for (const auto& [path, code] : cases) {
        configure(path.string());
        EXPECT_EQ(bridge(), code) << path;
        std::string started = path.string();
        std::replace(started.begin(), started.end(), '\\', '/');
        EXPECT_NE(trace.find("start: \"" + started + "\" failed, error " + std::to_string(code)),
                  npos)
            << trace;
    }
}

// Any user may write Quiltara's configuration, so a program that another user
// could change, or that lies below a folder of theirs, is never started (the
// copies come from untrusted_hosts.sh), and the trace says so. One that the
// user started runs nothing new when messaged, and still gets its transfers.
TEST_F(Bridge, StartsNoProgramThatAnotherUserCanChange) {
    const fs::path untrusted = UNTRUSTED_HOSTS, byHand = untrusted / "everyone-writable";
    ASSERT_TRUE(fs::exists(byHand)) << "made by the test bridge_untrusted_hosts";
    std::vector<fs::path> refused;
#if defined(_WIN32)
    refused.push_back(R"(\\server\share\Quiltara.exe)"); // asked nothing, not even its owner
#endif
    for (const auto& entry : fs::directory_iterator(untrusted))
        refused.push_back(entry.path() / (std::string("Quiltara") + kExe));
    setting("GOZ_TRACE", "1");
    for (const fs::path& host : refused) {
        configure(host.string());
        EXPECT_EQ(bridge(), kStartRefused) << host;
        EXPECT_NE(trace.find("\" refused, error " + std::to_string(kStartRefused) + ": \""), npos)
            << trace;
    }
    EXPECT_EQ(hostLog(), "");
    hosts.push_back((byHand / (std::string("Quiltara") + kExe)).string());
    configure(hosts.back());
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    QProcess host;
    host.setProgram(QString::fromStdString(hosts.back()));
    host.setProcessEnvironment(environment);
    ASSERT_TRUE(host.startDetached());
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(bridge(), kSuccess);
    EXPECT_TRUE(logged("exit: messages")) << hostLog();
}

// Found, but it never listens, while a stranger on its name answers "ack":
// after its wait the bridge has sent and started nothing, and says so, and
// its trace names the stranger it refused. Found and listening, but no "ack"
// comes back: a failure once the wait runs out.
TEST_F(Bridge, HostThatNeverListensOrAnswersGetsNothing) {
    installHost(temp / "Quiltara");
    setting("GOZ_TRACE", "1");
    const std::string stranger = "send: listener process " +
                                 std::to_string(QCoreApplication::applicationPid()) +
                                 " is not Quiltara, refused";
    for (const auto& [mode, lock, code] : {std::tuple{"nolock", "skipped", kNotConnected},
                                           std::tuple{"silent", "held", kSendTimedOut}}) {
        stopHosts();
        fs::remove(temp / "host.log");
        setting("QUILTARA_STANDIN_MODE", mode);
        EXPECT_EQ(bridge(), kSuccess);
        ASSERT_TRUE(logged(std::string("lock: ") + lock));
        auto ended = std::async(std::launch::async, [&] { return bridge(); });
        QLocalServer other; // a dot for each connection, then what came over it
        QByteArray met;
        while (lock[0] == 's' && (other.isListening() || other.listen(socketPath())) &&
               ended.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            if (other.waitForNewConnection(100)) {
                std::unique_ptr<QLocalSocket> socket(other.nextPendingConnection());
                socket->write("ack");
                socket->waitForReadyRead(1000);
                met += "." + socket->readAll();
            }
        }
        EXPECT_EQ(ended.get(), code) << mode;
        EXPECT_NE(trace.find(lock[0] == 's' ? stranger : "send: no answer in time"), npos) << trace;
        EXPECT_EQ(met.isEmpty(), lock[0] == 'h') << "the bridge met no stranger";
        EXPECT_EQ(met, QByteArray(met.size(), '.')) << "the stranger got a message";
        EXPECT_EQ(hostLog(), kStartedWithMarker + "\nlock: " + lock + "\n");
    }
}

#if !defined(_WIN32)
// Another user's Quiltara listens on another name and can never be reached:
// this user's is started at once. Windows keeps logon sessions apart the same
// way; Wine has but one, so there the session check stands on reading alone.
TEST_F(Bridge, AnotherUsersHostDoesNotCountAsRunning) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a Quiltara as nobody";
    installHost(temp / "Quiltara");
    fs::permissions(temp, fs::perms::all | fs::perms::sticky_bit); // as /tmp
    const QStringList nobody = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", GOZ_BRIDGE};
    EXPECT_EQ(run("setpriv", nobody).exitCode, kSuccess);
    ASSERT_TRUE(logged("lock: held"));
    setting("GOZ_TRACE", "1");
    EXPECT_EQ(bridge(), kSuccess);
    EXPECT_TRUE(goztest::WaitFor([&] { return logCount("lock: held") == 2; })) << hostLog();
    EXPECT_NE(trace.find(" of another user or session passed over"), npos) << trace;
}
#endif

// A killed Quiltara leaves its lock file, and on POSIX its socket file; the
// next one must take over both. Extra arguments are no option: the bridge goes
// on, and Quiltara gets the marker alone; its trace names the Quiltara it
// started as the one the next bridge finds and reaches. In a double-byte code
// page Quiltara's folder holds 0x5C as a second byte (ソ is 83 5C in 932).
TEST_F(Bridge, StartsTheHostThenMessagesTheRunningOne) {
    installHost(temp / (goztest::DoubleByteCodePage() ? fs::u8path("ソフト") : "") / "Quiltara");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(logged("lock: held"));
    stopHosts();
    fs::remove(temp / "host.log");
    setting("GOZ_TRACE", "1");
    EXPECT_EQ(bridge({"--help", "-v"}), kSuccess);
    EXPECT_LT(took, 5.0); // back at once, while the host goes on running
    const size_t id = trace.find("\", process ") + 11;
    const std::string host = "process " + trace.substr(id, trace.find_first_of("\r\n", id) - id);
    ASSERT_TRUE(logged("lock: held"));
    EXPECT_EQ(bridge(), kSuccess);
    for (const std::string& step : {"search: " + host + " of", "send: connected to " + host})
        EXPECT_NE(trace.find(step), npos) << trace;
    ASSERT_TRUE(logged("exit: messages"));
    EXPECT_EQ(hostLog(),
              kStartedWithMarker + "\nlock: held\nmessage: " + kMarker + "\nexit: messages\n");
}

// Sends that come together: while Quiltara is slow to set up its peer and busy
// once it listens, more than its backlog (50) or pipe instances (8); while it
// closes after some of them, drops its peer, and saves for 2 s more; while the
// next one, started after it, is killed part-way. Each transfer reaches a
// Quiltara once, counted at the receivers (each one's start and every message,
// forwarded ones too): a bridge that took Quiltara's lock or gave up on one
// that closed unanswered loses some; one Quiltara starts in each round, the
// second only once the first has ended. The kill may take the one it acknowledged.
// The traces say that bridges waited on the busy Quiltara and went again after
// the closing one.
TEST_F(Bridge, SendsThatComeTogetherEachReachAHostOnce) {
    installHost(temp / "Quiltara");
    auto delivered = [&] { return logCount("lock: held") + logCount("message: " + kMarker); };
    // Only the first Quiltara is slow, closes and saves.
    const QStringList first = {"STARTUP_MS=1500", "BUSY_MS=3000", "CLOSING_MS=2000",
                               "MESSAGES=" + QString::number(kBurst - 1 + kBurst / 2)};
    for (const QString& pair : first + QStringList("BUSY_ON_MESSAGE_MS=50"))
        setting("QUILTARA_STANDIN_" + pair.section('=', 0, 0), pair.section('=', 1));
    setting("GOZ_TRACE", "1");
    for (int round = 1; round <= 3; ++round) {
        auto runs = std::async(std::launch::async, goztest::RunTogether, GOZ_BRIDGE, kBurst,
                               environment, temp / ("trace" + std::to_string(round)));
        uint32_t id = 0;
        if (round == 3 && goztest::WaitFor([&] { return delivered() >= 2 * kBurst + 10; }) &&
            FindProcessByImagePath(hosts[0].data(), id))
            goztest::KillProcess(id);
        const std::vector<goztest::RunResult> results = runs.get();
        auto saying = [&](const std::string& words) {
            return std::count_if(results.begin(), results.end(), [&](const auto& run) {
                return run.exitCode == kSuccess && run.errors.find(words) != npos;
            });
        };
        std::string failed; // the traces of bridges that did not deliver
        for (const auto& run : results)
            failed += run.exitCode == kSuccess ? "" : std::to_string(run.exitCode) + run.errors;
        EXPECT_EQ(saying("\nGoZBrushToQuiltara: exit code "), kBurst) << round << failed;
        EXPECT_TRUE(round != 1 || saying(kWaitedTrace) > 0) << "none said it waited";
        EXPECT_TRUE(round != 2 || saying(" unanswered, ") > 0) << "none went again";
        const int least = round * kBurst - (round == 3); // the kill may take one
        EXPECT_TRUE(goztest::WaitFor([&] { return delivered() >= least; })) << hostLog();
        EXPECT_LE(delivered(), round * kBurst) << hostLog();
        EXPECT_EQ(logCount("lock: held"), round);
        for (const QString& pair : first)
            environment.remove("QUILTARA_STANDIN_" + pair.section('=', 0, 0));
    }
    const std::string log = hostLog(); // the second one started only once the first had ended
    EXPECT_EQ(QString::fromStdString(log.substr(0, log.find("closing: over"))).count("held"), 1);
}

#if defined(_WIN32)
// The zip that Quiltara's installer ships, unpacked into the real GoZ public
// folder of the throw-away prefix: two programs that need no DLL beside them
// and load none from there, where any user may drop one (with Wine told to
// prefer it, as Windows does for DLLs that are no KnownDLLs; the probes load
// them as the programs would, one as on a Windows 7 without
// SetDefaultDllDirectories), an installer that accepts the configuration and
// a bridge that hands over (their import tables and PE headers are checked as
// they are unpacked). Each carries the version that -v prints, for Explorer
// and an MSI's upgrade, and a manifest (type 24, id 1), without which Windows
// may virtualise its writes.
TEST_F(Bridge, ShippedFolderWorksInThePublicFolder) {
    const fs::path app = "C:\\Users\\Public\\Pixologic\\GoZApps\\Quiltara";
    std::vector<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(app))
        shipped.push_back(entry.path().filename().string());
    std::sort(shipped.begin(), shipped.end());
    EXPECT_EQ(shipped, (std::vector<std::string>{"GoZBrushToQuiltara.exe", "GoZInitQuiltara.exe",
                                                 "licenses"}));
    for (const std::string name : {"GoZBrushToQuiltara", "GoZInitQuiltara"}) {
        const std::string exe = (app / (name + ".exe")).string();
        std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), nullptr) + 1);
        ASSERT_TRUE(
            GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
            << name;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        const DWORD ms = fixed->dwFileVersionMS, ls = fixed->dwFileVersionLS;
        const std::string version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xffff) +
                                    "." + std::to_string(ls >> 16);
        EXPECT_EQ(run(exe, {"-v"}).output, name + " Version : " + version + "\n");
        EXPECT_EQ(ls & 0xffff, 0ul) << "no build number";
        HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        ASSERT_NE(manifest, nullptr) << name;
        const auto* xml = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
        EXPECT_NE(std::string(xml, SizeofResource(module, manifest)).find("\"asInvoker\""),
                  std::string::npos);
        FreeLibrary(module);
    }
    const QStringList planted = QString(PLANTED_DLL_NAMES).split(',');
    for (const QString& name : planted)
        fs::copy_file(PLANTED_DLL, app / (name + ".dll").toStdString());
    setting("WINEDLLOVERRIDES", "mscoree,mshtml=;" + planted.join(',') + "=n,b");
    setting("PLANTED_DLL_LOG", QString::fromStdString((temp / "planted.log").string()));
    fs::path host = installHost(temp / "Quiltara");
    goztest::WriteFile(app / "GoZ_Config.txt", "PATH = \"" + host.string() + "\"\n");
    setting("QUILTARA_STANDIN_MESSAGES", "1");
    for (const std::string probe : {"dll_search_probe.exe", "dll_search_probe_win7.exe"}) {
        fs::copy_file(DLL_SEARCH_PROBES + probe, app / probe);
        EXPECT_EQ(run((app / probe).string()).exitCode, 0) << probe;
        fs::remove(app / probe);
    }
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
}
#endif
