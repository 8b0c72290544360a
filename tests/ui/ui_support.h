// Helpers for the window-runtime tests: a headless front end installed for one test, the
// test program's module handle, a recorder of the messages a window procedure received.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "frontends/headless/headless_frontend.h"
#include "ui/frontend.h"
#include "ui/loop.h"
#include "ui/resources.h"
#include "win32/commctrl.h"
#include "win32/winuser.h"

namespace vlt::uitest {

inline HINSTANCE testModule() {
    static int anchor;
    return ui::moduleOf(&anchor);
}

// Installs a headless front end for the lifetime of the object.
class HeadlessScope {
public:
    HeadlessScope() { ui::setFrontend(&frontend); }
    ~HeadlessScope() { ui::setFrontend(nullptr); }
    HeadlessScope(const HeadlessScope&) = delete;
    HeadlessScope& operator=(const HeadlessScope&) = delete;
    frontends::HeadlessFrontend frontend;
};

// Installs a manual clock for the lifetime of the object.
class ManualClockScope {
public:
    ManualClockScope() { base::setClock(&clock); }
    ~ManualClockScope() { base::setClock(nullptr); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;
    void advance(std::uint64_t ms) {
        clock.advanceMs(ms);
        ui::clockChanged();
    }
    base::ManualClock clock;
};

struct Received {
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT code = 0;  // WM_NOTIFY: the notification code; WM_COMMAND: HIWORD(wParam)
    int item = -1;  // WM_NOTIFY from a list view: iItem
    UINT oldState = 0;
    UINT newState = 0;
};

// What a window procedure received, filled from any thread.
class Recorder {
public:
    void add(const Received& r) {
        std::lock_guard lock(m_mutex);
        m_list.push_back(r);
    }
    std::vector<Received> all() const {
        std::lock_guard lock(m_mutex);
        return m_list;
    }
    std::vector<Received> of(UINT msg) const {
        std::lock_guard lock(m_mutex);
        std::vector<Received> out;
        for (const auto& r : m_list)
            if (r.msg == msg) out.push_back(r);
        return out;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_list.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Received> m_list;
};

inline Received received(UINT msg, WPARAM wParam, LPARAM lParam) {
    Received r{msg, wParam, lParam};
    if (msg == WM_COMMAND) r.code = HIWORD(wParam);
    if (msg == WM_NOTIFY && lParam != 0) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        r.code = hdr->code;
        if (hdr->code == LVN_ITEMCHANGED || hdr->code == NM_CLICK || hdr->code == NM_DBLCLK ||
            hdr->code == LVN_ITEMACTIVATE) {
            const auto* nm = reinterpret_cast<const NMLISTVIEW*>(lParam);
            r.item = nm->iItem;
            r.oldState = nm->uOldState;
            r.newState = nm->uNewState;
        }
    }
    return r;
}

// Registers a window class once per process.
inline void registerClassOnce(const char* name, WNDPROC proc, int wndExtra = 0) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = testModule();
    wc.lpszClassName = name;
    wc.cbWndExtra = wndExtra;
    RegisterClassA(&wc);  // fails harmlessly when it exists already
}

inline ui::ControlTemplate control(int id, ui::ControlKind kind, std::string text, DWORD style = 0) {
    ui::ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.text = std::move(text);
    c.style = style;
    c.cx = 50;
    c.cy = 14;
    return c;
}

}  // namespace vlt::uitest
