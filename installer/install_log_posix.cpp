#include "installer/install_log_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace goz::platform {

InstallLogFolder::~InstallLogFolder() {
    if (handle != -1)
        close(static_cast<int>(handle));
}

bool InstallLogFolder::open(const std::string& path) {
    // Everything after goes through this descriptor: swapping the folder for a
    // link afterwards changes nothing.
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    handle = fd;
    return true;
}

bool InstallLogFolder::removeIfPresent(const char* name) {
    int dir = static_cast<int>(handle);
    // As remove() does: a file or link first, a folder when it is one.
    if (unlinkat(dir, name, 0) == 0 || errno == ENOENT)
        return true;
    return errno == EISDIR && unlinkat(dir, name, AT_REMOVEDIR) == 0;
}

std::FILE* InstallLogFolder::openText(const char* name) {
    int dir = static_cast<int>(handle);
    int fd = openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        // An old log that could not go, written only when it is no other file
        // too. Non-blocking, so that a pipe is refused instead of waited on.
        fd = openat(dir, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
                        ftruncate(fd, 0) != 0)) {
            close(fd);
            return nullptr;
        }
    }
    if (fd < 0)
        return nullptr;
    std::FILE* stream = fdopen(fd, "w");
    if (!stream)
        close(fd);
    return stream;
}

} // namespace goz::platform
