// The install log's file operations that C's stdio cannot do portably.
#pragma once

#include <cstdio>

namespace goz::platform {

// Deletes a file or an empty folder. True when it is gone or was never there;
// on false the system's last error code tells why.
bool RemoveIfPresent(const char* path);

// Creates or truncates `path` for writing as text, shared with every other process.
std::FILE* OpenTextForWriting(const char* path);

} // namespace goz::platform
