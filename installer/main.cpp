#include "installer/goz_init_util.h"

int main(int argc, char** argv) {
    [[maybe_unused]] GoZInitUtil util;
    if (GoZInitUtil::handleCommandLine(argc, argv))
        return 0;
    // The configuration check and install log are not built yet: nothing is done.
    return 0;
}
