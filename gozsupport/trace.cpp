#include "gozsupport/trace.h"

#include "gozsupport/trace_platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Room for the longest path the bridge holds, and its step around it.
constexpr size_t kLineSize = 1400;

const char* program = "";

// Read once: the setting cannot change while the program runs.
bool StandardErrorWanted() {
    static const bool wanted = goz::TraceToStandardError(std::getenv("GOZ_TRACE"));
    return wanted;
}

} // namespace

namespace goz {

void SetTraceProgram(const char* name) {
    program = name ? name : "";
}

bool TraceToStandardError(const char* setting) {
    return setting && std::strcmp(setting, "1") == 0;
}

void Trace(const char* format, ...) {
    bool toStandardError = StandardErrorWanted();
    if (!toStandardError && !platform::HasDebuggerChannel)
        return;
    char line[kLineSize];
    int used = std::snprintf(line, sizeof line, "%s: ", program);
    if (used < 0)
        return;
    // A cut line still ends with its break.
    const size_t last = sizeof line - 2;
    size_t length = static_cast<size_t>(used) < last ? static_cast<size_t>(used) : last;
    va_list arguments;
    va_start(arguments, format);
    int added = std::vsnprintf(line + length, last + 1 - length, format, arguments);
    va_end(arguments);
    if (added > 0)
        length +=
            static_cast<size_t>(added) < last - length ? static_cast<size_t>(added) : last - length;
    line[length] = '\n';
    line[length + 1] = '\0';
    platform::WriteDebuggerLine(line);
    if (toStandardError) {
        // One write a line, so that lines of bridges that run together stay whole.
        std::fwrite(line, 1, length + 1, stderr);
        std::fflush(stderr);
    }
}

} // namespace goz
