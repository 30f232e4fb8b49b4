// What the system's narrow code page says about a byte.
#pragma once

namespace goz::platform {

// Whether `byte` begins a two-byte character of the narrow code page, as in
// Windows' Japanese, Chinese and Korean ANSI code pages. Never on POSIX,
// whose narrow paths are UTF-8 or single-byte.
bool IsLeadByte(unsigned char byte);

} // namespace goz::platform
