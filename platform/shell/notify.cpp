#include "shell/notify.h"

#include <cstdint>
#include <deque>
#include <mutex>

#include "com/codepages.h"
#include "win32/shlobj.h"

namespace vlt::shell {
namespace {

constexpr std::size_t kKept = 256;

struct Record {
    std::mutex mutex;
    std::deque<ChangeNotification> log;
    ChangeObserver observer;
};

Record& record() {
    static auto* r = new Record;  // lives as long as the process
    return *r;
}

std::string itemText(UINT type, LPCVOID item) {
    if (!item) return {};
    switch (type) {
    case SHCNF_PATHA:
    case SHCNF_PRINTERA:
        return static_cast<const char*>(item);
    case SHCNF_PATHW:
    case SHCNF_PRINTERW:
        return com::utf16ToUtf8(static_cast<const char16_t*>(item));
    case SHCNF_DWORD:
        return std::to_string(reinterpret_cast<std::uintptr_t>(item));
    default:
        return {};  // item identifier lists are not interpreted
    }
}

}  // namespace

ChangeObserver setChangeObserver(ChangeObserver observer) {
    std::lock_guard lock(record().mutex);
    std::swap(record().observer, observer);
    return observer;
}

std::vector<ChangeNotification> changeNotifications() {
    std::lock_guard lock(record().mutex);
    return {record().log.begin(), record().log.end()};
}

void clearChangeNotifications() {
    std::lock_guard lock(record().mutex);
    record().log.clear();
}

}  // namespace vlt::shell

void SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2) {
    using namespace vlt::shell;
    ChangeNotification n;
    n.event = wEventId;
    n.flags = uFlags;
    n.item1 = itemText(uFlags & SHCNF_TYPE, dwItem1);
    n.item2 = itemText(uFlags & SHCNF_TYPE, dwItem2);
    ChangeObserver observer;
    {
        std::lock_guard lock(record().mutex);
        record().log.push_back(n);
        if (record().log.size() > kKept) record().log.pop_front();
        observer = record().observer;
    }
    if (observer) observer(n);
}
