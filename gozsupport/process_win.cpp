#include "gozsupport/process_platform.h"

#include <windows.h>

#include <psapi.h>

namespace goz::platform {

const size_t DriveDesignatorLength = 2;

namespace {
// Unlike PROCESS_QUERY_INFORMATION, granted on an elevated process to a bridge without elevation.
constexpr DWORD kProcessQueryLimitedInformation = 0x1000;
constexpr DWORD kMaxListed = 1024;
} // namespace

bool ListProcessIds(uint32_t* ids, uint32_t capacity, uint32_t& count) {
    // DWORD and uint32_t are different types of one width; copy rather than alias.
    DWORD listed[kMaxListed];
    DWORD room = capacity < kMaxListed ? capacity : kMaxListed;
    DWORD bytes = 0;
    count = 0;
    if (!K32EnumProcesses(listed, room * sizeof(DWORD), &bytes))
        return false;
    count = bytes / sizeof(DWORD);
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = listed[i];
    return true;
}

ProcessHandle OpenProcessForQuery(uint32_t id) {
    return OpenProcess(kProcessQueryLimitedInformation, FALSE, id);
}

void EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return;
    TOKEN_PRIVILEGES privileges{};
    static_assert(sizeof privileges == 16, "one privilege entry");
    privileges.PrivilegeCount = 1;
    if (LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    }
    CloseHandle(token);
}

void ReadProcessImageName(ProcessHandle process, char* name, uint32_t size) {
    // A failed read (too small a buffer among them) must not leave a cut name.
    if (K32GetProcessImageFileNameA(process, name, size) == 0)
        name[0] = '\0';
}

void CloseProcess(ProcessHandle process) {
    CloseHandle(process);
}

// Held, the handle keeps the identifier from being reused while it is asked.
bool IsOwnProcess(ProcessHandle process) {
    DWORD theirs = 0, ours = 0;
    return ProcessIdToSessionId(GetProcessId(process), &theirs) &&
           ProcessIdToSessionId(GetCurrentProcessId(), &ours) && theirs == ours;
}

// The search's limited right is enough for the exit code; SYNCHRONIZE may be
// refused on an elevated process. A process that ended with 259 reads as running.
bool ProcessHasEnded(ProcessHandle process) {
    DWORD code = 0;
    return !GetExitCodeProcess(process, &code) || code != STILL_ACTIVE;
}

} // namespace goz::platform
