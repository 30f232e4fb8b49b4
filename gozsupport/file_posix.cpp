#include "gozsupport/file_platform.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace goz::platform {

std::FILE* OpenRegularFileForReading(const char* path) {
    // Non-blocking, so that a pipe is refused instead of waited on.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "rb");
    if (!stream)
        close(fd);
    return stream;
}

std::string ResolveWriteTarget(const char* path) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr)
        return resolved;
    return path;
}

std::string TemporaryPathBeside(const std::string& target) {
    return target + ".tmp" + std::to_string(getpid());
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    struct stat info {};
    if (stat(to.c_str(), &info) == 0)
        chmod(from.c_str(), info.st_mode & 07777);
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// The C locale, set for this thread alone around one conversion.
static locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    return c;
}

bool FormatFloat(char* text, size_t size, double value) {
    if (!CLocale())
        return false;
    locale_t previous = uselocale(CLocale());
    int length = std::snprintf(text, size, "%f", value);
    uselocale(previous);
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool ScanFloat(const char* text, float* out) {
    if (!CLocale())
        return false;
    locale_t previous = uselocale(CLocale());
    bool read = std::sscanf(text, "%f", out) == 1;
    uselocale(previous);
    return read;
}

} // namespace goz::platform
