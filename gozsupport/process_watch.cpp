// Apart from the lookup, whose tests script the system calls it makes.
#include "gozsupport/process.h"
#include "gozsupport/process_platform.h"

namespace goz {

ProcessWatch::ProcessWatch(uint32_t processId) : process(platform::OpenProcessForWait(processId)) {}

ProcessWatch::~ProcessWatch() {
    if (process)
        platform::CloseProcess(process);
}

bool ProcessWatch::hasEnded() const {
    return process && platform::ProcessHasEnded(process);
}

} // namespace goz
