// The bridge's application object: per-run state and the steps of one hand-over.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>

class GoZEditUtil : public QCoreApplication {
    Q_OBJECT

public:
    GoZEditUtil(int& argc, char** argv, const QString& appId);

    // True when the program must stop now with exit code 0.
    static bool handleCommandLine(int argc, char** argv);

    // Reads Quiltara's executable path into hostPath; 32767 on failure.
    bool readHostPath();

    char hostPath[1024] = {};
    QString hostMessage;
    // -1 while no failure has been recorded.
    int32_t exitCode = -1;

private:
    QString appId;
};
