#include "singleinstance/lock_platform.h"

#include <cerrno>
#include <fcntl.h>
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

} // namespace goz::platform
