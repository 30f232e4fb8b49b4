#include "tests/singleinstance/lock_holder.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace goztest {

LockHolder::LockHolder(const std::string& path, goz::platform::LockKind kind) {
    int down[2];
    int up[2];
    if (pipe(down) != 0)
        return;
    if (pipe(up) != 0) {
        close(down[0]);
        close(down[1]);
        return;
    }
    child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        close(down[1]);
        close(up[0]);
        int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
        bool locked = fd >= 0 && goz::platform::LockWholeFile(fd, kind, false);
        char answer = locked ? '1' : '0';
        if (write(up[1], &answer, 1) != 1)
            _exit(1);
        char ignored = 0;
        while (read(down[0], &ignored, 1) < 0 && errno == EINTR) {
        }
        if (locked)
            goz::platform::UnlockWholeFile(fd);
        _exit(0);
    }
    close(down[0]);
    close(up[1]);
    toChild = down[1];
    char answer = '0';
    if (child > 0) {
        while (read(up[0], &answer, 1) < 0 && errno == EINTR) {
        }
    }
    close(up[0]);
    held = answer == '1';
}

LockHolder::~LockHolder() {
    release();
}

void LockHolder::release() {
    if (toChild >= 0)
        close(toChild);
    toChild = -1;
    reap();
}

void LockHolder::crash() {
    if (child > 0)
        kill(child, SIGKILL);
    release();
}

void LockHolder::reap() {
    if (child > 0) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    child = -1;
    held = false;
}

} // namespace goztest
