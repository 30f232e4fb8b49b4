#include "bridge/goz_edit_util.h"

#include "gozsupport/commandline.h"
#include "gozsupport/paths.h"
#include "gozsupport/process.h"
#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "singleinstance/qtlocalpeer.h"

#include <cstring>

namespace {

// Set by the first search in which some process cannot be opened; never reset.
bool hostSearchPrivilegeTried = false;

constexpr int32_t kMessageTimeout = 2000;

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
    uint32_t processId = 0;
    if (findRunningHost(hostPath, processId))
        messageRunningHost();
    else
        startHost(commandLine);
    return exitCode;
}

bool GoZEditUtil::findRunningHost(char* path, uint32_t& processId) {
    return FindProcessByImagePath(path, processId, hostSearchPrivilegeTried);
}

int32_t GoZEditUtil::messageRunningHost() {
    // A Quiltara without the lock cannot take messages; this run now holds the lock.
    // Nothing was delivered, so this must not read as success.
    if (!peerIsClient()) {
        recordFailure(NotConnectedErrorCode());
        return exitCode;
    }
    QString text = QString::fromUtf8(hostMessage.data(), static_cast<int>(hostMessage.size()));
    // errno after a failed send is whatever Qt left behind; the peer knows what went wrong.
    if (!sendPeerMessage(text, kMessageTimeout))
        recordFailure(SystemErrorCodeFor(peer->lastSendError()));
    return exitCode;
}

int32_t GoZEditUtil::startHost(char* commandLine) {
    int32_t errorCode = 0;
    if (!StartProgram(hostPath, commandLine, errorCode))
        recordFailure(errorCode);
    return exitCode;
}

bool GoZEditUtil::peerIsClient() {
    return peer->isClient();
}

bool GoZEditUtil::sendPeerMessage(const QString& text, int32_t timeout) {
    return peer->sendMessage(text, timeout);
}

// A failed send may leave no error code at all; it must still not read as success.
void GoZEditUtil::recordFailure(int32_t code) {
    exitCode = FailureCode(code);
}
