// Per-thread message queues and the message calls. SendMessage to another thread's window
// queues the message and waits, handling messages sent to the waiting thread meanwhile (two
// threads sending to each other do not deadlock); every wait is on the thread's condition
// variable, or in the front end's own event loop when it runs one on that thread.
#include <chrono>

#include "base/clock.h"
#include "ui/internal.h"
#include "ui/loop.h"
#include "ui/remote.h"

namespace vlt::ui::detail {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The longest a loop sleeps before looking again (the system clock counts suspended time
// while the wait does not).
constexpr auto kMaxWait = std::chrono::milliseconds(1000);

struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder();
};

thread_local QueueHolder t_holder;

// The thread is ending: its windows go (without calls into code that may be gone), and
// senders waiting for it get 0.
QueueHolder::~QueueHolder() {
    if (!queue) return;
    std::vector<HWND> reported;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        queue->alive = false;
        for (auto& sent : queue->sent) {
            sent->done = true;
            sent->result = 0;
            if (sent->sender) sent->sender->changed.notify_all();
        }
        queue->sent.clear();
        queue->posted.clear();
        queue->input.clear();
        for (auto it = s.windows.begin(); it != s.windows.end();) {
            if (it->second->queue == queue) {
                if (it->second->titleReported) reported.push_back(it->second->hwnd);
                std::erase(s.topLevel, it->second->hwnd);
                removeTimersLocked(it->second->hwnd);
                it = s.windows.erase(it);
            } else {
                ++it;
            }
        }
        for (auto& [handle, w] : s.windows) {
            (void)handle;
            std::erase_if(w->children, [&](HWND h) { return s.windows.count(reinterpret_cast<std::uintptr_t>(h)) == 0; });
        }
        removeThreadTimersLocked(queue->threadId);
        s.queues.erase(queue->threadId);
    }
    for (HWND h : reported) reportDestroyed(h);
}

bool filterMatchesLocked(HWND filter, HWND target) {
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) return target == nullptr;
    for (HWND h = target; h != nullptr;) {
        if (h == filter) return true;
        auto w = findLocked(h);
        if (!w || !(w->style & WS_CHILD)) return false;
        h = w->parent;
    }
    return false;
}

bool messageMatches(const MSG& m, HWND filter, UINT first, UINT last) {
    if (!filterMatchesLocked(filter, m.hwnd)) return false;
    if (first == 0 && last == 0) return true;
    return m.message >= first && m.message <= last;
}

bool postedMatchLocked(const Queue& q, HWND filter, UINT first, UINT last) {
    for (const auto& m : q.posted)
        if (messageMatches(m, filter, first, last)) return true;
    return false;
}

void fillTime(MSG& m) {
    m.time = static_cast<DWORD>(base::clock().nowMs());
    m.pt = POINT{0, 0};
}

// Waits on the calling thread until `ready` (called with the lock held) or the deadline.
void waitLocked(std::unique_lock<std::mutex>& lock, Queue& q, const std::function<bool()>& ready,
                SteadyClock::time_point deadline) {
    const auto cap = SteadyClock::now() + kMaxWait;
    if (deadline > cap) deadline = cap;
    Frontend* f = fe();
    if (f != nullptr) {
        lock.unlock();
        const bool loop = f->runsEventLoop();
        if (loop) {
            f->processEvents(deadline, [&] {
                std::lock_guard inner(*lock.mutex());
                return ready();
            });
            lock.lock();
            return;
        }
        lock.lock();
    }
    q.changed.wait_until(lock, deadline, ready);
}

SteadyClock::time_point deadlineForTimersLocked(const Queue& q) {
    const std::uint64_t due = nextTimerDueLocked(q);
    if (due == UINT64_MAX) return SteadyClock::now() + kMaxWait;
    const std::uint64_t now = base::clock().nowMs();
    const std::uint64_t wait = due > now ? due - now : 0;
    return SteadyClock::now() + std::chrono::milliseconds(wait);
}

}  // namespace

State& state() {
    static State* s = new State;  // leaked on purpose
    return *s;
}

std::shared_ptr<Queue> currentQueue() {
    if (!t_holder.queue) {
        auto q = std::make_shared<Queue>();
        q->threadId = GetCurrentThreadId();
        auto& s = state();
        std::lock_guard lock(s.mutex);
        s.queues[q->threadId] = q;
        t_holder.queue = q;
    }
    return t_holder.queue;
}

std::uintptr_t newHandleLocked() {
    auto& s = state();
    const std::uintptr_t h = s.nextHandle;
    s.nextHandle += 4;
    return h;
}

std::shared_ptr<Window> findLocked(HWND hwnd) {
    auto& s = state();
    auto it = s.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == s.windows.end() ? nullptr : it->second;
}

void wakeLocked(Queue& q) { q.changed.notify_all(); }

void wakeFrontend() {
    if (Frontend* f = fe()) f->wake();
}

LRESULT callWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    if (!withWindow(hwnd, false, [&](Window& w) {
            proc = w.proc;
            ++w.queue->activity;
            return true;
        }))
        return 0;
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool handleSentMessages(Queue& q) {
    auto& s = state();
    bool any = false;
    for (;;) {
        std::shared_ptr<SentMessage> m;
        {
            std::lock_guard lock(s.mutex);
            if (q.sent.empty()) return any;
            m = q.sent.front();
            q.sent.pop_front();
        }
        any = true;
        const LRESULT result = callWindow(m->hwnd, m->msg, m->wParam, m->lParam);
        {
            std::lock_guard lock(s.mutex);
            m->result = result;
            m->done = true;
            if (m->sender) wakeLocked(*m->sender);
        }
        wakeFrontend();
    }
}

Next nextMessage(MSG* out, HWND filter, UINT first, UINT last, bool remove, bool wait,
                 const std::function<bool()>& stopLocked) {
    auto qp = currentQueue();
    Queue& q = *qp;
    auto& s = state();
    std::unique_lock lock(s.mutex);
    const bool threadOnly = filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
    if (filter != nullptr && !threadOnly) {
        auto w = findLocked(filter);
        if (!w || w->queue != qp) return invalidWindow(Next::Invalid);
    }
    for (;;) {
        if (!q.sent.empty()) {
            lock.unlock();
            handleSentMessages(q);
            lock.lock();
            continue;
        }
        if (stopLocked && stopLocked()) return Next::Stopped;
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            if (!messageMatches(*it, filter, first, last)) continue;
            *out = *it;
            if (remove) q.posted.erase(it);
            return Next::Message;
        }
        if (q.quit) {
            *out = MSG{};
            out->message = WM_QUIT;
            out->wParam = static_cast<WPARAM>(q.quitCode);
            fillTime(*out);
            if (remove) q.quit = false;
            return Next::Quit;
        }
        if (!q.input.empty()) {
            InputAction action = std::move(q.input.front());
            q.input.pop_front();
            ++q.activity;
            lock.unlock();
            if (IsWindow(action.hwnd)) action.action();
            lock.lock();
            continue;
        }
        if (takeTimerLocked(q, out, filter, first, last, remove)) return Next::Message;
        if (!wait) return Next::Empty;
        const auto deadline = deadlineForTimersLocked(q);
        waitLocked(
            lock, q,
            [&] {
                return !q.sent.empty() || q.quit || !q.input.empty() || (stopLocked && stopLocked()) ||
                       postedMatchLocked(q, filter, first, last) || timerDueLocked(q, filter, first, last);
            },
            deadline);
    }
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (vlt::ui::isRemoteHandle(hWnd)) {
        LRESULT result = 0;
        if (!remoteSend(hWnd, Msg, wParam, lParam, &result)) return invalidWindow(0);
        return result;
    }
    auto self = currentQueue();
    auto& s = state();
    std::unique_lock lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(0);
    if (w->queue == self) {
        lock.unlock();
        return callWindow(hWnd, Msg, wParam, lParam);
    }
    auto target = w->queue;
    if (!target->alive) return 0;
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hWnd;
    sent->msg = Msg;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = self;
    target->sent.push_back(sent);
    wakeLocked(*target);
    lock.unlock();
    wakeFrontend();
    lock.lock();
    while (!sent->done) {
        if (!self->sent.empty()) {
            lock.unlock();
            handleSentMessages(*self);
            lock.lock();
            continue;
        }
        waitLocked(
            lock, *self, [&] { return sent->done || !self->sent.empty(); },
            std::chrono::steady_clock::now() + std::chrono::seconds(1));
    }
    return sent->result;
}

namespace {

BOOL postTo(const std::shared_ptr<Queue>& q, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(vlt::base::clock().nowMs());
    q->posted.push_back(m);
    wakeLocked(*q);
    return TRUE;
}

}  // namespace

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (vlt::ui::isRemoteHandle(hWnd)) {
        if (!remotePost(hWnd, Msg, wParam, lParam)) return invalidWindow(FALSE);
        return TRUE;
    }
    std::shared_ptr<Queue> q;
    if (hWnd == nullptr) q = currentQueue();
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (hWnd != nullptr) {
            auto w = findLocked(hWnd);
            if (!w) return invalidWindow(FALSE);
            q = w->queue;
        }
        if (!q->alive) return invalidWindow(FALSE);
        postTo(q, hWnd, Msg, wParam, lParam);
    }
    wakeFrontend();
    return TRUE;
}

BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        auto it = s.queues.find(idThread);
        if (it == s.queues.end() || !it->second->alive) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return FALSE;
        }
        postTo(it->second, nullptr, Msg, wParam, lParam);
    }
    wakeFrontend();
    return TRUE;
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    switch (nextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true, nullptr)) {
        case Next::Message: return lpMsg->message == WM_QUIT ? FALSE : TRUE;  // a posted WM_QUIT too
        case Next::Quit: return FALSE;
        default: return -1;
    }
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto r = nextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0, false,
                               nullptr);
    return r == Next::Message || r == Next::Quit ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* lpMsg) {
    // Keyboard input reaches controls as whole actions (ui/input.h); nothing to translate.
    return lpMsg != nullptr && (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_KEYUP) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr) return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        {
            auto& s = state();
            std::lock_guard lock(s.mutex);
            // Only timer procedures this runtime delivered are called.
            bool known = false;
            const DWORD tid = GetCurrentThreadId();
            for (const auto& t : s.timers)
                if (t.proc == proc && t.id == lpMsg->wParam && t.hwnd == lpMsg->hwnd &&
                    (t.hwnd != nullptr || t.threadId == tid))
                    known = true;
            if (!known) return 0;
        }
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, static_cast<DWORD>(vlt::base::clock().nowMs()));
        return 0;
    }
    if (lpMsg->hwnd == nullptr) return 0;
    auto self = currentQueue();
    if (!withWindow(lpMsg->hwnd, false, [&](Window& w) {
            if (w.queue == self) return true;
            SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
            return false;
        }))
        return 0;
    return callWindow(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void PostQuitMessage(int nExitCode) {
    auto q = currentQueue();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    q->quit = true;
    q->quitCode = nExitCode;
    wakeLocked(*q);
}

namespace vlt::ui {

std::size_t pumpMessages() {
    std::size_t dispatched = 0;
    for (;;) {
        MSG m{};
        const auto r = detail::nextMessage(&m, nullptr, 0, 0, true, false, nullptr);
        if (r == detail::Next::Message) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
            ++dispatched;
            continue;
        }
        if (r == detail::Next::Quit) PostQuitMessage(static_cast<int>(m.wParam));
        return dispatched;
    }
}

void clockChanged() {
    auto& s = detail::state();
    {
        std::lock_guard lock(s.mutex);
        for (auto& [id, q] : s.queues) {
            (void)id;
            detail::wakeLocked(*q);
        }
    }
    detail::wakeFrontend();
}

}  // namespace vlt::ui
