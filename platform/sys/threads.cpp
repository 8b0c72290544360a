// Threads as kernel32 hands them out: created suspended and resumed once, waited for through
// their handle, closed independently of their end (the handle and the thread each keep the
// shared record alive).
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "win32/winbase.h"

namespace {

struct ThreadRecord {
    std::mutex mutex;
    std::condition_variable changed;
    bool resumed = false;
    bool finished = false;
    DWORD exitCode = 0;
    DWORD id = 0;
};

// The handle owns the thread object: a wait that sees the routine finished also joins the
// thread, so that its thread-local clean-up (libraries' per-thread state) is done when the
// wait returns, not some time after, possibly after the process has begun to exit.
struct ThreadHandle {
    std::shared_ptr<ThreadRecord> record;
    std::mutex joinMutex;
    std::thread thread;
    void joinIfFinished() {
        std::lock_guard lock(joinMutex);
        if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
    }
};

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto record = std::make_shared<ThreadRecord>();
    record->resumed = (flags & CREATE_SUSPENDED) == 0;
    auto* handle = new ThreadHandle{record, {}, {}};
    handle->thread = std::thread([record, start, parameter] {
        {
            std::unique_lock lock(record->mutex);
            record->id = static_cast<DWORD>(syscall(SYS_gettid));
            record->changed.notify_all();
            record->changed.wait(lock, [&] { return record->resumed; });
        }
        const DWORD code = start(parameter);
        std::lock_guard lock(record->mutex);
        record->exitCode = code;
        record->finished = true;
        record->changed.notify_all();
    });
    {
        std::unique_lock lock(record->mutex);
        record->changed.wait(lock, [&] { return record->id != 0; });
        if (threadId) *threadId = record->id;
    }
    return handle;
}

DWORD ResumeThread(HANDLE thread) {
    auto* h = static_cast<ThreadHandle*>(thread);
    if (h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard lock(h->record->mutex);
    const DWORD previous = h->record->resumed ? 0 : 1;  // the suspend count before the call
    h->record->resumed = true;
    h->record->changed.notify_all();
    return previous;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
    auto* h = static_cast<ThreadHandle*>(thread);
    if (h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock lock(h->record->mutex);
    auto done = [&] { return h->record->finished; };
    bool ended;
    if (milliseconds == INFINITE) {
        h->record->changed.wait(lock, done);
        ended = true;
    } else {
        ended = h->record->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
    }
    lock.unlock();
    if (!ended) return WAIT_TIMEOUT;
    h->joinIfFinished();
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto* h = static_cast<ThreadHandle*>(thread);
    if (h == nullptr || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(h->record->mutex);
    *exitCode = h->record->finished ? h->record->exitCode : 259;  // STILL_ACTIVE
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    auto* h = static_cast<ThreadHandle*>(object);
    if (h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        // A thread nobody waited for runs on by itself, as a closed Windows handle lets it.
        std::lock_guard lock(h->joinMutex);
        if (h->thread.joinable()) h->thread.detach();
    }
    delete h;
    return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
