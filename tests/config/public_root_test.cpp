// Built with each copy of the library: the sandbox copy must never name the
// real GoZ public folder, and the product copy must name nothing else.
#include "gozsupport/paths.h"

#include <cstring>

int main() {
    return std::strcmp(GoZPublicRoot, GOZ_EXPECTED_ROOT) == 0 ? 0 : 1;
}
