// The single-instance peer against the protocol's other side: names, lock,
// frames and acknowledgement, waits, and what a crashed instance leaves.
#include "singleinstance/qtlocalpeer.h"
#include "tests/singleinstance/lock_holder.h"
#include "tests/singleinstance/peer_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>
#include <unistd.h>

using goz::platform::LockKind;
using goztest::ElapsedMs;
using goztest::EnsureApplication;
using goztest::Frame;
using goztest::kMarker;
using goztest::LockHolder;
using goztest::PrivateTemp;
using goztest::RawClient;
using goztest::RawServer;
using goztest::StandIn;
using goztest::WaitUntil;

namespace {

QString User() {
    return QString::number(getuid(), 16);
}

QString LockFileOf(const QString& appId) {
    return QDir::tempPath() + QLatin1Char('/') + QtLocalPeer::socketNameFor(appId) +
           QLatin1String("-lockfile");
}

class PeerTest : public testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    PrivateTemp temp;
};

} // namespace

TEST(PeerNames, FollowTheOtherSidesRules) {
    // Checksums as Qt 5.15 computes them.
    EXPECT_EQ(QtLocalPeer::socketNameFor(QStringLiteral("Quiltara")),
              QStringLiteral("qtsingleapp-Quilta-6f28-") + User());
    EXPECT_EQ(QtLocalPeer::socketNameFor(QStringLiteral("Tool 2")),
              QStringLiteral("qtsingleapp-Tool-d65c-") + User());
    EXPECT_EQ(QtLocalPeer::socketNameFor(QString()), QStringLiteral("qtsingleapp--0-") + User());
    if (getuid() == 0) {
        EXPECT_EQ(QtLocalPeer::socketNameFor(QStringLiteral("Quiltara")),
                  QStringLiteral("qtsingleapp-Quilta-6f28-0"));
    }
    // Only ASCII letters make the prefix, at most six of them.
    EXPECT_TRUE(QtLocalPeer::socketNameFor(QStringLiteral("a1b2c3d4e5f6g7h8"))
                    .startsWith(QStringLiteral("qtsingleapp-abcdef-")));
    EXPECT_TRUE(QtLocalPeer::socketNameFor(QStringLiteral("\u00dcn\u00efc\u00f6d\u00e9 9"))
                    .startsWith(QStringLiteral("qtsingleapp-ncd-")));
}

TEST_F(PeerTest, ClientCheckTakesTheLockAndHoldsItUntilThePeerDies) {
    QString lockFile = temp.file(QStringLiteral("qtsingleapp-Quilta-6f28-") + User() +
                                 QStringLiteral("-lockfile"));
    QString socketFile = temp.file(QtLocalPeer::socketNameFor(QStringLiteral("Quiltara")));
    auto peer = std::make_unique<QtLocalPeer>(nullptr, QStringLiteral("Quiltara"));
    EXPECT_TRUE(QFileInfo::exists(lockFile)); // from construction on
    EXPECT_FALSE(QFileInfo::exists(socketFile));
    ASSERT_FALSE(peer->isClient());
    EXPECT_FALSE(peer->isClient());
    EXPECT_TRUE(QFileInfo::exists(socketFile));
    LockHolder other(lockFile.toStdString(), LockKind::Write);
    EXPECT_FALSE(other.holds());
    other.release();

    StandIn second(temp.file(QStringLiteral("log")));
    EXPECT_EQ(second.waitForExit(10000), 2);
    EXPECT_TRUE(second.lines().contains(QStringLiteral("lock: busy")));
    // Holding the lock is not a reason to send.
    EXPECT_FALSE(peer->sendMessage(kMarker, 2000));

    peer.reset();
    EXPECT_TRUE(QFileInfo::exists(lockFile));
    EXPECT_FALSE(QFileInfo::exists(socketFile));
    LockHolder after(lockFile.toStdString(), LockKind::Write);
    EXPECT_TRUE(after.holds());
}

TEST_F(PeerTest, LockHeldElsewhereWithoutListenerFailsAfterTwoAttempts) {
    LockHolder other(LockFileOf(QStringLiteral("Quiltara")).toStdString(), LockKind::Write);
    ASSERT_TRUE(other.holds());
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    EXPECT_TRUE(peer.isClient());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(peer.sendMessage(kMarker, 2000));
    long long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 240);
    EXPECT_LT(elapsed, 1500);
}

TEST_F(PeerTest, SenderWritesTheLengthPrefixedFrameAndWantsAck) {
    LockHolder other(LockFileOf(QStringLiteral("Quiltara")).toStdString(), LockKind::Write);
    ASSERT_TRUE(other.holds());
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    QString name = QtLocalPeer::socketNameFor(QStringLiteral("Quiltara"));
    const QByteArray markerFrame = QByteArray("\x00\x00\x00\x12", 4) + "----------<::>-GoZ";

    struct Case {
        QList<QByteArray> reply;
        bool delivered;
    };
    const Case cases[] = {
        {{"ack"}, true},  {{"ac", "k"}, true}, // an answer in pieces is still an answer
        {{"nak"}, false}, {{"ac"}, false},     {{}, false},
    };
    for (const Case& c : cases) {
        RawServer server(name, c.reply);
        ASSERT_TRUE(server.listening());
        EXPECT_EQ(peer.sendMessage(kMarker, 1000), c.delivered) << c.reply.join('|').constData();
        EXPECT_EQ(server.received(), markerFrame);
    }

    RawServer server(name, {"ack"});
    ASSERT_TRUE(server.listening());
    EXPECT_TRUE(peer.sendMessage(QStringLiteral("Gr\u00fc\u00dfe"), 2000));
    EXPECT_EQ(server.received(), Frame("Gr\xc3\xbc\xc3\x9f"
                                       "e"));
}

TEST_F(PeerTest, MessagesReachTheRunningStandIn) {
    StandIn::Settings settings;
    settings.messages = 3;
    StandIn standIn(temp.file(QStringLiteral("log")), settings);
    ASSERT_TRUE(standIn.waitForLine(QStringLiteral("lock: held")));

    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    EXPECT_TRUE(peer.isClient());
    EXPECT_TRUE(peer.sendMessage(kMarker, 2000));
    EXPECT_TRUE(peer.sendMessage(QStringLiteral("Gr\u00fc\u00dfe \u2713\nzwei"), 2000));
    // Far more than one read brings.
    QString large(300000, QLatin1Char('x'));
    EXPECT_TRUE(peer.sendMessage(large, 2000));
    EXPECT_EQ(standIn.waitForExit(10000), 0);
    EXPECT_EQ(standIn.lines(),
              QStringList({QStringLiteral("argv: ") + kMarker, QStringLiteral("lock: held"),
                           QStringLiteral("message: ") + kMarker,
                           QStringLiteral("message: Gr\u00fc\u00dfe \u2713\\nzwei"),
                           QStringLiteral("message: ") + large, QStringLiteral("exit: messages")}));
}

TEST_F(PeerTest, InstanceThatNeverAnswersTimesOut) {
    StandIn::Settings settings;
    settings.mode = QStringLiteral("silent");
    StandIn standIn(temp.file(QStringLiteral("log")), settings);
    ASSERT_TRUE(standIn.waitForLine(QStringLiteral("lock: held")));

    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    ASSERT_TRUE(peer.isClient());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(peer.sendMessage(kMarker, 2000));
    long long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 1900);
    EXPECT_LE(elapsed, 6250);
    EXPECT_FALSE(standIn.lines().contains(QStringLiteral("message: ") + kMarker));
}

TEST_F(PeerTest, ReceiverAcknowledgesWholeFramesOnly) {
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    ASSERT_FALSE(peer.isClient());
    QStringList received;
    QObject::connect(&peer, &QtLocalPeer::messageReceived,
                     [&](const QString& message) { received << message; });
    QString name = QtLocalPeer::socketNameFor(QStringLiteral("Quiltara"));
    QByteArray frame = Frame(kMarker.toUtf8());

    struct Case {
        const char* what;
        QList<QByteArray> pieces;
        bool disconnect;
        QByteArray reply;
        QStringList messages;
    };
    const Case cases[] = {
        {"frame in pieces",
         {frame.left(3), frame.mid(3, 10), frame.mid(13)},
         false,
         "ack",
         {kMarker}},
        {"empty message", {Frame("")}, false, "ack", {QString()}},
        {"sender leaves mid-frame", {Frame(QByteArray(100, 'x')).left(14)}, true, "", {}},
        {"huge length", {QByteArray("\xff\xff\xff\xff", 4) + "abc"}, false, "", {}},
        {"sender leaves before the length", {QByteArray("\x00\x00", 2)}, true, "", {}},
        {"whole frame after all that", {frame}, false, "ack", {kMarker}},
    };
    for (const Case& c : cases) {
        received.clear();
        RawClient client(name, c.pieces, c.disconnect);
        ASSERT_TRUE(WaitUntil([&] { return client.done(); }, 10000)) << c.what;
        WaitUntil([&] { return received.size() >= c.messages.size(); }, 1000);
        QCoreApplication::processEvents();
        EXPECT_TRUE(client.connected()) << c.what;
        EXPECT_EQ(client.reply(), c.reply) << c.what;
        EXPECT_EQ(received, c.messages) << c.what;
    }
}

TEST_F(PeerTest, ReceiverGivesUpOnASilentSender) {
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    ASSERT_FALSE(peer.isClient());
    QString name = QtLocalPeer::socketNameFor(QStringLiteral("Quiltara"));
    RawClient silent(name, {}, false, 5000);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return silent.done(); }, 10000));
    EXPECT_LT(ElapsedMs(start), 4000);
    EXPECT_TRUE(silent.reply().isEmpty());

    QStringList received;
    QObject::connect(&peer, &QtLocalPeer::messageReceived,
                     [&](const QString& message) { received << message; });
    RawClient next(name, {Frame("next")}, false);
    ASSERT_TRUE(WaitUntil([&] { return next.done() && !received.isEmpty(); }, 10000));
    EXPECT_EQ(next.reply(), QByteArray("ack"));
}

TEST_F(PeerTest, NewInstanceTakesOverFromACrashedOne) {
    StandIn crashed(temp.file(QStringLiteral("log")));
    ASSERT_TRUE(crashed.waitForLine(QStringLiteral("lock: held")));
    crashed.crash();
    QString name = QtLocalPeer::socketNameFor(QStringLiteral("Quiltara"));
    ASSERT_TRUE(QFileInfo::exists(temp.file(name))); // its socket file is left behind

    goztest::WarningCatcher catcher;
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    EXPECT_FALSE(peer.isClient());
    EXPECT_TRUE(catcher.warnings().isEmpty()) << catcher.warnings().join('\n').toStdString();
    QStringList received;
    QObject::connect(&peer, &QtLocalPeer::messageReceived,
                     [&](const QString& message) { received << message; });
    RawClient client(name, {Frame(kMarker.toUtf8())}, false);
    ASSERT_TRUE(WaitUntil([&] { return client.done() && !received.isEmpty(); }, 10000));
    EXPECT_EQ(client.reply(), QByteArray("ack"));
    EXPECT_EQ(received, QStringList{kMarker});
}

TEST(PeerWarnings, FailedListenIsReportedAndTheLockStillHeld) {
    EnsureApplication();
    PrivateTemp temp;
    // A folder whose socket paths are too long for the system.
    QString deep = temp.file(QString(120, QLatin1Char('d')));
    ASSERT_TRUE(QDir().mkpath(deep));
    qputenv("TMPDIR", deep.toLocal8Bit());
    goztest::WarningCatcher catcher;
    QtLocalPeer peer(nullptr, QStringLiteral("Quiltara"));
    EXPECT_FALSE(peer.isClient());
    ASSERT_EQ(catcher.warnings().size(), 1);
    EXPECT_TRUE(catcher.warnings()[0].startsWith(
        QStringLiteral("QtSingleCoreApplication: listen on local socket failed, ")))
        << catcher.warnings()[0].toStdString();
    LockHolder other(LockFileOf(QStringLiteral("Quiltara")).toStdString(), LockKind::Write);
    EXPECT_FALSE(other.holds());
}
