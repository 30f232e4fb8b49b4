#include "gozsupport/trace_platform.h"

#include <windows.h>

namespace goz::platform {

// kernel32, so nothing new is imported; it costs nothing when nobody listens.
const bool HasDebuggerChannel = true;

void WriteDebuggerLine(const char* line) {
    OutputDebugStringA(line);
}

} // namespace goz::platform
