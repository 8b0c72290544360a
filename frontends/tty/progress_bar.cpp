#include "frontends/tty/progress_bar.h"

#include <unistd.h>

#include <algorithm>

namespace vlt::frontends {

TtyProgressBar::TtyProgressBar(std::FILE* out) : m_out(out), m_enabled(isatty(fileno(out)) == 1) {}

TtyProgressBar::~TtyProgressBar() { finish(); }

void TtyProgressBar::setText(const std::string& text) {
    m_text = text;
    draw(true);
}

void TtyProgressBar::setRange(std::uint32_t range) {
    m_range = range;
    m_position = std::min(m_position, range);
    draw(true);
}

void TtyProgressBar::setPosition(std::uint32_t position) {
    m_position = std::min(position, m_range);
    draw(true);
}

void TtyProgressBar::step() {
    if (m_position < m_range) ++m_position;
    draw(false);
}

void TtyProgressBar::finish() {
    if (m_enabled && m_drawn) std::fputs("\n", m_out);
    m_drawn = false;
    m_lastPercent = -1;
}

void TtyProgressBar::draw(bool force) {
    if (!m_enabled) return;
    const int percent = m_range == 0 ? 100 : static_cast<int>(100.0 * m_position / m_range);
    if (!force && percent == m_lastPercent) return;  // redraw only when something visible changes
    m_lastPercent = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string name = m_text.size() > 40 ? "..." + m_text.substr(m_text.size() - 37) : m_text;
    std::fprintf(m_out, "\r[%s%s] %3d%% %-40s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), percent, name.c_str());
    std::fflush(m_out);
    m_drawn = true;
}

}  // namespace vlt::frontends
