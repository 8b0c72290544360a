#include "registry/sqlite/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "base/errno_win32.h"
#include "base/private_dir.h"
#include "win32/winerror.h"

namespace vlt::registry::sqlite {
namespace {

// Long enough for another deliverable to finish a burst of writes; short enough that a stuck
// process is reported rather than waited for forever.
constexpr int kBusyTimeoutMs = 10000;
constexpr const char* kFormat = "1";

std::atomic<std::uint64_t> g_commits{0};

std::uint32_t win32Code(int rc) {
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
        return ERROR_BADDB;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

std::uint64_t fileTimeNow() {
    using namespace std::chrono;
    const auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return static_cast<std::uint64_t>(since1970) + 116444736000000000ull;
}

Error notFound(const char* what) { return fail(what, ERROR_FILE_NOT_FOUND); }
Error keyDeleted() { return fail("the key has been deleted", ERROR_KEY_DELETED); }

std::string randomId() {
    unsigned char bytes[16] = {};
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // The id only tells hive files apart; the clock and pid will do without entropy.
            const auto t = fileTimeNow() ^ (static_cast<std::uint64_t>(getpid()) << 40);
            std::memcpy(bytes, &t, sizeof t);
            break;
        }
        got += static_cast<size_t>(n);
    }
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace

std::uint64_t committedTransactions() { return g_commits.load(); }

std::string foldName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// One SQLite connection with prepared-statement helpers.
class Connection {
public:
    Connection(sqlite3* db, std::string file) : m_db(db), m_file(std::move(file)) {}
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db() const { return m_db; }

    Error error(int rc) const {
        return fail(m_file + ": " + sqlite3_errmsg(m_db), win32Code(rc));
    }

    Result<void> exec(const char* sql) {
        const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return error(rc);
        return {};
    }

    // Batches nest: the outermost is the transaction, inner ones are savepoints.
    Result<void> beginBatch() {
        if (auto r = exec(m_batchDepth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT batch"); !r) return r;
        ++m_batchDepth;
        return {};
    }
    Result<void> commitBatch() {
        if (m_batchDepth == 0) return fail("no batch is open on this hive", ERROR_INVALID_PARAMETER);
        if (auto r = batchIntact(); !r) {
            m_batchDepth = 0;
            return r;
        }
        if (m_batchDepth > 1) {
            if (auto r = exec("RELEASE batch"); !r) return r;
            --m_batchDepth;
            return {};
        }
        m_batchDepth = 0;
        return commit();
    }
    void rollbackBatch() {
        if (m_batchDepth == 0) return;
        if (--m_batchDepth > 0) {
            sqlite3_exec(m_db, "ROLLBACK TO batch; RELEASE batch", nullptr, nullptr, nullptr);
            return;
        }
        if (sqlite3_get_autocommit(m_db) == 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    // Runs body inside one transaction; a write takes the write lock at once. Inside a batch
    // a write is a savepoint, so that a failed call leaves the batch as it was before it.
    template <typename T, typename F>
    Result<T> transaction(bool write, F&& body) {
        if (m_batchDepth > 0) {
            if (auto r = batchIntact(); !r) return r.error();
            if (!write) return body();
            if (auto r = exec("SAVEPOINT call"); !r) return r.error();
            Result<T> out = body();
            if (!out.ok()) sqlite3_exec(m_db, "ROLLBACK TO call", nullptr, nullptr, nullptr);
            if (auto r = exec("RELEASE call"); !r && out.ok()) return r.error();
            return out;
        }
        if (auto r = exec(write ? "BEGIN IMMEDIATE" : "BEGIN"); !r) return r.error();
        Result<T> out = body();
        if (out.ok()) {
            if (write) {
                if (auto r = commit(); !r) return r.error();
            } else if (auto r = exec("COMMIT"); !r) {
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
                return r.error();
            }
        } else {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return out;
    }

    // Ends the open transaction; on failure nothing of it stays.
    Result<void> commit() {
        if (auto r = exec("COMMIT"); !r) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return r.error();
        }
        ++g_commits;
        return {};
    }

    int changes() const { return sqlite3_changes(m_db); }

private:
    // SQLite ends a transaction by itself after some errors (a full disk, for one): what
    // follows must not be written on its own as if the batch were still open.
    Result<void> batchIntact() const {
        if (sqlite3_get_autocommit(m_db) != 0)
            return fail(m_file + ": the batch of changes was abandoned after an error", ERROR_REGISTRY_IO_FAILED);
        return {};
    }

    sqlite3* m_db;
    std::string m_file;
    int m_batchDepth = 0;
};

namespace {

class Statement {
public:
    Statement(Connection& c, const char* sql) : m_conn(c) {
        m_rc = sqlite3_prepare_v2(c.db(), sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v) {
        if (m_rc == SQLITE_OK) m_rc = sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bindBlob(int i, std::string_view v) {
        // A null pointer would bind SQL NULL; an empty name or value is an empty blob.
        static const char empty = 0;
        if (m_rc == SQLITE_OK)
            m_rc = sqlite3_bind_blob64(m_stmt, i, v.empty() ? &empty : v.data(), v.size(), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindText(int i, std::string_view v) {
        if (m_rc == SQLITE_OK)
            m_rc = sqlite3_bind_text64(m_stmt, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return *this;
    }

    // true: a row is ready; false: done. Errors go to error().
    Result<bool> step() {
        if (m_rc != SQLITE_OK) return m_conn.error(m_rc);
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        m_rc = rc;
        return m_conn.error(rc);
    }
    Result<void> run() {
        auto r = step();
        if (!r) return r.error();
        return {};
    }

    std::int64_t integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string blob(int col) const {
        const void* p = sqlite3_column_blob(m_stmt, col);
        const int n = sqlite3_column_bytes(m_stmt, col);
        return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
    }

private:
    Connection& m_conn;
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

StoredValue valueFromRow(const Statement& s) {
    StoredValue v;
    v.name = s.blob(0);
    v.type = static_cast<std::uint32_t>(s.integer(1));
    v.data = s.blob(2);
    return v;
}

// Opens (and with create, first makes with mode 0600) a database file. Its folder has been
// proven private by the caller, so nobody else can put a file or link there between these
// checks and SQLite's open; what an earlier, more open folder may hold is checked here: the
// database and its rollback journal (which SQLite would play back into the hive) must be
// regular files of the folder's owner.
Result<std::unique_ptr<Connection>> connect(const std::string& file, bool writable, bool create) {
    auto present = base::checkFileInPrivateDir(file);
    if (!present) return present.error();
    if (auto journal = base::checkFileInPrivateDir(file + "-journal"); !journal) return journal.error();
    if (!*present) {
        if (!create) return fail(file + " does not exist", ERROR_FILE_NOT_FOUND);
        // Made here rather than by SQLite so that it never exists with a wider mode.
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return base::errnoError("cannot create " + file);
        ::close(fd);
    }
    sqlite3* db = nullptr;
    const int flags =
        (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW;
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = file + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return fail(std::move(msg), rc == SQLITE_CANTOPEN ? ERROR_CANTOPEN : win32Code(rc));
    }
    auto conn = std::make_unique<Connection>(db, file);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Deleted values are overwritten in the file, and nothing goes to temporary files.
    if (auto r = conn->exec("PRAGMA secure_delete=ON; PRAGMA temp_store=MEMORY"); !r) return r.error();
    if (writable) {
        // A rollback journal: several processes, no shared-memory file beside the hive.
        if (auto r = conn->exec("PRAGMA journal_mode=DELETE"); !r) return r.error();
    }
    return conn;
}

// An empty file (a hive nobody has written yet) has no tables at all.
Result<bool> hasTables(Connection& c) {
    Statement s(c, "SELECT count(*) FROM sqlite_master");
    auto row = s.step();
    if (!row) return row.error();
    return *row && s.integer(0) > 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// HiveStore

HiveStore::HiveStore(std::unique_ptr<Connection> db, Mode mode, std::string hiveId)
    : m_db(std::move(db)), m_mode(mode), m_hiveId(std::move(hiveId)) {}

HiveStore::~HiveStore() = default;

Result<std::unique_ptr<HiveStore>> HiveStore::open(const std::string& file, Mode mode) {
    const bool writable = mode == Mode::ReadWrite;
    auto conn = connect(file, writable, writable);
    if (!conn) return conn.error();
    Connection& c = **conn;

    auto tables = hasTables(c);
    if (!tables) return tables.error();
    // Opening a hive that has its tables takes no write lock: a reader must not wait for a
    // long writer in another process.
    if (writable && !*tables) {
        const std::string id = randomId();
        auto made = c.transaction<void>(true, [&]() -> Result<void> {
            if (auto r = c.exec(
                    "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);"
                    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " parent INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL,"
                    " written INTEGER NOT NULL, UNIQUE(parent, folded));"
                    "CREATE INDEX IF NOT EXISTS keys_order ON keys(parent, id);"
                    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " key INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL,"
                    " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, folded));"
                    "CREATE INDEX IF NOT EXISTS vals_order ON vals(key, id);"
                    "INSERT OR IGNORE INTO keys(id, parent, name, folded, written) VALUES(1, 0, x'', x'', 0);");
                !r)
                return r;
            Statement f(c, "INSERT OR IGNORE INTO meta(name, value) VALUES('format', ?1)");
            if (auto r = f.bindText(1, kFormat).run(); !r) return r;
            Statement h(c, "INSERT OR IGNORE INTO meta(name, value) VALUES('hive', ?1)");
            return h.bindText(1, id).run();
        });
        if (!made) return made.error();
    } else if (!*tables) {
        return fail(file + " holds no keys yet", ERROR_FILE_NOT_FOUND);
    }

    Statement f(c, "SELECT (SELECT value FROM meta WHERE name='format'), (SELECT value FROM meta WHERE name='hive')");
    auto row = f.step();
    if (!row) return fail(file + " is not a registry hive", ERROR_BADDB);
    if (!*row || f.blob(0) != kFormat || f.blob(1).empty())
        return fail(file + " is not a registry hive of this version", ERROR_BADDB);
    std::string hive = f.blob(1);
    return std::unique_ptr<HiveStore>(new HiveStore(std::move(*conn), mode, std::move(hive)));
}

namespace {

Result<void> keyExists(Connection& c, KeyId key) {
    Statement s(c, "SELECT 1 FROM keys WHERE id=?1");
    auto row = s.bind(1, key).step();
    if (!row) return row.error();
    if (!*row) return keyDeleted();
    return {};
}

Result<std::optional<KeyId>> childKey(Connection& c, KeyId parent, const std::string& name) {
    Statement s(c, "SELECT id FROM keys WHERE parent=?1 AND folded=?2");
    auto row = s.bind(1, parent).bindBlob(2, foldName(name)).step();
    if (!row) return row.error();
    if (!*row) return std::optional<KeyId>();
    return std::optional<KeyId>(s.integer(0));
}

Result<KeyId> follow(Connection& c, KeyId base, const std::vector<std::string>& path) {
    if (auto r = keyExists(c, base); !r) return r.error();
    KeyId id = base;
    for (const auto& part : path) {
        auto child = childKey(c, id, part);
        if (!child) return child.error();
        if (!*child) return notFound("the key does not exist");
        id = **child;
    }
    return id;
}

Result<void> touch(Connection& c, KeyId key) {
    Statement s(c, "UPDATE keys SET written=?1 WHERE id=?2");
    return s.bind(1, static_cast<std::int64_t>(fileTimeNow())).bind(2, key).run();
}

}  // namespace

Result<void> HiveStore::beginBatch() {
    if (m_mode != Mode::ReadWrite) return fail("the hive is open read-only", ERROR_ACCESS_DENIED);
    return m_db->beginBatch();
}

Result<void> HiveStore::commitBatch() { return m_db->commitBatch(); }

void HiveStore::rollbackBatch() { m_db->rollbackBatch(); }

Result<KeyId> HiveStore::findKey(KeyId base, const std::vector<std::string>& path) {
    Connection& c = *m_db;
    return c.transaction<KeyId>(false, [&] { return follow(c, base, path); });
}

Result<OpenedKey> HiveStore::createKey(KeyId base, const std::vector<std::string>& path) {
    Connection& c = *m_db;
    // Opening an existing key takes no write lock: it must not wait for a writer.
    auto existing = c.transaction<KeyId>(false, [&] { return follow(c, base, path); });
    if (existing) return OpenedKey{*existing, false};
    if (existing.error().code != ERROR_FILE_NOT_FOUND) return existing.error();
    return c.transaction<OpenedKey>(true, [&]() -> Result<OpenedKey> {
        if (auto r = keyExists(c, base); !r) return r.error();
        OpenedKey out{base, false};
        for (const auto& part : path) {
            auto child = childKey(c, out.id, part);
            if (!child) return child.error();
            if (*child) {
                out = {**child, false};
                continue;
            }
            Statement ins(c, "INSERT INTO keys(parent, name, folded, written) VALUES(?1, ?2, ?3, ?4)");
            if (auto r = ins.bind(1, out.id)
                             .bindBlob(2, part)
                             .bindBlob(3, foldName(part))
                             .bind(4, static_cast<std::int64_t>(fileTimeNow()))
                             .run();
                !r)
                return r.error();
            if (auto r = touch(c, out.id); !r) return r.error();
            out = {sqlite3_last_insert_rowid(c.db()), true};
        }
        return out;
    });
}

Result<KeyId> HiveStore::deleteKey(KeyId base, const std::vector<std::string>& path) {
    Connection& c = *m_db;
    return c.transaction<KeyId>(true, [&]() -> Result<KeyId> {
        auto target = follow(c, base, path);
        if (!target) return target.error();
        if (*target == kRootKey) return fail("the root of a hive cannot be deleted", ERROR_ACCESS_DENIED);
        Statement kids(c, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
        auto row = kids.bind(1, *target).step();
        if (!row) return row.error();
        if (*row) return fail("the key has subkeys", ERROR_ACCESS_DENIED);
        Statement parent(c, "SELECT parent FROM keys WHERE id=?1");
        auto prow = parent.bind(1, *target).step();
        if (!prow) return prow.error();
        const KeyId parentId = *prow ? parent.integer(0) : 0;
        Statement dv(c, "DELETE FROM vals WHERE key=?1");
        if (auto r = dv.bind(1, *target).run(); !r) return r.error();
        Statement dk(c, "DELETE FROM keys WHERE id=?1");
        if (auto r = dk.bind(1, *target).run(); !r) return r.error();
        if (auto r = touch(c, parentId); !r) return r.error();
        return *target;
    });
}

Result<void> HiveStore::checkKey(KeyId key) {
    Connection& c = *m_db;
    return c.transaction<void>(false, [&] { return keyExists(c, key); });
}

Result<Subkey> HiveStore::subkeyAt(KeyId key, std::uint32_t index) {
    Connection& c = *m_db;
    return c.transaction<Subkey>(false, [&]() -> Result<Subkey> {
        if (auto r = keyExists(c, key); !r) return r.error();
        Statement s(c, "SELECT name, written FROM keys WHERE parent=?1 ORDER BY id LIMIT 1 OFFSET ?2");
        auto row = s.bind(1, key).bind(2, index).step();
        if (!row) return row.error();
        if (!*row) return fail("no more subkeys", ERROR_NO_MORE_ITEMS);
        return Subkey{s.blob(0), static_cast<std::uint64_t>(s.integer(1))};
    });
}

Result<StoredValue> HiveStore::value(KeyId key, std::string_view name) {
    Connection& c = *m_db;
    return c.transaction<StoredValue>(false, [&]() -> Result<StoredValue> {
        if (auto r = keyExists(c, key); !r) return r.error();
        Statement s(c, "SELECT name, type, data FROM vals WHERE key=?1 AND folded=?2");
        auto row = s.bind(1, key).bindBlob(2, foldName(name)).step();
        if (!row) return row.error();
        if (!*row) return notFound("the value does not exist");
        return valueFromRow(s);
    });
}

Result<StoredValue> HiveStore::valueAt(KeyId key, std::uint32_t index) {
    Connection& c = *m_db;
    return c.transaction<StoredValue>(false, [&]() -> Result<StoredValue> {
        if (auto r = keyExists(c, key); !r) return r.error();
        Statement s(c, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY id LIMIT 1 OFFSET ?2");
        auto row = s.bind(1, key).bind(2, index).step();
        if (!row) return row.error();
        if (!*row) return fail("no more values", ERROR_NO_MORE_ITEMS);
        return valueFromRow(s);
    });
}

Result<void> HiveStore::setValue(KeyId key, std::string_view name, std::uint32_t type, std::string_view data) {
    Connection& c = *m_db;
    return c.transaction<void>(true, [&]() -> Result<void> {
        if (auto r = keyExists(c, key); !r) return r;
        const std::string folded = foldName(name);
        Statement up(c, "UPDATE vals SET type=?1, data=?2 WHERE key=?3 AND folded=?4");
        if (auto r = up.bind(1, type).bindBlob(2, data).bind(3, key).bindBlob(4, folded).run(); !r) return r;
        if (c.changes() == 0) {
            Statement ins(c, "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)");
            if (auto r = ins.bind(1, key).bindBlob(2, name).bindBlob(3, folded).bind(4, type).bindBlob(5, data).run();
                !r)
                return r;
        }
        return touch(c, key);
    });
}

Result<void> HiveStore::deleteValue(KeyId key, std::string_view name) {
    Connection& c = *m_db;
    return c.transaction<void>(true, [&]() -> Result<void> {
        if (auto r = keyExists(c, key); !r) return r;
        Statement del(c, "DELETE FROM vals WHERE key=?1 AND folded=?2");
        if (auto r = del.bind(1, key).bindBlob(2, foldName(name)).run(); !r) return r;
        if (c.changes() == 0) return notFound("the value does not exist");
        return touch(c, key);
    });
}

Result<KeyStats> HiveStore::stats(KeyId key) {
    Connection& c = *m_db;
    return c.transaction<KeyStats>(false, [&]() -> Result<KeyStats> {
        KeyStats out;
        Statement k(c, "SELECT written FROM keys WHERE id=?1");
        auto krow = k.bind(1, key).step();
        if (!krow) return krow.error();
        if (!*krow) return keyDeleted();
        out.lastWrite = static_cast<std::uint64_t>(k.integer(0));
        Statement sk(c, "SELECT count(*), coalesce(max(length(name)), 0) FROM keys WHERE parent=?1");
        auto srow = sk.bind(1, key).step();
        if (!srow) return srow.error();
        out.subkeys = static_cast<std::uint32_t>(sk.integer(0));
        out.maxSubkeyName = static_cast<std::uint32_t>(sk.integer(1));
        Statement sv(c,
                     "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) "
                     "FROM vals WHERE key=?1");
        auto vrow = sv.bind(1, key).step();
        if (!vrow) return vrow.error();
        out.values = static_cast<std::uint32_t>(sv.integer(0));
        out.maxValueName = static_cast<std::uint32_t>(sv.integer(1));
        out.maxValueData = static_cast<std::uint32_t>(sv.integer(2));
        return out;
    });
}

// ---------------------------------------------------------------------------------------------
// VolatileStore

VolatileStore::VolatileStore(std::unique_ptr<Connection> db) : m_db(std::move(db)) {}

VolatileStore::~VolatileStore() = default;

Result<std::unique_ptr<VolatileStore>> VolatileStore::open(const std::string& file) {
    auto conn = connect(file, true, true);
    if (!conn) return conn.error();
    Connection& c = **conn;
    // The file lives in a tmpfs and dies with the session: syncing it would only slow a lock.
    if (auto r = c.exec("PRAGMA synchronous=OFF"); !r) return r.error();
    auto made = c.transaction<void>(true, [&] {
        return c.exec(
            "CREATE TABLE IF NOT EXISTS vols(id INTEGER PRIMARY KEY AUTOINCREMENT, hive TEXT NOT NULL,"
            " key INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL, type INTEGER NOT NULL,"
            " data BLOB NOT NULL, UNIQUE(hive, key, folded));"
            "CREATE INDEX IF NOT EXISTS vols_order ON vols(hive, key, id);");
    });
    if (!made) return made.error();
    return std::unique_ptr<VolatileStore>(new VolatileStore(std::move(*conn)));
}

Result<StoredValue> VolatileStore::value(const std::string& hive, KeyId key, std::string_view name) {
    Statement s(*m_db, "SELECT name, type, data FROM vols WHERE hive=?1 AND key=?2 AND folded=?3");
    auto row = s.bindText(1, hive).bind(2, key).bindBlob(3, foldName(name)).step();
    if (!row) return row.error();
    if (!*row) return notFound("the value does not exist");
    return valueFromRow(s);
}

Result<StoredValue> VolatileStore::valueAt(const std::string& hive, KeyId key, std::uint32_t index) {
    Statement s(*m_db, "SELECT name, type, data FROM vols WHERE hive=?1 AND key=?2 ORDER BY id LIMIT 1 OFFSET ?3");
    auto row = s.bindText(1, hive).bind(2, key).bind(3, index).step();
    if (!row) return row.error();
    if (!*row) return fail("no more values", ERROR_NO_MORE_ITEMS);
    return valueFromRow(s);
}

Result<void> VolatileStore::setValue(const std::string& hive, KeyId key, std::string_view name,
                                     std::uint32_t type, std::string_view data) {
    Connection& c = *m_db;
    return c.transaction<void>(true, [&]() -> Result<void> {
        const std::string folded = foldName(name);
        Statement up(c, "UPDATE vols SET type=?1, data=?2 WHERE hive=?3 AND key=?4 AND folded=?5");
        if (auto r = up.bind(1, type).bindBlob(2, data).bindText(3, hive).bind(4, key).bindBlob(5, folded).run(); !r)
            return r;
        if (c.changes() > 0) return {};
        Statement ins(c, "INSERT INTO vols(hive, key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        return ins.bindText(1, hive).bind(2, key).bindBlob(3, name).bindBlob(4, folded).bind(5, type).bindBlob(6, data).run();
    });
}

Result<void> VolatileStore::deleteValue(const std::string& hive, KeyId key, std::string_view name) {
    Connection& c = *m_db;
    return c.transaction<void>(true, [&]() -> Result<void> {
        Statement del(c, "DELETE FROM vols WHERE hive=?1 AND key=?2 AND folded=?3");
        if (auto r = del.bindText(1, hive).bind(2, key).bindBlob(3, foldName(name)).run(); !r) return r;
        if (c.changes() == 0) return notFound("the value does not exist");
        return {};
    });
}

Result<void> VolatileStore::deleteKey(const std::string& hive, KeyId key) {
    Connection& c = *m_db;
    return c.transaction<void>(true, [&] {
        Statement del(c, "DELETE FROM vols WHERE hive=?1 AND key=?2");
        return del.bindText(1, hive).bind(2, key).run();
    });
}

Result<KeyStats> VolatileStore::stats(const std::string& hive, KeyId key) {
    Statement s(*m_db,
                "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) "
                "FROM vols WHERE hive=?1 AND key=?2");
    auto row = s.bindText(1, hive).bind(2, key).step();
    if (!row) return row.error();
    KeyStats out;
    out.values = static_cast<std::uint32_t>(s.integer(0));
    out.maxValueName = static_cast<std::uint32_t>(s.integer(1));
    out.maxValueData = static_cast<std::uint32_t>(s.integer(2));
    return out;
}

}  // namespace vlt::registry::sqlite
