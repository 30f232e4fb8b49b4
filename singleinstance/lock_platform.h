// The system half of the single-instance lock and socket, free of Qt so that the Windows
// build, which has no Qt, compiles and tests it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace goz::platform {

enum class LockKind { Read, Write };

#if defined(_WIN32)

// Windows has no advisory file lock that the other side would see, so named
// mutexes stand for it: "QtLockedFile mutex " + the lock file's path for the
// writer, the same name + "0".."63" for readers. A writer must also take
// every reader mutex that exists; a reader takes the writer mutex only while
// it creates its own reader mutex. Mutexes belong to the thread that took them.
class MutexLock {
public:
    // `lockFilePath`: absolute, with forward slashes and lower-cased, as the
    // other side derives it.
    explicit MutexLock(std::wstring lockFilePath);
    ~MutexLock();
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    // With `block` false nothing is waited for; on failure nothing is held.
    bool lock(LockKind kind, bool block);
    void unlock();
    bool isLocked() const { return writer != nullptr || reader != nullptr; }

    static constexpr int kMaxReaders = 64;

private:
    std::wstring name(int readerIndex) const;

    std::wstring base;
    void* writer = nullptr;            // held writer mutex, write lock only
    void* reader = nullptr;            // our own reader mutex, read lock only
    std::vector<void*> takenReaders{}; // other readers' mutexes held by a writer
};

#else

// A POSIX record lock over the whole of the open file `fd`; the other side
// tests it with fcntl, so flock() would not do. It is dropped when the process
// ends, and also when the process closes any descriptor of that file.
bool LockWholeFile(int fd, LockKind kind, bool block);
bool UnlockWholeFile(int fd);

#endif

// What keeps the socket names of different users or logon sessions apart: the
// real user id on POSIX, the logon session id on Windows. False when the
// system has no such notion (Windows without ProcessIdToSessionId).
bool InstanceScope(uint32_t& scope);

// The process that listens at the other end of a connected local socket
// (Qt's descriptor: a socket on POSIX, a pipe handle on Windows); Qt cannot tell.
bool ListenerProcessId(intptr_t socket, uint32_t& processId);

} // namespace goz::platform
