// The built-in control classes: Static, Button, Edit, ComboBox, SysListView32,
// msctls_progress32 and SysAnimate32. Each keeps its state in the window record, answers the
// messages the suite sends and notifies its parent as Windows does.
//
// Reproduced: BN_CLICKED in WM_COMMAND(MAKEWPARAM(id, code), control); EN_CHANGE after
// WM_SETTEXT on a single-line edit; the progress bar's 16-bit PBM_SETRANGE halves, positions
// kept inside the range, and PBM_STEPIT wrapping past the maximum back from the minimum (the
// remainder carries over); list views sorted on insertion for LVS_SORTASCENDING/DESCENDING
// (ASCII case-insensitive), LVS_SINGLESEL, one focused item, LVN_ITEMCHANGED for every state
// change, and their image lists destroyed with them unless LVS_SHAREIMAGELISTS. Left out:
// callback texts (LPSTR_TEXTCALLBACK reads as empty), sub-items, LVN_INSERTITEM/DELETEITEM,
// AVI files named by path.
#include <algorithm>
#include <cstring>

#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

int compareNoCase(const std::string& a, const std::string& b) {
    const std::string la = lower(a);
    const std::string lb = lower(b);
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

std::size_t copyText(const std::string& text, char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(capacity) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

// A control's procedure runs for a window that exists; one destroyed under it is no error
// of the caller's.
constexpr auto Quiet = IfGone::Quiet;

bool parentEnabledLocked(const Window& w) {
    for (auto p = findLocked(w.parent); p; p = (p->style & WS_CHILD) ? findLocked(p->parent) : nullptr)
        if (p->style & WS_DISABLED) return false;
    return true;
}

// ---- Static ---------------------------------------------------------------------------------

// Painting a static is asking its parent for its colours (WM_CTLCOLORSTATIC).
LRESULT staticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETTEXT: {
            const LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
            if (r) refreshStaticColors(hwnd);
            return r;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
            refreshStaticColors(hwnd);
            return 0;
        }
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- Button ---------------------------------------------------------------------------------

LRESULT buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case BM_GETCHECK:
        case BM_GETSTATE: return withWindow<Quiet>(hwnd, LRESULT{0}, [](Window& w) { return LRESULT{w.check}; });
        case BM_SETCHECK: {
            const bool diff = withWindow<Quiet>(hwnd, false, [&](Window& w) {
                const int value = static_cast<int>(wParam) & 3;
                const bool d = w.check != value;
                w.check = value;
                return d;
            });
            if (diff) changed(hwnd, Change::Check);
            return 0;
        }
        case BM_CLICK: clickNow(hwnd); return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- Edit -----------------------------------------------------------------------------------

LRESULT editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETTEXT: {
            const LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
            const bool multiline =
                withWindow<Quiet>(hwnd, true, [](Window& w) { return (w.style & ES_MULTILINE) != 0; });
            if (r && !multiline) notifyParentCommand(hwnd, EN_CHANGE);
            return r;
        }
        case EM_LIMITTEXT:
            withWindow<Quiet>(hwnd, 0, [&](Window& w) {
                w.textLimit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE));
                return 0;
            });
            return 0;
        case EM_GETLIMITTEXT:
            return withWindow<Quiet>(hwnd, LRESULT{0}, [](Window& w) { return LRESULT{w.textLimit}; });
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- Progress bar ---------------------------------------------------------------------------

void coerce(Window& w) {
    if (w.position < w.rangeMin) w.position = w.rangeMin;
    if (w.position > w.rangeMax) w.position = w.rangeMax;
}

LRESULT packedRange(const Window& w) {
    return static_cast<LRESULT>(static_cast<DWORD>(MAKELPARAM(w.rangeMin, w.rangeMax)));
}

LRESULT progressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    bool diff = false;
    LRESULT result = 0;
    auto run = [&](auto f) {
        withWindow<Quiet>(hwnd, 0, [&](Window& w) {
            const int oldMin = w.rangeMin, oldMax = w.rangeMax, oldPos = w.position;
            f(w);
            diff = oldMin != w.rangeMin || oldMax != w.rangeMax || oldPos != w.position;
            return 0;
        });
    };
    switch (msg) {
        case PBM_SETRANGE:
        case PBM_SETRANGE32:
            run([&](Window& w) {
                result = packedRange(w);
                if (msg == PBM_SETRANGE) {
                    w.rangeMin = LOWORD(lParam);
                    w.rangeMax = HIWORD(lParam);
                } else {
                    w.rangeMin = static_cast<int>(wParam);
                    w.rangeMax = static_cast<int>(lParam);
                }
                coerce(w);
            });
            break;
        case PBM_GETRANGE:
            run([&](Window& w) {
                if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) *range = PBRANGE{w.rangeMin, w.rangeMax};
                result = wParam ? w.rangeMin : w.rangeMax;
            });
            return result;
        case PBM_SETPOS:
            run([&](Window& w) {
                result = w.position;
                w.position = static_cast<int>(wParam);
                coerce(w);
            });
            break;
        case PBM_DELTAPOS:
            run([&](Window& w) {
                result = w.position;
                w.position += static_cast<int>(wParam);
                coerce(w);
            });
            break;
        case PBM_SETSTEP:
            run([&](Window& w) {
                result = w.step;
                w.step = static_cast<int>(wParam);
            });
            return result;
        case PBM_GETSTEP: run([&](Window& w) { result = w.step; }); return result;
        case PBM_STEPIT:
            run([&](Window& w) {
                result = w.position;
                ++w.steps;
                if (w.rangeMin == w.rangeMax) return;
                const long long span = static_cast<long long>(w.rangeMax) - w.rangeMin;
                long long pos = static_cast<long long>(w.position) + w.step;
                if (pos > w.rangeMax) pos = (pos - w.rangeMin) % span + w.rangeMin;
                if (pos < w.rangeMin) pos = (pos - w.rangeMin) % span + w.rangeMax;
                w.position = static_cast<int>(pos);
            });
            // A step is news even when the bar stands still (range of one value).
            changed(hwnd, Change::Progress);
            return result;
        case PBM_GETPOS: run([&](Window& w) { result = w.position; }); return result;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (diff) changed(hwnd, Change::Progress);
    return result;
}

// ---- Animation ------------------------------------------------------------------------------

LRESULT animationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case ACM_OPENA: {
            int clip = 0;
            bool autoplay = false;
            HINSTANCE module = nullptr;
            if (!withWindow<Quiet>(hwnd, false, [&](Window& w) {
                    module = wParam ? reinterpret_cast<HINSTANCE>(wParam) : w.module;
                    autoplay = (w.style & ACS_AUTOPLAY) != 0;
                    return true;
                }))
                return FALSE;
            const auto* name = reinterpret_cast<LPCSTR>(lParam);
            if (name != nullptr) {
                // Clips named by file path are not supported.
                if (!IS_INTRESOURCE(name)) return FALSE;
                clip = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
                if (findAnimation(module, clip) == nullptr) clip = 0;
            }
            withWindow<Quiet>(hwnd, 0, [&](Window& w) {
                w.animationId = clip;
                w.playing = clip != 0 && autoplay;
                return 0;
            });
            changed(hwnd, Change::Animation);
            return name == nullptr || clip != 0 ? TRUE : FALSE;
        }
        case ACM_PLAY:
        case ACM_STOP: {
            const bool ok = withWindow<Quiet>(hwnd, false, [&](Window& w) {
                if (w.animationId == 0) return false;
                w.playing = msg == ACM_PLAY;
                return true;
            });
            if (ok) changed(hwnd, Change::Animation);
            return ok ? TRUE : FALSE;
        }
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- List view ------------------------------------------------------------------------------

struct StateChange {
    int item;
    UINT oldState;
    UINT newState;
    LPARAM param;
};

void sendListNotify(HWND list, UINT code, int item, UINT newState, UINT oldState, UINT changedMask, LPARAM param) {
    HWND parent = nullptr;
    int id = 0;
    withWindow<Quiet>(list, 0, [&](Window& w) {
        parent = w.parent;
        id = w.id;
        return 0;
    });
    if (parent == nullptr) return;
    NMITEMACTIVATE nm{};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = static_cast<UINT_PTR>(id);
    nm.hdr.code = code;
    nm.iItem = item;
    nm.iSubItem = 0;
    nm.uNewState = newState;
    nm.uOldState = oldState;
    nm.uChanged = changedMask;
    nm.lParam = param;
    SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&nm));
}

// Sets (state & mask) on one item (or every item for -1) and keeps the single selection and
// the single focus; returns the changes in the order Windows reports them.
std::vector<StateChange> setItemStateLocked(Window& w, int index, UINT newBits, UINT mask) {
    std::vector<StateChange> changes;
    const int count = static_cast<int>(w.items.size());
    if (index >= count || index < -1) return changes;
    mask &= LVIS_SELECTED | LVIS_FOCUSED;
    const bool single = (w.style & LVS_SINGLESEL) != 0;
    auto apply = [&](int i, UINT value, UINT m) {
        Item& it = w.items[static_cast<std::size_t>(i)];
        const UINT old = it.state;
        it.state = (it.state & ~m) | (value & m);
        if (it.state != old) changes.push_back(StateChange{i, old, it.state, it.param});
    };
    if (index == -1) {
        UINT m = mask;
        if (single && (newBits & LVIS_SELECTED)) m &= ~static_cast<UINT>(LVIS_SELECTED);
        m &= ~static_cast<UINT>(LVIS_FOCUSED & newBits);  // focus goes to one item only
        for (int i = 0; i < count; ++i) apply(i, newBits, m);
        return changes;
    }
    UINT others = 0;
    if (single && (mask & newBits & LVIS_SELECTED)) others |= LVIS_SELECTED;
    if (mask & newBits & LVIS_FOCUSED) others |= LVIS_FOCUSED;
    if (others)
        for (int i = 0; i < count; ++i)
            if (i != index) apply(i, 0, others);
    apply(index, newBits, mask);
    return changes;
}

void reportChanges(HWND list, const std::vector<StateChange>& changes) {
    for (const auto& c : changes)
        sendListNotify(list, LVN_ITEMCHANGED, c.item, c.newState, c.oldState, LVIF_STATE, c.param);
    if (!changes.empty()) changed(list, Change::Items);
}

LRESULT listViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case LVM_GETITEMCOUNT:
            return withWindow<Quiet>(hwnd, LRESULT{0}, [](Window& w) { return static_cast<LRESULT>(w.items.size()); });
        case LVM_INSERTITEMA: {
            const auto* lv = reinterpret_cast<const LVITEMA*>(lParam);
            if (lv == nullptr) return -1;
            const LRESULT index = withWindow<Quiet>(hwnd, LRESULT{-1}, [&](Window& w) -> LRESULT {
                Item item;
                if ((lv->mask & LVIF_TEXT) && lv->pszText != nullptr && lv->pszText != LPSTR_TEXTCALLBACKA)
                    item.text = lv->pszText;
                if (lv->mask & LVIF_IMAGE) item.image = lv->iImage;
                if (lv->mask & LVIF_PARAM) item.param = lv->lParam;
                const UINT bits = (lv->mask & LVIF_STATE) ? (lv->state & lv->stateMask) : 0;
                std::size_t at = w.items.size();
                if (w.style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
                    const bool ascending = (w.style & LVS_SORTASCENDING) != 0;
                    at = 0;
                    while (at < w.items.size()) {
                        const int c = compareNoCase(w.items[at].text, item.text);
                        if (ascending ? c > 0 : c < 0) break;
                        ++at;
                    }
                } else {
                    if (lv->iItem < 0) return -1;
                    at = std::min<std::size_t>(static_cast<std::size_t>(lv->iItem), w.items.size());
                }
                w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at), item);
                if (bits) setItemStateLocked(w, static_cast<int>(at), bits, LVIS_SELECTED | LVIS_FOCUSED);
                return static_cast<LRESULT>(at);
            });
            if (index >= 0) changed(hwnd, Change::Items);
            return index;
        }
        case LVM_DELETEITEM: {
            const bool ok = withWindow<Quiet>(hwnd, false, [&](Window& w) {
                const auto i = static_cast<std::size_t>(wParam);
                if (static_cast<int>(wParam) < 0 || i >= w.items.size()) return false;
                w.items.erase(w.items.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            });
            if (ok) changed(hwnd, Change::Items);
            return ok ? TRUE : FALSE;
        }
        case LVM_DELETEALLITEMS:
            withWindow<Quiet>(hwnd, 0, [](Window& w) {
                w.items.clear();
                return 0;
            });
            changed(hwnd, Change::Items);
            return TRUE;
        case LVM_GETITEMA: {
            auto* lv = reinterpret_cast<LVITEMA*>(lParam);
            if (lv == nullptr) return FALSE;
            return withWindow<Quiet>(hwnd, LRESULT{FALSE}, [&](Window& w) -> LRESULT {
                if (lv->iItem < 0 || static_cast<std::size_t>(lv->iItem) >= w.items.size()) return FALSE;
                const Item& it = w.items[static_cast<std::size_t>(lv->iItem)];
                if (lv->mask & LVIF_TEXT)
                    copyText(lv->iSubItem == 0 ? it.text : std::string(), lv->pszText, lv->cchTextMax);
                if (lv->mask & LVIF_IMAGE) lv->iImage = it.image;
                if (lv->mask & LVIF_PARAM) lv->lParam = it.param;
                if (lv->mask & LVIF_STATE) lv->state = it.state & lv->stateMask;
                return TRUE;
            });
        }
        case LVM_GETNEXTITEM:
            return withWindow<Quiet>(hwnd, LRESULT{-1}, [&](Window& w) -> LRESULT {
                const int start = static_cast<int>(wParam);
                const UINT flags = LOWORD(lParam);
                if (flags & ~static_cast<UINT>(LVNI_SELECTED | LVNI_FOCUSED)) return -1;  // directions: not kept
                const int count = static_cast<int>(w.items.size());
                for (int i = std::max(start + 1, 0); i < count; ++i) {
                    const UINT st = w.items[static_cast<std::size_t>(i)].state;
                    if ((flags & LVNI_SELECTED) && !(st & LVIS_SELECTED)) continue;
                    if ((flags & LVNI_FOCUSED) && !(st & LVIS_FOCUSED)) continue;
                    return i;
                }
                return -1;
            });
        case LVM_SETITEMSTATE: {
            const auto* lv = reinterpret_cast<const LVITEMA*>(lParam);
            if (lv == nullptr) return FALSE;
            bool ok = true;
            const auto changes = withWindow<Quiet>(hwnd, std::vector<StateChange>{}, [&](Window& w) {
                const int index = static_cast<int>(wParam);
                if (index < -1 || index >= static_cast<int>(w.items.size())) {
                    ok = false;
                    return std::vector<StateChange>{};
                }
                return setItemStateLocked(w, index, lv->state, lv->stateMask);
            });
            reportChanges(hwnd, changes);
            return ok ? TRUE : FALSE;
        }
        case LVM_GETITEMSTATE:
            return withWindow<Quiet>(hwnd, LRESULT{0}, [&](Window& w) -> LRESULT {
                const auto i = static_cast<std::size_t>(wParam);
                if (static_cast<int>(wParam) < 0 || i >= w.items.size()) return 0;
                return static_cast<LRESULT>(w.items[i].state & static_cast<UINT>(lParam));
            });
        case LVM_GETITEMTEXTA: {
            auto* lv = reinterpret_cast<LVITEMA*>(lParam);
            if (lv == nullptr) return 0;
            return withWindow<Quiet>(hwnd, LRESULT{0}, [&](Window& w) -> LRESULT {
                const auto i = static_cast<std::size_t>(wParam);
                if (static_cast<int>(wParam) < 0 || i >= w.items.size()) {
                    if (lv->pszText && lv->cchTextMax > 0) lv->pszText[0] = '\0';
                    return 0;
                }
                return static_cast<LRESULT>(
                    copyText(lv->iSubItem == 0 ? w.items[i].text : std::string(), lv->pszText, lv->cchTextMax));
            });
        }
        case LVM_SETITEMTEXTA: {
            const auto* lv = reinterpret_cast<const LVITEMA*>(lParam);
            if (lv == nullptr) return FALSE;
            const bool ok = withWindow<Quiet>(hwnd, false, [&](Window& w) {
                const auto i = static_cast<std::size_t>(wParam);
                if (static_cast<int>(wParam) < 0 || i >= w.items.size() || lv->iSubItem != 0) return false;
                w.items[i].text = lv->pszText && lv->pszText != LPSTR_TEXTCALLBACKA ? lv->pszText : "";
                return true;
            });
            if (ok) changed(hwnd, Change::Items);
            return ok ? TRUE : FALSE;
        }
        case LVM_GETSELECTEDCOUNT:
            return withWindow<Quiet>(hwnd, LRESULT{0}, [](Window& w) {
                return static_cast<LRESULT>(std::count_if(w.items.begin(), w.items.end(),
                                                          [](const Item& it) { return (it.state & LVIS_SELECTED) != 0; }));
            });
        case LVM_SETIMAGELIST:
        case LVM_GETIMAGELIST:
            return withWindow<Quiet>(hwnd, LRESULT{0}, [&](Window& w) -> LRESULT {
                if (wParam > LVSIL_SMALL) return 0;
                const auto previous = reinterpret_cast<LRESULT>(w.imageLists[wParam]);
                if (msg == LVM_SETIMAGELIST) w.imageLists[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
                return previous;
            });
        case WM_DESTROY: {
            HIMAGELIST lists[2]{};
            withWindow<Quiet>(hwnd, 0, [&](Window& w) {
                if (!(w.style & LVS_SHAREIMAGELISTS)) {
                    lists[0] = w.imageLists[0];
                    lists[1] = w.imageLists[1];
                }
                w.imageLists[0] = w.imageLists[1] = nullptr;
                return 0;
            });
            // Handles are checked, so a list given to two views is destroyed once.
            for (HIMAGELIST l : lists)
                if (l) ImageList_Destroy(l);
            return 0;
        }
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- Combo box ------------------------------------------------------------------------------

LRESULT comboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto* text = reinterpret_cast<const char*>(lParam);
    bool itemsChanged = false;
    bool textChanged = false;
    bool handled = true;
    auto select = [&](Window& w, int index) {
        const std::string before = w.text;
        w.selection = index;
        if (index >= 0 && static_cast<std::size_t>(index) < w.items.size()) w.text = w.items[static_cast<std::size_t>(index)].text;
        else w.text.clear();
        textChanged = before != w.text;
        itemsChanged = true;
    };
    const LRESULT result = withWindow<Quiet>(hwnd, LRESULT{CB_ERR}, [&](Window& w) -> LRESULT {
        const int count = static_cast<int>(w.items.size());
        const int index = static_cast<int>(wParam);
        const bool inRange = index >= 0 && index < count;
        switch (msg) {
            case CB_ADDSTRING:
            case CB_INSERTSTRING: {
                Item item;
                item.text = text ? text : "";
                std::size_t at = w.items.size();
                if (msg == CB_ADDSTRING && (w.style & CBS_SORT)) {
                    at = 0;
                    while (at < w.items.size() && compareNoCase(w.items[at].text, item.text) <= 0) ++at;
                } else if (msg == CB_INSERTSTRING && index != -1) {
                    if (index < 0 || index > count) return CB_ERR;
                    at = static_cast<std::size_t>(index);
                }
                w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at), item);
                if (w.selection >= static_cast<int>(at)) ++w.selection;
                itemsChanged = true;
                return static_cast<LRESULT>(at);
            }
            case CB_DELETESTRING:
                if (!inRange) return CB_ERR;
                w.items.erase(w.items.begin() + index);
                if (w.selection == index) select(w, -1);
                else if (w.selection > index) --w.selection;
                itemsChanged = true;
                return count - 1;
            case CB_GETCOUNT: return count;
            case CB_GETCURSEL: return w.selection;
            case CB_SETCURSEL: select(w, inRange ? index : -1); return inRange ? index : CB_ERR;
            case CB_GETLBTEXT:
                if (!inRange || lParam == 0) return CB_ERR;
                std::memcpy(reinterpret_cast<char*>(lParam), w.items[static_cast<std::size_t>(index)].text.c_str(),
                            w.items[static_cast<std::size_t>(index)].text.size() + 1);
                return static_cast<LRESULT>(w.items[static_cast<std::size_t>(index)].text.size());
            case CB_GETLBTEXTLEN:
                if (!inRange) return CB_ERR;
                return static_cast<LRESULT>(w.items[static_cast<std::size_t>(index)].text.size());
            case CB_RESETCONTENT:
                w.items.clear();
                select(w, -1);
                return TRUE;
            case CB_FINDSTRINGEXACT:
            case CB_SELECTSTRING: {
                if (text == nullptr || count == 0) return CB_ERR;
                const std::string wanted = lower(text);
                const int start = index < -1 || index >= count ? -1 : index;
                for (int k = 1; k <= count; ++k) {
                    const int i = (start + k) % count;
                    const std::string candidate = lower(w.items[static_cast<std::size_t>(i)].text);
                    const bool hit = msg == CB_FINDSTRINGEXACT ? candidate == wanted : candidate.rfind(wanted, 0) == 0;
                    if (hit) {
                        if (msg == CB_SELECTSTRING) select(w, i);
                        return i;
                    }
                }
                return CB_ERR;
            }
            case CB_GETITEMDATA:
                if (!inRange) return CB_ERR;
                return w.items[static_cast<std::size_t>(index)].param;
            case CB_SETITEMDATA:
                if (!inRange) return CB_ERR;
                w.items[static_cast<std::size_t>(index)].param = lParam;
                return TRUE;
            default: handled = false; return 0;
        }
    });
    if (!handled) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (itemsChanged) changed(hwnd, Change::Items);
    if (textChanged) changed(hwnd, Change::Text);
    return result;
}

}  // namespace

WNDPROC builtinClassProc(const std::string& name) {
    if (name == "static") return staticProc;
    if (name == "button") return buttonProc;
    if (name == "edit") return editProc;
    if (name == "combobox") return comboProc;
    if (name == "syslistview32") return listViewProc;
    if (name == "msctls_progress32") return progressProc;
    if (name == "sysanimate32") return animationProc;
    if (name == "systabcontrol32") return tabControlProc;
    if (name == "tooltips_class32") return tooltipProc;
    return nullptr;
}

ControlKind controlKindFor(const std::string& name, DWORD style) {
    if (name == "static") {
        if ((style & 0x1F) == SS_ICON) return ControlKind::Icon;
        if ((style & 0x1F) == SS_ETCHEDHORZ) return ControlKind::Separator;
        return ControlKind::Static;
    }
    if (name == "button") {
        switch (style & BS_TYPEMASK) {
            case BS_GROUPBOX: return ControlKind::GroupBox;
            case BS_DEFPUSHBUTTON: return ControlKind::DefPushButton;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case 5:  // BS_3STATE
            case 6:  // BS_AUTO3STATE
                return ControlKind::CheckBox;
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON: return ControlKind::RadioButton;
            default: return ControlKind::PushButton;
        }
    }
    if (name == "edit") return ControlKind::Edit;
    if (name == "combobox") return ControlKind::ComboBox;
    if (name == "syslistview32") return ControlKind::ListView;
    if (name == "msctls_progress32") return ControlKind::ProgressBar;
    if (name == "systabcontrol32") return ControlKind::Tab;
    if (name == "sysanimate32") return ControlKind::Animation;
    return ControlKind::Static;  // tooltips: never shown as controls
}

bool controlParent(HWND control, HWND& parent, int& id) {
    return withWindow<Quiet>(control, false, [&](Window& w) {
        if (!(w.style & WS_CHILD)) return false;
        parent = w.parent;
        id = w.id;
        return true;
    });
}

void notifyParentCommand(HWND control, WORD code) {
    HWND parent = nullptr;
    int id = 0;
    if (controlParent(control, parent, id))
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

// The other automatic radio buttons of the button's group (WS_GROUP starts a group) lose
// their check; the ones that had it.
std::vector<HWND> uncheckGroupLocked(const Window& button) {
    std::vector<HWND> uncheck;
    auto parent = findLocked(button.parent);
    if (!parent) return uncheck;
    const auto& sib = parent->children;
    auto first = std::find(sib.begin(), sib.end(), button.hwnd);
    while (first != sib.begin()) {
        auto c = findLocked(*first);
        if (c && (c->style & WS_GROUP)) break;
        --first;
    }
    for (auto it = first; it != sib.end(); ++it) {
        auto c = findLocked(*it);
        if (!c) continue;
        if (it != first && (c->style & WS_GROUP)) break;
        if (*it != button.hwnd && c->control == ControlKind::RadioButton &&
            (c->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON && c->check != BST_UNCHECKED) {
            c->check = BST_UNCHECKED;
            uncheck.push_back(*it);
        }
    }
    return uncheck;
}

bool clickNow(HWND control) {
    ControlKind kind{};
    DWORD type = 0;
    std::vector<HWND> uncheck;
    bool check = false;
    if (!withWindow<Quiet>(control, false, [&](Window& w) {
            if (w.kind != WindowKind::Control || (w.style & WS_DISABLED) || !parentEnabledLocked(w)) return false;
            kind = w.control;
            type = w.style & BS_TYPEMASK;
            switch (kind) {
                case ControlKind::Static:
                    // Only SS_NOTIFY statics hear clicks; they tell their parent and keep no focus.
                    if (!(w.style & SS_NOTIFY)) return false;
                    break;
                case ControlKind::PushButton:
                case ControlKind::DefPushButton: break;
                case ControlKind::CheckBox:
                    if (type == BS_AUTOCHECKBOX || type == 6) {
                        w.check = w.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
                        check = true;
                    }
                    break;
                case ControlKind::RadioButton:
                    if (type == BS_AUTORADIOBUTTON) {
                        check = w.check != BST_CHECKED;
                        w.check = BST_CHECKED;
                        uncheck = uncheckGroupLocked(w);
                    }
                    break;
                default: return false;
            }
            return true;
        }))
        return false;
    if (kind == ControlKind::Static) {
        notifyParentCommand(control, STN_CLICKED);
        return true;
    }
    SetFocus(control);
    for (HWND h : uncheck) changed(h, Change::Check);
    if (check) changed(control, Change::Check);
    notifyParentCommand(control, BN_CLICKED);
    return true;
}

// User clicks on a list view: a click selects only the item clicked (and focuses it); a
// double click adds NM_DBLCLK and, on an item, LVN_ITEMACTIVATE.
bool listClickNow(HWND list, int index, bool doubleClick) {
    std::vector<StateChange> changes;
    LPARAM param = 0;
    if (!withWindow<Quiet>(list, false, [&](Window& w) {
            if (w.control != ControlKind::ListView || (w.style & WS_DISABLED) || !parentEnabledLocked(w)) return false;
            if (index < -1 || index >= static_cast<int>(w.items.size())) return false;
            if (index == -1) {
                changes = setItemStateLocked(w, -1, 0, LVIS_SELECTED);
                return true;
            }
            for (int i = 0; i < static_cast<int>(w.items.size()); ++i) {
                if (i == index) continue;
                auto more = setItemStateLocked(w, i, 0, LVIS_SELECTED);
                changes.insert(changes.end(), more.begin(), more.end());
            }
            auto more = setItemStateLocked(w, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            changes.insert(changes.end(), more.begin(), more.end());
            param = w.items[static_cast<std::size_t>(index)].param;
            return true;
        }))
        return false;
    SetFocus(list);
    reportChanges(list, changes);
    const UINT selected = index >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    sendListNotify(list, NM_CLICK, index, selected, 0, 0, param);
    if (doubleClick) {
        sendListNotify(list, NM_DBLCLK, index, selected, 0, 0, param);
        if (index >= 0 && IsWindow(list)) sendListNotify(list, LVN_ITEMACTIVATE, index, selected, 0, 0, param);
    }
    return true;
}

bool comboSelectNow(HWND combo, int index) {
    if (!withWindow<Quiet>(combo, false, [&](Window& w) {
            return w.control == ControlKind::ComboBox && !(w.style & WS_DISABLED) && parentEnabledLocked(w) &&
                   index >= 0 && index < static_cast<int>(w.items.size());
        }))
        return false;
    SetFocus(combo);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    notifyParentCommand(combo, CBN_SELCHANGE);
    return true;
}

}  // namespace vlt::ui::detail
