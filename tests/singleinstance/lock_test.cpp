// The system half of the single-instance lock, as another process sees it.
#include "singleinstance/lock_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#if defined(_WIN32)
#include <windows.h>

#include <thread>
#else
#include "tests/support/test_files.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using goz::platform::LockKind;

namespace {

#if !defined(_WIN32)

// Another process: a forked child that takes the other side's lock on `path`,
// fcntl over the whole file without waiting, and keeps it until it is killed.
pid_t TheirLock(const std::string& path, bool& held) {
    int ready[2];
    held = false;
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        int fd = open(path.c_str(), O_RDWR);
        struct flock region {};
        region.l_type = F_WRLCK;
        region.l_whence = SEEK_SET;
        char answer = fd >= 0 && fcntl(fd, F_SETLK, &region) == 0 ? '1' : '0';
        if (write(ready[1], &answer, 1) == 1)
            pause();
        _exit(0);
    }
    char answer = '0';
    held = child > 0 && read(ready[0], &answer, 1) == 1 && answer == '1';
    close(ready[0]);
    close(ready[1]);
    return child;
}

// Ends it as a crash would.
void Kill(pid_t child) {
    if (child > 0 && kill(child, SIGKILL) == 0)
        waitpid(child, nullptr, 0);
}

TEST(WholeFileLock, MeetsTheOtherSidesLockBothWays) {
    goztest::ScratchDir dir;
    std::string path = dir.file("lockfile");
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    bool held = true;
    ASSERT_TRUE(goz::platform::LockWholeFile(fd, LockKind::Write, false));
    Kill(TheirLock(path, held));
    EXPECT_FALSE(held);
    EXPECT_TRUE(goz::platform::UnlockWholeFile(fd));

    pid_t theirs = TheirLock(path, held);
    EXPECT_TRUE(held);
    EXPECT_FALSE(goz::platform::LockWholeFile(fd, LockKind::Write, false));
    EXPECT_FALSE(goz::platform::LockWholeFile(fd, LockKind::Read, false));
    Kill(theirs);
    EXPECT_TRUE(goz::platform::LockWholeFile(fd, LockKind::Write, false));
    close(fd);
}

#else

const std::wstring kPath = L"c:/users/public/qtsingleapp-quilta-6f28-1-lockfile";
const std::wstring kMutex = L"QtLockedFile mutex " + kPath;

// Mutexes belong to threads, so another thread stands for another process.
bool OnOtherThread(const std::function<bool()>& act) {
    bool result = false;
    std::thread([&] { result = act(); }).join();
    return result;
}

bool OtherGets(LockKind kind) {
    return OnOtherThread([kind] { return goz::platform::MutexLock(kPath).lock(kind, false); });
}

// Held also when found abandoned: a lock must be given back, not dropped.
bool MutexHeld(const std::wstring& name) {
    return OnOtherThread([&] {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
        if (mutex == nullptr)
            return false;
        DWORD result = WaitForSingleObject(mutex, 0);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
        return result != WAIT_OBJECT_0;
    });
}

TEST(MutexLock, WriterKeepsAllOutUntilItUnlocksOrDies) {
    goz::platform::MutexLock lock(kPath);
    ASSERT_TRUE(lock.lock(LockKind::Write, false));
    EXPECT_TRUE(MutexHeld(kMutex));
    EXPECT_FALSE(OtherGets(LockKind::Write));
    EXPECT_FALSE(OtherGets(LockKind::Read));
    lock.unlock();
    EXPECT_FALSE(MutexHeld(kMutex));
    for (LockKind kind : {LockKind::Read, LockKind::Write}) {
        ASSERT_TRUE(OnOtherThread([&] { return lock.lock(kind, false); })); // then the thread ends
        EXPECT_TRUE(OtherGets(LockKind::Write));
    }
}

TEST(MutexLock, WriterMeetsTheOtherSidesReadersAndGivesBackAllOnFailure) {
    // Readers may hold any of slots 0 to 63. Slot 0 is free but exists: a writer
    // that then fails must give it back with the writer mutex.
    HANDLE freeSlot = CreateMutexW(nullptr, FALSE, (kMutex + L"0").c_str());
    ASSERT_NE(freeSlot, nullptr);
    const std::pair<int, bool> slots[] = {{5, false}, {63, false}, {64, true}};
    for (auto [slot, writerGets] : slots) {
        HANDLE reader = CreateMutexW(nullptr, TRUE, (kMutex + std::to_wstring(slot)).c_str());
        ASSERT_NE(reader, nullptr);
        EXPECT_TRUE(OnOtherThread([writerGets = writerGets] {
            goz::platform::MutexLock writer(kPath);
            bool got = writer.lock(LockKind::Write, false);
            return got == writerGets && writer.isLocked() == got && MutexHeld(kMutex) == got &&
                   MutexHeld(kMutex + L"0") == got;
        })) << slot;
        ReleaseMutex(reader);
        CloseHandle(reader);
    }
    CloseHandle(freeSlot);
}

#endif

} // namespace
