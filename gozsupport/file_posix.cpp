#include "gozsupport/file_platform.h"

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

std::FILE* OpenFileForRewriting(const char* path) {
    int fd = open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::FILE* stream = fdopen(fd, "r+b");
    if (!stream)
        close(fd);
    return stream;
}

bool TruncateFile(std::FILE* file, size_t length) {
    return ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
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
