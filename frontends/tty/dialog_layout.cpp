#include "frontends/tty/dialog_layout.h"

#include "base/codepage.h"

namespace vlt::frontends::tty {

bool describeDialog(HWND hwnd, Layout& out) {
    if (!ui::describe(hwnd, out.dialog)) return false;
    out.controls.clear();
    for (HWND child : ui::children(hwnd)) {
        ui::WindowState s;
        if (ui::describe(child, s)) out.controls.push_back(std::move(s));
    }
    return true;
}

std::string plain(const std::string& ansi) {
    std::string out;
    const std::string utf8 = base::ansiToUtf8(ansi);
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '&' && i + 1 < utf8.size()) ++i;
        out += utf8[i];
    }
    return out;
}

std::string labelFor(const Layout& layout, size_t index) {
    const auto& target = layout.controls[index];
    for (size_t i = index; i-- > 0;) {
        const auto& s = layout.controls[i];
        if (s.control == ui::ControlKind::Static && !s.text.empty() && s.visible && s.y <= target.y + target.cy / 2)
            return plain(s.text);
    }
    return {};
}

bool encloses(const ui::WindowState& outer, const ui::WindowState& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

}  // namespace vlt::frontends::tty
