// The install log's file operations. None goes through a link: every user may
// write below the GoZ public folder, and the installer may run elevated.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace goz::platform {

// Quiltara's application folder, held open while the log is made in it.
class InstallLogFolder {
public:
    InstallLogFolder() = default;
    ~InstallLogFolder();
    InstallLogFolder(const InstallLogFolder&) = delete;
    InstallLogFolder& operator=(const InstallLogFolder&) = delete;

    // False when `path` is missing, no folder, or itself a link or reparse
    // point: a redirected folder gets no log, as a missing one.
    bool open(const std::string& path);
    bool isOpen() const { return handle != -1; }

    // Deletes `name` in the folder: a file, a link itself (never what it
    // names) or an empty folder. True when it is gone or was never there; on
    // false the system's last error code tells why.
    bool removeIfPresent(const char* name);

    // `name` emptied for writing as text, shared with every other process:
    // created exclusively, or else the plain file that is there already and
    // has no other name. Null, with the last error code set, when a link
    // stands at that name or the file is also another (a hard link).
    std::FILE* openText(const char* name);

private:
    // A descriptor or a HANDLE: what is in the folder is reached through it
    // alone, never by a path again.
    intptr_t handle = -1;
};

} // namespace goz::platform
