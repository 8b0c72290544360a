// What a user does to a window, injected by a front end (or a test). Each action is queued to
// the thread that owns the window and takes effect in that thread's message loop, producing
// the messages and notifications Windows would send for it. Callable from any thread.
// A user cannot reach a hidden or disabled control, nor one in a disabled dialog (one that
// has a modal dialog open over it): such actions are dropped.
#pragma once

#include <functional>
#include <string>

#include "base/export.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui::input {

// Push button: WM_COMMAND(BN_CLICKED) to the parent. Check box and radio button: toggle or
// select first, then the same notification. The button takes the focus. A static with
// SS_NOTIFY: WM_COMMAND(STN_CLICKED) to its parent (other statics ignore clicks).
void click(HWND button);
// Replaces an edit control's text as typing would: its text changes, then EN_CHANGE. Typing
// stops at the control's limit (EM_LIMITTEXT); an ES_NUMBER edit takes digits only; an
// ES_READONLY edit takes nothing.
void type(HWND edit, const std::string& text);
// Single click on a list-view item: selects it (only it), focuses it, LVN_ITEMCHANGED for
// every item whose state changed, NM_CLICK. index -1 clicks an empty area (clears the
// selection). On a combo box: selects the item, then CBN_SELCHANGE. On a tab control:
// TCN_SELCHANGING to the parent, and unless it refuses, the tab becomes current, then
// TCN_SELCHANGE.
void selectItem(HWND list, int index);
// Double click on a list-view item: the click above, then NM_DBLCLK and LVN_ITEMACTIVATE.
// index -1 double-clicks an empty area (NM_CLICK and NM_DBLCLK with item -1 only).
void activateItem(HWND list, int index);
// The pointer rests over a control: WM_SETCURSOR(control, HTCLIENT, WM_MOUSEMOVE) to it; the
// cursor it sets is recorded on it (WindowState::cursorId). Hidden windows are not hovered.
void hover(HWND control);
// Escape and Enter in a property page act on its sheet.
// Escape in a dialog: WM_COMMAND(IDCANCEL) with the Cancel button's handle (if any); the close
// box of another top-level window: WM_CLOSE.
void close(HWND window);
// Enter in a dialog: clicks its default push button (nothing when that one is disabled);
// without one, WM_COMMAND(IDOK).
void pressEnter(HWND dialog);

// Runs `action` on the thread that owns `window`, in order with the other input; dropped when
// the window is gone by then. Front ends use it to look at a dialog before acting on it.
void run(HWND window, std::function<void()> action);

// The same actions done at once on the calling thread, which must own the window (call them
// inside run()). false when the user could not have done it: the window is gone, hidden or
// disabled, is not that kind of control, or has no such item.
namespace now {
bool click(HWND button);
bool type(HWND edit, const std::string& text);
bool selectItem(HWND list, int index);
bool activateItem(HWND list, int index);
bool hover(HWND control);
bool close(HWND window);
bool pressEnter(HWND dialog);
}  // namespace now

}  // namespace vlt::ui::input

VLT_EXPORT_END
