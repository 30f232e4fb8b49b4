#include "installer/goz_init_util.h"

int main(int argc, char** argv) {
    GoZInitUtil util;
    if (util.handleCommandLine(argc, argv))
        return 0;
    // All three steps, whatever the earlier ones recorded: the log shows the last failure.
    util.readHostPath();
    util.prepareInstallLog();
    util.writeErrorReport();
    return 0;
}
