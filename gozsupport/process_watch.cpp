// Apart from the lookup, whose tests script the system calls it makes.
#include "gozsupport/process.h"
#include "gozsupport/process_platform.h"

namespace goz {

void ProcessWatch::reset(void* opened, uint32_t openedId) {
    if (process)
        platform::CloseProcess(process);
    process = opened;
    processId = opened ? openedId : 0;
}

bool ProcessWatch::hasEnded() const {
    return !process || platform::ProcessHasEnded(process);
}

bool FindOwnProcessByImagePath(char* path, ProcessWatch& found, bool& debugPrivilegeTried,
                               uint32_t* passedOver) {
    uint32_t id = 0;
    void* process = FindOpenProcessByImagePath(path, id, debugPrivilegeTried, true, passedOver);
    found.reset(process, id);
    return id != 0;
}

bool IsOwnProcessOf(uint32_t id, const char* path) {
    platform::ProcessHandle process = platform::OpenProcessForQuery(id);
    if (!process)
        return false;
    bool own = platform::IsOwnProcess(process) && RunsImage(process, path);
    platform::CloseProcess(process);
    return own;
}

} // namespace goz
