// A dialog as the terminal reads it: its state and its controls in template order, and the
// texts that introduce them.
#pragma once

#include <string>
#include <vector>

#include "ui/state.h"

namespace vlt::frontends::tty {

struct Layout {
    ui::WindowState dialog;
    std::vector<ui::WindowState> controls;
};

bool describeDialog(HWND hwnd, Layout& out);
// UTF-8 for the terminal, without the '&' that marks a mnemonic.
std::string plain(const std::string& ansi);
// The text a control is introduced by: the nearest static text before it in template order
// that starts above its middle (a label to its left or above it).
std::string labelFor(const Layout& layout, size_t index);
bool encloses(const ui::WindowState& outer, const ui::WindowState& inner);

}  // namespace vlt::frontends::tty
