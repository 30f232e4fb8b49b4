// Shared by the peer and stand-in tests: the application object, a private
// temporary folder, the stand-in Quiltara in the background, raw protocol ends.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace goztest {

inline const QString kMarker = QStringLiteral("----------<::>-GoZ");

// Qt's networking wants an application object; one for the whole test program.
void EnsureApplication();

// Runs the event loop until `condition` holds or `ms` have passed.
bool WaitUntil(const std::function<bool()>& condition, int ms);

// Milliseconds since `start`.
inline long long ElapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// A fresh folder below /tmp that TMPDIR names while it lives, so that lock
// files and sockets of a test meet nobody else's. Short, because a socket
// path must fit in about 100 bytes.
class PrivateTemp {
public:
    PrivateTemp();
    ~PrivateTemp();
    PrivateTemp(const PrivateTemp&) = delete;
    PrivateTemp& operator=(const PrivateTemp&) = delete;

    QString path() const { return folder; }
    QString file(const QString& name) const { return folder + QLatin1Char('/') + name; }

private:
    QString folder;
    QByteArray previous;
    bool hadPrevious = false;
};

// What the warnings of Qt's message output said while it lives.
class WarningCatcher {
public:
    WarningCatcher();
    ~WarningCatcher();
    WarningCatcher(const WarningCatcher&) = delete;
    WarningCatcher& operator=(const WarningCatcher&) = delete;
    QStringList warnings() const;
};

// The stand-in Quiltara running in the background, logging to `log`.
class StandIn {
public:
    struct Settings {
        QString mode = QStringLiteral("answer");
        int messages = 0;
        int seconds = 60;
        QStringList arguments{kMarker};
    };

    explicit StandIn(const QString& log) : StandIn(log, Settings()) {}
    StandIn(const QString& log, const Settings& settings);
    ~StandIn(); // kills it if still running
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    QStringList lines() const;
    bool waitForLine(const QString& line, int ms = 10000) const;
    // The exit code, or -1 when it did not end within `ms`.
    int waitForExit(int ms);
    void crash();

private:
    QString logPath;
    QProcess process;
};

QStringList ReadLines(const QString& path);

// The frame the sender writes: 32-bit big-endian length, then the UTF-8 bytes.
QByteArray Frame(const QByteArray& utf8);

// A bare receiving end in its own thread: takes one connection, reads one
// frame and answers with `reply`, piece by piece 100 ms apart, or closes
// without a word when `reply` is empty.
class RawServer {
public:
    RawServer(const QString& name, const QList<QByteArray>& reply);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    bool listening() { return listenResult.get(); }
    // What the sender wrote; valid once the object is gone or after finish().
    QByteArray received();

private:
    std::thread worker;
    std::promise<bool> listenPromise;
    std::future<bool> listenResult;
    QByteArray bytes;
};

// A bare sending end in its own thread: writes `pieces` 100 ms apart (then
// leaves, when `disconnect`), and collects what comes back, up to the three
// bytes of an answer, until the other end closes or `waitMs` pass.
class RawClient {
public:
    RawClient(const QString& name, const QList<QByteArray>& pieces, bool disconnect,
              int waitMs = 3000);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool done() const {
        return finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    QByteArray reply(); // waits for the thread
    bool connected() {
        reply();
        return wasConnected;
    }

private:
    std::thread worker;
    std::promise<void> finishedPromise;
    std::shared_future<void> finished;
    QByteArray answer;
    bool wasConnected = false;
};

} // namespace goztest
