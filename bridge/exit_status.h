// The process exit status for the bridge's exit code.
#pragma once

#include <cstdint>

// Windows keeps all 32 bits, so -1 ends as 0xFFFFFFFF. POSIX keeps only 8:
// -1 becomes 255 as usual, and 32767, whose low byte is 255 too, becomes 254
// so that a missing configuration never reads as success. System error codes
// (errno values) stay as they are; any code that does not fit below 254
// becomes 253.
constexpr int ProcessExitStatus(int32_t exitCode) {
#if defined(_WIN32)
    return exitCode;
#else
    if (exitCode == -1)
        return 255;
    if (exitCode == 32767)
        return 254;
    if (exitCode >= 0 && exitCode <= 253)
        return exitCode;
    return 253;
#endif
}
