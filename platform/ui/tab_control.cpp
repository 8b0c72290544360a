// The tab control (SysTabControl32), as a property sheet uses it: a row of captions, one of
// them current.
//
// Reproduced: TCM_INSERTITEMA (at the index given, or at the end beyond it; the current tab
// keeps its item), TCM_GETITEMCOUNT, TCM_GETITEMA/TCM_SETITEMA (text and lParam),
// TCM_DELETEITEM, TCM_DELETEALLITEMS, TCM_GETCURSEL, TCM_SETCURSEL (no notification, returns
// the previous tab, -1 for an index out of range); a user's choice sends TCN_SELCHANGING
// (non-zero refuses) and then TCN_SELCHANGE to the parent. The first tab inserted becomes
// current. Left out: images, tab states, several rows.
#include <algorithm>
#include <cstring>

#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

LRESULT notifyParent(HWND tab, UINT code) {
    HWND parent = nullptr;
    int id = 0;
    if (!controlParent(tab, parent, id)) return 0;
    NMHDR hdr{tab, static_cast<UINT_PTR>(id), code};
    return SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&hdr));
}

}  // namespace

LRESULT tabControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int index = static_cast<int>(wParam);
    bool itemsChanged = false;
    LRESULT result = 0;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hwnd);
        if (!w) return 0;
        const int count = static_cast<int>(w->items.size());
        const bool inRange = index >= 0 && index < count;
        switch (msg) {
            case TCM_GETITEMCOUNT: return count;
            case TCM_GETCURSEL: return w->selection;
            case TCM_SETCURSEL:
                if (!inRange) return -1;
                result = w->selection;
                w->selection = index;
                itemsChanged = result != index;
                break;
            case TCM_INSERTITEMA: {
                const auto* item = reinterpret_cast<const TCITEMA*>(lParam);
                if (item == nullptr || index < 0) return -1;
                Item it;
                if ((item->mask & TCIF_TEXT) && item->pszText != nullptr) it.text = item->pszText;
                if (item->mask & TCIF_PARAM) it.param = item->lParam;
                const int at = std::min(index, count);
                w->items.insert(w->items.begin() + at, std::move(it));
                if (w->selection >= at) ++w->selection;
                if (w->selection < 0) w->selection = 0;
                itemsChanged = true;
                result = at;
                break;
            }
            case TCM_GETITEMA:
            case TCM_SETITEMA: {
                auto* item = reinterpret_cast<TCITEMA*>(lParam);
                if (item == nullptr || !inRange) return FALSE;
                Item& it = w->items[static_cast<std::size_t>(index)];
                if (msg == TCM_GETITEMA) {
                    if ((item->mask & TCIF_TEXT) && item->pszText != nullptr && item->cchTextMax > 0) {
                        const std::size_t n = std::min<std::size_t>(it.text.size(), static_cast<std::size_t>(item->cchTextMax) - 1);
                        std::memcpy(item->pszText, it.text.data(), n);
                        item->pszText[n] = '\0';
                    }
                    if (item->mask & TCIF_PARAM) item->lParam = it.param;
                    return TRUE;
                }
                if ((item->mask & TCIF_TEXT) && item->pszText != nullptr) it.text = item->pszText;
                if (item->mask & TCIF_PARAM) it.param = item->lParam;
                itemsChanged = true;
                result = TRUE;
                break;
            }
            case TCM_DELETEITEM:
                if (!inRange) return FALSE;
                w->items.erase(w->items.begin() + index);
                if (w->selection == index) w->selection = -1;
                else if (w->selection > index) --w->selection;
                itemsChanged = true;
                result = TRUE;
                break;
            case TCM_DELETEALLITEMS:
                w->items.clear();
                w->selection = -1;
                itemsChanged = true;
                result = TRUE;
                break;
            default: return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }
    if (itemsChanged) changed(hwnd, Change::Items);
    return result;
}

bool tabSelectNow(HWND tab, int index) {
    enum { Refused, Current, Other };
    const auto target = withWindow<IfGone::Quiet>(tab, Refused, [&](Window& w) {
        if (w.control != ControlKind::Tab || (w.style & WS_DISABLED)) return Refused;
        if (index < 0 || index >= static_cast<int>(w.items.size())) return Refused;
        return index == w.selection ? Current : Other;
    });
    if (target != Other) return target == Current;  // clicking the current tab changes nothing
    SetFocus(tab);
    if (notifyParent(tab, TCN_SELCHANGING) != 0) return true;  // the parent kept its page
    SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    notifyParent(tab, TCN_SELCHANGE);
    return true;
}

}  // namespace vlt::ui::detail
