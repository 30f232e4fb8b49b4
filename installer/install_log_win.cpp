// Wine neither makes Windows links nor reports Unix links as reparse points
// (Wine 8: CreateSymbolicLinkA answers true and makes nothing, a Unix symlink
// reads as a plain file). So the link handling here is checked against the
// Win32 documentation; the tests under Wine cover its other paths, hard
// links and a folder renamed while it is held among them.
#include "installer/install_log_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winternl.h>

namespace goz::platform {

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Closes `file` and fails with `error`.
bool Refuse(HANDLE file, DWORD error) {
    CloseHandle(file);
    SetLastError(error);
    return false;
}

template <typename Function> Function* FromNtdll(const char* name) {
    // Looked up, as the programs import kernel32 and msvcrt only.
    return reinterpret_cast<Function*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// `name` in the folder `dir`, through the handle: nothing above the folder is
// looked up again, so a junction or object-manager link put there since it
// was opened leads nowhere. A link at `name` is opened itself.
HANDLE OpenIn(intptr_t dir, const char* name, ACCESS_MASK access, ULONG share, ULONG disposition,
              ULONG options) {
    static auto* const create = FromNtdll<decltype(NtCreateFile)>("NtCreateFile");
    static auto* const toError =
        FromNtdll<decltype(RtlNtStatusToDosError)>("RtlNtStatusToDosError");
    wchar_t wide[MAX_PATH];
    int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH);
    if (!create || !toError || length <= 1) {
        SetLastError(create && toError ? ERROR_INVALID_NAME : ERROR_PROC_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto bytes = static_cast<USHORT>(static_cast<size_t>(length - 1) * sizeof(wchar_t));
    UNICODE_STRING text{bytes, bytes, wide};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = reinterpret_cast<HANDLE>(dir);
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    IO_STATUS_BLOCK status{};
    HANDLE file = INVALID_HANDLE_VALUE;
    NTSTATUS failed = create(
        &file, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (failed < 0) {
        SetLastError(toError(failed));
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

} // namespace

InstallLogFolder::~InstallLogFolder() {
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool InstallLogFolder::open(const std::string& path) {
    // Held without delete sharing, so that it can be neither renamed nor
    // replaced by a junction while the log is made in it.
    HANDLE dir =
        CreateFileA(path.c_str(), GENERIC_READ | FILE_TRAVERSE, kShareAll, nullptr, OPEN_EXISTING,
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
    return true;
}

bool InstallLogFolder::removeIfPresent(const char* name) {
    // Deleted through its own handle: a link goes, never its target; a folder
    // only when empty.
    HANDLE file = OpenIn(handle, name, DELETE, kShareAll | FILE_SHARE_DELETE, FILE_OPEN, 0);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    FILE_DISPOSITION_INFO gone{TRUE};
    if (!SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone))
        return Refuse(file, GetLastError());
    CloseHandle(file);
    return true;
}

std::FILE* InstallLogFolder::openText(const char* name) {
    const ACCESS_MASK access = FILE_GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    HANDLE file = OpenIn(handle, name, access, kShareAll, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ALREADY_EXISTS) {
        // An old log that could not go: emptied only when it is a plain file
        // of this one name, never when it is also another file.
        file = OpenIn(handle, name, access, kShareAll, FILE_OPEN, FILE_NON_DIRECTORY_FILE);
        BY_HANDLE_FILE_INFORMATION info{};
        if (file != INVALID_HANDLE_VALUE) {
            bool read = GetFileInformationByHandle(file, &info) != 0;
            DWORD refused = !read ? GetLastError()
                            : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                                ? ERROR_CANT_RESOLVE_FILENAME
                            : info.nNumberOfLinks != 1 ? ERROR_TOO_MANY_LINKS
                            : SetEndOfFile(file)       ? ERROR_SUCCESS
                                                       : GetLastError();
            if (refused != ERROR_SUCCESS) {
                Refuse(file, refused);
                return nullptr;
            }
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
