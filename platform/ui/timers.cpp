// SetTimer/KillTimer on the process clock (base/clock.h). A timer is not a queued message:
// the owning thread's message loop makes a WM_TIMER when one is due and nothing else is. Each
// elapsed period gives its own WM_TIMER (the tray program counts seconds by them), so a clock
// that jumped three periods ahead yields three.
#include <algorithm>

#include "base/clock.h"
#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

bool timerMatches(const Timer& t, const Queue& q, HWND filter, UINT first, UINT last) {
    if (t.threadId != q.threadId) return false;
    if (!(first == 0 && last == 0) && (WM_TIMER < first || WM_TIMER > last)) return false;
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) return t.hwnd == nullptr;
    if (t.hwnd == filter) return true;
    if (t.hwnd == nullptr) return false;
    for (auto w = findLocked(t.hwnd); w && (w->style & WS_CHILD);) {
        if (w->parent == filter) return true;
        w = findLocked(w->parent);
    }
    return false;
}

}  // namespace

bool timerDueLocked(const Queue& q, HWND filter, UINT first, UINT last) {
    const std::uint64_t now = base::clock().nowMs();
    for (const auto& t : state().timers)
        if (timerMatches(t, q, filter, first, last) && t.due <= now) return true;
    return false;
}

bool takeTimerLocked(Queue& q, MSG* out, HWND filter, UINT first, UINT last, bool remove) {
    const std::uint64_t now = base::clock().nowMs();
    Timer* best = nullptr;
    for (auto& t : state().timers)
        if (timerMatches(t, q, filter, first, last) && t.due <= now && (best == nullptr || t.due < best->due))
            best = &t;
    if (best == nullptr) return false;
    *out = MSG{};
    out->hwnd = best->hwnd;
    out->message = WM_TIMER;
    out->wParam = best->id;
    out->lParam = reinterpret_cast<LPARAM>(best->proc);
    out->time = static_cast<DWORD>(now);
    if (remove) best->due += best->period;
    return true;
}

std::uint64_t nextTimerDueLocked(const Queue& q) {
    std::uint64_t due = UINT64_MAX;
    for (const auto& t : state().timers)
        if (t.threadId == q.threadId) due = std::min(due, t.due);
    return due;
}

void removeTimersLocked(HWND hwnd) {
    std::erase_if(state().timers, [&](const Timer& t) { return t.hwnd == hwnd && hwnd != nullptr; });
}

void removeThreadTimersLocked(DWORD threadId) {
    std::erase_if(state().timers, [&](const Timer& t) { return t.hwnd == nullptr && t.threadId == threadId; });
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    auto self = currentQueue();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (hWnd != nullptr) {
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(0);
        if (w->queue != self) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    const UINT period = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const std::uint64_t now = vlt::base::clock().nowMs();
    if (hWnd != nullptr) {
        for (auto& t : s.timers) {
            if (t.hwnd == hWnd && t.id == nIDEvent) {  // an existing timer is replaced
                t.period = period;
                t.due = now + period;
                t.proc = lpTimerFunc;
                wakeLocked(*self);
                return nIDEvent == 0 ? 1 : nIDEvent;
            }
        }
        s.timers.push_back(Timer{hWnd, self->threadId, nIDEvent, period, now + period, lpTimerFunc});
        wakeLocked(*self);
        return nIDEvent == 0 ? 1 : nIDEvent;
    }
    // A thread timer: an id of ours unless the caller names one of its existing timers.
    for (auto& t : s.timers) {
        if (t.hwnd == nullptr && t.threadId == self->threadId && nIDEvent != 0 && t.id == nIDEvent) {
            t.period = period;
            t.due = now + period;
            t.proc = lpTimerFunc;
            wakeLocked(*self);
            return t.id;
        }
    }
    UINT_PTR id = 0;
    do {
        id = ++s.nextThreadTimer;
    } while (std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.hwnd == nullptr && t.id == id; }));
    s.timers.push_back(Timer{nullptr, self->threadId, id, period, now + period, lpTimerFunc});
    wakeLocked(*self);
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    auto self = currentQueue();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto before = s.timers.size();
    std::erase_if(s.timers, [&](const Timer& t) {
        return t.hwnd == hWnd && t.id == uIDEvent && (hWnd != nullptr || t.threadId == self->threadId);
    });
    if (s.timers.size() == before) {
        SetLastError(hWnd != nullptr && !findLocked(hWnd) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
