#include "gozsupport/syserror.h"

#include <cerrno>

int32_t LastSystemErrorCode() {
    return errno;
}

int32_t GenericSystemErrorCode() {
    return EIO;
}
