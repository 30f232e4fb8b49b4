#include "bridge/goz_edit_util.h"

#include "gozsupport/commandline.h"
#include "gozsupport/paths.h"
#include "gozsupport/process.h"
#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "singleinstance/qtlocalpeer.h"
#include "singleinstance/qtlockedfile.h"

#include <QDir>
#include <QThread>

#include <cstring>

namespace {

// Set by the first search in which some process cannot be opened; never reset.
bool hostSearchPrivilegeTried = false;

constexpr int32_t kMessageTimeout = 2000;
// A Quiltara that is still loading has not set up its peer yet; it gets this
// long, asked again every so often.
constexpr int kListenWaitMs = 5000;
constexpr unsigned long kListenRetryMs = 50;
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

} // namespace

GoZEditUtil::GoZEditUtil(const QString& appId, int& argc, char** argv)
    : QCoreApplication(argc, argv), hostPath{}, exitCode(-1), peer(new QtLocalPeer(this, appId)) {}

bool GoZEditUtil::handleCommandLine(int argc, char** argv) {
    // Extra arguments from ZBrush are not options; the hand-over goes on.
    if (!ProgramInfo::hasSingleArgument(argc))
        return false;
    ProgramInfo("GoZBrushToQuiltara").runOption(argv[1]);
    return true;
}

bool GoZEditUtil::readHostPath() {
    if (GetGoZAppPath(kHostProductName, hostPath, sizeof hostPath))
        return true;
    exitCode = kHostPathMissing;
    return false;
}

void GoZEditUtil::prepareHostMessage() {
    hostMessage = GoZMarker;
}

int32_t GoZEditUtil::deliverToHost() {
    char commandLine[1024] = {};
    std::strncpy(commandLine, hostMessage.c_str(), sizeof commandLine - 1);
    QDeadlineTimer deadline(kListenWaitMs);
    // A Quiltara that ends before it listens (closed by the user, or a second
    // one that forwarded its command line) leaves the search to be made again.
    for (;;) {
        uint32_t processId = 0;
        {
            StartLock lock(peer->applicationId());
            if (!findRunningHost(hostPath, processId))
                return startHost(commandLine);
        }
        if (messageRunningHost(processId, deadline))
            return exitCode;
    }
}

bool GoZEditUtil::findRunningHost(char* path, uint32_t& processId) {
    return FindProcessByImagePath(path, processId, hostSearchPrivilegeTried);
}

bool GoZEditUtil::messageRunningHost(uint32_t processId, const QDeadlineTimer& deadline) {
    QString text = QString::fromUtf8(hostMessage.data(), static_cast<int>(hostMessage.size()));
    goz::ProcessWatch host(processId);
    // Every attempt that connects is the send itself, so a starting Quiltara
    // never sees a connection without a message.
    for (;;) {
        if (sendPeerMessage(text, kMessageTimeout))
            return true;
        // errno after a failed send is whatever Qt left behind; the peer knows what went wrong.
        if (!peer->nobodyListened()) {
            recordFailure(SystemErrorCodeFor(peer->lastSendError()));
            return true;
        }
        // Still nobody: a Quiltara in another logon session, or one stuck in
        // loading. Nothing was delivered, so this must not read as success.
        if (deadline.hasExpired()) {
            recordFailure(NotConnectedErrorCode());
            return true;
        }
        QThread::msleep(kListenRetryMs);
        if (host.hasEnded())
            return false;
    }
}

int32_t GoZEditUtil::startHost(char* commandLine) {
    int32_t errorCode = 0;
    if (!StartProgram(hostPath, commandLine, errorCode))
        recordFailure(errorCode);
    return exitCode;
}

bool GoZEditUtil::sendPeerMessage(const QString& text, int32_t timeout) {
    return peer->sendToListener(text, timeout);
}

// A failed send may leave no error code at all; it must still not read as success.
void GoZEditUtil::recordFailure(int32_t code) {
    exitCode = FailureCode(code);
}
