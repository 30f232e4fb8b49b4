#include "gozsupport/trace_platform.h"

namespace goz::platform {

// No debugger listens for lines here: GOZ_TRACE=1 is the only way to see them.
const bool HasDebuggerChannel = false;

void WriteDebuggerLine(const char*) {}

} // namespace goz::platform
