#include "bridge/exit_status.h"
#include "bridge/goz_edit_util.h"

int main(int argc, char** argv) {
    GoZEditUtil app(argc, argv, QStringLiteral("Quiltara"));
    if (GoZEditUtil::handleCommandLine(argc, argv))
        return 0;
    // Delivery to Quiltara is not built yet: only the configuration is read.
    app.readHostPath();
    return ProcessExitStatus(app.exitCode);
}
