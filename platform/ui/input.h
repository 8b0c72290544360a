// What a user does to a window, injected by a front end (or a test). Each action is queued to
// the thread that owns the window and takes effect in that thread's message loop, producing
// the messages and notifications Windows would send for it. Callable from any thread.
#pragma once

#include <string>

#include "win32/winuser.h"

namespace vlt::ui::input {

// Push button: WM_COMMAND(BN_CLICKED) to the parent. Check box and radio button: toggle or
// select first, then the same notification.
void click(HWND button);
// Replaces an edit control's text as typing would: its text changes, then EN_CHANGE.
void type(HWND edit, const std::string& text);
// Single click on a list-view item: selects it (only it, for LVS_SINGLESEL), LVN_ITEMCHANGED,
// NM_CLICK. index -1 clicks an empty area (clears the selection).
void selectItem(HWND list, int index);
// Double click on a list-view item: selects it, then NM_DBLCLK and LVN_ITEMACTIVATE. index -1
// double-clicks an empty area (NM_DBLCLK with item -1 only).
void activateItem(HWND list, int index);
// Escape or the close box of a dialog: WM_COMMAND(IDCANCEL); of a top-level window: WM_CLOSE.
void close(HWND window);
// Enter in a dialog: clicks its default push button.
void pressEnter(HWND dialog);

}  // namespace vlt::ui::input
