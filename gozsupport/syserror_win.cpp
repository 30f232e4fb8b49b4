#include "gozsupport/syserror.h"

#include <windows.h>

#include <cerrno>

int32_t LastSystemErrorCode() {
    return static_cast<int32_t>(GetLastError());
}

int32_t GenericSystemErrorCode() {
    return ERROR_GEN_FAILURE;
}

// Windows codes are its own; an errno value would read as an unrelated one.
// GetLastError after a failed send holds whatever Qt's clean-up left there.
int32_t SystemErrorCodeFor(int32_t cause) {
    switch (cause) {
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case EBUSY:
        return ERROR_PIPE_BUSY;
    case EACCES:
    case ECONNREFUSED:
        return ERROR_ACCESS_DENIED;
    case EPROTO:
        return ERROR_INVALID_DATA;
    default:
        return ERROR_GEN_FAILURE;
    }
}

int32_t NotConnectedErrorCode() {
    return ERROR_PIPE_NOT_CONNECTED;
}

int32_t StartRefusedErrorCode() {
    return ERROR_ACCESS_DISABLED_BY_POLICY;
}
