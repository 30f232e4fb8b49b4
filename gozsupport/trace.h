// The trace of a program's steps, for whoever has to find out why a run ended
// as it did: one short line a step, "<program>: " and then paths, ids, codes
// and times only. It goes to the platform's debugger channel where there is
// one (Windows: what DebugView and debuggers show), and to standard error when
// GOZ_TRACE is exactly "1". Writing it changes no outcome: a line that cannot
// be written is lost.
#pragma once

#if defined(__GNUC__)
#define GOZ_PRINTF_FORMAT(index, first) __attribute__((format(printf, index, first)))
#else
#define GOZ_PRINTF_FORMAT(index, first)
#endif

namespace goz {

// The name that every line begins with.
void SetTraceProgram(const char* name);

// One line, printf-style, without its line break.
void Trace(const char* format, ...) GOZ_PRINTF_FORMAT(1, 2);

// Whether a GOZ_TRACE setting (null when unset) asks for standard error.
bool TraceToStandardError(const char* setting);

} // namespace goz
