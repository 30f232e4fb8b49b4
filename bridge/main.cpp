#include "bridge/exit_status.h"
#include "bridge/goz_edit_util.h"

int main(int argc, char** argv) {
    GoZEditUtil app(QString::fromLatin1(kHostProductName), argc, argv);
    if (GoZEditUtil::handleCommandLine(argc, argv))
        return 0;
    // Without a configured path there is nothing to look for and nothing to start.
    if (!app.readHostPath())
        return ProcessExitStatus(app.exitCode);
    app.prepareHostMessage();
    app.deliverToHost();
    return ProcessExitStatus(app.exitCode);
}
