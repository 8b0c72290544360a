// A lock that one process of the user holds at a time, for a program that runs once per
// session (the tray). It is an exclusive flock on a file in the private socket folder: the
// kernel drops it when the holder ends, however it ends, so a crashed holder never keeps the
// next one out, and two programs starting at the same moment cannot both win.
#pragma once

#include <string>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::sys {

class InstanceLock {
public:
    // Takes the lock `name` in `directory` (empty: base::socketDir()). held() is false when
    // another process holds it. Fails when the folder is not private or the file cannot be
    // opened (a planted link, another user's file).
    static Result<InstanceLock> take(const std::string& name, const std::string& directory = {});
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    bool held() const { return m_fd >= 0; }

private:
    InstanceLock() = default;
    int m_fd = -1;
};

}  // namespace vlt::sys

VLT_EXPORT_END
