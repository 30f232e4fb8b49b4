// What C's stdio cannot do portably for config files.
#pragma once

#include <cstdio>

namespace goz::platform {

// Opens `path` with mode "rb" when it is a plain file; null otherwise. A
// folder, device or pipe has no size to read, and opening a pipe would wait
// for a writer that may never come.
std::FILE* OpenRegularFileForReading(const char* path);

// Opens the existing file `path` with mode "r+b" to rewrite it; null when it
// may not be written, or is a symbolic link or reparse point: the file it
// names may be anyone's. Never creates it.
std::FILE* OpenFileForRewriting(const char* path);

// Cuts `file` to `length` bytes; its buffered output must be flushed first.
bool TruncateFile(std::FILE* file, size_t length);

// snprintf and sscanf with "%f", in the C locale whatever the process locale
// is: the file format has a decimal point, never the user's decimal comma.
// FormatFloat answers false when the text does not fit; ScanFloat answers
// whether a number was read, and leaves `out` alone when none was.
bool FormatFloat(char* text, size_t size, double value);
bool ScanFloat(const char* text, float* out);

} // namespace goz::platform
