#include "installer/goz_init_util.h"

#include "gozsupport/commandline.h"

bool GoZInitUtil::handleCommandLine(int argc, char** argv) {
    if (argc < 2)
        return false;
    // Two or more arguments: stop without a word, the installer was not meant.
    if (!ProgramInfo::hasSingleArgument(argc))
        return true;
    ProgramInfo("GoZInitQuiltara").runOption(argv[1]);
    return true;
}
