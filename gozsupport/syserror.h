// The calling thread's last system error code: GetLastError on Windows, errno elsewhere.
#pragma once

#include <cstdint>

int32_t LastSystemErrorCode();
