// The bridge's application object: per-run state and the steps of one hand-over.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <cstdint>
#include <string>

class QtLocalPeer;

// The application id of the single-instance peer and Quiltara's GoZApps folder name.
inline constexpr char kHostProductName[] = "Quiltara";
// What Quiltara receives, as a message or as its command line.
inline constexpr char GoZMarker[] = "----------<::>-GoZ";
// Recorded when Quiltara's executable path cannot be read.
inline constexpr int32_t kHostPathMissing = 32767;

class GoZEditUtil : public QCoreApplication {
    Q_OBJECT

public:
    // argc and argv go to QCoreApplication and must outlive the object. The
    // peer for `appId` exists from here on; it takes no lock yet.
    GoZEditUtil(const QString& appId, int& argc, char** argv);

    // True when the program must stop now with exit code 0.
    static bool handleCommandLine(int argc, char** argv);

    // Reads Quiltara's executable path into hostPath; 32767 on failure.
    bool readHostPath();
    void prepareHostMessage();
    // Messages a running Quiltara or starts one; the outcome is left in exitCode.
    int32_t deliverToHost();

    // The search for a running Quiltara, with the bridge's own once-only flag.
    static bool findRunningHost(char* path, uint32_t& processId);
    // Sends to the Quiltara found, waiting until `deadline` for one that does
    // not listen yet. False, with nothing recorded, when that process ended first.
    bool messageRunningHost(uint32_t processId, const QDeadlineTimer& deadline);
    int32_t startHost(char* commandLine);
    bool sendPeerMessage(const QString& text, int32_t timeout);

    char hostPath[1024];
    std::string hostMessage;
    // -1 while no failure has been recorded; becomes the process exit code.
    int32_t exitCode;
    // A Qt child of this object. It only sends: the bridge never takes
    // Quiltara's single-instance lock.
    QtLocalPeer* peer;

private:
    void recordFailure(int32_t code);
};
