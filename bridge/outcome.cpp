#include "bridge/outcome.h"

#include <cerrno>

namespace {

// Keep in step with README's table: users and their support read both.
const struct {
    Outcome outcome;
    const char* text;
} kOutcomes[] = {
    {Outcome::OptionAnswered, "an option was answered"},
    {Outcome::Delivered, "delivered: the running Quiltara acknowledged the message, or Quiltara "
                         "was started"},
    {Outcome::NothingDelivered, "nothing delivered: a Quiltara of this user and logon session "
                                "runs, but no Quiltara listened on its single-instance socket"},
    {Outcome::NoHostPath, "Quiltara's GoZ_Config.txt or its PATH is missing"},
    {Outcome::StartFailed, "the start of Quiltara failed: the program that PATH names is missing "
                           "or cannot be run"},
    {Outcome::StartRefused, "the start of Quiltara was refused: another user could change the "
                            "program that PATH names, or a folder above it"},
    {Outcome::MessageFailed, "the message to the running Quiltara failed"},
};

} // namespace

const char* OutcomeText(Outcome outcome) {
    for (const auto& row : kOutcomes) {
        if (row.outcome == outcome)
            return row.text;
    }
    return "unknown";
}

const char* SendFailureText(int error) {
    switch (error) {
    case EPIPE:
        return "closed unanswered";
    case ETIMEDOUT:
        return "no answer in time";
    case EPROTO:
        return "a reply other than ack";
    case EACCES:
        return "refused access";
    default:
        return "failed";
    }
}
