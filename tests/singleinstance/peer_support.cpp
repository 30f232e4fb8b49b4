#include "tests/singleinstance/peer_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QThread>
#include <QtEndian>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace goztest {

namespace {

std::mutex warningMutex;
QStringList caughtWarnings;
QtMessageHandler previousHandler = nullptr;

void CatchWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg) {
        std::lock_guard<std::mutex> guard(warningMutex);
        caughtWarnings << text;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

// Reads one whole frame; false when the sender stops short.
bool ReadFrame(QLocalSocket& socket, QByteArray& bytes) {
    auto need = [&](qint64 count) {
        while (bytes.size() < count) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(3000))
                return false;
            bytes += socket.read(count - bytes.size());
        }
        return true;
    };
    if (!need(4))
        return false;
    quint32 length = qFromBigEndian<quint32>(bytes.constData());
    return need(4 + static_cast<qint64>(length));
}

} // namespace

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "peer_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

bool WaitUntil(const std::function<bool()>& condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

PrivateTemp::PrivateTemp() {
    QByteArray pattern = "/tmp/gozpeer-XXXXXX";
    if (mkdtemp(pattern.data()))
        folder = QString::fromLocal8Bit(pattern);
    hadPrevious = qEnvironmentVariableIsSet("TMPDIR");
    previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", pattern);
}

PrivateTemp::~PrivateTemp() {
    if (hadPrevious)
        qputenv("TMPDIR", previous);
    else
        qunsetenv("TMPDIR");
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

WarningCatcher::WarningCatcher() {
    std::lock_guard<std::mutex> guard(warningMutex);
    caughtWarnings.clear();
    previousHandler = qInstallMessageHandler(CatchWarning);
}

WarningCatcher::~WarningCatcher() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QStringList WarningCatcher::warnings() const {
    std::lock_guard<std::mutex> guard(warningMutex);
    return caughtWarnings;
}

StandIn::StandIn(const QString& log, const Settings& settings) : logPath(log) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILTARA_STANDIN_LOG"), log);
    environment.insert(QStringLiteral("QUILTARA_STANDIN_MODE"), settings.mode);
    environment.insert(QStringLiteral("QUILTARA_STANDIN_MESSAGES"),
                       QString::number(settings.messages));
    environment.insert(QStringLiteral("QUILTARA_STANDIN_SECONDS"),
                       QString::number(settings.seconds));
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(QUILTARA_STANDIN), settings.arguments);
    process.waitForStarted(10000);
}

StandIn::~StandIn() {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
    }
}

QStringList StandIn::lines() const {
    return ReadLines(logPath);
}

bool StandIn::waitForLine(const QString& line, int ms) const {
    return WaitUntil([&] { return lines().contains(line); }, ms);
}

int StandIn::waitForExit(int ms) {
    if (!process.waitForFinished(ms) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

void StandIn::crash() {
    process.kill();
    process.waitForFinished(10000);
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray Frame(const QByteArray& utf8) {
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(utf8.size()), length);
    return QByteArray(length, 4) + utf8;
}

RawServer::RawServer(const QString& name, const QList<QByteArray>& reply)
    : listenResult(listenPromise.get_future()) {
    worker = std::thread([this, name, reply] {
        QLocalServer server;
        QLocalServer::removeServer(name);
        bool ok = server.listen(name);
        listenPromise.set_value(ok);
        if (!ok || !server.waitForNewConnection(5000))
            return;
        std::unique_ptr<QLocalSocket> socket(server.nextPendingConnection());
        if (!ReadFrame(*socket, bytes))
            return;
        for (int i = 0; i < reply.size(); ++i) {
            if (i > 0)
                QThread::msleep(100);
            socket->write(reply[i]);
            socket->waitForBytesWritten(1000);
        }
        if (!reply.isEmpty() && socket->state() == QLocalSocket::ConnectedState)
            socket->waitForDisconnected(3000);
    });
}

RawServer::~RawServer() {
    if (worker.joinable())
        worker.join();
}

QByteArray RawServer::received() {
    if (worker.joinable())
        worker.join();
    return bytes;
}

RawClient::RawClient(const QString& name, const QList<QByteArray>& pieces, bool disconnect,
                     int waitMs)
    : finished(finishedPromise.get_future().share()) {
    worker = std::thread([this, name, pieces, disconnect, waitMs] {
        QLocalSocket socket;
        socket.connectToServer(name);
        wasConnected = socket.waitForConnected(3000);
        if (wasConnected) {
            for (int i = 0; i < pieces.size(); ++i) {
                if (i > 0)
                    QThread::msleep(100);
                socket.write(pieces[i]);
                socket.waitForBytesWritten(1000);
            }
            if (disconnect) {
                socket.disconnectFromServer();
            } else {
                QDeadlineTimer deadline(waitMs);
                while (answer.size() < 3 && socket.state() == QLocalSocket::ConnectedState &&
                       !deadline.hasExpired()) {
                    if (socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                        answer += socket.readAll();
                }
                answer += socket.readAll();
            }
        }
        finishedPromise.set_value();
    });
}

RawClient::~RawClient() {
    if (worker.joinable())
        worker.join();
}

QByteArray RawClient::reply() {
    if (worker.joinable())
        worker.join();
    return answer;
}

} // namespace goztest
