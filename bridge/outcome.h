// What a run of the bridge came to, in the words of README's table of exit codes.
#pragma once

enum class Outcome {
    OptionAnswered,
    Delivered,
    NothingDelivered, // a Quiltara runs, but none listened within the wait
    NoHostPath,
    StartFailed,
    StartRefused, // another user could change the program or a folder above it
    MessageFailed,
};

// One line of README's table, for the trace's last line.
const char* OutcomeText(Outcome outcome);

// What a failed send met, from the peer's errno value, for the trace.
const char* SendFailureText(int error);
