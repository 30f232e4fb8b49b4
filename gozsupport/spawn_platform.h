// The system call behind StartProgram.
#pragma once

#include <cstdint>

namespace goz::platform {

// Creates the process without waiting for it; false with the system's error
// code in errorCode when it cannot be created.
bool CreateDetachedProcess(const char* path, char* commandLine, int32_t& errorCode);

} // namespace goz::platform
