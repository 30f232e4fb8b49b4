// Where the trace goes beside standard error.
#pragma once

namespace goz::platform {

// Whether the platform has a debugger channel that takes every line.
extern const bool HasDebuggerChannel;

// Hands one finished line, its line break included, to that channel.
void WriteDebuggerLine(const char* line);

} // namespace goz::platform
