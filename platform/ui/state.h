// What a window looks like right now, for front ends (to draw it) and tests (to assert on it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/export.h"
#include "ui/resources.h"
#include "win32/commctrl.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

enum class WindowKind { TopLevel, Dialog, Control };

struct ListItem {
    std::string text;
    int image = 0;
    bool selected = false;
    bool focused = false;
};

// A picture drawn on a window when it was last painted (StretchBlt/BitBlt of a bitmap), in the
// same units as the window's controls (dialog units for dialogs).
struct PaintOp {
    HINSTANCE module = nullptr;
    int bitmapId = 0;
    Image image;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct WindowState {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    WindowKind kind = WindowKind::TopLevel;
    ControlKind control = ControlKind::Static;  // when kind == Control
    std::string className;
    int id = 0;             // control id; for a dialog, its template's resource number
    HINSTANCE module = nullptr;
    std::string text;       // window text (caption, label, edit contents)
    DWORD style = 0;
    DWORD exStyle = 0;
    bool enabled = true;
    bool visible = false;
    bool focused = false;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units for dialogs and their controls
    int check = 0;                     // BST_* for check boxes and radio buttons
    int rangeMin = 0, rangeMax = 100, position = 0, step = 10;  // progress bar
    std::vector<ListItem> items;                                // list view, combo box, tab control
    int selection = -1;                // combo box: the chosen item; tab control: the current tab
    int steps = 0;                     // progress bar: PBM_STEPIT messages handled so far
    HIMAGELIST imageLists[2]{};        // list view: LVSIL_NORMAL, LVSIL_SMALL
    int iconId = 0;                    // Icon control
    int animationId = 0;               // Animation control: the open clip, 0 when closed
    bool playing = false;
    DWORD threadId = 0;                // the thread that owns the window
    std::uint64_t activity = 0;        // messages handled so far by that thread (grows)
    bool modal = false;                // dialog shown by DialogBoxParamA
    bool ended = false;                // dialog: EndDialog was called
    INT_PTR result = 0;                // dialog: the EndDialog result
    // Drawing state, as the parent's WM_CTLCOLORSTATIC and the tooltips left it
    std::string tip;                   // text of the tooltip tool that covers the control
    bool hasTextColor = false;
    COLORREF textColor = 0;
    bool transparent = false;          // SetBkMode(TRANSPARENT)
    bool underline = false;            // the selected font is underlined
    int cursorId = 0;                  // cursor set on WM_SETCURSOR; 0 = the default arrow
    std::vector<PaintOp> paint;        // what the last WM_PAINT drew, in order
};

// false when hwnd is not a window.
bool describe(HWND hwnd, WindowState& out);
// Child windows in creation order (a dialog's controls in template order).
std::vector<HWND> children(HWND hwnd);
// Top-level windows and dialogs that exist now, oldest first.
std::vector<HWND> topLevelWindows();

}  // namespace vlt::ui

VLT_EXPORT_END
