#include "gozsupport/spawn.h"

#include "gozsupport/spawn_platform.h"
#include "gozsupport/syserror.h"

bool StartProgram(const char* path, char* commandLine, int32_t& errorCode) {
    errorCode = 0;
    // Without a path Windows would take the program from the command line instead.
    if (!path || !commandLine) {
        errorCode = GenericSystemErrorCode();
        return false;
    }
    if (goz::platform::CreateDetachedProcess(path, commandLine, errorCode))
        return true;
    errorCode = FailureCode(errorCode);
    return false;
}
