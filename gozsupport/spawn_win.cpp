#include "gozsupport/spawn_platform.h"

#include <windows.h>

namespace goz::platform {

bool CreateDetachedProcess(const char* path, char* commandLine, int32_t& errorCode,
                           uint32_t& processId) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        errorCode = static_cast<int32_t>(GetLastError());
        return false;
    }
    processId = process.dwProcessId;
    // The handles are not needed: nothing waits for the new process.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace goz::platform
