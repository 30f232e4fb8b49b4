#include "gozsupport/codepage_platform.h"

namespace goz::platform {

bool IsLeadByte(unsigned char) {
    return false;
}

} // namespace goz::platform
