#include "singleinstance/lock_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace goz::platform {

namespace {

bool SetWholeFileLock(int fd, short type, bool block) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    region.l_start = 0;
    region.l_len = 0; // to the end of the file, however long it grows
    int result = 0;
    while ((result = fcntl(fd, block ? F_SETLKW : F_SETLK, &region)) == -1 && errno == EINTR) {
    }
    return result == 0;
}

} // namespace

bool LockWholeFile(int fd, LockKind kind, bool block) {
    return SetWholeFileLock(fd, kind == LockKind::Write ? F_WRLCK : F_RDLCK, block);
}

bool UnlockWholeFile(int fd) {
    return SetWholeFileLock(fd, F_UNLCK, false);
}

bool InstanceScope(uint32_t& scope) {
    scope = static_cast<uint32_t>(getuid());
    return true;
}

// The credentials of the socket's listener, taken when it listened.
bool ListenerProcessId(intptr_t socket, uint32_t& processId) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        credentials.pid <= 0)
        return false;
    processId = static_cast<uint32_t>(credentials.pid);
    return true;
}

} // namespace goz::platform
