#include "singleinstance/qtlockedfile.h"

#include "singleinstance/lock_platform.h"

#include <QFileInfo>

QtLockedFile::QtLockedFile() = default;

QtLockedFile::QtLockedFile(const QString& name) : QFile(name) {}

QtLockedFile::~QtLockedFile() {
    if (isLocked() && isOpen())
        unlock();
}

bool QtLockedFile::lock(LockMode wanted, bool block) {
    if (!isOpen()) {
        qWarning("QtLockedFile::lock(): file is not opened");
        return false;
    }
    if (wanted == NoLock)
        return unlock();
    if (wanted == mode)
        return true;
    if (mode != NoLock)
        unlock();

    auto kind =
        wanted == WriteLock ? goz::platform::LockKind::Write : goz::platform::LockKind::Read;
#if defined(Q_OS_WIN)
    // The other side names the mutex after the path as QFileInfo gives it, lower-cased.
    if (!mutexLock) {
        QString path = QFileInfo(*this).absoluteFilePath().toLower();
        mutexLock = std::make_unique<goz::platform::MutexLock>(path.toStdWString());
    }
    if (!mutexLock->lock(kind, block))
        return false;
#else
    if (!goz::platform::LockWholeFile(handle(), kind, block))
        return false;
#endif
    mode = wanted;
    return true;
}

bool QtLockedFile::unlock() {
    if (!isOpen()) {
        qWarning("QtLockedFile::unlock(): file is not opened");
        return false;
    }
    if (mode == NoLock)
        return true;
#if defined(Q_OS_WIN)
    mutexLock->unlock();
#else
    if (!goz::platform::UnlockWholeFile(handle()))
        return false;
#endif
    mode = NoLock;
    return true;
}
