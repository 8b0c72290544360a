// The process's clock. Production code reads a monotonic clock that keeps running during
// suspend; tests install a manual clock and advance it instead of sleeping.
#pragma once

#include <cstdint>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowMs() const = 0;
};

class ManualClock final : public Clock {
public:
    std::uint64_t nowMs() const override { return m_now; }
    void advanceMs(std::uint64_t ms) { m_now += ms; }
    void setMs(std::uint64_t ms) { m_now = ms; }

private:
    std::uint64_t m_now = 0;
};

const Clock& clock();
// Installs a clock for the whole process; nullptr restores the system clock. The caller keeps
// ownership and must outlive its use.
void setClock(const Clock* clock);

}  // namespace vlt::base

VLT_EXPORT_END
