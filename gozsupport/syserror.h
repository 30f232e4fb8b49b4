// The calling thread's last system error code: GetLastError on Windows, errno elsewhere.
#pragma once

#include <cstdint>

int32_t LastSystemErrorCode();

// The platform's code for a failure that left no more precise one: EIO or ERROR_GEN_FAILURE.
int32_t GenericSystemErrorCode();

// The code to record for a failure that the errno value `cause` describes: `cause`
// itself where errno values are the system's codes; on Windows, the matching
// Windows code (ERROR_GEN_FAILURE for one without a match).
int32_t SystemErrorCodeFor(int32_t cause);

// The code for a hand-over that reached nobody: ENOTCONN or ERROR_PIPE_NOT_CONNECTED.
int32_t NotConnectedErrorCode();

// The code for a start refused because another user could change the program:
// EPERM or ERROR_ACCESS_DISABLED_BY_POLICY, which no failed start gives.
int32_t StartRefusedErrorCode();

// `code`, read after a failed call, as the code to record for that failure. 0 and -1 read as
// "no failure" to callers, so a failure that left either is recorded as the generic code.
inline int32_t FailureCode(int32_t code) {
    return code == 0 || code == -1 ? GenericSystemErrorCode() : code;
}
