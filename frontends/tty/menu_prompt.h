// A popup menu in the terminal: the items numbered in order, a submenu as a heading with its
// items indented below it, greyed items and separators shown without a number. A number
// chooses; an empty answer or the end of input dismisses the menu.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/frontend.h"

namespace vlt::frontends::tty {

// The command id chosen, 0 when dismissed. Without a person to ask (interactive false) the
// menu is printed and dismissed.
UINT askMenu(const std::vector<ui::MenuItem>& items, std::FILE* out, bool interactive,
             const std::function<std::optional<std::string>()>& readLine);

}  // namespace vlt::frontends::tty
