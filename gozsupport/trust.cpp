#include "gozsupport/trust.h"

#include "gozsupport/nocase.h"
#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "gozsupport/trust_platform.h"

#include <cstring>

namespace goz {

namespace {

// Windows access rights, by value so that both builds decide alike.
constexpr uint32_t kWriteData = 0x2;  // on a folder: add a file
constexpr uint32_t kAppendData = 0x4; // on a folder: add a folder
constexpr uint32_t kWriteEa = 0x10;
constexpr uint32_t kDeleteChild = 0x40;
constexpr uint32_t kWriteAttributes = 0x100;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kWriteOwner = 0x80000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kReplace = kDelete | kWriteDac | kWriteOwner;

const char* const kAdministrators = "S-1-5-32-544";
const char* const kSystem = "S-1-5-18";
const char* const kTrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Grants to whoever owns the object, which is one of the trusted by then.
const char* const kOwnerRights = "S-1-3-4";

// What another account must not be allowed: whatever changes the bytes that
// run, or lets a DLL or another program in beside them, or an entry on the
// way be replaced. Adding entries to a folder higher up changes nothing.
uint32_t ForbiddenRights(TrustRole role) {
    switch (role) {
    case TrustRole::Program:
        return kWriteData | kAppendData | kWriteEa | kWriteAttributes | kReplace;
    case TrustRole::ProgramFolder:
        return kWriteData | kAppendData | kDeleteChild | kReplace;
    case TrustRole::UpperFolder:
        break;
    }
    return kDeleteChild | kReplace;
}

// Generic rights stand for the file rights they map to.
uint32_t SpecificRights(uint32_t mask) {
    if (mask & kGenericAll)
        mask |= 0xFFFFFFFF;
    if (mask & kGenericWrite)
        mask |= kWriteData | kAppendData | kWriteEa | kWriteAttributes;
    return mask;
}

bool TrustedAccount(const std::string& sid, const std::string& self) {
    return !sid.empty() &&
           (sid == self || sid == kAdministrators || sid == kSystem || sid == kTrustedInstaller);
}

bool IsSeparator(char c, const char* separators) {
    return c != '\0' && std::strchr(separators, c) != nullptr;
}

// Where the separator after a path's root lies: "/", "C:\" or "\\server\share\".
size_t RootLength(const std::string& path, const char* separators) {
    if (path.size() >= 2 && IsSeparator(path[0], separators) && IsSeparator(path[1], separators)) {
        int seen = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if (IsSeparator(path[i], separators) && ++seen == 2)
                return i + 1;
            if (BeginsDoubleByte(path[i]) && i + 1 < path.size())
                ++i;
        }
        return path.size();
    }
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2], separators))
        return 3;
    return !path.empty() && IsSeparator(path[0], separators) ? 1 : 0;
}

} // namespace

const char* DistrustText(Distrust why) {
    switch (why) {
    case Distrust::None:
        return "trusted";
    case Distrust::ServerPath:
        return "names a server share or device";
    case Distrust::NoOwners:
        return "lies on a volume that records no owners";
    case Distrust::Owner:
        return "is owned by another account";
    case Distrust::NotAFile:
        return "is not a plain file or folder";
    case Distrust::NullDacl:
        return "has no access control list: anybody may change it";
    case Distrust::Writable:
        return "may be changed by another account";
    case Distrust::Unreadable:
        break;
    }
    return "has an owner or permissions that cannot be read";
}

Distrust JudgePosix(TrustRole role, const PosixFacts& facts, uint32_t self) {
    if (facts.owner != 0 && facts.owner != self)
        return Distrust::Owner;
    if (role == TrustRole::Program ? !facts.isFile : !facts.isFolder)
        return Distrust::NotAFile;
    if (facts.groupOrOthersWrite && (role == TrustRole::Program || !facts.sticky))
        return Distrust::Writable;
    return Distrust::None;
}

Distrust JudgeWindows(TrustRole role, const SecurityFacts& facts, const std::string& self) {
    if (!facts.ownersRecorded)
        return Distrust::NoOwners;
    if (!TrustedAccount(facts.owner, self))
        return Distrust::Owner;
    if (!facts.hasDacl)
        return Distrust::NullDacl;
    for (const AccessEntry& entry : facts.entries) {
        if (entry.allows && !entry.inheritOnly && !TrustedAccount(entry.trustee, self) &&
            entry.trustee != kOwnerRights &&
            (SpecificRights(entry.mask) & ForbiddenRights(role)) != 0)
            return Distrust::Writable;
    }
    return Distrust::None;
}

std::vector<std::string> FoldersAbove(const std::string& path, const char* separators) {
    const size_t root = RootLength(path, separators);
    std::vector<size_t> ends; // where each folder's name ends
    for (size_t i = root; i < path.size(); ++i) {
        if (IsSeparator(path[i], separators))
            ends.push_back(i);
        else if (BeginsDoubleByte(path[i]) && i + 1 < path.size())
            ++i;
    }
    std::vector<std::string> folders;
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        if (*end > root && !IsSeparator(path[*end - 1], separators))
            folders.push_back(path.substr(0, *end));
    }
    if (root > 0 && root < path.size())
        folders.push_back(path.substr(0, root));
    return folders;
}

std::string WithoutLongPrefix(const std::string& path) {
    if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
        return "\\\\" + path.substr(8);
    if (path.compare(0, 4, "\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

bool StartTrustedProgram(const char* path, char* commandLine, int32_t& errorCode, Refusal& refusal,
                         uint32_t* processId) {
    refusal = Refusal{};
    if (!path || !commandLine)
        return StartProgram(path, commandLine, errorCode, processId);
    // Even to look up its owner would log on to whatever server it names.
    if (platform::PathsNameServers && IsSeparator(path[0], platform::PathSeparators) &&
        IsSeparator(path[1], platform::PathSeparators))
        refusal = {Distrust::ServerPath, path};
    platform::HeldProgram program;
    std::string resolved;
    if (refusal.why == Distrust::None) {
        if (!program.open(path, resolved, errorCode)) {
            errorCode = FailureCode(errorCode);
            return false;
        }
        refusal = {program.judge(), resolved};
    }
    // Nearest first: the folder that could take a planted DLL is the one to name.
    TrustRole role = TrustRole::ProgramFolder;
    for (const std::string& folder : FoldersAbove(resolved, platform::PathSeparators)) {
        if (refusal.why != Distrust::None)
            break;
        refusal = {platform::JudgeFolder(folder, role), folder};
        role = TrustRole::UpperFolder;
    }
    if (refusal.why != Distrust::None) {
        errorCode = StartRefusedErrorCode();
        return false;
    }
    refusal.object.clear();
    return StartProgram(resolved.c_str(), commandLine, errorCode, processId);
}

} // namespace goz
