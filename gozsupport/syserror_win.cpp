#include "gozsupport/syserror.h"

#include <windows.h>

int32_t LastSystemErrorCode() {
    return static_cast<int32_t>(GetLastError());
}

int32_t GenericSystemErrorCode() {
    return ERROR_GEN_FAILURE;
}

// Windows codes are its own; an errno value would read as an unrelated one.
int32_t SystemErrorCodeFor(int32_t) {
    return static_cast<int32_t>(GetLastError());
}

int32_t NotConnectedErrorCode() {
    return ERROR_PIPE_NOT_CONNECTED;
}
