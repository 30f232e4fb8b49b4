#include "gozsupport/syserror.h"

#include <cerrno>

int32_t LastSystemErrorCode() {
    return errno;
}

int32_t GenericSystemErrorCode() {
    return EIO;
}

int32_t SystemErrorCodeFor(int32_t cause) {
    return cause;
}

int32_t NotConnectedErrorCode() {
    return ENOTCONN;
}

int32_t StartRefusedErrorCode() {
    return EPERM;
}
