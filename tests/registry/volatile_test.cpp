// Values declared volatile (the unlock cache) live under the runtime directory only, yet read
// like any other value of their key.
#include <sys/wait.h>
#include <unistd.h>

#include "registry/hives.h"
#include "registry_test.h"

namespace vlt::test {
namespace {

// Declarations are process-wide, so every test uses a key of its own.
std::string keyFor(const char* test) { return std::string("Software\\Quillon Softworks\\Vaultine\\1.00\\") + test; }

// Recognisable and not a run of one byte, so that a match cannot be an accident.
std::string secretPattern(char tag) {
    std::string s = "PLAIN-PRIVATE-KEY-";
    for (int i = 0; i < 64; ++i) s += static_cast<char>('A' + (i * 7 + tag) % 26);
    return s;
}

using VolatileValues = RegistryTest;

TEST_F(VolatileValues, NeverReachTheUsersFiles) {
    const std::string path = keyFor("NeverOnDisk");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    HKEY key = create(HKEY_CURRENT_USER, path);
    const std::string secret = secretPattern('a');
    const std::string ordinary = "ORDINARY-RECORD-" + secretPattern('b');
    ASSERT_EQ(set(key, "ExchangeBlob1", REG_BINARY, ordinary), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, secret), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "TempExchangeBlob1"), secret);
    RegCloseKey(key);
    registry::resetHives();  // everything closed and flushed

    EXPECT_FALSE(anyFileContains(sandbox.home(), secret));
    // The search itself works: the ordinary value is there, the secret is in the runtime store.
    EXPECT_TRUE(anyFileContains(sandbox.home(), ordinary));
    EXPECT_TRUE(anyFileContains(sandbox.runtime(), secret));
    EXPECT_FALSE(anyFileContains(sandbox.runtime(), ordinary));

    // And it reads back after the hives were reopened.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "tempexchangeblob1"), secret);
    RegCloseKey(key);
}

TEST_F(VolatileValues, AreSeenByAnotherProcess) {
    const std::string path = keyFor("OtherProcess");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob2");
    HKEY key = create(HKEY_CURRENT_USER, path);
    const std::string secret = secretPattern('c');
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, secret), ERROR_SUCCESS);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child reads the parent's value and leaves one of its own.
        HKEY k = nullptr;
        int status = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) status |= 1;
        if (get(k, "TempExchangeBlob1") != secret) status |= 2;
        if (set(k, "TempExchangeBlob2", REG_BINARY, "from the child") != ERROR_SUCCESS) status |= 4;
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(get(key, "TempExchangeBlob2"), "from the child");
    RegCloseKey(key);
    EXPECT_FALSE(anyFileContains(sandbox.home(), "from the child"));
}

TEST_F(VolatileValues, EnumerateAfterThePersistentValuesAndCountInTheKeyInfo) {
    const std::string path = keyFor("Enumerate");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob2");
    HKEY key = create(HKEY_CURRENT_USER, path);
    ASSERT_EQ(set(key, "ExchangeBlob1", REG_BINARY, "1"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "TempExchangeBlob2", REG_BINARY, std::string(500, 'k')), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "InitUser", REG_DWORD, std::string("\1\0\0\0", 4)), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "tempEXCHANGEblob1", REG_BINARY, "k1"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key),
              (std::vector<std::string>{"ExchangeBlob1", "InitUser", "TempExchangeBlob2", "tempEXCHANGEblob1"}));

    DWORD values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &maxName, &maxData,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 4u);
    EXPECT_EQ(maxName, 17u);  // "TempExchangeBlob2"
    EXPECT_EQ(maxData, 500u);

    // Enumeration hands out volatile data like any other.
    char name[32];
    BYTE data[600];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    ASSERT_EQ(RegEnumValueA(key, 3, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, nameSize), "tempEXCHANGEblob1");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), "k1");
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 4, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(VolatileValues, DeleteLikeOrdinaryValues) {
    const std::string path = keyFor("Delete");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    HKEY key = create(HKEY_CURRENT_USER, path);
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, "cache"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "TEMPEXCHANGEBLOB1"), ERROR_SUCCESS);
    LONG rc = 0;
    get(key, "TempExchangeBlob1", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "TempExchangeBlob1"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(valueNames(key).empty());
    RegCloseKey(key);
}

TEST_F(VolatileValues, GoWithTheirKey) {
    const std::string path = keyFor("KeyDeleted");
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    HKEY key = create(HKEY_CURRENT_USER, path);
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, secretPattern('d')), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(anyFileContains(sandbox.runtime(), secretPattern('d')));

    key = create(HKEY_CURRENT_USER, path);
    LONG rc = 0;
    get(key, "TempExchangeBlob1", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(valueNames(key).empty());
    RegCloseKey(key);
}

TEST_F(VolatileValues, ScrubACopyWrittenBeforeTheDeclaration) {
    const std::string path = keyFor("Leaked");
    HKEY key = create(HKEY_CURRENT_USER, path);
    const std::string leaked = secretPattern('e');
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, leaked), ERROR_SUCCESS);
    ASSERT_TRUE(anyFileContains(sandbox.home(), leaked));

    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    EXPECT_EQ(get(key, "TempExchangeBlob1"), leaked) << "the old copy is still read until replaced";
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, "fresh"), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "TempExchangeBlob1"), "fresh");
    EXPECT_EQ(valueNames(key), std::vector<std::string>{"TempExchangeBlob1"});
    RegCloseKey(key);
    registry::resetHives();
    EXPECT_FALSE(anyFileContains(sandbox.home(), leaked));
}

TEST_F(VolatileValues, MatchTheKeyThroughEitherRoot) {
    registry::declareVolatileValue(HKEY_CLASSES_ROOT, "VolatileClass", "Cache");
    HKEY viaMachine = create(HKEY_LOCAL_MACHINE, "Software\\Classes\\volatileclass");
    ASSERT_EQ(set(viaMachine, "CACHE", REG_BINARY, secretPattern('f')), ERROR_SUCCESS);
    HKEY viaClasses = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "VolatileClass", 0, KEY_READ, &viaClasses), ERROR_SUCCESS);
    EXPECT_EQ(get(viaClasses, "Cache"), secretPattern('f'));
    RegCloseKey(viaMachine);
    RegCloseKey(viaClasses);
    registry::resetHives();
    EXPECT_FALSE(anyFileContains(sandbox.machine(), secretPattern('f')));
    // Only the declared key: the same name elsewhere is persistent.
    HKEY other = create(HKEY_LOCAL_MACHINE, "Software\\Classes\\OtherClass");
    ASSERT_EQ(set(other, "Cache", REG_BINARY, secretPattern('g')), ERROR_SUCCESS);
    RegCloseKey(other);
    registry::resetHives();
    EXPECT_TRUE(anyFileContains(sandbox.machine(), secretPattern('g')));
}

}  // namespace
}  // namespace vlt::test
