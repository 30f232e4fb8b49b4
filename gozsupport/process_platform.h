// The system calls behind the process lookup.
#pragma once

#include <cstddef>
#include <cstdint>

namespace goz::platform {

// Leading characters of a configured path that name its drive and are never
// compared: 2 on Windows ("C:"), 0 where paths have no drive.
extern const size_t DriveDesignatorLength;

// An opened process; null when it could not be opened.
using ProcessHandle = void*;

// Fills `ids` with up to `capacity` identifiers in the system's order; false
// when the list cannot be had.
bool ListProcessIds(uint32_t* ids, uint32_t capacity, uint32_t& count);

// Opens a process for querying its image name.
ProcessHandle OpenProcessForQuery(uint32_t id);

// One attempt to enable the debug privilege for this process; failures are silent.
void EnableDebugPrivilege();

// The image file name of an opened process, NUL-terminated; empty on failure.
void ReadProcessImageName(ProcessHandle process, char* name, uint32_t size);

void CloseProcess(ProcessHandle process);

// Whether an opened process runs as this process's real user (POSIX) or in its
// logon session (Windows), the scope that single-instance names carry.
bool IsOwnProcess(ProcessHandle process);

// Whether an opened process has ended; a process that only waits to be
// reaped has.
bool ProcessHasEnded(ProcessHandle process);

} // namespace goz::platform
