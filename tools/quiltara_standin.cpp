// QuiltaraStandIn: a stand-in for Quiltara in the tests and the demonstration.
// It meets the bridge through the project's single-instance peer with the
// application id "Quiltara", as a real Quiltara would.
//
// The bridge starts it with the GoZ marker as its only argument, so every
// setting comes from the environment:
//   QUILTARA_STANDIN_LOG=path     also append each line to this file
//   QUILTARA_STANDIN_MODE=answer  take the lock, listen, acknowledge messages (default)
//                         silent  take the lock and listen, but never answer
//                         nolock  never take the lock, only log the arguments and stay
//   QUILTARA_STANDIN_MESSAGES=N   end after N messages (default 0: no limit)
//   QUILTARA_STANDIN_SECONDS=S    end after S seconds (default 120; 0: no limit)
//   QUILTARA_STANDIN_STARTUP_MS=M wait M ms before setting up the peer, as a
//                                 Quiltara that loads slowly does (default 0)
//   QUILTARA_STANDIN_BUSY_MS=M    once it listens, block its event loop M ms, as
//                                 a Quiltara that goes on loading does (default 0)
//   QUILTARA_STANDIN_BUSY_ON_MESSAGE_MS=M
//                                 block it M ms after each message, as a
//                                 Quiltara that imports the transfer does (default 0)
//   QUILTARA_STANDIN_CLOSING_MS=M on its end, drop the peer, then run M ms more
//                                 before ending, as a Quiltara that saves its
//                                 scene after its window closed does (default 0)
//   QUILTARA_STANDIN_STDOUT=off   write nothing to standard output and let go of
//                                 it, so that whoever reads the output of the
//                                 process that started it does not wait for it
//
// It writes one line per event:
//   argv: <argument>     each argument of its command line, first of all (POSIX)
//   commandline: <text>  its whole command line, first of all (Windows, where
//                        the bridge gives it no program name to split off)
//   lock: held           it holds the lock and listens (answer, silent)
//   lock: busy           another process holds the lock: it sends that instance
//                        its arguments joined by blanks (POSIX) or its whole
//                        command line (Windows) as a message, as programs on
//                        the single-instance library do
//   forwarded: yes|no    whether that instance acknowledged it; it then ends
//                        with exit code 0 or 2
//   lock: skipped        nolock mode
//   busy: over           the spell of QUILTARA_STANDIN_BUSY_MS has ended
//   message: <text>      each message received and acknowledged
//   exit: messages       it ended after QUILTARA_STANDIN_MESSAGES messages
//   exit: time           it ended after QUILTARA_STANDIN_SECONDS seconds
//   closing: over        the QUILTARA_STANDIN_CLOSING_MS after its peer went are
//                        over; the process ends now
// Backslashes and line breaks inside a text are written as \\, \n and \r.
// A setting it cannot read ends it with exit code 1.

#include "singleinstance/qtlocalpeer.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <cstdio>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

enum class Mode { Answer, Silent, NoLock };

// What the single-instance library's applications give a message by default.
constexpr int kForwardTimeoutMs = 5000;

struct Settings {
    QString logPath;
    Mode mode = Mode::Answer;
    int messages = 0;
    int seconds = 120;
    int startupMs = 0;
    int busyMs = 0;
    int busyOnMessageMs = 0;
    int closingMs = 0;
    bool toStdout = true;
};

// Counts up to a million: seconds of that many still fit a timer's milliseconds.
bool ReadCount(const char* variable, int& value) {
    if (!qEnvironmentVariableIsSet(variable))
        return true;
    bool ok = false;
    int read = qEnvironmentVariable(variable).toInt(&ok);
    if (!ok || read < 0 || read > 1000000)
        return false;
    value = read;
    return true;
}

bool ReadSettings(Settings& settings) {
    settings.logPath = qEnvironmentVariable("QUILTARA_STANDIN_LOG");
    QString mode = qEnvironmentVariable("QUILTARA_STANDIN_MODE", QStringLiteral("answer"));
    if (mode == QLatin1String("answer"))
        settings.mode = Mode::Answer;
    else if (mode == QLatin1String("silent"))
        settings.mode = Mode::Silent;
    else if (mode == QLatin1String("nolock"))
        settings.mode = Mode::NoLock;
    else
        return false;
    QString output = qEnvironmentVariable("QUILTARA_STANDIN_STDOUT", QStringLiteral("on"));
    if (output != QLatin1String("on") && output != QLatin1String("off"))
        return false;
    settings.toStdout = output == QLatin1String("on");
    return ReadCount("QUILTARA_STANDIN_MESSAGES", settings.messages) &&
           ReadCount("QUILTARA_STANDIN_SECONDS", settings.seconds) &&
           ReadCount("QUILTARA_STANDIN_STARTUP_MS", settings.startupMs) &&
           ReadCount("QUILTARA_STANDIN_BUSY_MS", settings.busyMs) &&
           ReadCount("QUILTARA_STANDIN_BUSY_ON_MESSAGE_MS", settings.busyOnMessageMs) &&
           ReadCount("QUILTARA_STANDIN_CLOSING_MS", settings.closingMs);
}

QString OneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    line.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return line;
}

class Log {
public:
    explicit Log(const Settings& settings) : toStdout(settings.toStdout) {
        if (!settings.logPath.isEmpty()) {
            file.setFileName(settings.logPath);
            // Append: a second stand-in started by mistake adds its lines to the same file.
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
                std::fprintf(stderr, "QuiltaraStandIn: cannot open log %s\n",
                             qPrintable(settings.logPath));
        }
    }

    // Each line goes out at once: tests watch the file while the stand-in runs.
    void write(const QString& what, const QString& text) {
        QByteArray line = (what + QLatin1String(": ") + OneLine(text)).toUtf8() + '\n';
        if (file.isOpen()) {
            file.write(line);
            file.flush();
        }
        if (toStdout) {
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
            std::fflush(stdout);
        }
    }

private:
    QFile file;
    bool toStdout;
};

void ReleaseStdout() {
#if defined(Q_OS_WIN)
    const char* nowhere = "NUL";
#else
    const char* nowhere = "/dev/null";
#endif
    if (!std::freopen(nowhere, "w", stdout))
        std::fclose(stdout);
}

// No event loop runs, so connections wait unanswered in the socket's backlog.
int StaySilent(const Settings& settings, Log& log) {
    if (settings.seconds == 0) {
        for (;;)
            QThread::sleep(60);
    }
    QThread::sleep(static_cast<unsigned long>(settings.seconds));
    log.write(QStringLiteral("exit"), QStringLiteral("time"));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings settings;
    if (!ReadSettings(settings)) {
        std::fprintf(stderr, "QuiltaraStandIn: unreadable QUILTARA_STANDIN_* setting\n");
        return 1;
    }
    if (!settings.toStdout)
        ReleaseStdout();
    Log log(settings);
#if defined(Q_OS_WIN)
    const QString commandLine = QString::fromLocal8Bit(GetCommandLineA());
    log.write(QStringLiteral("commandline"), commandLine);
#else
    const QStringList arguments = app.arguments().mid(1);
    for (const QString& argument : arguments)
        log.write(QStringLiteral("argv"), argument);
    const QString commandLine = arguments.join(QLatin1Char(' '));
#endif

    QtLocalPeer* peer = nullptr;
    if (settings.mode == Mode::NoLock) {
        log.write(QStringLiteral("lock"), QStringLiteral("skipped"));
    } else {
        QThread::msleep(static_cast<unsigned long>(settings.startupMs));
        peer = new QtLocalPeer(&app, QStringLiteral("Quiltara"));
        if (peer->isClient()) {
            log.write(QStringLiteral("lock"), QStringLiteral("busy"));
            bool forwarded = peer->sendMessage(commandLine, kForwardTimeoutMs);
            log.write(QStringLiteral("forwarded"),
                      forwarded ? QStringLiteral("yes") : QStringLiteral("no"));
            return forwarded ? 0 : 2;
        }
        log.write(QStringLiteral("lock"), QStringLiteral("held"));
        if (settings.mode == Mode::Silent)
            return StaySilent(settings, log);
        if (settings.busyMs > 0) {
            QThread::msleep(static_cast<unsigned long>(settings.busyMs));
            log.write(QStringLiteral("busy"), QStringLiteral("over"));
        }
    }

    int received = 0;
    if (peer) {
        QObject::connect(peer, &QtLocalPeer::messageReceived, &app, [&](const QString& message) {
            log.write(QStringLiteral("message"), message);
            if (settings.messages > 0 && ++received == settings.messages) {
                log.write(QStringLiteral("exit"), QStringLiteral("messages"));
                app.quit();
            }
            // The "ack" is out: the sender has ended while this blocks.
            QThread::msleep(static_cast<unsigned long>(settings.busyOnMessageMs));
        });
    }
    if (settings.seconds > 0) {
        QTimer::singleShot(settings.seconds * 1000, &app, [&] {
            log.write(QStringLiteral("exit"), QStringLiteral("time"));
            app.quit();
        });
    }
    const int code = app.exec();
    // Gone with the peer: the lock, and every connection still waiting, closed
    // unanswered, while the process goes on.
    delete peer;
    if (settings.closingMs > 0) {
        QThread::msleep(static_cast<unsigned long>(settings.closingMs));
        log.write(QStringLiteral("closing"), QStringLiteral("over"));
    }
    return code;
}
