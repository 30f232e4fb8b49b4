// A file with an advisory read or write lock that other processes see, the
// lock that decides which process is the single instance.
#pragma once

#include <QFile>
#include <QString>

#include <memory>

#if defined(Q_OS_WIN)
namespace goz::platform {
class MutexLock;
}
#endif

class QtLockedFile : public QFile {
public:
    enum LockMode { NoLock = 0, ReadLock, WriteLock };

    QtLockedFile();
    explicit QtLockedFile(const QString& name);
    ~QtLockedFile() override; // drops the lock

    // The file must be open. Asking for another mode first drops the lock held.
    // With `block` false it answers at once; on failure no lock is held.
    bool lock(LockMode mode, bool block = true);
    bool unlock();
    bool isLocked() const { return lockMode() != NoLock; }
    LockMode lockMode() const { return mode; }

private:
    LockMode mode = NoLock;
#if defined(Q_OS_WIN)
    std::unique_ptr<goz::platform::MutexLock> mutexLock;
#endif
};
