#include "gozsupport/file_platform.h"

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
    // Asked as well as enforced: Wine run by root opens a read-only file for
    // writing all the same.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return nullptr;
    return std::fopen(path, "r+b");
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
