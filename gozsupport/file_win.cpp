#include "gozsupport/file_platform.h"

#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <sys/stat.h>
#include <windows.h>

namespace goz::platform {

std::FILE* OpenRegularFileForReading(const char* path) {
    std::FILE* stream = std::fopen(path, "rb");
    struct _stat64 info {};
    if (stream && (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

std::FILE* OpenFileForRewriting(const char* path) {
    // The link itself is opened, and refused, never its target. Wine cannot
    // make Windows links, so this follows the Win32 documentation untested.
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    // Read-only asked as well as enforced: Wine run by root opens such a file
    // for writing all the same.
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD refused = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
    int fd = GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & refused) == 0
                 ? _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY)
                 : -1;
    if (fd == -1) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "r+b");
    if (!stream)
        _close(fd);
    return stream;
}

bool TruncateFile(std::FILE* file, size_t length) {
    return _chsize_s(_fileno(file), static_cast<__int64>(length)) == 0;
}

// The C locale, handed to the _l functions so the process locale stays as it is.
static _locale_t CLocale() {
    static const _locale_t c = _create_locale(LC_ALL, "C");
    return c;
}

bool FormatFloat(char* text, size_t size, double value) {
    int length = CLocale() ? _snprintf_l(text, size, "%f", CLocale(), value) : -1;
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool ScanFloat(const char* text, float* out) {
    return CLocale() && _sscanf_l(text, "%f", CLocale(), out) == 1;
}

} // namespace goz::platform
