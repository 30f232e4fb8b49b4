// Another process holding the single-instance lock: a forked child that takes
// a whole-file lock and keeps it until it is told to go or killed.
#pragma once

#include "singleinstance/lock_platform.h"

#include <string>
#include <sys/types.h>

namespace goztest {

class LockHolder {
public:
    LockHolder(const std::string& path, goz::platform::LockKind kind);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // Whether the child got the lock.
    bool holds() const { return held; }
    pid_t pid() const { return child; }
    // The child unlocks and ends normally.
    void release();
    // The child dies holding the lock, as a crashed instance would.
    void crash();

private:
    void reap();

    pid_t child = -1;
    int toChild = -1;
    bool held = false;
};

} // namespace goztest
