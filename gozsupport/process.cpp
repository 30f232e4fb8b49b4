#include "gozsupport/process.h"

#include "gozsupport/config.h"
#include "gozsupport/nocase.h"
#include "gozsupport/process_platform.h"

#include <cstring>

namespace {

constexpr uint32_t kMaxProcesses = 1024;
constexpr uint32_t kImageNameSize = 260;

// The library's own flag; the bridge keeps one of its own.
bool debugPrivilegeTried = false;

const char* ComparedPart(const char* path) {
    size_t length = std::strlen(path);
    return length > goz::platform::DriveDesignatorLength
               ? path + goz::platform::DriveDesignatorLength
               : nullptr;
}

// Opens a process, making the one attempt at the debug privilege on the
// first process that refuses.
goz::platform::ProcessHandle OpenForQuery(uint32_t id, bool& privilegeTried) {
    goz::platform::ProcessHandle process = goz::platform::OpenProcessForQuery(id);
    if (process || privilegeTried)
        return process;
    goz::platform::EnableDebugPrivilege();
    process = goz::platform::OpenProcessForQuery(id);
    privilegeTried = true;
    return process;
}

} // namespace

namespace goz {

bool RunsImage(platform::ProcessHandle process, const char* path) {
    char imageName[kImageNameSize];
    imageName[0] = '\0';
    platform::ReadProcessImageName(process, imageName, kImageNameSize);
    UnifySlashes(imageName);
    return ImageNameMatches(path, imageName);
}

void UnifySlashes(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == '\\')
            *text = '/';
        else if (BeginsDoubleByte(*text) && text[1] != '\0')
            ++text;
    }
}

bool ImageNameMatches(const char* path, const char* imageName) {
    const char* tail = ComparedPart(path);
    if (!tail)
        return false;
    size_t tailLength = std::strlen(tail);
    size_t nameLength = std::strlen(imageName);
    return nameLength >= tailLength &&
           CompareNoCase(imageName + (nameLength - tailLength), tail) == 0;
}

} // namespace goz

bool FindProcessByImagePath(char* path, uint32_t& processId) {
    return FindProcessByImagePath(path, processId, debugPrivilegeTried);
}

bool FindProcessByImagePath(char* path, uint32_t& processId, bool& privilegeTried) {
    goz::platform::ProcessHandle found =
        goz::FindOpenProcessByImagePath(path, processId, privilegeTried, false);
    if (!found)
        return false;
    goz::platform::CloseProcess(found);
    return true;
}

void* goz::FindOpenProcessByImagePath(char* path, uint32_t& processId, bool& privilegeTried,
                                      bool ownOnly, uint32_t* passedOver) {
    processId = 0;
    if (!path || path[0] == '\0')
        return nullptr;
    uint32_t ids[kMaxProcesses];
    uint32_t count = 0;
    if (!goz::platform::ListProcessIds(ids, kMaxProcesses, count))
        return nullptr;
    goz::UnifySlashes(path);
    // Every image name would end with an empty tail: that proves nothing.
    if (!ComparedPart(path))
        return nullptr;

    for (uint32_t i = 0; i < count && i < kMaxProcesses; ++i) {
        goz::platform::ProcessHandle process = OpenForQuery(ids[i], privilegeTried);
        if (!process)
            continue;
        if (ownOnly && !platform::IsOwnProcess(process)) {
            // Only for the trace: whose Quiltara it was that did not count.
            if (passedOver && RunsImage(process, path))
                *passedOver = ids[i];
        } else if (RunsImage(process, path)) {
            processId = ids[i];
            return process;
        }
        goz::platform::CloseProcess(process);
    }
    return nullptr;
}
