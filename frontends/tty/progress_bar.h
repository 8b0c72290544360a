// A progress bar on standard error, redrawn in place; silent when standard error is not a
// terminal. Ranges and positions follow the progress control (0..range).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vlt::frontends {

class TtyProgressBar {
public:
    explicit TtyProgressBar(std::FILE* out = stderr);
    ~TtyProgressBar();

    void setText(const std::string& text);
    void setRange(std::uint32_t range);
    void setPosition(std::uint32_t position);
    void step();
    void finish();

private:
    void draw(bool force);

    std::FILE* m_out;
    bool m_enabled;
    std::string m_text;
    std::uint32_t m_range = 100;
    std::uint32_t m_position = 0;
    int m_lastPercent = -1;
    bool m_drawn = false;
};

}  // namespace vlt::frontends
