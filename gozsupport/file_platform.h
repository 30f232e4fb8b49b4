// The few file operations that C's stdio cannot do portably.
#pragma once

#include <cstdio>
#include <string>

namespace goz::platform {

// False for a folder, device or pipe: such a stream has no size to read.
bool IsRegularFile(std::FILE* stream);

// The file that a write to `path` really changes, links followed, so a
// replace keeps the link and rewrites what it points to.
std::string ResolveWriteTarget(const char* path);

// A name beside `target` for new content, unique to this process.
std::string TemporaryPathBeside(const std::string& target);

// Puts `from` in place of `to` in one step; `to` keeps its permissions.
bool ReplaceFileWith(const std::string& from, const std::string& to);

} // namespace goz::platform
