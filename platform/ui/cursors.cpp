// The pointer's shape. Each thread has the cursor it last set (SetCursor); when the pointer
// rests on a control (ui::input::hover) the control gets WM_SETCURSOR and the cursor set while
// it answered is kept on it as its resource number (0 for the arrow), for front ends to show.
#include <utility>

#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

thread_local HCURSOR t_cursor = nullptr;

int cursorIdOf(HCURSOR cursor) {
    IconInfo info;
    if (cursor == nullptr || !describeCursor(cursor, info)) return 0;
    const bool arrow = info.module == nullptr && info.id == 32512;
    return arrow ? 0 : info.id;
}

}  // namespace

bool hoverNow(HWND control) {
    t_cursor = nullptr;
    SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    const int id = cursorIdOf(t_cursor);
    bool diff = false;
    if (!withWindow<IfGone::Quiet>(control, false, [&](Window& w) {
            diff = std::exchange(w.cursorId, id) != id;
            return true;
        }))
        return false;
    if (diff) changed(control, Change::Style);
    return true;
}

}  // namespace vlt::ui::detail

HCURSOR SetCursor(HCURSOR hCursor) {
    HCURSOR previous = vlt::ui::detail::t_cursor;
    vlt::ui::detail::t_cursor = hCursor;
    return previous;
}
