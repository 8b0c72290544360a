// Transactions: a group of changes is seen whole or not at all, by this process after a
// rollback and by others after a kill; other processes are not held up by a long writer.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry/regtext.h"
#include "registry/sqlite/store.h"
#include "registry_test.h"

namespace vlt::test {
namespace {

const char* const kKey = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
const char* const kNames[] = {"ExchangeBlob1", "ExchangeBlob2", "ExchangeBlob3", "ExchangeBlob4", "InitUser"};

std::string snapshot() {
    auto text = registry::exportRegText(HKEY_CURRENT_USER, "", registry::RegTextFormat::Version5Utf8);
    EXPECT_TRUE(text.ok()) << (text ? "" : text.error().message);
    return text ? *text : std::string();
}

class Transactions : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        HKEY key = create(HKEY_CURRENT_USER, kKey);
        for (const char* name : kNames) set(key, name, REG_BINARY, std::string("old ") + name);
        RegCloseKey(create(HKEY_CURRENT_USER, std::string(kKey) + "\\Child\\Grandchild"));
        RegCloseKey(key);
    }

    static void expectValues(const std::string& prefix) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        for (const char* name : kNames) EXPECT_EQ(get(key, name), prefix + name) << name;
        RegCloseKey(key);
    }
};

TEST_F(Transactions, ARollbackLeavesTheHiveExactlyAsItWas) {
    const std::string before = snapshot();
    ASSERT_EQ(registry::beginTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);
    HKEY key = create(HKEY_CURRENT_USER, kKey);
    set(key, "ExchangeBlob1", REG_BINARY, "new");
    set(key, "Added", REG_DWORD, "1234");
    EXPECT_EQ(RegDeleteValueA(key, "InitUser"), ERROR_SUCCESS);
    RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Other\\Deeper"));
    EXPECT_EQ(RegDeleteTreeA(key, "Child"), ERROR_SUCCESS);
    // A nested transaction commits into the outer one; the outer rollback takes it back too.
    ASSERT_EQ(registry::beginTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);
    set(key, "ExchangeBlob2", REG_BINARY, "inner");
    EXPECT_EQ(registry::commitTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_NE(snapshot(), before);  // this thread sees its own changes
    RegCloseKey(key);
    EXPECT_EQ(registry::rollbackTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);

    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(registry::commitTransaction(HKEY_CURRENT_USER), ERROR_INVALID_PARAMETER);
    registry::resetHives();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Transactions, AProcessKilledPartWayLeavesTheOldValuesWhole) {
    for (int written : {1, 3, 5}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (registry::beginTransaction(HKEY_CURRENT_USER) != ERROR_SUCCESS) _exit(1);
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) _exit(1);
            for (int i = 0; i < written; ++i) set(key, kNames[i], REG_BINARY, std::string("new ") + kNames[i]);
            raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child failed before its writes";
        expectValues("old ");
    }
    // The hive is not left locked: a later change goes through.
    HKEY key = create(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(set(key, "InitUser", REG_BINARY, "after"), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The parent holds a write transaction while a child reads and removes a volatile value: the
// child must neither fail nor wait for the writer; once the parent commits, it sees the change.
TEST_F(Transactions, OtherProcessesReadAndLockWhileAWriterHoldsTheHive) {
    registry::declareVolatileValue(HKEY_CURRENT_USER, kKey, "TempExchangeBlob1");
    HKEY key = create(HKEY_CURRENT_USER, kKey);
    set(key, "TempExchangeBlob1", REG_BINARY, "plain key");
    ASSERT_EQ(registry::beginTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);
    for (const char* name : kNames) set(key, name, REG_BINARY, std::string("new ") + name);
    RegCloseKey(key);

    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        registry::resetHives();  // a fresh process opens the hive anew
        auto readAll = [](const std::string& prefix) {
            HKEY k = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return false;
            bool same = true;
            for (const char* name : kNames) same = same && get(k, name) == prefix + name;
            RegCloseKey(k);
            return same;
        };
        HKEY k = nullptr;
        const bool during = readAll("old ") && RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &k) == 0 &&
                            RegDeleteValueA(k, "TempExchangeBlob1") == ERROR_SUCCESS;
        const char report = during ? 'y' : 'n';
        if (write(toParent[1], &report, 1) != 1) _exit(3);
        char go;
        if (read(toChild[0], &go, 1) != 1) _exit(3);
        _exit(readAll("new ") ? (during ? 0 : 1) : 2);
    }
    char report = 0;
    ASSERT_EQ(read(toParent[0], &report, 1), 1);
    EXPECT_EQ(report, 'y') << "the reader failed while the writer held the hive";
    EXPECT_EQ(registry::commitTransaction(HKEY_CURRENT_USER), ERROR_SUCCESS);
    ASSERT_EQ(write(toChild[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: failed during the write, 2: did not see the new values";
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(Transactions, ALargeImportIsOneCommit) {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Bulk]\n";
    for (int i = 0; i < 20000; ++i) text += "\"v" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    const auto before = registry::sqlite::committedTransactions();
    ASSERT_TRUE(registry::importRegText(text).ok());
    EXPECT_EQ(registry::sqlite::committedTransactions() - before, 1u);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bulk", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "v19999"), std::string("\x09\0\0\0", 4));
    RegCloseKey(key);
}

std::string deepPath(unsigned levels) {
    std::string path = "k";
    for (unsigned i = 1; i < levels; ++i) path += "\\k";
    return path;
}

TEST_F(Transactions, KeysStopAt512LevelsAndDeeperOnesAreWalkedWithoutRecursion) {
    const std::string before = snapshot();
    const std::string tooDeep = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Fine]\n\"a\"=\"b\"\n\n[HKEY_CURRENT_USER\\" +
                                deepPath(513) + "]\n";
    auto refused = registry::importRegText(tooDeep);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, static_cast<std::uint32_t>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_NE(refused.error().message.find("512 levels"), std::string::npos) << refused.error().message;
    EXPECT_EQ(snapshot(), before);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, deepPath(513).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(registry::importRegText("REGEDIT4\n\n[HKEY_CURRENT_USER\\" + deepPath(512) + "]\n").ok());

    // A hive written elsewhere may hold deeper keys: export refuses them, delete removes them.
    {
        auto store = registry::sqlite::HiveStore::open(sandbox.home() + "/user.db",
                                                       registry::sqlite::HiveStore::Mode::ReadWrite);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE((*store)->createKey(registry::sqlite::kRootKey, std::vector<std::string>(10000, "k")).ok());
    }
    auto exported = registry::exportRegText(HKEY_CURRENT_USER, "k", registry::RegTextFormat::Version5Utf8);
    ASSERT_FALSE(exported.ok());
    EXPECT_EQ(exported.error().code, static_cast<std::uint32_t>(ERROR_FILENAME_EXCED_RANGE));
    ASSERT_TRUE(registry::importRegText("REGEDIT4\n\n[-HKEY_CURRENT_USER\\k]\n").ok());
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "k", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace vlt::test
