// The stand-in Quiltara's settings, as the bridge's tests and the demonstration use them.
#include "singleinstance/qtlocalpeer.h"
#include "tests/singleinstance/peer_support.h"
#include "tests/support/subprocess.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using goztest::EnsureApplication;
using goztest::kMarker;
using goztest::PrivateTemp;
using goztest::StandIn;
using goztest::WaitUntil;

namespace {

// Sets environment variables for programs started through RunProgram.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<std::pair<const char*, QString>> values) {
        for (const auto& [name, value] : values) {
            names.push_back(name);
            qputenv(name, value.toLocal8Bit());
        }
    }
    ~ScopedEnvironment() {
        for (const char* name : names)
            qunsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<const char*> names;
};

} // namespace

TEST(StandIn, WithoutTheLockItLeavesLockAndSocketToOthers) {
    EnsureApplication();
    PrivateTemp temp;
    StandIn::Settings settings;
    settings.mode = QStringLiteral("nolock");
    settings.seconds = 1;
    StandIn standIn(temp.file(QStringLiteral("log")), settings);
    ASSERT_TRUE(standIn.waitForLine(QStringLiteral("lock: skipped")));
    QString name = QtLocalPeer::socketNameFor(QStringLiteral("Quiltara"));
    EXPECT_FALSE(QFileInfo::exists(temp.file(name + QStringLiteral("-lockfile"))));
    {
        QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
        EXPECT_FALSE(peer.isClient());
    }
    EXPECT_EQ(standIn.waitForExit(10000), 0);
    EXPECT_EQ(standIn.lines(),
              QStringList({QStringLiteral("argv: ") + kMarker, QStringLiteral("lock: skipped"),
                           QStringLiteral("exit: time")}));
}

TEST(StandIn, StartedInTheBackgroundItLetsGoOfTheStartersOutput) {
    EnsureApplication();
    PrivateTemp temp;
    QString log = temp.file(QStringLiteral("log"));
    ScopedEnvironment environment{{"QUILTARA_STANDIN_LOG", log},
                                  {"QUILTARA_STANDIN_STDOUT", QStringLiteral("off")},
                                  {"QUILTARA_STANDIN_MESSAGES", QStringLiteral("1")},
                                  {"QUILTARA_STANDIN_SECONDS", QStringLiteral("20")}};
    // The starter ends at once; its output ends only when no process holds it.
    auto start = std::chrono::steady_clock::now();
    goztest::RunResult started = goztest::RunProgram(
        "/bin/sh", {"-c", "\"$0\" \"$1\" &", QUILTARA_STANDIN, kMarker.toStdString()});
    EXPECT_LT(goztest::ElapsedMs(start), 5000);
    EXPECT_EQ(started.exitCode, 0);
    EXPECT_EQ(started.output, "");

    ASSERT_TRUE(WaitUntil(
        [&] { return goztest::ReadLines(log).contains(QStringLiteral("lock: held")); }, 10000));
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    EXPECT_TRUE(peer.sendMessage(kMarker, 2000));
    EXPECT_TRUE(WaitUntil(
        [&] { return goztest::ReadLines(log).contains(QStringLiteral("exit: messages")); }, 10000));
}
