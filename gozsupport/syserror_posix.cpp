#include "gozsupport/syserror.h"

#include <cerrno>

int32_t LastSystemErrorCode() {
    return errno;
}
