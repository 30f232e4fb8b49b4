#include "gozsupport/trust_platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace goz::platform {

const bool PathsNameServers = false;
const char PathSeparators[] = "/";

namespace {

Distrust Judge(int result, const struct stat& info, TrustRole role) {
    if (result != 0)
        return Distrust::Unreadable;
    PosixFacts facts;
    facts.owner = info.st_uid;
    facts.isFile = S_ISREG(info.st_mode);
    facts.isFolder = S_ISDIR(info.st_mode);
    facts.groupOrOthersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    facts.sticky = (info.st_mode & S_ISVTX) != 0;
    // The started program runs as this process's effective user.
    return JudgePosix(role, facts, geteuid());
}

int Descriptor(void* handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1);
}

} // namespace

HeldProgram::~HeldProgram() {
    if (handle)
        close(Descriptor(handle));
}

// Held without being read, which a program that may only be run allows. A
// program that passes lies where only root and this user can replace it.
bool HeldProgram::open(const char* configured, std::string& resolved, int32_t& errorCode) {
    char* real = realpath(configured, nullptr);
    int descriptor = real ? ::open(real, O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (descriptor < 0) {
        errorCode = errno;
        std::free(real);
        return false;
    }
    handle = reinterpret_cast<void*>(static_cast<intptr_t>(descriptor) + 1);
    resolved = real;
    std::free(real);
    return true;
}

Distrust HeldProgram::judge() const {
    struct stat info {};
    return Judge(fstat(Descriptor(handle), &info), info, TrustRole::Program);
}

// A link put in its place after the path was resolved is no folder.
Distrust JudgeFolder(const std::string& folder, TrustRole role) {
    struct stat info {};
    return Judge(lstat(folder.c_str(), &info), info, role);
}

} // namespace goz::platform
