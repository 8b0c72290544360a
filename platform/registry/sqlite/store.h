// Storage under the registry: one SQLite database per hive (keys and values), and one more
// under the runtime directory for volatile values. This folder is the only SQLite caller; the
// Reg* semantics above it see keys as ids and values as whole records.
//
// Every public call is one transaction (writes take the write lock at once, so two processes
// never deadlock on a lock upgrade). Failures carry Win32 codes in Error::code:
//   ERROR_FILE_NOT_FOUND   key or value missing
//   ERROR_KEY_DELETED      the key an id names is gone
//   ERROR_NO_MORE_ITEMS    enumeration index past the end
//   ERROR_ACCESS_DENIED    deleting a key that has subkeys or the root; a read-only database
//   ERROR_BUSY             another process held the database longer than the busy timeout
//   ERROR_BADDB            not a hive of ours, or corrupt
//   ERROR_REGISTRY_IO_FAILED, ERROR_OUTOFMEMORY  the rest
// Names are byte strings compared without regard to ASCII case and kept as first written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/export.h"
#include "base/result.h"

struct sqlite3;

namespace vlt::registry::sqlite {

using KeyId = std::int64_t;
// The hive's root key; it always exists and cannot be deleted.
inline constexpr KeyId kRootKey = 1;

struct StoredValue {
    std::string name;  // as first written
    std::uint32_t type = 0;
    std::string data;
};

struct KeyStats {
    std::uint32_t subkeys = 0;
    std::uint32_t maxSubkeyName = 0;  // bytes, without terminator
    std::uint32_t values = 0;
    std::uint32_t maxValueName = 0;
    std::uint32_t maxValueData = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks (100 ns since 1601)
};

struct OpenedKey {
    KeyId id = 0;
    bool created = false;
};

struct Subkey {
    std::string name;
    std::uint64_t lastWrite = 0;
};

// How many write transactions this process has committed, in every store: lets a test see
// that a batch of changes reached the disk as one.
VLT_EXPORT std::uint64_t committedTransactions();

// ASCII-only case folding, the comparison key of every name.
std::string foldName(std::string_view name);

// A connection that knows how to run statements; shared by the two stores.
class Connection;

class VLT_EXPORT HiveStore {
public:
    enum class Mode { ReadOnly, ReadWrite };

    // Opens a hive database. ReadWrite creates the file (0600) and its tables when missing;
    // ReadOnly fails with ERROR_FILE_NOT_FOUND when the file or its tables do not exist.
    static Result<std::unique_ptr<HiveStore>> open(const std::string& file, Mode mode);
    ~HiveStore();
    HiveStore(const HiveStore&) = delete;
    HiveStore& operator=(const HiveStore&) = delete;

    Mode mode() const { return m_mode; }
    // A random id made with the database: tells one hive file from a later one at the same path.
    const std::string& hiveId() const { return m_hiveId; }

    // A batch: every change until commitBatch is one SQLite transaction, holding the hive's
    // write lock from the start (other writers wait, readers see the state before the batch).
    // Calls inside it that fail leave it as it was before them. rollbackBatch forgets it all.
    // Batches nest; an inner one commits into the outer one.
    Result<void> beginBatch();
    Result<void> commitBatch();
    void rollbackBatch();

    // Follows path (components, no empty ones) below base.
    Result<KeyId> findKey(KeyId base, const std::vector<std::string>& path);
    // Follows path below base, creating what is missing; created tells whether the last
    // component was made now.
    Result<OpenedKey> createKey(KeyId base, const std::vector<std::string>& path);
    // Deletes the key at path below base (base itself when path is empty) with its values,
    // refusing a key that has subkeys. Returns the id the key had.
    Result<KeyId> deleteKey(KeyId base, const std::vector<std::string>& path);
    // ERROR_KEY_DELETED when the key is gone.
    Result<void> checkKey(KeyId key);

    Result<Subkey> subkeyAt(KeyId key, std::uint32_t index);
    Result<StoredValue> value(KeyId key, std::string_view name);
    Result<StoredValue> valueAt(KeyId key, std::uint32_t index);
    // Replaces data and type of an existing value (keeping its name and place) or appends one.
    Result<void> setValue(KeyId key, std::string_view name, std::uint32_t type, std::string_view data);
    Result<void> deleteValue(KeyId key, std::string_view name);
    Result<KeyStats> stats(KeyId key);

private:
    HiveStore(std::unique_ptr<Connection> db, Mode mode, std::string hiveId);

    std::unique_ptr<Connection> m_db;
    Mode m_mode;
    std::string m_hiveId;
};

// Values that must not reach persistent storage, filed under (hive id, key id).
class VolatileStore {
public:
    // Creates the file (0600) and its table when missing.
    static Result<std::unique_ptr<VolatileStore>> open(const std::string& file);
    ~VolatileStore();
    VolatileStore(const VolatileStore&) = delete;
    VolatileStore& operator=(const VolatileStore&) = delete;

    Result<StoredValue> value(const std::string& hive, KeyId key, std::string_view name);
    Result<StoredValue> valueAt(const std::string& hive, KeyId key, std::uint32_t index);
    Result<void> setValue(const std::string& hive, KeyId key, std::string_view name, std::uint32_t type,
                          std::string_view data);
    Result<void> deleteValue(const std::string& hive, KeyId key, std::string_view name);
    // Forgets every value of a key (the key was deleted).
    Result<void> deleteKey(const std::string& hive, KeyId key);
    // Only the value fields of KeyStats are filled.
    Result<KeyStats> stats(const std::string& hive, KeyId key);

private:
    explicit VolatileStore(std::unique_ptr<Connection> db);

    std::unique_ptr<Connection> m_db;
};

}  // namespace vlt::registry::sqlite
