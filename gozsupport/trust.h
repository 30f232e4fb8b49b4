// Whether a program may be started: one that another user can change would
// run their code as this user, and every user may write the GoZ public folder
// whose configuration names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace goz {

// Why a program is not started; None when it may be.
enum class Distrust {
    None,
    ServerPath, // a server share or device: asking it would send our credentials there
    NoOwners,   // a volume that records no owners (FAT, exFAT)
    Owner,      // owned by another account
    NotAFile,   // the program is no plain file, or a folder above it no folder
    NullDacl,   // anybody may do anything with it
    Writable,   // another account may change it
    Unreadable, // its owner or permissions cannot be read
};

// Words for a refusal, for the trace.
const char* DistrustText(Distrust why);

// Where an object lies on the way from the program up to its volume's root;
// each can be changed in its own ways to change what runs.
enum class TrustRole { Program, ProgramFolder, UpperFolder };

// What stat says of one object on POSIX.
struct PosixFacts {
    uint32_t owner = 0;
    bool isFile = false, isFolder = false;
    bool groupOrOthersWrite = false;
    bool sticky = false; // nobody may then replace an entry that is not theirs
};
// Root and `self` may own it; nobody else may write it.
Distrust JudgePosix(TrustRole role, const PosixFacts& facts, uint32_t self);

// One entry of a Windows DACL, its account as a SID string ("" when unknown).
struct AccessEntry {
    bool allows = false; // deny, audit and label entries grant nothing
    bool inheritOnly = false;
    std::string trustee;
    uint32_t mask = 0;
};
// What Windows says of one object; a NULL DACL is none at all.
struct SecurityFacts {
    bool ownersRecorded = true;
    std::string owner;
    bool hasDacl = false;
    std::vector<AccessEntry> entries;
};
// `self`, Administrators, SYSTEM or TrustedInstaller must own it, and no
// other account may be allowed to change it in the ways `role` names.
Distrust JudgeWindows(TrustRole role, const SecurityFacts& facts, const std::string& self);

// The folders that hold `path`, nearest first, down to its root ("/", "C:\"
// or "\\server\share\"). `separators` are the platform's; the second byte of a
// two-byte character is none.
std::vector<std::string> FoldersAbove(const std::string& path, const char* separators);

// A final path as a program can be started from it: without "\\?\", and a
// "\\?\UNC\" one as "\\".
std::string WithoutLongPrefix(const std::string& path);

// Which object a start was refused for, and why.
struct Refusal {
    Distrust why = Distrust::None;
    std::string object;
};

// StartProgram for the program that `path` leads to, links, "." and ".."
// resolved, but only when nobody but this user, an administrator or the
// system can change it or any folder above it. A refusal starts nothing and
// ends in false with the platform's refusal code (ERROR_ACCESS_DISABLED_BY_POLICY,
// EPERM) in errorCode and the reason in `refusal`; a path that cannot be
// resolved, with the system's error code for that.
// `processId`, when given, receives the started process's id.
bool StartTrustedProgram(const char* path, char* commandLine, int32_t& errorCode, Refusal& refusal,
                         uint32_t* processId = nullptr);

} // namespace goz
