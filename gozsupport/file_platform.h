// What C's stdio cannot do portably for config files.
#pragma once

#include <cstdio>
#include <string>

namespace goz::platform {

// Opens `path` with mode "rb" when it is a plain file; null otherwise. A
// folder, device or pipe has no size to read, and opening a pipe would wait
// for a writer that may never come.
std::FILE* OpenRegularFileForReading(const char* path);

// The file that a write to `path` really changes, links followed, so a
// replace keeps the link and rewrites what it points to.
std::string ResolveWriteTarget(const char* path);

// A name beside `target` for new content, unique to this process.
std::string TemporaryPathBeside(const std::string& target);

// Puts `from` in place of `to` in one step; `to` keeps its permissions.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// snprintf and sscanf with "%f", in the C locale whatever the process locale
// is: the file format has a decimal point, never the user's decimal comma.
// FormatFloat answers false when the text does not fit; ScanFloat answers
// whether a number was read, and leaves `out` alone when none was.
bool FormatFloat(char* text, size_t size, double value);
bool ScanFloat(const char* text, float* out);

} // namespace goz::platform
