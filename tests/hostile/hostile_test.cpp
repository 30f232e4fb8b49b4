// Both programs against GoZ folders that a crash, another tool or a hostile
// user left behind: each run ends with its usual exit code, prints nothing,
// does not hang and touches nothing but Quiltara's install log.
#include "gozsupport/paths.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <list>
#include <set>
#include <string>

#if defined(GOZ_BRIDGE)
#include "bridge/exit_status.h"

#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using goztest::ReadFile;
using goztest::RunProgram;
using goztest::WriteFile;

namespace {

// Every path below `root`, with its size for plain files.
std::set<std::string> Tree(const fs::path& root) {
    std::set<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != decltype(it)();
         it.increment(error)) {
        std::error_code unreadable;
        auto size = it->is_regular_file(unreadable) ? it->file_size(unreadable) : 0;
        entries.insert(it->path().string() + " " + std::to_string(size));
    }
    return entries;
}

class HostileFolder : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
#if defined(GOZ_BRIDGE)
        // Short: the socket's path must fit a sockaddr_un.
        char pattern[] = "/tmp/goz-hostile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        setting("TMPDIR", temp.string());
        setting("QUILTARA_STANDIN_LOG", (temp / "host.log").string());
        setting("QUILTARA_STANDIN_STDOUT", "off");
        setting("QUILTARA_STANDIN_SECONDS", "20");
#endif
        outside = Tree(fs::current_path());
    }

    void TearDown() override {
        // Nothing outside the GoZ tree changed: the working folder is as it was.
        EXPECT_EQ(Tree(fs::current_path()), outside);
#if defined(GOZ_BRIDGE)
        stopHosts();
        fs::remove_all(temp);
#endif
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Runs the installer, which stays silent and exits with 0 whatever it meets.
    // True when it found the path: an empty log; else the library's report.
    void installerFindsPath(bool found) const {
        auto run = RunProgram(GOZ_INSTALLER, {});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
        std::string log = ReadFile(folder / "GoZ_InstallLog.txt");
        if (found)
            EXPECT_EQ(log, "");
        else
            EXPECT_NE(log.find(">>[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... "
                               "[ErrorCode(-1)]"),
                      std::string::npos)
                << log;
    }

    const fs::path folder = fs::path(GoZPublicRoot) / "GoZApps" / "Quiltara";
    const fs::path config = folder / "GoZ_Config.txt";
    std::set<std::string> outside;

#if defined(GOZ_BRIDGE)
    void setting(const std::string& name, const std::string& value) {
        environment.emplace_back(name, value);
    }

    int bridge(double* seconds = nullptr) const {
        auto start = std::chrono::steady_clock::now();
        auto run = RunProgram(GOZ_BRIDGE, {});
        if (seconds)
            *seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.output, "");
        return run.exitCode;
    }

    // A copy of the stand-in at `path`, which is then Quiltara.
    void installHost(const fs::path& path) {
        fs::create_directories(path.parent_path());
        fs::copy_file(QUILTARA_STANDIN, path, fs::copy_options::overwrite_existing);
        hosts.push_back(path);
    }

    bool hostLogged(const std::string& line) const {
        return goztest::WaitFor(
            [&] { return ReadFile(temp / "host.log").find(line + "\n") != std::string::npos; });
    }

    std::list<pid_t> hostProcesses() const {
        std::list<pid_t> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code unreadable;
            fs::path image = fs::read_symlink(entry.path() / "exe", unreadable);
            for (const fs::path& host : hosts) {
                if (!unreadable && image == host)
                    found.push_back(std::stoi(entry.path().filename().string()));
            }
        }
        return found;
    }

    void stopHosts() const {
        for (pid_t id : hostProcesses())
            kill(id, SIGKILL);
        goztest::WaitFor([&] { return hostProcesses().empty(); });
    }

    const int kSuccess = ProcessExitStatus(-1);
    const int kNoPath = ProcessExitStatus(32767);
    fs::path temp;
    std::list<goztest::ScopedEnvironment> environment;
    std::list<fs::path> hosts;
#endif
};

constexpr const char kMissingHost[] = "/nonexistent/Quiltara/Quiltara";

#if defined(GOZ_BRIDGE)
// The peer's socket name for "Quiltara"; the lock file adds "-lockfile".
std::string LockName() {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(getuid()));
    return std::string("qtsingleapp-Quilta-6f28-") + hex;
}
#endif

TEST_F(HostileFolder, ConfigThatIsNoPlainFileReadsAsMissing) {
    fs::create_directory(config);
    installerFindsPath(false);
#if defined(GOZ_BRIDGE)
    EXPECT_EQ(bridge(), kNoPath);
    fs::remove(config);
    for (const fs::path& target : {fs::path("GoZ_Config.txt"), fs::path("/dev/zero")}) {
        fs::create_symlink(target, config); // a loop, then a device
        installerFindsPath(false);
        EXPECT_EQ(bridge(), kNoPath);
        fs::remove(config);
    }
    ASSERT_EQ(mkfifo(config.c_str(), 0600), 0); // a reader must not wait for a writer
    installerFindsPath(false);
    EXPECT_EQ(bridge(), kNoPath);
#endif
}

TEST_F(HostileFolder, PathAtTheEndOfAHugeSparseFileIsFound) {
    {
        std::FILE* file = std::fopen(config.string().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    fs::resize_file(config, 300u << 20); // 300 MiB of NUL bytes, without the disk space
    {
        std::FILE* file = std::fopen(config.string().c_str(), "ab");
        std::fputs(("\nPATH = " + std::string(kMissingHost) + "\n").c_str(), file);
        std::fclose(file);
    }
    installerFindsPath(true);
#if defined(GOZ_BRIDGE)
    EXPECT_EQ(bridge(), ENOENT);
#endif
}

TEST_F(HostileFolder, BinaryGarbageWithNulBytes) {
    std::string garbage;
    uint32_t state = 12345;
    for (int i = 0; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    WriteFile(config, garbage);
    installerFindsPath(false);
#if defined(GOZ_BRIDGE)
    EXPECT_EQ(bridge(), kNoPath);
#endif
    WriteFile(config, garbage + "\r\nPATH = " + kMissingHost +
                          "\0trailing"
                          "\n" +
                          garbage);
    installerFindsPath(true);
#if defined(GOZ_BRIDGE)
    EXPECT_EQ(bridge(), ENOENT);
#endif
}

#if defined(GOZ_BRIDGE)
TEST_F(HostileFolder, PathOf255BytesIsUsedWholeAndALongerOneIsCutTo255) {
    // Folders of this case's own, so that the path is exactly 255 bytes long.
    fs::path base = temp / std::string(200, 'd');
    size_t nameLength = 255 - base.string().size() - 1;
    fs::path host = base / std::string(nameLength, 'q');
    ASSERT_EQ(host.string().size(), 255u);
    installHost(host);
    WriteFile(config, "PATH = " + host.string() + "\n");
    installerFindsPath(true);
    EXPECT_EQ(bridge(), kSuccess);
    EXPECT_TRUE(hostLogged("argv: ----------<::>-GoZ"));
    stopHosts();

    WriteFile(config, "PATH = " + host.string() + std::string(745, 'x') + "\n");
    installerFindsPath(true);
    fs::remove(temp / "host.log");
    EXPECT_EQ(bridge(), kSuccess);
    EXPECT_TRUE(hostLogged("argv: ----------<::>-GoZ"));
}

TEST_F(HostileFolder, LockFileAndSocketLeftByACrashedQuiltara) {
    fs::path host = temp / "Quiltara";
    installHost(host);
    WriteFile(config, "PATH = " + host.string() + "\n");
    std::string name = LockName();
    WriteFile(temp / (name + "-lockfile"), "");
    // A socket file with nobody behind it, as a killed instance leaves it.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (temp / name).c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);

    EXPECT_EQ(bridge(), kSuccess); // not running: started
    ASSERT_TRUE(hostLogged("lock: held"));
    EXPECT_EQ(bridge(), kSuccess); // running, and it took the socket over
    EXPECT_TRUE(hostLogged("message: ----------<::>-GoZ"));
}

TEST_F(HostileFolder, LockFileThatCannotBeCreated) {
    fs::path host = temp / "Quiltara";
    installHost(host);
    WriteFile(config, "PATH = " + host.string() + "\n");
    // A folder in its place: no one, root included, can open the lock file.
    fs::create_directory(temp / (LockName() + "-lockfile"));
    // Not running: the start needs no lock. The host cannot take one either and ends.
    EXPECT_EQ(bridge(), kSuccess);
    ASSERT_TRUE(hostLogged("lock: busy"));
    ASSERT_TRUE(goztest::WaitFor([&] { return hostProcesses().empty(); }));
    // Running without the lock, which this bridge cannot take either: the send
    // finds no one to connect to, a failure, and soon.
    goztest::ScopedEnvironment mode("QUILTARA_STANDIN_MODE", "nolock");
    goztest::RunningProgram running(host.string(), {});
    ASSERT_TRUE(hostLogged("lock: skipped"));
    double seconds = 0;
    int status = bridge(&seconds);
    EXPECT_NE(status, kSuccess);
    EXPECT_NE(status, kNoPath);
    EXPECT_NE(status, 0);
    EXPECT_LT(seconds, 6.5);
}
#endif

} // namespace
