// The system call behind StartProgram.
#pragma once

#include <cstdint>

namespace goz::platform {

// Creates the process without waiting for it, its id in processId; false with
// the system's error code in errorCode when it cannot be created.
bool CreateDetachedProcess(const char* path, char* commandLine, int32_t& errorCode,
                           uint32_t& processId);

} // namespace goz::platform
