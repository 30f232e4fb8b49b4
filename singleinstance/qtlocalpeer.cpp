#include "singleinstance/qtlocalpeer.h"

#include "singleinstance/lock_platform.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

namespace {

const char kAck[] = "ack";
constexpr qint64 kAckSize = sizeof kAck - 1;
constexpr qint64 kLengthSize = 4;

// Waits of the receiving side, once the length has come.
constexpr int kChunkWaitMs = 2000;
constexpr int kAckWaitMs = 1000;

// Far above any real message; a larger length is a broken or hostile sender,
// and must not make us allocate it.
constexpr quint32 kMaxMessageSize = 16 * 1024 * 1024;

// The errno value that says what went wrong with a local socket; the
// constants exist on every platform, so this stays portable.
int ErrnoFor(QLocalSocket::LocalSocketError error) {
    switch (error) {
    case QLocalSocket::ServerNotFoundError:
        return ENOENT;
    case QLocalSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QLocalSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QLocalSocket::PeerClosedError:
        return EPIPE;
    case QLocalSocket::SocketAccessError:
        return EACCES;
    case QLocalSocket::SocketResourceError:
        return EAGAIN;
    case QLocalSocket::DatagramTooLargeError:
        return EMSGSIZE;
    case QLocalSocket::UnsupportedSocketOperationError:
        return EOPNOTSUPP;
    default:
        return EIO;
    }
}

// A connection attempt that failed. On Windows a pipe whose instances all
// stayed busy fails as a broken connection before there was one.
int ConnectFailure(const QLocalSocket& socket) {
    return socket.error() == QLocalSocket::ConnectionError ? EBUSY : ErrnoFor(socket.error());
}

// A wait on a connected socket that failed: it did not answer in time, or the
// other side left. Qt names these differently per platform; under Wine a wait
// on a pipe that its server closed may end early while the socket still
// reads as connected, which is no timeout either.
int WaitFailure(const QLocalSocket& socket, const QDeadlineTimer& wait) {
    return socket.state() == QLocalSocket::ConnectedState &&
                   socket.error() != QLocalSocket::PeerClosedError && wait.hasExpired()
               ? ETIMEDOUT
               : EPIPE;
}

} // namespace

QtLocalPeer::QtLocalPeer(QObject* parent, const QString& appId)
    : QObject(parent), id(appId), server(new QLocalServer(this)) {
    if (id.isEmpty()) {
        id = QCoreApplication::applicationFilePath();
#if defined(Q_OS_WIN)
        id = id.toLower();
#endif
    }
    socketName = socketNameFor(id);
    lockFile.setFileName(QDir(QDir::tempPath()).absolutePath() + QLatin1Char('/') + socketName +
                         QLatin1String("-lockfile"));
    // A failure shows later: the lock cannot be taken, so isClient() answers true.
    lockFile.open(QIODevice::ReadWrite);
}

QtLocalPeer::~QtLocalPeer() {
    // Closing removes the socket file by name; done after the lock is gone, it
    // could remove the socket of an instance that has just taken over.
    server->close();
}

QString QtLocalPeer::socketNameFor(const QString& appId) {
    QString prefix;
    for (QChar c : appId) {
        if (prefix.size() == 6)
            break;
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('A') && c <= QLatin1Char('Z')))
            prefix += c;
    }
    QByteArray bytes = appId.toUtf8();
    quint16 idNum = qChecksum(bytes.constData(), static_cast<uint>(bytes.size()));
    QString name =
        QLatin1String("qtsingleapp-") + prefix + QLatin1Char('-') + QString::number(idNum, 16);
    uint32_t scope = 0;
    if (goz::platform::InstanceScope(scope))
        name += QLatin1Char('-') + QString::number(scope, 16);
    return name;
}

bool QtLocalPeer::isClient() {
    if (lockFile.isLocked())
        return false;
    if (!lockFile.lock(QtLockedFile::WriteLock, false))
        return true;

    bool listening = server->listen(socketName);
#if defined(Q_OS_UNIX)
    // We hold the lock, so a socket file already there was left by a crashed instance.
    if (!listening && server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(socketName);
        listening = server->listen(socketName);
    }
#endif
    if (!listening)
        qWarning("QtSingleCoreApplication: listen on local socket failed, %s",
                 qPrintable(server->errorString()));
    connect(server, &QLocalServer::newConnection, this, &QtLocalPeer::receiveConnection,
            Qt::UniqueConnection);
    return false;
}

bool QtLocalPeer::sendMessage(const QString& message, int timeout) {
    if (!isClient())
        return sendFailed(ENOTCONN); // this process is the instance: nobody to send to

    QLocalSocket socket;
    bool connected = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        socket.connectToServer(socketName);
        connected = socket.waitForConnected(timeout / 2);
        if (connected || attempt > 0)
            break;
        QThread::msleep(250); // the instance may not be listening yet
    }
    if (!connected)
        return sendFailed(ConnectFailure(socket));
    return sendOver(socket, message, timeout, QDeadlineTimer(QDeadlineTimer::Forever));
}

bool QtLocalPeer::sendToListener(const QString& message, const QDeadlineTimer& deadline,
                                 const std::function<bool(uint32_t)>& accept) {
    QLocalSocket socket;
    socket.connectToServer(socketName);
    // Qt's wait spins on a full backlog: the caller tries again instead.
    if (!socket.waitForConnected(0))
        return sendFailed(socket.state() == QLocalSocket::ConnectingState ? EAGAIN
                                                                          : ConnectFailure(socket));
    // Anything may listen on the name first; it must not get the message.
    uint32_t listener = 0;
    if (!goz::platform::ListenerProcessId(socket.socketDescriptor(), listener) ||
        !accept(listener)) {
        socket.abort();
        return sendFailed(ESRCH);
    }
    return sendOver(socket, message, INT_MAX, deadline);
}

// A connection that is made always carries a frame: the other side logs one
// that closes without it. Each wait takes up to `timeout`, none beyond `bound`.
bool QtLocalPeer::sendOver(QLocalSocket& socket, const QString& message, int timeout,
                           const QDeadlineTimer& bound) {
    QByteArray bytes = message.toUtf8();
    QDataStream stream(&socket);
    stream.writeBytes(bytes.constData(), static_cast<uint>(bytes.size()));
    const QDeadlineTimer written = std::min(QDeadlineTimer(timeout), bound);
    if (!socket.waitForBytesWritten(static_cast<int>(written.remainingTime())))
        return sendFailed(WaitFailure(socket, written));
    // The acknowledgement may come in pieces; all of it within one timeout.
    const QDeadlineTimer answered = std::min(QDeadlineTimer(timeout), bound);
    do {
        if (!socket.waitForReadyRead(static_cast<int>(answered.remainingTime())))
            return sendFailed(WaitFailure(socket, answered));
    } while (socket.bytesAvailable() < kAckSize);
    if (socket.read(kAckSize) != kAck)
        return sendFailed(EPROTO);
    sendError = 0;
    return true;
}

// No socket, a socket file that a crashed instance left behind, or a stranger.
bool QtLocalPeer::nobodyListened() const {
    return sendError == ENOENT || sendError == ECONNREFUSED || sendError == ESRCH;
}

// A full backlog (POSIX) or every pipe instance taken (Windows).
bool QtLocalPeer::listenerBusy() const {
    return sendError == EAGAIN || sendError == EBUSY;
}

bool QtLocalPeer::closedUnanswered() const {
    return sendError == EPIPE;
}

bool QtLocalPeer::sendFailed(int error) {
    sendError = error;
    return false;
}

void QtLocalPeer::receiveConnection() {
    while (QLocalSocket* connection = server->nextPendingConnection()) {
        std::unique_ptr<QLocalSocket> socket(connection);
        QString message;
        if (!receiveFrom(*socket, message))
            continue;
        socket->write(kAck, kAckSize);
        socket->waitForBytesWritten(kAckWaitMs);
        // Closing before the sender has read the answer could lose it.
        if (socket->state() != QLocalSocket::UnconnectedState)
            socket->waitForDisconnected(kAckWaitMs);
        socket.reset();
        emit messageReceived(message);
    }
}

// One length-prefixed UTF-8 frame. A sender that stalls within the message,
// disconnects or announces more than it sends gets no acknowledgement and is
// not reported. Before the length it may take as long as it likes: a sender
// that has connected but not yet written still gets its answer.
bool QtLocalPeer::receiveFrom(QLocalSocket& socket, QString& message) {
    while (socket.bytesAvailable() < kLengthSize) {
        if (!socket.waitForReadyRead(-1)) {
            qWarning("QtLocalPeer: Peer disconnected");
            return false;
        }
    }
    quint32 length = 0;
    QDataStream stream(&socket);
    stream >> length;
    if (length > kMaxMessageSize) {
        qWarning("QtLocalPeer: Message of %u bytes refused", length);
        return false;
    }
    QByteArray bytes; // grows with what arrives, not with what was announced
    while (static_cast<quint32>(bytes.size()) < length) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kChunkWaitMs)) {
            qWarning("QtLocalPeer: Message reception failed %s", qPrintable(socket.errorString()));
            return false;
        }
        bytes += socket.read(static_cast<qint64>(length) - bytes.size());
    }
    message = QString::fromUtf8(bytes);
    return true;
}
