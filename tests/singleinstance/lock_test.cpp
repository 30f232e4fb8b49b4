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

#if !defined(_WIN32)

namespace {

// Another process: a forked child that takes the other side's lock on `path`,
// fcntl over the whole file without waiting, and keeps it until it is killed.
pid_t TheirLock(const std::string& path, bool& held) {
    held = false;
    int ready[2];
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

} // namespace

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

namespace {

const std::wstring kPath = L"c:/users/public/qtsingleapp-quilta-6f28-1-lockfile";
const std::wstring kMutex = L"QtLockedFile mutex " + kPath;

// Mutexes belong to threads, so another thread stands for another process.
bool OnOtherThread(const std::function<bool()>& act) {
    bool result = false;
    std::thread([&] { result = act(); }).join();
    return result;
}

bool OtherGets(LockKind kind) {
    return OnOtherThread([kind] {
        goz::platform::MutexLock lock(kPath);
        return lock.lock(kind, false);
    });
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

} // namespace

TEST(MutexLock, WriterKeepsAllOutAndReadersKeepWritersOut) {
    goz::platform::MutexLock lock(kPath);
    ASSERT_TRUE(lock.lock(LockKind::Write, false));
    EXPECT_TRUE(MutexHeld(kMutex));
    EXPECT_FALSE(OtherGets(LockKind::Write));
    EXPECT_FALSE(OtherGets(LockKind::Read));
    lock.unlock();
    EXPECT_FALSE(MutexHeld(kMutex));

    goz::platform::MutexLock second(kPath);
    ASSERT_TRUE(lock.lock(LockKind::Read, false));
    ASSERT_TRUE(second.lock(LockKind::Read, false));
    EXPECT_TRUE(MutexHeld(kMutex + L"0"));
    EXPECT_TRUE(MutexHeld(kMutex + L"1"));
    EXPECT_FALSE(MutexHeld(kMutex)); // readers let go of it once they have a slot

    // Slot 0 free but still there: a writer takes it, fails on slot 1 and
    // must give back both it and the writer mutex before it answers.
    HANDLE keepSlot = OpenMutexW(SYNCHRONIZE, FALSE, (kMutex + L"0").c_str());
    ASSERT_NE(keepSlot, nullptr);
    lock.unlock();
    EXPECT_TRUE(OnOtherThread([] {
        goz::platform::MutexLock writer(kPath);
        return !writer.lock(LockKind::Write, false) && !writer.isLocked() && !MutexHeld(kMutex) &&
               !MutexHeld(kMutex + L"0");
    }));
    CloseHandle(keepSlot);
    second.unlock();
    EXPECT_TRUE(OtherGets(LockKind::Write));

    // The other side's readers may hold any of slots 0 to 63.
    const std::pair<int, bool> slots[] = {{5, false}, {63, false}, {64, true}};
    for (auto [slot, writerGets] : slots) {
        HANDLE reader = CreateMutexW(nullptr, TRUE, (kMutex + std::to_wstring(slot)).c_str());
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(OtherGets(LockKind::Write), writerGets) << slot;
        ReleaseMutex(reader);
        CloseHandle(reader);
    }
}

TEST(MutexLock, LockOfADeadHolderIsFree) {
    for (LockKind kind : {LockKind::Read, LockKind::Write}) {
        goz::platform::MutexLock dead(kPath);
        ASSERT_TRUE(OnOtherThread([&] { return dead.lock(kind, false); }));
        goz::platform::MutexLock lock(kPath);
        EXPECT_TRUE(lock.lock(LockKind::Write, false));
    }
}

#endif
