#include "installer/install_log_platform.h"

#include <cerrno>

namespace goz::platform {

bool RemoveIfPresent(const char* path) {
    // remove() takes files and empty folders alike.
    return std::remove(path) == 0 || errno == ENOENT;
}

std::FILE* OpenTextForWriting(const char* path) {
    return std::fopen(path, "w");
}

} // namespace goz::platform
