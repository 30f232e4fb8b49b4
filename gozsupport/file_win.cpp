#include "gozsupport/file_platform.h"

#include <io.h>
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

std::string ResolveWriteTarget(const char* path) {
    return path;
}

std::string TemporaryPathBeside(const std::string& target) {
    return target + ".tmp" + std::to_string(GetCurrentProcessId());
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace goz::platform
