#include "registry/backend.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "base/notice.h"
#include "base/paths.h"
#include "base/private_dir.h"
#include "win32/winerror.h"

namespace vlt::registry::detail {
namespace {

using base::noticeOnce;

// A refused folder or a damaged database is told to the user once: the Reg* result code
// (ERROR_ACCESS_DENIED, ERROR_BADDB) is all the suite above passes on.
Error told(Error e) {
    if (e.code == ERROR_BADDB) noticeOnce(e.message + " (the file is damaged)");
    else if (e.code == ERROR_ACCESS_DENIED) noticeOnce(e.message);
    return e;
}

// A connection inherited through fork() must not be used or closed by the child (SQLite's
// locks belong to the parent); it is parked here and the child opens its own.
template <typename T>
void abandon(std::unique_ptr<T>& p) {
    static std::vector<void*> parked;
    parked.push_back(p.release());
}

// A link counts: it is refused when opened, rather than taken for a missing file.
bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Write permission as the mode bits say, and as the kernel says (read-only mounts, other
// owners). Root passes access(W_OK) everywhere, so the bits are what make a hive read-only
// for it.
bool pathWritable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    return (st.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

std::string parentDir(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Hive

std::string Hive::dir() {
    if (m_dir.empty()) m_dir = m_kind == HiveKind::User ? base::userDataDir() : base::machineDir();
    return m_dir;
}

void Hive::dropIfForked() {
    if (m_store && m_pid != static_cast<long>(getpid())) abandon(m_store);
}

bool Hive::writable() {
    const std::string d = dir();
    struct stat st {};
    if (stat(d.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) return false;
        // The rollback journal is made beside the database.
        if (!pathWritable(d)) return false;
        const std::string f = file();
        return !exists(f) || pathWritable(f);
    }
    // The directory would have to be made: its nearest existing ancestor decides.
    std::string p = parentDir(d);
    while (!exists(p) && p != "/" && p != ".") p = parentDir(p);
    struct stat pst {};
    return stat(p.c_str(), &pst) == 0 && S_ISDIR(pst.st_mode) && pathWritable(p);
}

Result<void> Hive::proveDir(bool create) {
    const auto privacy = m_kind == HiveKind::User ? base::Privacy::User : base::Privacy::Machine;
    auto proved = base::ensurePrivateDir(dir(), privacy, create);
    if (!proved) return told(proved.error());
    return {};
}

Result<sqlite::HiveStore*> Hive::forRead() {
    dropIfForked();
    if (m_store) return m_store.get();
    const std::string f = file();
    if (!exists(f)) return static_cast<sqlite::HiveStore*>(nullptr);
    if (auto proved = proveDir(false); !proved) return proved.error();
    const auto mode = writable() ? sqlite::HiveStore::Mode::ReadWrite : sqlite::HiveStore::Mode::ReadOnly;
    auto opened = sqlite::HiveStore::open(f, mode);
    if (!opened) {
        // A file nobody has written keys to yet reads as an empty hive.
        if (opened.error().code == ERROR_FILE_NOT_FOUND) return static_cast<sqlite::HiveStore*>(nullptr);
        return told(opened.error());
    }
    m_store = std::move(*opened);
    m_pid = static_cast<long>(getpid());
    return m_store.get();
}

Result<sqlite::HiveStore*> Hive::forWrite() {
    dropIfForked();
    if (!writable()) return fail("the hive in " + dir() + " is read-only", ERROR_ACCESS_DENIED);
    if (m_store && m_store->mode() == sqlite::HiveStore::Mode::ReadWrite) return m_store.get();
    if (auto proved = proveDir(true); !proved) return proved.error();
    auto opened = sqlite::HiveStore::open(file(), sqlite::HiveStore::Mode::ReadWrite);
    if (!opened) return told(opened.error());
    m_store = std::move(*opened);
    m_pid = static_cast<long>(getpid());
    return m_store.get();
}

void Hive::reset() {
    dropIfForked();
    m_store.reset();
    m_dir.clear();
}

Result<void> Hive::beginBatch() {
    auto s = forWrite();
    if (!s) return s.error();
    return (*s)->beginBatch();
}

Result<void> Hive::endBatch(bool commit) {
    dropIfForked();
    if (!m_store) return fail("no transaction is open on this hive", ERROR_INVALID_PARAMETER);
    if (commit) return m_store->commitBatch();
    m_store->rollbackBatch();
    return {};
}

// ---------------------------------------------------------------------------------------------
// Backend

Backend& Backend::instance() {
    // Never destroyed: Reg* calls may come from other static destructors.
    static Backend* b = [] {
        auto* p = new Backend;
        // Every SQLite call runs under the lock, so holding it across fork() means the child
        // never inherits a connection in the middle of a transaction.
        // The child has no transaction: its connections are not the parent's.
        pthread_atfork([] { instance().m_lock.lock(); }, [] { instance().m_lock.unlock(); },
                       [] {
                           instance().forgetTransactions();
                           instance().m_lock.unlock();
                       });
        return p;
    }();
    return *b;
}

std::unique_lock<std::mutex> Backend::enter() {
    std::unique_lock<std::mutex> lock(m_lock);
    const auto self = std::this_thread::get_id();
    m_idle.wait(lock, [&] { return m_transactions == 0 || m_transactionOwner == self; });
    return lock;
}

void Backend::forgetTransactions() {
    m_transactions = 0;
    m_open[0] = m_open[1] = 0;
    m_transactionOwner = std::thread::id();
    m_idle.notify_all();
}

Result<void> Backend::beginTransaction(HiveKind kind) {
    if (auto r = hive(kind).beginBatch(); !r) return r;
    ++m_open[static_cast<int>(kind)];
    if (m_transactions++ == 0) m_transactionOwner = std::this_thread::get_id();
    return {};
}

Result<void> Backend::endTransaction(HiveKind kind, bool commit) {
    int& open = m_open[static_cast<int>(kind)];
    if (open == 0) return fail("no transaction is open on this hive", ERROR_INVALID_PARAMETER);
    // A batch that fails to commit is rolled back: it ends either way.
    auto r = hive(kind).endBatch(commit);
    --open;
    if (--m_transactions == 0) forgetTransactions();
    return r;
}

void Backend::dropVolatileIfForked() {
    if (m_volatile && m_volatilePid != static_cast<long>(getpid())) abandon(m_volatile);
}

// The store is reused only while its file is still the one at the path: when the runtime
// folder was removed and made again (a new login), other processes write to the new file.
bool Backend::volatileStillThere() const {
    struct stat st {};
    return lstat((m_runtimeDir + "/volatile.db").c_str(), &st) == 0 && st.st_dev == m_volatileDevice &&
           st.st_ino == m_volatileInode;
}

Result<sqlite::VolatileStore*> Backend::volatileStore(bool create) {
    dropVolatileIfForked();
    if (m_volatile && volatileStillThere()) return m_volatile.get();
    m_volatile.reset();
    if (m_runtimeDir.empty()) m_runtimeDir = base::runtimeDir();
    // No memory file system: nothing is cached, every unlock asks (the notice said why).
    if (m_runtimeDir.empty()) {
        if (!create) return static_cast<sqlite::VolatileStore*>(nullptr);
        return fail("there is no memory file system for volatile values", ERROR_NOT_SUPPORTED);
    }
    const std::string file = m_runtimeDir + "/volatile.db";
    if (!create && !exists(file)) return static_cast<sqlite::VolatileStore*>(nullptr);
    // Secrets go here: the folder must be ours and closed to everyone else.
    if (auto proved = base::ensurePrivateDir(m_runtimeDir); !proved) return told(proved.error());
    auto opened = sqlite::VolatileStore::open(file);
    if (!opened && opened.error().code == ERROR_BADDB) {
        // Only a cache: a damaged one is made anew, so that locking (removing it) always works.
        noticeOnce(opened.error().message + " (the unlock cache was damaged and has been made anew)");
        if (unlink(file.c_str()) == 0 || errno == ENOENT) {
            unlink((file + "-journal").c_str());
            opened = sqlite::VolatileStore::open(file);
        }
    }
    if (!opened) return told(opened.error());
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0) return fail(file + " vanished as it was opened", ERROR_ACCESS_DENIED);
    m_volatile = std::move(*opened);
    m_volatileDevice = st.st_dev;
    m_volatileInode = st.st_ino;
    m_volatilePid = static_cast<long>(getpid());
    return m_volatile.get();
}

void Backend::declareVolatile(HiveKind hive, std::string foldedPath, std::string foldedName) {
    for (const auto& d : m_declarations)
        if (d.hive == hive && d.path == foldedPath && d.name == foldedName) return;
    m_declarations.push_back({hive, std::move(foldedPath), std::move(foldedName)});
}

bool Backend::isVolatile(const KeyRef& key, std::string_view valueName) const {
    if (m_declarations.empty()) return false;
    const std::string name = sqlite::foldName(valueName);
    for (const auto& d : m_declarations)
        if (d.hive == key.hive && d.path == key.path && d.name == name) return true;
    return false;
}

HKEY Backend::addHandle(KeyRef ref) {
    const std::uintptr_t h = m_nextHandle;
    m_nextHandle += 4;
    m_handles.emplace(h, std::move(ref));
    return reinterpret_cast<HKEY>(h);
}

const KeyRef* Backend::findHandle(HKEY h) const {
    const auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(h));
    return it == m_handles.end() ? nullptr : &it->second;
}

bool Backend::closeHandle(HKEY h) { return m_handles.erase(reinterpret_cast<std::uintptr_t>(h)) > 0; }

void Backend::reset() {
    forgetTransactions();
    m_user.reset();
    m_machine.reset();
    dropVolatileIfForked();
    m_volatile.reset();
    m_runtimeDir.clear();
    m_handles.clear();
}

// ---------------------------------------------------------------------------------------------
// Paths

LONG splitPath(const char* path, std::vector<std::string>& out) {
    out.clear();
    if (!path) return ERROR_SUCCESS;
    std::string_view p(path);
    if (!p.empty() && p.front() == '\\') return ERROR_BAD_PATHNAME;
    while (!p.empty() && p.back() == '\\') p.remove_suffix(1);
    while (!p.empty()) {
        const auto slash = p.find('\\');
        const std::string_view part = p.substr(0, slash);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        if (part.size() > 255) return ERROR_INVALID_PARAMETER;
        out.emplace_back(part);
        if (slash == std::string_view::npos) break;
        p.remove_prefix(slash + 1);
    }
    return ERROR_SUCCESS;
}

std::string joinFolded(const std::string& base, const std::vector<std::string>& parts) {
    std::string out = base;
    for (const auto& part : parts) {
        if (!out.empty()) out += '\\';
        out += sqlite::foldName(part);
    }
    return out;
}

}  // namespace vlt::registry::detail
