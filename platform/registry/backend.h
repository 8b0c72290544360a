// What the Reg* functions stand on: the two hives (opened lazily, reopened after a fork or a
// sandbox switch), the volatile store, the declared volatile values, the handle table and the
// open transaction. Internal to platform/registry. Every member expects the caller to have
// entered (enter()).
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/result.h"
#include "registry/sqlite/store.h"
#include "win32/winreg.h"

namespace vlt::registry::detail {

enum class HiveKind { User, Machine };

// What a handle stands for.
struct KeyRef {
    HiveKind hive = HiveKind::User;
    sqlite::KeyId id = 0;       // 0: the HKEY_CLASSES_ROOT base, looked up on each use
    std::string hiveId;         // the database the id belongs to (empty for predefined roots)
    std::string path;           // folded, from the hive root, components joined by '\'
    REGSAM access = 0;
    bool predefined = false;
};

class Hive {
public:
    Hive(HiveKind kind) : m_kind(kind) {}  // NOLINT

    // True when this process may change the hive: its directory and database exist (or can
    // be made) and carry a write bit. The mode bits count even for root, so that a test can
    // make a hive read-only with chmod.
    bool writable();
    // The store for reading; null when the hive has no database yet (it reads as empty).
    Result<sqlite::HiveStore*> forRead();
    // The store for writing, made when missing; ERROR_ACCESS_DENIED when not writable.
    Result<sqlite::HiveStore*> forWrite();
    void reset();
    // The open batch of this hive's store, for this process.
    Result<void> beginBatch();
    Result<void> endBatch(bool commit);

private:
    std::string dir();
    std::string file() { return dir() + (m_kind == HiveKind::User ? "/user.db" : "/machine.db"); }
    void dropIfForked();
    // The hive's folder proven private (see base/private_dir.h) before SQLite opens anything.
    Result<void> proveDir(bool create);

    HiveKind m_kind;
    std::string m_dir;
    std::unique_ptr<sqlite::HiveStore> m_store;
    long m_pid = 0;
};

class Backend {
public:
    static Backend& instance();
    // Takes the lock every Reg* call holds, first waiting while another thread of this process
    // has a transaction open: its changes are one, and no other thread slips into them.
    std::unique_lock<std::mutex> enter();

    // A transaction on one hive (see hives.h). One thread at a time may hold transactions.
    Result<void> beginTransaction(HiveKind kind);
    Result<void> endTransaction(HiveKind kind, bool commit);

    Hive& hive(HiveKind kind) { return kind == HiveKind::User ? m_user : m_machine; }

    // The volatile store; null when it does not exist yet and create is false.
    Result<sqlite::VolatileStore*> volatileStore(bool create);

    void declareVolatile(HiveKind hive, std::string foldedPath, std::string foldedName);
    bool isVolatile(const KeyRef& key, std::string_view valueName) const;

    HKEY addHandle(KeyRef ref);
    // Null when h is not an open handle of this table.
    const KeyRef* findHandle(HKEY h) const;
    bool closeHandle(HKEY h);

    void reset();

private:
    Backend() = default;
    void dropVolatileIfForked();
    bool volatileStillThere() const;
    void forgetTransactions();

    std::mutex m_lock;
    std::condition_variable m_idle;  // signalled when the last transaction ends
    std::thread::id m_transactionOwner;
    int m_transactions = 0;  // open begins of m_transactionOwner, every hive and level
    int m_open[2] = {0, 0};  // the same per HiveKind
    Hive m_user{HiveKind::User};
    Hive m_machine{HiveKind::Machine};
    std::string m_runtimeDir;
    std::unique_ptr<sqlite::VolatileStore> m_volatile;
    long m_volatilePid = 0;
    dev_t m_volatileDevice = 0;
    ino_t m_volatileInode = 0;
    struct Declaration {
        HiveKind hive;
        std::string path;
        std::string name;
    };
    std::vector<Declaration> m_declarations;
    std::map<std::uintptr_t, KeyRef> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
};

// Splits a key path into components. Trailing backslashes are ignored; a leading one or an
// empty component gives ERROR_BAD_PATHNAME, a component over 255 bytes ERROR_INVALID_PARAMETER.
LONG splitPath(const char* path, std::vector<std::string>& out);
std::string joinFolded(const std::string& base, const std::vector<std::string>& parts);

}  // namespace vlt::registry::detail
