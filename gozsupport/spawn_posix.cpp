#include "gozsupport/spawn_platform.h"

#include <spawn.h>
#include <sys/types.h>

extern char** environ;

namespace goz::platform {

// posix_spawn reports a file that cannot be executed to this process, so a
// missing program fails here rather than in a child that exits later.
bool CreateDetachedProcess(const char* path, char* commandLine, int32_t& errorCode,
                           uint32_t& processId) {
    char* arguments[] = {const_cast<char*>(path), commandLine, nullptr};
    pid_t child = 0;
    int failed = posix_spawn(&child, path, nullptr, nullptr, arguments, environ);
    if (failed != 0) {
        errorCode = failed;
        return false;
    }
    processId = static_cast<uint32_t>(child);
    return true;
}

} // namespace goz::platform
