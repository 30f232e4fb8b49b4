#include "gozsupport/syserror.h"

#include <windows.h>

int32_t LastSystemErrorCode() {
    return static_cast<int32_t>(GetLastError());
}

int32_t GenericSystemErrorCode() {
    return ERROR_GEN_FAILURE;
}
