// Icons in the desktop's notification area (Shell_NotifyIconA in win32/shellapi.h): the runtime
// keeps each icon's state and hands it whole to the front end (Frontend::notifyIcon), which
// shows it; the front end reports the user's mouse actions back here.
//
// Reproduced: an icon is named by its owner window and id; NIM_ADD of an existing icon and
// NIM_MODIFY/NIM_DELETE of a missing one fail; the flags say which fields count (NIF_MESSAGE,
// NIF_ICON, NIF_TIP; a field never given stays empty); the tip is cut at 63 characters; mouse
// actions arrive as the callback message posted to the owner with wParam = id and lParam =
// the mouse message. An icon whose owner is destroyed is removed (Windows leaves a dead icon
// until the pointer passes over it). Left out: balloon tips, versions 2 and later of the
// record, NIM_SETFOCUS and NIM_SETVERSION.
#pragma once

#include <vector>

#include "base/export.h"
#include "ui/frontend.h"
#include "win32/shellapi.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

// The user did something to the icon (owner, id): posts its callback message with the mouse
// message (WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, ...). false when there is no such icon
// or it asked for no callback. Any thread.
bool notifyIconEvent(HWND owner, UINT id, UINT mouseMessage);

// The mouse messages Windows posts for a click of a button ("left", "right", "middle") or a
// left double click, in order: a click is the press and the release, a double click is a
// click, the double-click message and the second release.
enum class IconClick { Left, Right, Middle, Double };
std::vector<UINT> mouseMessagesFor(IconClick click);

// The icons shown now, oldest first (for front ends that start late, and tests).
std::vector<NotifyIconRequest> notifyIcons();

}  // namespace vlt::ui

VLT_EXPORT_END
