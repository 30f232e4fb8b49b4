#include "bridge/goz_edit_util.h"

#include "gozsupport/commandline.h"
#include "gozsupport/paths.h"

GoZEditUtil::GoZEditUtil(int& argc, char** argv, const QString& id)
    : QCoreApplication(argc, argv), appId(id) {}

bool GoZEditUtil::handleCommandLine(int argc, char** argv) {
    // Extra arguments from ZBrush are not options; the hand-over goes on.
    if (!ProgramInfo::hasSingleArgument(argc))
        return false;
    ProgramInfo("GoZBrushToQuiltara").runOption(argv[1]);
    return true;
}

bool GoZEditUtil::readHostPath() {
    if (GetGoZAppPath("Quiltara", hostPath, sizeof hostPath))
        return true;
    exitCode = 32767;
    return false;
}
