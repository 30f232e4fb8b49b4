// Wine neither makes Windows links nor reports Unix links as reparse points
// (Wine 8: CreateSymbolicLinkA answers true and makes nothing, a Unix symlink
// reads as a plain file). So the link handling here is checked against the
// Win32 documentation; the tests under Wine cover its other paths.
#include "installer/install_log_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace goz::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Closes `file` and fails with `error`.
bool Refuse(HANDLE file, DWORD error) {
    CloseHandle(file);
    SetLastError(error);
    return false;
}

} // namespace

InstallLogFolder::~InstallLogFolder() {
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool InstallLogFolder::open(const std::string& path) {
    // Held without delete sharing, so that it can be neither renamed nor
    // replaced by a junction while the log is made in it.
    HANDLE dir = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (dir == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(dir, &info))
        return Refuse(dir, GetLastError());
    const DWORD kind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((info.dwFileAttributes & kind) != FILE_ATTRIBUTE_DIRECTORY)
        return Refuse(dir, ERROR_CANT_RESOLVE_FILENAME);
    handle = reinterpret_cast<intptr_t>(dir);
    folder = path + "\\";
    return true;
}

bool InstallLogFolder::removeIfPresent(const char* name) {
    std::string path = folder + name;
    // The attributes of a link are its own: a link goes, never its target.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return RemoveDirectoryA(path.c_str()) != 0;
    return DeleteFileA(path.c_str()) != 0;
}

std::FILE* InstallLogFolder::openText(const char* name) {
    std::string path = folder + name;
    // With FILE_FLAG_OPEN_REPARSE_POINT a link at the name is the file itself:
    // it makes CREATE_NEW fail, and is opened (then refused) instead of its target.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        // An old log that could not go.
        file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        BY_HANDLE_FILE_INFORMATION info{};
        if (file != INVALID_HANDLE_VALUE &&
            (!GetFileInformationByHandle(file, &info) ||
             (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !SetEndOfFile(file))) {
            Refuse(file, (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                             ? ERROR_CANT_RESOLVE_FILENAME
                             : GetLastError());
            return nullptr;
        }
    }
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    // Text mode turns each "\n" into CR LF.
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_TEXT);
    if (fd == -1) {
        Refuse(file, GetLastError());
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wt");
    if (!stream)
        _close(fd);
    return stream;
}

} // namespace goz::platform
