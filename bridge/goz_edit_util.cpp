#include "bridge/goz_edit_util.h"

#include "gozsupport/commandline.h"
#include "gozsupport/config.h"
#include "gozsupport/paths.h"
#include "gozsupport/process.h"
#include "gozsupport/syserror.h"
#include "gozsupport/trace.h"
#include "gozsupport/trust.h"
#include "singleinstance/qtlocalpeer.h"
#include "singleinstance/qtlockedfile.h"

#include <QDir>
#include <QThread>

#include <cerrno>
#include <cstring>

namespace {

// Set by the first search in which some process cannot be opened; never reset.
bool hostSearchPrivilegeTried = false;

// A Quiltara that does not listen yet, or is too busy to take a connection,
// is asked again this often.
constexpr unsigned long kRetryMs = 50;
// Beyond this a bridge goes on without the start lock rather than hang on a
// holder that is stuck.
constexpr int kStartLockWaitMs = 1000;
constexpr unsigned long kStartLockRetryMs = 10;

// Bridges hold this from just before their search until their start of
// Quiltara returns, so that sends that come together start one Quiltara and
// the later ones find it. It is not Quiltara's single-instance lock, and its
// name carries the peer's scope (user or logon session). The system drops it
// when its holder dies.
class StartLock {
public:
    explicit StartLock(const QString& appId) {
        file.setFileName(QDir(QDir::tempPath()).absolutePath() + QLatin1Char('/') +
                         QtLocalPeer::socketNameFor(appId) + QLatin1String("-bridge-lockfile"));
        if (!file.open(QIODevice::ReadWrite))
            return;
        QDeadlineTimer deadline(kStartLockWaitMs);
        while (!file.lock(QtLockedFile::WriteLock, false) && !deadline.hasExpired())
            QThread::msleep(kStartLockRetryMs);
    }

private:
    QtLockedFile file; // unlocks when destroyed
};

// Since the delivery began, for the trace.
int ElapsedMs(const QDeadlineTimer& deadline) {
    return kHostAnswerWaitMs - static_cast<int>(deadline.remainingTime());
}

} // namespace

GoZEditUtil::GoZEditUtil(const QString& appId, int& argc, char** argv)
    : QCoreApplication(argc, argv), hostPath{}, exitCode(-1), peer(new QtLocalPeer(this, appId)) {}

bool GoZEditUtil::handleCommandLine(int argc, char** argv) {
    // Extra arguments from ZBrush are not options; the hand-over goes on.
    if (!ProgramInfo::hasSingleArgument(argc))
        return false;
    ProgramInfo(kBridgeName).runOption(argv[1]);
    return true;
}

bool GoZEditUtil::readHostPath() {
    char config[256] = {};
    GetGoZAppConfigPath(kHostProductName, config, sizeof config);
    if (GetGoZAppPath(kHostProductName, hostPath, sizeof hostPath)) {
        goz::Trace("config \"%s\": PATH \"%s\"", config, hostPath);
        return true;
    }
    goz::Trace("config \"%s\": %s", config,
               ConfigFileReadable(config) ? "no PATH line" : "missing or not a readable file");
    exitCode = kHostPathMissing;
    outcome = Outcome::NoHostPath;
    return false;
}

void GoZEditUtil::prepareHostMessage() {
    hostMessage = GoZMarker;
}

int32_t GoZEditUtil::deliverToHost() {
    char commandLine[1024] = {};
    std::strncpy(commandLine, hostMessage.c_str(), sizeof commandLine - 1);
    QDeadlineTimer deadline(kHostAnswerWaitMs); // the configuration was read a moment ago
    // A Quiltara that ends before it answers (closed by the user, or a second
    // one that forwarded its command line) leaves the search to be made again.
    for (bool again = false;; again = true) {
        // Windows may still list a process that has ended: no spinning on it.
        if (again)
            QThread::msleep(kRetryMs);
        goz::ProcessWatch host;
        {
            StartLock lock(peer->applicationId());
            if (!findRunningHost(hostPath, host))
                return startHost(commandLine);
        }
        if (messageRunningHost(host, deadline))
            return exitCode;
    }
}

bool GoZEditUtil::findRunningHost(char* path, goz::ProcessWatch& found) {
    uint32_t passedOver = 0;
    bool running =
        goz::FindOwnProcessByImagePath(path, found, hostSearchPrivilegeTried, &passedOver);
    if (passedOver != 0)
        goz::Trace("search: process %u of another user or session passed over", passedOver);
    if (running)
        goz::Trace("search: process %u of this user and session found", found.id());
    else
        goz::Trace("search: none of this user and session found");
    return running;
}

bool GoZEditUtil::messageRunningHost(const goz::ProcessWatch& host,
                                     const QDeadlineTimer& deadline) {
    QString text = QString::fromUtf8(hostMessage.data(), static_cast<int>(hostMessage.size()));
    int traced = 0; // the wait last traced: not one line every 50 ms
    // Every attempt that connects to a Quiltara is the send itself, so it
    // never sees a connection without a message.
    for (;;) {
        if (sendPeerMessage(text, deadline)) {
            goz::Trace("send: acknowledged after %d ms", ElapsedMs(deadline));
            return true;
        }
        if (host.hasEnded()) {
            goz::Trace("send: process %u ended unanswered, searching again", host.id());
            return false;
        }
        // errno after a failed send is whatever Qt left behind; the peer knows what went wrong.
        int error = peer->lastSendError();
        bool busy = peer->listenerBusy();
        // A Quiltara that closes drops its peer first, then saves for a while:
        // what waited on it was closed unanswered, so not taken, and goes again.
        bool closed = peer->closedUnanswered();
        if (!busy && !closed && !peer->nobodyListened()) {
            goz::Trace("send: %s", SendFailureText(error));
            recordFailure(SystemErrorCodeFor(error), Outcome::MessageFailed);
            return true;
        }
        if (error != traced)
            traceWait(error);
        traced = error;
        // Nothing was delivered, so this must not read as success: a Quiltara
        // stuck in loading, one that never took the connection, or one that
        // kept closing it unanswered.
        if (deadline.hasExpired()) {
            goz::Trace("send: gave up after %d ms", ElapsedMs(deadline));
            if (busy || closed)
                recordFailure(SystemErrorCodeFor(busy ? ETIMEDOUT : EPIPE), Outcome::MessageFailed);
            else
                recordFailure(NotConnectedErrorCode(), Outcome::NothingDelivered);
            return true;
        }
        QThread::msleep(kRetryMs);
    }
}

// Any user may write Quiltara's configuration: what it names is started only
// when nobody else can change it. A message, which runs nothing, is not checked.
int32_t GoZEditUtil::startHost(char* commandLine) {
    int32_t errorCode = 0;
    uint32_t started = 0;
    goz::Refusal refusal;
    if (goz::StartTrustedProgram(hostPath, commandLine, errorCode, refusal, &started)) {
        goz::Trace("start: \"%s\", process %u", hostPath, started);
    } else if (refusal.why != goz::Distrust::None) {
        goz::Trace("start: \"%s\" refused, error %d: \"%s\" %s", hostPath, errorCode,
                   refusal.object.c_str(), goz::DistrustText(refusal.why));
        recordFailure(errorCode, Outcome::StartRefused);
    } else {
        goz::Trace("start: \"%s\" failed, error %d", hostPath, errorCode);
        recordFailure(errorCode, Outcome::StartFailed);
    }
    return exitCode;
}

bool GoZEditUtil::sendPeerMessage(const QString& text, const QDeadlineTimer& deadline) {
    lastListener = 0;
    return peer->sendToListener(text, deadline, [this](uint32_t listener) {
        lastListener = listener;
        bool quiltara = goz::IsOwnProcessOf(listener, hostPath);
        if (quiltara)
            goz::Trace("send: connected to process %u", listener);
        return quiltara;
    });
}

// A send that can be tried again: nobody listens yet, the listener takes no
// more connections for now or closed this one unanswered, or it is not Quiltara.
void GoZEditUtil::traceWait(int error) const {
    if (peer->listenerBusy())
        goz::Trace("send: busy, waiting");
    else if (peer->closedUnanswered())
        goz::Trace("send: closed unanswered, trying again");
    else if (error != ESRCH)
        goz::Trace("send: nobody listens yet, waiting");
    else if (lastListener != 0)
        goz::Trace("send: listener process %u is not Quiltara, refused", lastListener);
    else
        goz::Trace("send: a listener of unknown process is not Quiltara, refused");
}

// A failed send may leave no error code at all; it must still not read as success.
void GoZEditUtil::recordFailure(int32_t code, Outcome failure) {
    exitCode = FailureCode(code);
    outcome = failure;
}
