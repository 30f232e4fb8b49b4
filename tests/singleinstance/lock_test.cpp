// The system half of the single-instance lock, as the other side sees it.
#include "singleinstance/lock_platform.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#else
#include "tests/singleinstance/lock_holder.h"
#include "tests/support/test_files.h"

#include <fcntl.h>
#include <unistd.h>
#endif

using goz::platform::LockKind;

#if !defined(_WIN32)

namespace {

class LockFile {
public:
    explicit LockFile(const std::string& name) : path(name) {
        fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    }
    ~LockFile() {
        if (fd >= 0)
            close(fd);
    }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    std::string path;
    int fd = -1;
};

} // namespace

TEST(WholeFileLock, WriteLockKeepsOtherProcessesOutUntilReleased) {
    goztest::ScratchDir dir;
    LockFile file(dir.file("lockfile"));
    ASSERT_GE(file.fd, 0);
    goztest::LockHolder holder(file.path, LockKind::Write);
    ASSERT_TRUE(holder.holds());

    EXPECT_FALSE(goz::platform::LockWholeFile(file.fd, LockKind::Write, false));
    EXPECT_FALSE(goz::platform::LockWholeFile(file.fd, LockKind::Read, false));
    // What the other side tests for: one write lock over the whole file.
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(file.fd, F_GETLK, &probe), 0);
    EXPECT_EQ(probe.l_type, F_WRLCK);
    EXPECT_EQ(probe.l_start, 0);
    EXPECT_EQ(probe.l_len, 0);
    EXPECT_EQ(probe.l_pid, holder.pid());

    holder.release();
    EXPECT_TRUE(goz::platform::LockWholeFile(file.fd, LockKind::Write, false));
    goztest::LockHolder latecomer(file.path, LockKind::Read);
    EXPECT_FALSE(latecomer.holds());
    latecomer.release();
    EXPECT_TRUE(goz::platform::UnlockWholeFile(file.fd));
    goztest::LockHolder afterUnlock(file.path, LockKind::Write);
    EXPECT_TRUE(afterUnlock.holds());
}

TEST(WholeFileLock, ReadLocksShareAndACrashedHoldersLockIsFree) {
    goztest::ScratchDir dir;
    LockFile file(dir.file("lockfile"));
    goztest::LockHolder reader(file.path, LockKind::Read);
    ASSERT_TRUE(reader.holds());
    EXPECT_FALSE(goz::platform::LockWholeFile(file.fd, LockKind::Write, false));
    EXPECT_TRUE(goz::platform::LockWholeFile(file.fd, LockKind::Read, false));
    EXPECT_TRUE(goz::platform::UnlockWholeFile(file.fd));
    reader.release();

    goztest::LockHolder instance(file.path, LockKind::Write);
    ASSERT_TRUE(instance.holds());
    instance.crash();
    EXPECT_TRUE(goz::platform::LockWholeFile(file.fd, LockKind::Write, false));
}

#else

namespace {

const std::wstring kPath = L"c:/users/public/qtsingleapp-quilta-6f28-1-lockfile";
const std::wstring kMutex = L"QtLockedFile mutex " + kPath;

// Mutexes belong to threads, so another thread stands for another process.
// `take` and `drop` run on the holder's thread.
class Holder {
public:
    Holder(std::function<bool()> take, std::function<void()> drop) {
        worker = std::thread([this, take, drop] {
            bool result = take();
            std::unique_lock<std::mutex> guard(m);
            taken = result;
            ready = true;
            changed.notify_all();
            changed.wait(guard, [this] { return go; });
            if (result)
                drop();
        });
        std::unique_lock<std::mutex> guard(m);
        changed.wait(guard, [this] { return ready; });
    }
    ~Holder() { release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool holds() const { return taken; }
    void release() {
        if (!worker.joinable())
            return;
        {
            std::lock_guard<std::mutex> guard(m);
            go = true;
        }
        changed.notify_all();
        worker.join();
    }

private:
    std::thread worker;
    std::mutex m;
    std::condition_variable changed;
    bool ready = false;
    bool go = false;
    bool taken = false;
};

std::unique_ptr<Holder> HoldLock(LockKind kind) {
    auto lock = std::make_shared<goz::platform::MutexLock>(kPath);
    return std::make_unique<Holder>([lock, kind] { return lock->lock(kind, false); },
                                    [lock] { lock->unlock(); });
}

// A mutex as the other side's reader would hold it.
std::unique_ptr<Holder> HoldMutex(const std::wstring& name) {
    auto mutex = std::make_shared<HANDLE>(nullptr);
    return std::make_unique<Holder>(
        [mutex, name] {
            *mutex = CreateMutexW(nullptr, TRUE, name.c_str());
            return *mutex != nullptr;
        },
        [mutex] {
            ReleaseMutex(*mutex);
            CloseHandle(*mutex);
        });
}

// What another process finds when it opens the mutex `name` and tries to
// take it: held when it cannot, and also when it was left abandoned, since a
// lock must be given back, not dropped.
bool MutexHeld(const std::wstring& name) {
    bool held = false;
    std::thread([&] {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
        if (mutex == nullptr)
            return;
        DWORD result = WaitForSingleObject(mutex, 0);
        held = result != WAIT_OBJECT_0;
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    return held;
}

bool MutexExists(const std::wstring& name) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex != nullptr)
        CloseHandle(mutex);
    return mutex != nullptr;
}

bool TryOnOtherThread(LockKind kind) {
    bool taken = false;
    std::thread([&] {
        goz::platform::MutexLock lock(kPath);
        taken = lock.lock(kind, false);
    }).join();
    return taken;
}

} // namespace

TEST(MutexLock, WriteLockIsTheNamedMutexAndKeepsOthersOut) {
    goz::platform::MutexLock lock(kPath);
    ASSERT_TRUE(lock.lock(LockKind::Write, false));
    EXPECT_TRUE(lock.isLocked());
    EXPECT_TRUE(MutexExists(kMutex));
    EXPECT_TRUE(MutexHeld(kMutex));
    EXPECT_FALSE(TryOnOtherThread(LockKind::Write));
    EXPECT_FALSE(TryOnOtherThread(LockKind::Read));

    lock.unlock();
    EXPECT_FALSE(lock.isLocked());
    EXPECT_FALSE(MutexExists(kMutex));
    EXPECT_TRUE(TryOnOtherThread(LockKind::Write));
}

TEST(MutexLock, ReadersShareSlotsAndEveryHeldSlotKeepsWritersOut) {
    goz::platform::MutexLock first(kPath);
    ASSERT_TRUE(first.lock(LockKind::Read, false));
    auto second = HoldLock(LockKind::Read);
    ASSERT_TRUE(second->holds());
    EXPECT_TRUE(MutexExists(kMutex + L"0"));
    EXPECT_TRUE(MutexExists(kMutex + L"1"));
    EXPECT_FALSE(MutexExists(kMutex + L"2"));
    // Readers let go of the writer mutex once they have their slot.
    EXPECT_FALSE(MutexHeld(kMutex));

    EXPECT_FALSE(TryOnOtherThread(LockKind::Write));

    // Slot 0 free but still there: a writer takes it, fails on slot 1 and
    // must then give back both it and the writer mutex.
    HANDLE keepSlot = CreateMutexW(nullptr, FALSE, (kMutex + L"0").c_str());
    ASSERT_NE(keepSlot, nullptr);
    first.unlock();
    EXPECT_FALSE(MutexHeld(kMutex + L"0"));
    EXPECT_FALSE(TryOnOtherThread(LockKind::Write));
    EXPECT_FALSE(MutexHeld(kMutex));
    EXPECT_FALSE(MutexHeld(kMutex + L"0"));
    CloseHandle(keepSlot);

    second->release();
    EXPECT_TRUE(TryOnOtherThread(LockKind::Write));
}

TEST(MutexLock, WriterScansTheOtherSidesSixtyFourReaderSlots) {
    for (int index : {5, 63}) {
        auto reader = HoldMutex(kMutex + std::to_wstring(index));
        ASSERT_TRUE(reader->holds());
        EXPECT_FALSE(TryOnOtherThread(LockKind::Write)) << index;
    }
    auto outside = HoldMutex(kMutex + L"64");
    ASSERT_TRUE(outside->holds());
    EXPECT_TRUE(TryOnOtherThread(LockKind::Write));
}

TEST(MutexLock, LockOfADeadHolderIsTakenAndBlockingWaitsForRelease) {
    goz::platform::MutexLock abandoned(kPath);
    std::thread([&] { EXPECT_TRUE(abandoned.lock(LockKind::Write, false)); }).join();
    goz::platform::MutexLock lock(kPath);
    EXPECT_TRUE(lock.lock(LockKind::Write, false));
    lock.unlock();

    auto holder = HoldLock(LockKind::Write);
    ASSERT_TRUE(holder->holds());
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder->release();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(lock.lock(LockKind::Write, true));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
    releaser.join();
}

TEST(InstanceScope, IsTheLogonSessionOfTheProcess) {
    uint32_t scope = 12345;
    ASSERT_TRUE(goz::platform::InstanceScope(scope));
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(scope, session);
}

#endif
