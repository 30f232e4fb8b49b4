#include "bridge/exit_status.h"
#include "bridge/goz_edit_util.h"
#include "gozsupport/commandline.h"
#include "gozsupport/trace.h"

namespace {

// The trace's last line: the exit code and what it means.
int Finish(int32_t exitCode, Outcome outcome) {
    int status = ProcessExitStatus(exitCode);
    if (status == exitCode)
        goz::Trace("exit code %d: %s", status, OutcomeText(outcome));
    else
        goz::Trace("exit code %d (%d): %s", status, exitCode, OutcomeText(outcome));
    return status;
}

} // namespace

int main(int argc, char** argv) {
    goz::SetTraceProgram(kBridgeName);
    goz::Trace("version %s", ProgramInfo::version());
    GoZEditUtil app(QString::fromLatin1(kHostProductName), argc, argv);
    if (GoZEditUtil::handleCommandLine(argc, argv))
        return Finish(0, Outcome::OptionAnswered);
    // Without a configured path there is nothing to look for and nothing to start.
    if (!app.readHostPath())
        return Finish(app.exitCode, app.outcome);
    app.prepareHostMessage();
    app.deliverToHost();
    return Finish(app.exitCode, app.outcome);
}
