#include "shellext/progress.h"

#include "shellext/process_state.h"

namespace vlt::shellext {

ScaledProgress::ScaledProgress(Progress* progress, std::uint64_t units) : m_progress(progress) {
    // The control's range is 16 bits; a bar a few hundred pixels wide shows nothing finer than
    // this, and every step is a message to the dialog's thread.
    constexpr std::uint64_t kMax = 256;
    m_perStep = units <= kMax ? 1 : (units + kMax - 1) / kMax;
    m_range = static_cast<std::uint16_t>((units + m_perStep - 1) / m_perStep);
    if (m_progress) m_progress->setRange(m_range);
}

void closeProgress(RunResult result) {
    if (Progress* p = g_progress.load()) p->close(result);
}

}  // namespace vlt::shellext
