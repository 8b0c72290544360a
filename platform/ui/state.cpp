#include "ui/state.h"

#include "ui/internal.h"

namespace vlt::ui {

bool describe(HWND hwnd, WindowState& out) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto w = detail::findLocked(hwnd);
    if (!w) return false;
    out = WindowState{};
    out.hwnd = w->hwnd;
    out.parent = w->parent;
    out.kind = w->kind;
    out.control = w->control;
    out.className = w->className;
    out.id = w->id;
    out.module = w->module;
    out.text = w->text;
    out.style = w->style;
    out.exStyle = w->exStyle;
    out.enabled = !(w->style & WS_DISABLED);
    out.visible = (w->style & WS_VISIBLE) != 0;
    out.focused = w->queue->focus == hwnd;
    out.x = w->x;
    out.y = w->y;
    out.cx = w->cx;
    out.cy = w->cy;
    out.check = w->check;
    out.rangeMin = w->rangeMin;
    out.rangeMax = w->rangeMax;
    out.position = w->position;
    out.step = w->step;
    out.steps = w->steps;
    for (std::size_t i = 0; i < w->items.size(); ++i) {
        const auto& item = w->items[i];
        ListItem li;
        li.text = item.text;
        li.image = item.image;
        li.selected = (item.state & LVIS_SELECTED) != 0 ||
                      ((w->control == ControlKind::ComboBox || w->control == ControlKind::Tab) &&
                                static_cast<int>(i) == w->selection);
        li.focused = (item.state & LVIS_FOCUSED) != 0;
        out.items.push_back(std::move(li));
    }
    out.selection = w->selection;
    out.imageLists[0] = w->imageLists[0];
    out.imageLists[1] = w->imageLists[1];
    out.iconId = w->iconId;
    out.animationId = w->animationId;
    out.playing = w->playing;
    out.threadId = w->queue->threadId;
    out.activity = w->queue->activity;
    out.modal = w->modal;
    out.ended = w->ended;
    out.result = w->result;
    out.tip = w->tip;
    out.hasTextColor = w->hasTextColor;
    out.textColor = w->textColor;
    out.transparent = w->transparent;
    out.underline = w->underline;
    out.cursorId = w->cursorId;
    out.paint = w->paint;
    return true;
}

std::vector<HWND> children(HWND hwnd) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto w = detail::findLocked(hwnd);
    return w ? w->children : std::vector<HWND>{};
}

std::vector<HWND> topLevelWindows() {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    std::vector<HWND> out;
    for (HWND h : s.topLevel)
        if (auto w = detail::findLocked(h); w && !w->destroying && !w->tooltip) out.push_back(h);
    return out;
}

}  // namespace vlt::ui
