#include "tests/support/harness.h"

#include "gozsupport/process.h"
#include "singleinstance/qtlocalpeer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtCore/qtestsupport_core.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace goztest {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out << bytes) << "cannot write " << path;
}

std::string ReadFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    return QTest::qWaitFor(condition, ms);
}

namespace {

void Start(QProcess& process, const std::string& program, const QStringList& arguments,
           const QProcessEnvironment& environment, const fs::path& errors) {
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(errors.empty() ? QProcess::ForwardedErrorChannel
                                                 : QProcess::SeparateChannels);
    if (!errors.empty())
        process.setStandardErrorFile(QString::fromStdWString(errors.wstring()));
    process.start(QString::fromStdString(program), arguments,
                  QIODevice::ReadWrite | QIODevice::Text);
    process.closeWriteChannel();
}

int32_t Finish(QProcess& process) {
    if (!process.waitForFinished(60000))
        return -1000;
    return process.exitStatus() == QProcess::CrashExit ? -2000 : process.exitCode();
}

} // namespace

RunResult RunProgram(const std::string& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, const fs::path& errors) {
    QProcess process;
    Start(process, program, arguments, environment, errors);
    int32_t code = Finish(process);
    return {code, process.readAllStandardOutput().toStdString(), ReadFile(errors)};
}

std::vector<RunResult> RunTogether(const std::string& program, int count,
                                   const QProcessEnvironment& environment, const fs::path& errors) {
    std::vector<std::unique_ptr<QProcess>> processes;
    auto file = [&](int i) {
        fs::path path = errors;
        return errors.empty() ? path : path += std::to_string(i);
    };
    // Under Wine and load a start of the test's own may fail now and then;
    // that is no outcome of the program's.
    for (int i = 0; i < count; ++i) {
        QProcess& process = *processes.emplace_back(std::make_unique<QProcess>());
        for (int attempt = 0; attempt < 3; ++attempt) {
            Start(process, program, {}, environment, file(i));
            if (process.waitForStarted())
                break;
            std::fprintf(stderr, "not started, tried again: %s\n",
                         qPrintable(process.errorString()));
        }
    }
    std::vector<RunResult> results;
    for (auto& process : processes)
        results.push_back({Finish(*process), "", ReadFile(file(static_cast<int>(results.size())))});
    return results;
}

void KillProcess(uint32_t id) {
#if defined(_WIN32)
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
#else
    kill(static_cast<pid_t>(id), SIGKILL);
#endif
}

} // namespace goztest

void GoZFolder::SetUp() {
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_TRUE(tempDir.isValid());
    for (const char* variable : {"TMPDIR", "TMP", "TEMP"})
        setting(variable, tempDir.path());
    setting("QUILTARA_STANDIN_LOG", QString::fromStdString((temp / "host.log").string()));
    setting("QUILTARA_STANDIN_STDOUT", "off");
    setting("QUILTARA_STANDIN_SECONDS", "30");
}

void GoZFolder::TearDown() {
    stopHosts();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

fs::path GoZFolder::installHost(fs::path path) {
    path += kExe;
    fs::create_directories(path.parent_path());
    fs::copy_file(QUILTARA_STANDIN, path, fs::copy_options::overwrite_existing);
    // In the ANSI code page, as the programs read it: std::filesystem gives UTF-8 on Windows.
    std::string narrow = QString::fromStdWString(path.wstring()).toLocal8Bit().toStdString();
    configure(narrow);
    hosts.push_back(narrow);
    return path;
}

// By the library's own lookup, which the tests of the bridge rely on anyway.
void GoZFolder::stopHosts() {
    bool privilegeTried = false;
    for (std::string host : hosts) {
        goztest::WaitFor([&] {
            uint32_t id = 0;
            if (!FindProcessByImagePath(host.data(), id, privilegeTried))
                return true;
#if !defined(_WIN32)
            // A broken lookup, as under mutation testing, must not kill what is no host.
            std::error_code error;
            if (!fs::equivalent("/proc/" + std::to_string(id) + "/exe", host, error))
                return true;
#endif
            goztest::KillProcess(id);
            return false;
        });
    }
}

int GoZFolder::bridge(const QStringList& arguments) {
    auto start = std::chrono::steady_clock::now();
    goztest::RunResult result = run(GOZ_BRIDGE, arguments);
    took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result.output, "");
    trace = result.errors;
#if !defined(_WIN32)
    EXPECT_TRUE(environment.value("GOZ_TRACE") == "1" || trace.empty()) << trace;
#endif
    return result.exitCode;
}

int GoZFolder::logCount(const std::string& line) const {
    return QString::fromStdString(hostLog()).split('\n').count(QString::fromStdString(line));
}

fs::path GoZFolder::lockFile() const {
    return temp / (QtLocalPeer::socketNameFor("Quiltara") + "-lockfile").toStdString();
}

QString GoZFolder::socketPath() const {
    QString name = QtLocalPeer::socketNameFor("Quiltara");
#if !defined(_WIN32)
    name = QString::fromStdString(temp.string()) + '/' + name; // a pipe's name is system-wide
#endif
    return name;
}

// Qt's processes, sockets and waits want an application object, as the
// programs under test have one.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
