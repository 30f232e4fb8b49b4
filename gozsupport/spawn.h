// Starts another program and lets it run on its own.
#pragma once

#include <cstdint>

// Starts the executable `path` and returns at once; the new process is never
// waited for. On Windows `commandLine` is its whole command line, exactly as
// given (no program name in front); elsewhere it is its first and only
// argument. False when it cannot be started: errorCode then holds the system
// error code of the failed start, never 0 or -1. `processId`, when given,
// receives the new process's id.
bool StartProgram(const char* path, char* commandLine, int32_t& errorCode,
                  uint32_t* processId = nullptr);
