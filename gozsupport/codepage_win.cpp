#include "gozsupport/codepage_platform.h"

#include <windows.h>

namespace goz::platform {

// Paths come in the ANSI code page, whatever the C runtime's locale says.
bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE;
}

} // namespace goz::platform
