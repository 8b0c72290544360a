// Menus as data, shown by the front end through TrackPopupMenu.
//
// Reproduced: MF_BYPOSITION and MF_BYCOMMAND (searching submenus too); MF_POPUP items own
// their submenu (DeleteMenu and DestroyMenu destroy it); GetMenuItemID gives -1 for a popup
// and 0 for a separator; GetMenuState of a popup carries its item count in the high byte;
// EnableMenuItem returns the previous MF_GRAYED/MF_DISABLED bits or -1; TrackPopupMenu sends
// WM_INITMENU and WM_INITMENUPOPUP first (not with TPM_NONOTIFY), accepts only an enabled
// command reachable through enabled popups, and posts WM_COMMAND to the owner unless
// TPM_RETURNCMD. Left out: bitmaps, owner-drawn items, menu bars attached to windows.
#include <algorithm>
#include <cstring>

#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

struct MenuEntry {
    UINT flags = 0;
    UINT_PTR id = 0;
    HMENU sub = nullptr;
    std::string text;
};

struct Menu {
    bool popup = false;
    std::vector<MenuEntry> items;
};

std::map<std::uintptr_t, Menu>& menus() {
    static auto* m = new std::map<std::uintptr_t, Menu>;
    return *m;
}

Menu* menuLocked(HMENU h) {
    auto it = menus().find(reinterpret_cast<std::uintptr_t>(h));
    return it == menus().end() ? nullptr : &it->second;
}

constexpr UINT kStoredFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR;

// The menu and index an item is at (BYCOMMAND searches submenus depth first).
bool locateLocked(HMENU h, UINT item, UINT flags, Menu** owner, std::size_t* index, int depth = 0) {
    Menu* m = menuLocked(h);
    if (m == nullptr || depth > 32) return false;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return false;
        *owner = m;
        *index = item;
        return true;
    }
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const MenuEntry& e = m->items[i];
        if (!(e.flags & (MF_POPUP | MF_SEPARATOR)) && e.id == item) {
            *owner = m;
            *index = i;
            return true;
        }
        if ((e.flags & MF_POPUP) && locateLocked(e.sub, item, flags, owner, index, depth + 1)) return true;
    }
    return false;
}

void destroyLocked(HMENU h, int depth = 0) {
    Menu* m = menuLocked(h);
    if (m == nullptr || depth > 32) return;
    std::vector<HMENU> subs;
    for (const auto& e : m->items)
        if (e.flags & MF_POPUP) subs.push_back(e.sub);
    menus().erase(reinterpret_cast<std::uintptr_t>(h));
    for (HMENU sub : subs) destroyLocked(sub, depth + 1);
}

bool makeEntry(UINT flags, UINT_PTR idOrSub, LPCSTR text, MenuEntry& e) {
    e.flags = flags & kStoredFlags;
    if (flags & MF_POPUP) {
        e.sub = reinterpret_cast<HMENU>(idOrSub);
        if (menuLocked(e.sub) == nullptr) return false;
    } else {
        e.id = idOrSub;
    }
    if (!(flags & MF_SEPARATOR)) e.text = text ? text : "";
    return true;
}

std::vector<MenuItem> describeLocked(HMENU h, int depth = 0) {
    std::vector<MenuItem> out;
    Menu* m = menuLocked(h);
    if (m == nullptr || depth > 32) return out;
    for (const auto& e : m->items) {
        MenuItem item;
        item.separator = (e.flags & MF_SEPARATOR) != 0;
        item.grayed = (e.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        item.checked = (e.flags & MF_CHECKED) != 0;
        item.text = e.text;
        if (e.flags & MF_POPUP) item.submenu = describeLocked(e.sub, depth + 1);
        else if (!item.separator) item.id = static_cast<UINT>(e.id);
        out.push_back(std::move(item));
    }
    return out;
}

bool choosableLocked(HMENU h, UINT id, int depth = 0) {
    Menu* m = menuLocked(h);
    if (m == nullptr || depth > 32) return false;
    for (const auto& e : m->items) {
        if (e.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) continue;
        if (e.flags & MF_POPUP) {
            if (choosableLocked(e.sub, id, depth + 1)) return true;
        } else if (e.id == id) {
            return true;
        }
    }
    return false;
}

HMENU create(bool popup) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto handle = newHandleLocked();
    menus()[handle] = Menu{popup, {}};
    return reinterpret_cast<HMENU>(handle);
}

}  // namespace
}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

HMENU CreateMenu() { return create(false); }
HMENU CreatePopupMenu() { return create(true); }

BOOL DestroyMenu(HMENU hMenu) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (menuLocked(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    destroyLocked(hMenu);
    return TRUE;
}

// Appending is inserting by position past the end.
BOOL AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
    return InsertMenuA(hMenu, static_cast<UINT>(-1), uFlags | MF_BYPOSITION, uIDNewItem, lpNewItem);
}

BOOL InsertMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* m = menuLocked(hMenu);
    MenuEntry e;
    if (m == nullptr || !makeEntry(uFlags, uIDNewItem, lpNewItem, e)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    Menu* target = m;
    std::size_t at = m->items.size();
    if (uFlags & MF_BYPOSITION) {
        if (uPosition < m->items.size()) at = uPosition;
    } else if (!locateLocked(hMenu, uPosition, uFlags, &target, &at)) {
        if (uPosition != static_cast<UINT>(-1)) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return FALSE;
        }
        target = m;
        at = m->items.size();
    }
    target->items.insert(target->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(e));
    return TRUE;
}

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (menuLocked(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!locateLocked(hMenu, uPosition, uFlags, &owner, &index)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    const MenuEntry e = owner->items[index];
    owner->items.erase(owner->items.begin() + static_cast<std::ptrdiff_t>(index));
    if (e.flags & MF_POPUP) destroyLocked(e.sub);
    return TRUE;
}

int GetMenuItemCount(HMENU hMenu) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* m = menuLocked(hMenu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(m->items.size());
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* m = menuLocked(hMenu);
    if (m == nullptr || nPos < 0 || static_cast<std::size_t>(nPos) >= m->items.size()) return static_cast<UINT>(-1);
    const MenuEntry& e = m->items[static_cast<std::size_t>(nPos)];
    if (e.flags & MF_POPUP) return static_cast<UINT>(-1);
    if (e.flags & MF_SEPARATOR) return 0;
    return static_cast<UINT>(e.id);
}

UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!locateLocked(hMenu, uId, uFlags, &owner, &index)) return static_cast<UINT>(-1);
    const MenuEntry& e = owner->items[index];
    if (e.flags & MF_POPUP) {
        Menu* sub = menuLocked(e.sub);
        const UINT count = sub ? static_cast<UINT>(sub->items.size()) : 0;
        return (count << 8) | (e.flags & 0xFF);
    }
    return e.flags;
}

int GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!locateLocked(hMenu, uIDItem, flags, &owner, &index)) return 0;
    const std::string& text = owner->items[index].text;
    if (lpString == nullptr) return static_cast<int>(text.size());
    if (cchMax <= 0) return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(cchMax) - 1);
    std::memcpy(lpString, text.data(), n);
    lpString[n] = '\0';
    return static_cast<int>(n);
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* m = menuLocked(hMenu);
    if (m == nullptr || nPos < 0 || static_cast<std::size_t>(nPos) >= m->items.size()) return nullptr;
    const MenuEntry& e = m->items[static_cast<std::size_t>(nPos)];
    return (e.flags & MF_POPUP) ? e.sub : nullptr;
}

UINT EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!locateLocked(hMenu, uIDEnableItem, uEnable, &owner, &index)) return static_cast<UINT>(-1);
    MenuEntry& e = owner->items[index];
    const UINT previous = e.flags & (MF_GRAYED | MF_DISABLED);
    e.flags = (e.flags & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*) {
    {
        auto self = currentQueue();
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (menuLocked(hMenu) == nullptr) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(FALSE);
        if (w->queue != self) {
            SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
            return FALSE;
        }
    }
    if (!(uFlags & TPM_NONOTIFY)) {
        SendMessageA(hWnd, WM_INITMENU, reinterpret_cast<WPARAM>(hMenu), 0);
        SendMessageA(hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, FALSE));
    }
    vlt::ui::PopupMenuRequest request;
    request.owner = hWnd;
    request.at = POINT{x, y};
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (menuLocked(hMenu) == nullptr) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        request.items = describeLocked(hMenu);
    }
    UINT chosen = 0;
    if (auto* f = fe()) chosen = f->popupMenu(request);
    if (chosen != 0) {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (!choosableLocked(hMenu, chosen)) chosen = 0;
    }
    if (uFlags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen != 0 && !(uFlags & TPM_NONOTIFY)) PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}
