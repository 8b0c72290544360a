#include "shellext/progress.h"

namespace vlt::shellext {

ScaledProgress::ScaledProgress(Progress* progress, std::uint64_t units) : m_progress(progress) {
    constexpr std::uint64_t kMax = 0xFFFF;
    m_perStep = units <= kMax ? 1 : (units + kMax - 1) / kMax;
    m_range = static_cast<std::uint16_t>((units + m_perStep - 1) / m_perStep);
    if (m_progress) m_progress->setRange(m_range);
}

}  // namespace vlt::shellext
