#include "ui/notify_icon.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/internal.h"
#include "ui/remote.h"

namespace vlt::ui {
namespace {

struct IconEntry {
    NotifyIconRequest state;  // action unused here
    std::uint64_t serial = 0;  // a removed and re-added icon is a new one
};

struct Icons {
    std::mutex mutex;
    std::vector<IconEntry> list;  // oldest first
    std::uint64_t nextSerial = 1;
};

Icons& icons() {
    static auto* i = new Icons;  // outlives every static user
    return *i;
}

std::vector<IconEntry>::iterator findLocked(Icons& all, HWND owner, UINT id) {
    return std::find_if(all.list.begin(), all.list.end(),
                        [&](const IconEntry& e) { return e.state.owner == owner && e.state.id == id; });
}

bool tellFrontend(NotifyIconRequest request, NotifyIconRequest::Action action) {
    request.action = action;
    Frontend* f = frontend();
    return f != nullptr && f->notifyIcon(request);
}

// Applies the record's flagged fields; false (with the last error) for an icon handle that
// names no icon.
bool apply(NotifyIconRequest& state, const NOTIFYICONDATAA& data) {
    if (data.uFlags & NIF_ICON) {
        IconInfo info;
        if (data.hIcon == nullptr) {
            info = IconInfo{};
        } else if (!describeIcon(data.hIcon, info)) {
            SetLastError(ERROR_INVALID_CURSOR_HANDLE);
            return false;
        }
        state.iconModule = info.module;
        state.iconId = info.id;
        state.icon = std::move(info.image);
    }
    if (data.uFlags & NIF_MESSAGE) state.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_TIP) {
        const auto n = static_cast<std::size_t>(std::find(data.szTip, data.szTip + 63, '\0') - data.szTip);
        state.tip.assign(data.szTip, n);
    }
    return true;
}

}  // namespace

bool notifyIconEvent(HWND owner, UINT id, UINT mouseMessage) {
    UINT callback = 0;
    {
        auto& all = icons();
        std::lock_guard lock(all.mutex);
        auto it = findLocked(all, owner, id);
        if (it == all.list.end() || it->state.callbackMessage == 0) return false;
        callback = it->state.callbackMessage;
    }
    return PostMessageA(owner, callback, id, static_cast<LPARAM>(mouseMessage)) != FALSE;
}

std::vector<UINT> mouseMessagesFor(IconClick click) {
    switch (click) {
        case IconClick::Left: return {WM_LBUTTONDOWN, WM_LBUTTONUP};
        case IconClick::Right: return {WM_RBUTTONDOWN, WM_RBUTTONUP};
        case IconClick::Middle: return {WM_MBUTTONDOWN, WM_MBUTTONUP};
        case IconClick::Double: return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    }
    return {};
}

std::vector<NotifyIconRequest> notifyIcons() {
    auto& all = icons();
    std::lock_guard lock(all.mutex);
    std::vector<NotifyIconRequest> out;
    for (const auto& e : all.list) out.push_back(e.state);
    return out;
}

namespace detail {

void dropNotifyIcons(HWND owner) {
    std::vector<NotifyIconRequest> gone;
    {
        auto& all = icons();
        std::lock_guard lock(all.mutex);
        for (auto it = all.list.begin(); it != all.list.end();) {
            if (it->state.owner == owner) {
                gone.push_back(it->state);
                it = all.list.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& request : gone) tellFrontend(std::move(request), NotifyIconRequest::Action::Delete);
}

}  // namespace detail
}  // namespace vlt::ui

using namespace vlt::ui;

BOOL Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData) {
    if (lpData == nullptr || (lpData->cbSize != NOTIFYICONDATAA_V1_SIZE && lpData->cbSize != sizeof(NOTIFYICONDATAA)) ||
        dwMessage > NIM_DELETE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const HWND owner = lpData->hWnd;
    if (isRemoteHandle(owner) || !IsWindow(owner) || owner == GetDesktopWindow()) return detail::invalidWindow(FALSE);
    auto& all = icons();
    NotifyIconRequest request;
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(all.mutex);
        auto it = findLocked(all, owner, lpData->uID);
        const bool exists = it != all.list.end();
        if (exists == (dwMessage == NIM_ADD)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (dwMessage == NIM_DELETE) {
            request = it->state;
            all.list.erase(it);
        } else if (dwMessage == NIM_ADD) {
            request.owner = owner;
            request.id = lpData->uID;
            if (!apply(request, *lpData)) return FALSE;
            // Listed before the front end is asked: it may report a click while it shows it.
            serial = all.nextSerial++;
            all.list.push_back(IconEntry{request, serial});
        } else {
            request = it->state;
            if (!apply(request, *lpData)) return FALSE;
            it->state = request;
        }
    }
    if (dwMessage == NIM_DELETE) {
        tellFrontend(std::move(request), NotifyIconRequest::Action::Delete);
        return TRUE;
    }
    const auto action = dwMessage == NIM_ADD ? NotifyIconRequest::Action::Add : NotifyIconRequest::Action::Modify;
    if (tellFrontend(std::move(request), action)) return TRUE;
    if (dwMessage == NIM_ADD) {
        std::lock_guard lock(all.mutex);
        std::erase_if(all.list, [&](const IconEntry& e) { return e.serial == serial; });
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
