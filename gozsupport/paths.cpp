#include "gozsupport/paths.h"

#include "gozsupport/config.h"

#include <cstring>
#include <initializer_list>

#ifndef GOZ_PUBLIC_ROOT
#error "GOZ_PUBLIC_ROOT must name the GoZ public folder"
#endif
const char GoZPublicRoot[] = GOZ_PUBLIC_ROOT;
#if defined(_WIN32)
const char GoZDefaultProjectFolder[] = "GoZProjects\\Default";
const char GoZPathSeparator[] = "\\";
#else
const char GoZDefaultProjectFolder[] = "GoZProjects/Default";
const char GoZPathSeparator[] = "/";
#endif

namespace {

constexpr size_t kPathBufferSize = 256;

// Joins the parts into buffer; false when they do not fit with the NUL.
bool JoinPath(char (&buffer)[kPathBufferSize], std::initializer_list<const char*> parts) {
    size_t used = 0;
    for (const char* part : parts) {
        size_t length = std::strlen(part);
        if (length >= kPathBufferSize - used)
            return false;
        std::memcpy(buffer + used, part, length);
        used += length;
    }
    buffer[used] = '\0';
    return true;
}

} // namespace

bool GetGoZAppPath(const char* appName, char* dest, int32_t destSize) {
    char path[kPathBufferSize] = {};
    return GetGoZAppConfigPath(appName, path, kPathBufferSize) &&
           ReadConfigString(path, "PATH", dest, destSize);
}

bool GetGoZAppConfigPath(const char* appName, char* dest, int32_t destSize) {
    char path[kPathBufferSize] = {};
    if (!appName || !dest || destSize <= 0 ||
        !JoinPath(path, {GoZPublicRoot, GoZPathSeparator, "GoZApps", GoZPathSeparator, appName,
                         GoZPathSeparator, "GoZ_Config.txt"}))
        return false;
    size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(destSize))
        return false;
    std::memcpy(dest, path, length + 1);
    return true;
}

bool GetGoZBrushPath(char* dest, int32_t destSize) {
    char path[kPathBufferSize] = {};
    if (!JoinPath(path, {GoZPublicRoot, GoZPathSeparator, "GoZBrush", GoZPathSeparator,
                         "GoZ_Config.txt"}))
        return false;
    return ReadConfigString(path, "PATH", dest, destSize);
}
