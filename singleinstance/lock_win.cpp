#include "singleinstance/lock_platform.h"

#include <windows.h>

#include <utility>

namespace goz::platform {

namespace {

// WAIT_ABANDONED: the last holder died holding it; the mutex is ours all the same.
bool Take(HANDLE mutex, DWORD timeout) {
    DWORD result = WaitForSingleObject(mutex, timeout);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void Drop(HANDLE mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

} // namespace

MutexLock::MutexLock(std::wstring lockFilePath)
    : base(L"QtLockedFile mutex " + std::move(lockFilePath)) {}

MutexLock::~MutexLock() {
    unlock();
}

std::wstring MutexLock::name(int readerIndex) const {
    return base + std::to_wstring(readerIndex);
}

bool MutexLock::lock(LockKind kind, bool block) {
    if (isLocked())
        unlock();
    DWORD timeout = block ? INFINITE : 0;
    HANDLE writerMutex = CreateMutexW(nullptr, FALSE, base.c_str());
    if (writerMutex == nullptr)
        return false;
    if (!Take(writerMutex, timeout)) {
        CloseHandle(writerMutex);
        return false;
    }

    if (kind == LockKind::Read) {
        // Holding the writer mutex keeps writers out while we pick a free reader slot.
        for (int index = 0; index < kMaxReaders && reader == nullptr; ++index) {
            HANDLE mutex = CreateMutexW(nullptr, TRUE, name(index).c_str());
            if (mutex == nullptr)
                continue;
            if (GetLastError() == ERROR_ALREADY_EXISTS) {
                CloseHandle(mutex); // another reader's slot; not granted to us
                continue;
            }
            reader = mutex;
        }
        Drop(writerMutex);
        return reader != nullptr;
    }

    // Readers that exist must all be taken, or the write lock is not held.
    for (int index = 0; index < kMaxReaders; ++index) {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name(index).c_str());
        if (mutex == nullptr)
            continue;
        if (!Take(mutex, timeout)) {
            CloseHandle(mutex);
            writer = writerMutex;
            unlock();
            return false;
        }
        takenReaders.push_back(mutex);
    }
    writer = writerMutex;
    return true;
}

void MutexLock::unlock() {
    for (void* mutex : takenReaders)
        Drop(mutex);
    takenReaders.clear();
    if (writer != nullptr)
        Drop(writer);
    writer = nullptr;
    if (reader != nullptr)
        Drop(reader);
    reader = nullptr;
}

bool InstanceScope(uint32_t& scope) {
    // Looked up at run time: Windows versions without it give a name without suffix.
    using SessionIdFunction = BOOL(WINAPI*)(DWORD, DWORD*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return false;
    auto* generic = reinterpret_cast<void (*)()>(GetProcAddress(kernel, "ProcessIdToSessionId"));
    auto* sessionIdOf = reinterpret_cast<SessionIdFunction>(generic);
    if (sessionIdOf == nullptr)
        return false;
    // Resolved but failing still gives a suffix, as on the other side: session 0.
    DWORD session = 0;
    if (!sessionIdOf(GetCurrentProcessId(), &session))
        session = 0;
    scope = session;
    return true;
}

bool ListenerProcessId(intptr_t socket, uint32_t& processId) {
    ULONG id = 0;
    if (!GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socket), &id) || id == 0)
        return false;
    processId = id;
    return true;
}

} // namespace goz::platform
