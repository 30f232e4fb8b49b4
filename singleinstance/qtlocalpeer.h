// The single-instance peer: tells whether another process of the same
// application id runs, hands it messages over a local socket and, in the
// process that holds the lock, receives them.
#pragma once

#include "singleinstance/qtlockedfile.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QLocalServer;
class QLocalSocket;

class QtLocalPeer : public QObject {
    Q_OBJECT

public:
    // Opens (creating it) the lock file of `appId` in the temporary folder. An
    // empty id stands for the executable's path.
    QtLocalPeer(QObject* parent = nullptr, const QString& appId = QString());
    ~QtLocalPeer() override;

    // True when another process holds the lock. Otherwise this peer takes it,
    // if it has not yet, holds it until it is destroyed, listens for messages
    // (delivered while an event loop runs) and answers false.
    bool isClient();
    // Hands `message` to the process that holds the lock; true only when it
    // acknowledged. `timeout` in ms bounds each wait (half of it each of the
    // two connection attempts).
    bool sendMessage(const QString& message, int timeout);
    // The same hand-over without the client check, so it never takes the lock:
    // a sender that only delivers, and must not become the instance while the
    // real one is still starting, uses this. One connection attempt that
    // waits for nothing; the message goes only to a listener whose process
    // `accept` takes, and its write and "ack" may take until `deadline`.
    bool sendToListener(const QString& message, const QDeadlineTimer& deadline,
                        const std::function<bool(uint32_t processId)>& accept);
    // Whether the last send failed because nothing listened on the socket, or
    // only a process that `accept` refused.
    bool nobodyListened() const;
    // Whether it failed because the listener took no more connections for now.
    bool listenerBusy() const;
    // Whether the listener closed the connection without an answer. It took
    // nothing then: the library acknowledges before it hands a message on.
    bool closedUnanswered() const;
    // Why the last sendMessage() answered false, as an errno value (0 after
    // one that delivered): ENOENT when nobody listens, ETIMEDOUT when a wait
    // ran out, EPROTO when the reply was not "ack", and so on.
    int lastSendError() const { return sendError; }
    QString applicationId() const { return id; }

    // The local socket name for `appId`; the lock file is named after it.
    static QString socketNameFor(const QString& appId);

Q_SIGNALS:
    void messageReceived(const QString& message);

private Q_SLOTS:
    void receiveConnection();

private:
    bool receiveFrom(QLocalSocket& socket, QString& message);
    bool sendOver(QLocalSocket& socket, const QString& message, int timeout,
                  const QDeadlineTimer& bound);
    bool sendFailed(int error);

    QString id;
    QString socketName;
    QLocalServer* server;
    QtLockedFile lockFile;
    int sendError = 0;
};
