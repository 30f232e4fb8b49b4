#include "gozsupport/file_platform.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace goz::platform {

bool IsRegularFile(std::FILE* stream) {
    struct stat info {};
    return fstat(fileno(stream), &info) == 0 && S_ISREG(info.st_mode);
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

} // namespace goz::platform
