#include "installer/install_log_platform.h"

#include <share.h>
#include <windows.h>

namespace goz::platform {

bool RemoveIfPresent(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return RemoveDirectoryA(path) != 0;
    return DeleteFileA(path) != 0;
}

std::FILE* OpenTextForWriting(const char* path) {
    // Text mode turns each "\n" into CR LF.
    return _fsopen(path, "wt", _SH_DENYNO);
}

} // namespace goz::platform
