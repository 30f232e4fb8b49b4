#include "gozsupport/process_platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace goz::platform {

const size_t DriveDesignatorLength = 0;

namespace {

// A /proc entry naming a process: digits only, within 32 bits.
bool ParseProcessId(const char* name, uint32_t& id) {
    uint64_t value = 0;
    if (name[0] == '\0')
        return false;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(*c - '0');
        if (value > UINT32_MAX)
            return false;
    }
    id = static_cast<uint32_t>(value);
    return true;
}

// The handle is the descriptor of the process's /proc folder, offset so
// that descriptor 0 is not null.
int Descriptor(ProcessHandle process) {
    return static_cast<int>(reinterpret_cast<intptr_t>(process) - 1);
}

} // namespace

bool ListProcessIds(uint32_t* ids, uint32_t capacity, uint32_t& count) {
    count = 0;
    DIR* folder = opendir("/proc");
    if (!folder)
        return false;
    while (count < capacity) {
        const dirent* entry = readdir(folder);
        if (!entry)
            break;
        if (ParseProcessId(entry->d_name, ids[count]))
            ++count;
    }
    closedir(folder);
    return true;
}

ProcessHandle OpenProcessForQuery(uint32_t id) {
    // Holding the folder keeps a recycled identifier from naming another process.
    std::string folder = "/proc/" + std::to_string(id);
    int descriptor = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    return reinterpret_cast<ProcessHandle>(static_cast<intptr_t>(descriptor) + 1);
}

// Nothing to enable: a process's executable is readable or it is not.
void EnableDebugPrivilege() {}

void ReadProcessImageName(ProcessHandle process, char* name, uint32_t size) {
    ssize_t length = readlinkat(Descriptor(process), "exe", name, size);
    // A full buffer holds a cut path, whose end would compare falsely.
    if (length < 0 || static_cast<size_t>(length) >= size)
        length = 0;
    if (size > 0)
        name[length] = '\0';
}

void CloseProcess(ProcessHandle process) {
    close(Descriptor(process));
}

// The real user id, the first of the "Uid:" line, as the socket name takes getuid().
bool IsOwnProcess(ProcessHandle process) {
    int descriptor = openat(Descriptor(process), "status", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    char status[4096];
    ssize_t length = read(descriptor, status, sizeof status - 1);
    close(descriptor);
    if (length <= 0)
        return false;
    status[length] = '\0';
    const char* line = std::strstr(status, "\nUid:");
    return line && std::strtoul(line + 5, nullptr, 10) == getuid();
}

// A zombie has no executable any more, and the folder of a process that is
// gone answers nothing at all.
bool ProcessHasEnded(ProcessHandle process) {
    char first = 0;
    return readlinkat(Descriptor(process), "exe", &first, 1) < 0 &&
           (errno == ENOENT || errno == ESRCH);
}

} // namespace goz::platform
