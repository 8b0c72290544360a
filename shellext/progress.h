// The progress view of a running command: what the worker tells the progress dialog.
#pragma once

#include <cstdint>
#include <string>

namespace vlt::shellext {

// How a run ended. The progress dialog ends with it and the command answers the shell with it,
// so that a host learns the outcome from the worker itself.
enum class RunResult : int { Done = 1, Failed = 2, Cancelled = 3 };

class Progress {
public:
    virtual ~Progress() = default;
    virtual void reset() = 0;                          // bar to 0
    virtual void showText(const std::string& text) = 0;
    virtual void setRange(std::uint16_t maximum) = 0;  // the control's range is 16 bits
    virtual void step() = 0;
    virtual void close(RunResult result) = 0;
};

// Closes the progress view of the running command, if any, with the run's result.
void closeProgress(RunResult result);

// Maps a count of chunks onto the bar's range. The original set the range to the chunk count
// itself, which wraps past 65535 chunks and sends the dialog a message per chunk; here the
// range stays within 256 steps and several chunks share one step on larger files: every step
// is a message the worker waits for while the dialog's thread wakes up to handle it.
class ScaledProgress {
public:
    ScaledProgress(Progress* progress, std::uint64_t units);
    // One unit done; steps the bar when a whole step's worth has accumulated.
    void unit() {
        if (m_progress && ++m_pending >= m_perStep) {
            m_pending = 0;
            m_progress->step();
        }
    }
    // Several units done at once, as one batch of chunks.
    void units(std::uint64_t count) {
        if (!m_progress) return;
        m_pending += count;
        for (; m_pending >= m_perStep; m_pending -= m_perStep) m_progress->step();
    }
    std::uint16_t range() const { return m_range; }
    std::uint64_t unitsPerStep() const { return m_perStep; }

private:
    Progress* m_progress;
    std::uint64_t m_perStep = 1;
    std::uint64_t m_pending = 0;
    std::uint16_t m_range = 0;
};

}  // namespace vlt::shellext
