#include "registry/hives.h"

#include <mutex>
#include <string>
#include <vector>

#include "registry/backend.h"
#include "win32/winerror.h"

namespace vlt::registry {
namespace {

bool rootOf(HKEY root, detail::HiveKind& hive, std::string& base) {
    if (root == HKEY_CURRENT_USER) {
        hive = detail::HiveKind::User;
    } else if (root == HKEY_LOCAL_MACHINE) {
        hive = detail::HiveKind::Machine;
    } else if (root == HKEY_CLASSES_ROOT) {
        hive = detail::HiveKind::Machine;
        base = "software\\classes";
    } else {
        return false;
    }
    return true;
}

}  // namespace

void declareVolatileValue(HKEY root, std::string_view keyPath, std::string_view valueName) {
    detail::HiveKind hive{};
    std::string base;
    if (!rootOf(root, hive, base)) return;
    // Declarations are written by the suite, not typed by users: be lenient about a leading
    // backslash, which RegOpenKeyExA would refuse.
    while (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
    std::vector<std::string> parts;
    const std::string path(keyPath);
    if (detail::splitPath(path.c_str(), parts) != ERROR_SUCCESS) return;
    auto& b = detail::Backend::instance();
    auto lock = b.enter();
    b.declareVolatile(hive, detail::joinFolded(base, parts), sqlite::foldName(valueName));
}

void resetHives() {
    auto& b = detail::Backend::instance();
    auto lock = b.enter();
    b.reset();
}

bool isHiveWritable(HKEY root) {
    detail::HiveKind hive{};
    std::string base;
    if (!rootOf(root, hive, base)) return false;
    auto& b = detail::Backend::instance();
    auto lock = b.enter();
    return b.hive(hive).writable();
}

namespace {

template <typename F>
LONG onHive(HKEY root, F&& change) {
    detail::HiveKind hive{};
    std::string base;
    if (!rootOf(root, hive, base)) return ERROR_INVALID_HANDLE;
    auto& b = detail::Backend::instance();
    auto lock = b.enter();
    const Result<void> r = change(b, hive);
    return r ? ERROR_SUCCESS : static_cast<LONG>(r.error().code ? r.error().code : ERROR_REGISTRY_IO_FAILED);
}

}  // namespace

LONG beginTransaction(HKEY root) {
    return onHive(root, [](detail::Backend& b, detail::HiveKind h) { return b.beginTransaction(h); });
}

LONG commitTransaction(HKEY root) {
    return onHive(root, [](detail::Backend& b, detail::HiveKind h) { return b.endTransaction(h, true); });
}

LONG rollbackTransaction(HKEY root) {
    return onHive(root, [](detail::Backend& b, detail::HiveKind h) { return b.endTransaction(h, false); });
}

}  // namespace vlt::registry
