// SHChangeNotify has no shell to tell here (file managers watch the file system themselves), so
// the calls are only recorded: a bounded log and an optional observer, for tests and hosts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/export.h"
#include "win32/windef.h"

VLT_EXPORT_BEGIN

namespace vlt::shell {

struct ChangeNotification {
    LONG event = 0;
    UINT flags = 0;     // as given
    std::string item1;  // a path (SHCNF_PATHA/W, as UTF-8 for W), a number (SHCNF_DWORD), or ""
    std::string item2;
};

using ChangeObserver = std::function<void(const ChangeNotification&)>;

// Called for every SHChangeNotify of the process, on the caller's thread. Returns the
// observer it replaces; an empty function removes it.
ChangeObserver setChangeObserver(ChangeObserver observer);

// The last notifications (at most 256), oldest first.
std::vector<ChangeNotification> changeNotifications();
void clearChangeNotifications();

}  // namespace vlt::shell

VLT_EXPORT_END
