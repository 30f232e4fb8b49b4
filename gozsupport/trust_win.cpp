#include "gozsupport/trust_platform.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace goz::platform {

const bool PathsNameServers = true;
const char PathSeparators[] = "\\/";

namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

// Only the plain and callback allow entries name their account where this
// reads it; the object kinds, which files do not use, count as anybody's.
AccessEntry EntryOf(const ACE_HEADER* header) {
    AccessEntry entry;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        entry.allows = true;
        entry.mask = ace->Mask;
        entry.trustee = SidText(const_cast<DWORD*>(&ace->SidStart));
        break;
    }
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        entry.allows = true;
        entry.mask = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header)->Mask;
        break;
    default:
        break;
    }
    return entry;
}

Distrust Judge(HANDLE object, TrustRole role) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return Distrust::Unreadable;
    SecurityFacts facts = FactsOf(descriptor);
    LocalFree(descriptor);
    DWORD flags = 0;
    facts.ownersRecorded =
        GetVolumeInformationByHandleW(object, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        (flags & FILE_PERSISTENT_ACLS) != 0;
    return JudgeWindows(role, facts, SelfSid());
}

} // namespace

const std::string& SelfSid() {
    static const std::string self = [] {
        HANDLE token = nullptr;
        std::string sid;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return sid;
        alignas(TOKEN_USER) char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
        CloseHandle(token);
        return sid;
    }();
    return self;
}

SecurityFacts FactsOf(void* descriptor) {
    SecurityFacts facts;
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    PACL dacl = nullptr;
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted))
        facts.owner = SidText(owner);
    // Without a DACL, or with a NULL one, anybody may do anything.
    facts.hasDacl =
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl;
    for (DWORD i = 0; facts.hasDacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(dacl, i, &ace))
            facts.entries.push_back(EntryOf(static_cast<ACE_HEADER*>(ace)));
    }
    return facts;
}

HeldProgram::~HeldProgram() {
    if (handle)
        CloseHandle(handle);
}

// Shared for reading only: nobody may write, rename or delete it until the
// start has returned.
bool HeldProgram::open(const char* configured, std::string& resolved, int32_t& errorCode) {
    HANDLE file = CreateFileA(configured, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errorCode = static_cast<int32_t>(GetLastError());
        return false;
    }
    handle = file;
    char final[4 * MAX_PATH];
    DWORD length = GetFinalPathNameByHandleA(file, final, sizeof final, VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof final) {
        errorCode = length == 0 ? static_cast<int32_t>(GetLastError()) : ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    resolved = WithoutLongPrefix(final);
    return true;
}

Distrust HeldProgram::judge() const {
    return Judge(handle, TrustRole::Program);
}

// The folder itself: a junction there is read as the junction.
Distrust JudgeFolder(const std::string& folder, TrustRole role) {
    HANDLE object = CreateFileA(
        folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (object == INVALID_HANDLE_VALUE)
        return Distrust::Unreadable;
    Distrust why = Judge(object, role);
    CloseHandle(object);
    return why;
}

} // namespace goz::platform
