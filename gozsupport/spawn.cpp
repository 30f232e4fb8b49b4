#include "gozsupport/spawn.h"

#include "gozsupport/spawn_platform.h"
#include "gozsupport/syserror.h"

bool StartProgram(const char* path, char* commandLine, int32_t& errorCode, uint32_t* processId) {
    errorCode = 0;
    uint32_t started = 0;
    // Without a path Windows would take the program from the command line instead.
    if (!path || !commandLine) {
        errorCode = GenericSystemErrorCode();
        return false;
    }
    if (goz::platform::CreateDetachedProcess(path, commandLine, errorCode, started)) {
        if (processId)
            *processId = started;
        return true;
    }
    errorCode = FailureCode(errorCode);
    return false;
}
