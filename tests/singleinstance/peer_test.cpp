// The single-instance peer against the other side of its protocol, as a real Quiltara speaks it.
#include "singleinstance/qtlocalpeer.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <future>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

const QString kName = QtLocalPeer::socketNameFor("Quiltara");
const QByteArray kFrame = QByteArray("\x00\x00\x00\x12", 4) + kMarker.c_str();
const QTemporaryDir kTemp(QDir::tempPath() + "/peer-XXXXXX"); // for lock files and sockets
const QString kLockFile = [] {
    for (const char* variable : {"TMPDIR", "TMP", "TEMP"})
        qputenv(variable, kTemp.path().toLocal8Bit());
    return kTemp.path() + '/' + kName + "-lockfile";
}();

// A bare end: writes `pieces` 100 ms apart (empty: 2.5 s of quiet), reads `want` bytes in `ms`.
QByteArray Exchange(QLocalSocket& end, const QList<QByteArray>& pieces, int ms = 0, int want = 3) {
    for (const QByteArray& piece : pieces) {
        QThread::msleep(piece.isEmpty() ? 2500 : 100);
        end.write(piece);
        end.waitForBytesWritten(1000);
    }
    QByteArray answer;
    while (ms > 0 && answer.size() < want && end.waitForReadyRead(ms))
        answer += end.readAll();
    bool open = end.state() == QLocalSocket::ConnectedState && !end.waitForDisconnected(100);
    return open ? answer + "|open" : answer; // the other end stays a moment longer
}

TEST(PeerNames, FollowTheOtherSidesRules) {
#if defined(_WIN32)
    DWORD scope = 0; // logon sessions keep the names apart
    ProcessIdToSessionId(GetCurrentProcessId(), &scope);
#else
    uid_t scope = getuid(); // users keep the names apart
#endif
    QString got; // Qt 5.15's checksums; the prefix takes ASCII letters only, six at most
    for (const char* id : {"Quiltara", "Tool 2", "", "zZ_\u00fc9aAbcd"})
        got += QtLocalPeer::socketNameFor(QString::fromUtf8(id)).replace("qtsingleapp-", " ");
    EXPECT_EQ(got, QString(" Quilta-6f28-%1 Tool-d65c-%1 -0-%1 zZaAbc-26bb-%1").arg(scope, 0, 16));
}

// The lock from the first client check until the peer dies, as others see it.
TEST(Peer, InstanceHoldsTheLockUntilItDiesAndAcksWholeFramesOnly) {
    qputenv("QUILTARA_STANDIN_SECONDS", "1"); // 2 when the lock is busy, else 0 a second later
    auto standIn = [] { return goztest::RunProgram(QUILTARA_STANDIN, {kMarker.c_str()}).exitCode; };
    QScopedPointer<QtLocalPeer> peer(new QtLocalPeer(nullptr, "Quiltara"));
    ASSERT_TRUE(QFile::exists(kLockFile) && !peer->isClient()); // the file from construction on
    QStringList got;
    QObject::connect(peer.get(), &QtLocalPeer::messageReceived, [&](QString m) { got << m; });
    // A second instance forwards its command line here and ends, as the library's programs do.
    auto second = std::async(std::launch::async, standIn);
    ASSERT_TRUE(goztest::WaitFor([&] { return got.size() == 1; }));
    EXPECT_EQ(second.get(), 0);
    EXPECT_TRUE(got.takeFirst().endsWith(kMarker.c_str()));
#if defined(_WIN32)
    // The other side's mutex: the lock file's path as Qt gives it, lower-cased.
    std::wstring mutex = L"QtLockedFile mutex " + kLockFile.toLower().toStdWString();
    auto theirs = [&] {
        return WaitForSingleObject(OpenMutexW(SYNCHRONIZE, 0, mutex.c_str()), 0) != WAIT_TIMEOUT;
    };
#else
    // An open file description's fcntl lock meets ours in this process too; flock() would not.
    int fd = open(kLockFile.toLocal8Bit().constData(), O_RDWR);
    struct flock whole = {F_WRLCK, SEEK_SET, 0, 0, 0};
    auto theirs = [&] { return fcntl(fd, F_OFD_SETLK, &whole) == 0; };
#endif
    EXPECT_FALSE(std::async(std::launch::async, theirs).get()); // as another thread finds it

    const QByteArray big = QByteArray("\0\4\x93\xe0", 4) + QByteArray("\xc3\xbc").repeated(150000);
    const std::tuple<const char*, QList<QByteArray>, QByteArray> cases[] = {
        {"UTF-8 beyond one read, in pieces", {big.left(3), big.mid(3)}, "ack|open"},
        {"empty message", {QByteArray(4, '\0')}, "ack|open"},
        {"sender stalls mid-frame", {QByteArray("\x00\x00\x00\x64xx", 6)}, "|open"},
        {"huge length, refused at once", {QByteArray(4, '\xff') + "abc"}, ""},
        // Before the length, no sender is dropped while connected, however long it takes.
        {"silent before the length, dropped when it leaves", {QByteArray(2, '\0')}, "|open"},
        {"then a frame after 2.5 s of quiet", {{}, kFrame}, "ack|open"}};
    auto senders = std::async(std::launch::async, [&] {
        for (const auto& [what, pieces, reply] : cases) {
            QLocalSocket socket;
            socket.connectToServer(kName);
            socket.waitForConnected(3000);
            EXPECT_EQ(Exchange(socket, pieces, 1500), reply) << what;
        }
    });
    ASSERT_TRUE(goztest::WaitFor([&] { return got.size() == 3; }, 60000));
    EXPECT_EQ(got, QStringList({QString(150000, QChar(0xfc)), {}, kMarker.c_str()}));

    peer.reset();
#if defined(_WIN32)
    // A writer must take each reader's mutex there is too, the last of 64 as well.
    HANDLE reader = CreateMutexW(nullptr, TRUE, (mutex + L"63").c_str());
    EXPECT_EQ(standIn(), 2);
    CloseHandle(reader);
#else
    ASSERT_TRUE(theirs());
    EXPECT_EQ(standIn(), 2);
    close(fd);
#endif
    EXPECT_EQ(standIn(), 0);
}

// The frame (UTF-8) as the other side reads it; the reply (in pieces, or none: closed).
TEST(Peer, SenderFramesTheMessageAndWantsAckInTime) {
    QFile::remove(kLockFile);
    ASSERT_TRUE(QDir().mkdir(kLockFile)); // so the senders cannot take the lock themselves
    const std::tuple<QByteArray, QList<QByteArray>, int> cases[] = {
        {QByteArray("\x00\x00\x00\x07Gr\xc3\xbc\xc3\x9f\x65", 11), {"ac", "k"}, 0},
        {kFrame, {"nak"}, EPROTO},
        {kFrame, {"ac"}, ETIMEDOUT},
        {kFrame, {}, EPIPE}};
    for (const auto& [frame, reply, error] : cases) {
        QLocalServer server;
        ASSERT_TRUE(server.listen(kName));
        auto sent = std::async(std::launch::async, [message = QString::fromUtf8(frame.mid(4))] {
            QtLocalPeer sender(nullptr, "Quiltara");
            return std::pair<bool, int>{sender.sendMessage(message, 1000), sender.lastSendError()};
        });
        ASSERT_TRUE(server.waitForNewConnection(5000));
        QLocalSocket* socket = server.nextPendingConnection();
        EXPECT_EQ(Exchange(*socket, {}, 3000, frame.size()), frame + "|open");
        Exchange(*socket, reply);
        if (reply.isEmpty())
            socket->abort();
        EXPECT_EQ(sent.get(), std::make_pair(error == 0, error)) << reply.join('|').data();
    }
    EXPECT_FALSE(QtLocalPeer(nullptr, "Quiltara").sendMessage(kMarker.c_str(), 2000));
}
