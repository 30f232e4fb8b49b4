// The bridge's application object: per-run state and the steps of one hand-over.
#pragma once

#include "bridge/outcome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <cstdint>
#include <string>

class QtLocalPeer;
namespace goz {
class ProcessWatch;
}

// The bridge's name, in its usage text and at the start of each trace line.
inline constexpr char kBridgeName[] = "GoZBrushToQuiltara";
// The application id of the single-instance peer and Quiltara's GoZApps folder name.
inline constexpr char kHostProductName[] = "Quiltara";
// What Quiltara receives, as a message or as its command line.
inline constexpr char GoZMarker[] = "----------<::>-GoZ";
// Recorded when Quiltara's executable path cannot be read.
inline constexpr int32_t kHostPathMissing = 32767;
// How long from the bridge's start a Quiltara it found has to listen, take
// the message and answer: one that listens early and goes on loading, or that
// imports the previous transfer, reads nothing for seconds. The sandbox
// copies wait less, so that tests of a Quiltara that never answers end sooner.
#if defined(GOZ_HOST_ANSWER_WAIT_MS)
inline constexpr int kHostAnswerWaitMs = GOZ_HOST_ANSWER_WAIT_MS;
#else
inline constexpr int kHostAnswerWaitMs = 60000;
#endif

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

    // The search for a Quiltara of this user and logon session, with the
    // bridge's own once-only flag; the one found stays held in `found`.
    static bool findRunningHost(char* path, goz::ProcessWatch& found);
    // Sends to the Quiltara found, waiting until `deadline` for one that does
    // not listen or answer yet. False, with nothing recorded, when that
    // process ended first.
    bool messageRunningHost(const goz::ProcessWatch& host, const QDeadlineTimer& deadline);
    int32_t startHost(char* commandLine);
    // To a listener that is a Quiltara, with its write and "ack" until `deadline`.
    bool sendPeerMessage(const QString& text, const QDeadlineTimer& deadline);

    char hostPath[1024];
    std::string hostMessage;
    // -1 while no failure has been recorded; becomes the process exit code.
    int32_t exitCode;
    Outcome outcome = Outcome::Delivered;
    // A Qt child of this object. It only sends: the bridge never takes
    // Quiltara's single-instance lock.
    QtLocalPeer* peer;

private:
    void recordFailure(int32_t code, Outcome failure);
    void traceWait(int error) const;

    // The listener of the last connection the bridge made, for the trace.
    uint32_t lastListener = 0;
};
