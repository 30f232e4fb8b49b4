// The single-instance peer against the other side of its protocol: names,
// lock, frames and acknowledgement, and waits.
#include "singleinstance/qtlocalpeer.h"
#include "tests/support/subprocess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QtCore/qtestsupport_core.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>
#include <list>
#include <memory>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const QString kId = QStringLiteral("Quiltara");
const QString kMarker = QStringLiteral("----------<::>-GoZ");
// What keeps the names of users or logon sessions apart, as the other side finds it.
#if defined(_WIN32)
const QString kScope = [] {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QString::number(session, 16);
}();
#else
const QString kScope = QString::number(getuid(), 16);
#endif
const QByteArray kFrame = QByteArray("\x00\x00\x00\x12", 4) + "----------<::>-GoZ";
const QString kGreeting = QStringLiteral("Gr\u00fc\u00dfe");
const QByteArray kGreetingFrame("\x00\x00\x00\x07Gr\xc3\xbc\xc3\x9f\x65", 11);

void WritePieces(QLocalSocket& socket, const QList<QByteArray>& pieces,
                 unsigned long pauseMs = 100) {
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QThread::msleep(pauseMs);
        socket.write(pieces[i]);
        socket.waitForBytesWritten(1000);
    }
}

// A bare sender: writes `pieces` `pauseMs` apart, then leaves (`ms` 0), or reads
// the answer until the receiver closes or `ms` pass, and leaves.
QByteArray Exchange(const QString& name, const QList<QByteArray>& pieces, int ms,
                    unsigned long pauseMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(3000))
        return "not connected";
    WritePieces(socket, pieces, pauseMs);
    QByteArray answer;
    while (ms > 0 && answer.size() < 3 && socket.waitForReadyRead(ms))
        answer += socket.readAll();
    bool stuck = ms > 0 && answer.size() < 3 && socket.state() == QLocalSocket::ConnectedState;
    return stuck ? "neither answered nor closed" : answer;
}

// Each case in its own temporary folder, so its own lock file and, on POSIX,
// socket.
class Peer : public testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char arg0[] = "peer_test";
        static char* argv[] = {arg0, nullptr};
        [[maybe_unused]] static auto* app = new QCoreApplication(argc, argv);
        ASSERT_FALSE(folder.empty());
        for (const std::string& variable : goztest::kTemporaryFolderVariables)
            environment.emplace_back(variable, folder.string());
        qputenv("QUILTARA_STANDIN_SECONDS", "30");
    }
    void TearDown() override {
        standIn.kill();
        standIn.waitForFinished();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // The stand-in, as the bridge starts it; true once it holds the lock.
    bool startStandIn(const char* mode) {
        qputenv("QUILTARA_STANDIN_MODE", mode);
        standIn.start(QString::fromStdString(goztest::SystemPath(QUILTARA_STANDIN)), {kMarker});
        QByteArray output;
        while (!output.contains("lock: held") && standIn.waitForReadyRead(10000))
            output += standIn.readAllStandardOutput();
        return output.contains("lock: held");
    }
    QString inTemp(const QString& file) const {
        return QString::fromStdString((folder / file.toStdString()).string());
    }
    QString lockFile() const {
        return inTemp(QStringLiteral("qtsingleapp-Quilta-6f28-") + kScope + "-lockfile");
    }

    const std::filesystem::path folder = goztest::MakeTemporaryFolder();
    std::list<goztest::ScopedEnvironment> environment;
    const QString name = QtLocalPeer::socketNameFor(kId);
    QProcess standIn; // killed with the object
};

} // namespace

TEST(PeerNames, FollowTheOtherSidesRules) {
    // Checksums as Qt 5.15 computes them; the suffix is the user id.
    const char* const cases[][2] = {
        {"Quiltara", "Quilta-6f28"}, {"Tool 2", "Tool-d65c"}, {"", "-0"}};
    for (const auto& [id, middle] : cases) {
        EXPECT_EQ(QtLocalPeer::socketNameFor(QString::fromUtf8(id)),
                  QStringLiteral("qtsingleapp-") + QString::fromUtf8(middle) + '-' + kScope);
    }
    // Only ASCII letters make the prefix, six at most.
    EXPECT_TRUE(QtLocalPeer::socketNameFor(QStringLiteral("a1b2c3d4e5f6g7h8"))
                    .startsWith(QStringLiteral("qtsingleapp-abcdef-")));
    EXPECT_TRUE(QtLocalPeer::socketNameFor(QStringLiteral("\u00dcn\u00efc\u00f6d\u00e9 9"))
                    .startsWith(QStringLiteral("qtsingleapp-ncd-")));
}

TEST_F(Peer, HoldsTheLockFromTheFirstCheckUntilDestroyed) {
    auto peer = std::make_unique<QtLocalPeer>(nullptr, kId);
    const QString lockFile = this->lockFile();
    EXPECT_TRUE(QFileInfo::exists(lockFile)); // from construction on
    ASSERT_FALSE(peer->isClient());
    EXPECT_FALSE(peer->isClient());
#if defined(_WIN32)
    // The other side looks for this mutex: the lock file's path, lower-cased,
    // with forward slashes. Another thread must find it owned.
    std::wstring mutex = L"QtLockedFile mutex " + lockFile.toLower().toStdWString();
    std::replace(mutex.begin(), mutex.end(), L'\\', L'/');
    std::async(std::launch::async, [&] {
        HANDLE handle = OpenMutexW(SYNCHRONIZE, FALSE, mutex.c_str());
        EXPECT_NE(handle, nullptr);
        EXPECT_EQ(WaitForSingleObject(handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        CloseHandle(handle);
    }).get();
#endif
    EXPECT_FALSE(peer->sendMessage(kMarker, 2000)); // the instance does not send to itself
    qputenv("QUILTARA_STANDIN_MODE", "answer");
    goztest::RunResult busy = goztest::RunProgram(QUILTARA_STANDIN, {kMarker.toStdString()});
    EXPECT_EQ(busy.exitCode, 2);
    EXPECT_NE(busy.output.find(goztest::WithNewlines("\nlock: busy\n")), std::string::npos);
    peer.reset();
    EXPECT_TRUE(QFileInfo::exists(lockFile));
    EXPECT_FALSE(QFileInfo::exists(inTemp(name)));
    EXPECT_TRUE(startStandIn("answer")); // given back with the peer
}

TEST_F(Peer, SenderFramesTheMessageAndWantsAckInTime) {
    ASSERT_TRUE(startStandIn("silent"));
    auto peer = std::make_unique<QtLocalPeer>(nullptr, kId);
    ASSERT_TRUE(peer->isClient());
    // Connected, but no answer comes: one timeout, within the sum of all waits.
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(peer->sendMessage(kMarker, 2000));
    EXPECT_GE(timer.elapsed(), 1900);
    EXPECT_LE(timer.elapsed(), 6250);
    peer.reset();

    // A bare receiving end in the silent stand-in's place. A lock file that
    // cannot be opened keeps the senders from taking the lock themselves.
    standIn.kill();
    standIn.waitForFinished();
    QLocalServer::removeServer(name);
    ASSERT_TRUE(QFile::remove(lockFile()) && QDir().mkdir(lockFile()));
    struct Case {
        QString message;
        QByteArray frame;
        QList<QByteArray> reply;
        bool delivered;
        int error; // lastSendError(), 0 once delivered
    };
    const Case cases[] = {
        {kMarker, kFrame, {"ack"}, true, 0},
        {kGreeting, kGreetingFrame, {"ac", "k"}, true, 0}, // an answer in pieces is still one
        {kMarker, kFrame, {"nak"}, false, EPROTO},
        {kMarker, kFrame, {"ac"}, false, ETIMEDOUT},
        {kMarker, kFrame, {}, false, EPIPE}, // closed without a word
    };
    for (const Case& c : cases) {
        QLocalServer server;
        ASSERT_TRUE(server.listen(name));
        auto sent = std::async(std::launch::async, [&] {
            QtLocalPeer sender(nullptr, kId);
            bool delivered = sender.sendMessage(c.message, 1000);
            return std::make_pair(delivered, sender.lastSendError());
        });
        ASSERT_TRUE(server.waitForNewConnection(5000));
        std::unique_ptr<QLocalSocket> socket(server.nextPendingConnection());
        QByteArray frame;
        while (frame.size() < c.frame.size() && socket->waitForReadyRead(3000))
            frame += socket->readAll();
        EXPECT_EQ(frame, c.frame);
        WritePieces(*socket, c.reply);
        if (c.reply.isEmpty())
            socket.reset();
        EXPECT_EQ(sent.get(), std::make_pair(c.delivered, c.error))
            << c.reply.join('|').constData();
    }

    // Nobody listens: two connection attempts 250 ms apart, then it gives up.
    timer.restart();
    EXPECT_FALSE(QtLocalPeer(nullptr, kId).sendMessage(kMarker, 2000));
    EXPECT_GE(timer.elapsed(), 240);
    EXPECT_LT(timer.elapsed(), 1500);
}

TEST_F(Peer, ReceiverAcksWholeFramesOnly) {
    QtLocalPeer peer(nullptr, kId);
    ASSERT_FALSE(peer.isClient());
    QStringList received;
    QObject::connect(&peer, &QtLocalPeer::messageReceived,
                     [&](const QString& message) { received << message; });

    const QString large(300000, QLatin1Char('x')); // far more than one read brings
    struct Case {
        const char* what;
        QList<QByteArray> pieces;
        QByteArray reply;
        QStringList messages;
        int withinMs = 6000; // 0: the sender leaves at once
        unsigned long pauseMs = 100;
    };
    const Case cases[] = {
        {"frame in pieces", {kFrame.left(3), kFrame.mid(3, 10), kFrame.mid(13)}, "ack", {kMarker}},
        {"UTF-8", {kGreetingFrame}, "ack", {kGreeting}},
        {"large", {QByteArray("\x00\x04\x93\xe0", 4) + large.toLatin1()}, "ack", {large}},
        {"empty message", {QByteArray(4, '\0')}, "ack", {QString()}},
        {"sender leaves mid-frame", {QByteArray("\x00\x00\x00\x64xx", 6)}, "", {}, 0},
        {"sender leaves before the length", {QByteArray(2, '\0')}, "", {}, 0},
        {"huge length, refused at once", {QByteArray(4, '\xff') + "abc"}, "", {}, 1500},
        // Neither is dropped while connected, however long it takes.
        {"frame after 2.5 s of quiet", {{}, kFrame}, "ack", {kMarker}, 6000, 2500},
        {"silent sender, dropped when it leaves", {}, "neither answered nor closed", {}, 2500},
        {"whole frame after all that", {kFrame}, "ack", {kMarker}},
    };
    for (const Case& c : cases) {
        received.clear();
        auto reply = std::async(std::launch::async,
                                [&] { return Exchange(name, c.pieces, c.withinMs, c.pauseMs); });
        auto settled = [&] {
            return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                   received.size() >= c.messages.size();
        };
        ASSERT_TRUE(QTest::qWaitFor(settled, 10000)) << c.what;
        EXPECT_EQ(reply.get(), c.reply) << c.what;
        EXPECT_EQ(received, c.messages) << c.what;
    }
}
