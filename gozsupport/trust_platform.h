// The system calls behind the check of a program before it is started.
#pragma once

#include "gozsupport/trust.h"

#include <cstdint>
#include <string>

namespace goz::platform {

// Whether a path that begins with two separators names a server share.
extern const bool PathsNameServers;
extern const char PathSeparators[];

// The program that a configured path leads to, held, where the system
// allows, so that nobody can replace it until it is let go.
class HeldProgram {
public:
    HeldProgram() = default;
    ~HeldProgram();
    HeldProgram(const HeldProgram&) = delete;
    HeldProgram& operator=(const HeldProgram&) = delete;

    // Resolves links, "." and ".." of `path` and opens what it leads to;
    // false with the system's error code when it cannot.
    bool open(const char* path, std::string& resolved, int32_t& errorCode);
    Distrust judge() const;

private:
    void* handle = nullptr;
};

// Reads the owner and permissions of the folder `path` itself, not of what a
// link there leads to, and judges them.
Distrust JudgeFolder(const std::string& path, TrustRole role);

#if defined(_WIN32)
// The owner and DACL of a security descriptor, accounts as SID strings.
SecurityFacts FactsOf(void* descriptor);
// This process's user as a SID string.
const std::string& SelfSid();
#endif

} // namespace goz::platform
