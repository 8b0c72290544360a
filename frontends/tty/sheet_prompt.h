// A property sheet in the terminal: its pages as a numbered list, the current page's controls
// as choices (buttons, check boxes, drop-down lists, lists, edits), and OK, Apply and Cancel.
// A wizard shows its caption (the step) and its page, with Back, Next, Finish and Cancel.
#pragma once

#include <cstdio>

#include "frontends/tty/dialog_layout.h"
#include "frontends/tty/tty_frontend.h"

namespace vlt::frontends::tty {

// A sheet holds the tab control that switches its pages.
bool isSheet(const Layout& layout);

// Shows the sheet and does one thing the user chose; the sheet's thread handles it before the
// next round. true when the user gave up: the caller cancels the sheet.
bool askSheet(const TtyOptions& options, std::FILE* out, const Layout& sheet);

// Any other dialog with a button to press (a certificate card, a notice): asked as a form, so
// that its modal loop never waits for a terminal that cannot answer it.
bool isForm(const Layout& layout);

// One field: shows the caption and the field's label, types the line read into the field and
// presses OK. Otherwise the dialog's texts and controls as numbered choices, like a sheet's
// page. true when the user gave up: the caller cancels the dialog.
bool askForm(const TtyOptions& options, std::FILE* out, const Layout& form);

}  // namespace vlt::frontends::tty
