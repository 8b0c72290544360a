// Reg* semantics on keys and values: what the suite's RegistryKey wrapper relies on.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "registry/hives.h"
#include "registry_test.h"

namespace vlt::test {
namespace {

const char* const kProfile = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";

using QueryValue = RegistryTest;

TEST_F(QueryValue, MissingValueIsNotFoundAndLeavesTheCallersVariablesAlone) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    DWORD value = 600;  // the caller's default
    DWORD type = 77;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "TimeOut Period", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 600u);
    EXPECT_EQ(type, 77u);
    EXPECT_EQ(size, sizeof value);
    RegCloseKey(key);
}

TEST_F(QueryValue, LongerThanTheBufferIsMoreDataWithTheNeededSize) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    ASSERT_EQ(set(key, "InitUser", REG_BINARY, "12345678"), ERROR_SUCCESS);
    DWORD value = 0xAABBCCDD;
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InitUser", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value, 0xAABBCCDDu) << "nothing is copied when the buffer is too small";

    // The size query and the read with exactly that size.
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InitUser", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    char buf[9] = "xxxxxxxx";
    EXPECT_EQ(RegQueryValueExA(key, "InitUser", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf, 8), "12345678");
    RegCloseKey(key);
}

TEST_F(QueryValue, ZeroLengthValueReadsAsZeroBytes) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    ASSERT_EQ(RegSetValueExA(key, "ExchangeBlob3", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    DWORD size = 99;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "ExchangeBlob3", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    BYTE buf[4] = {9, 9, 9, 9};
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "ExchangeBlob3", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buf[0], 9);
    RegCloseKey(key);
}

TEST_F(QueryValue, DataComesBackExactlyAsStored) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    // A REG_SZ without terminator stays without one; embedded NULs and high bytes survive.
    ASSERT_EQ(set(key, "NoTerminator", REG_SZ, "abc"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "Multi", REG_MULTI_SZ, std::string("a\0b\xe9\0\0", 6)), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "Qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(get(key, "NoTerminator", nullptr, &type), "abc");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(get(key, "Multi", nullptr, &type), std::string("a\0b\xe9\0\0", 6));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(get(key, "Qword", nullptr, &type), std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));

    // Rewriting replaces type and data whole.
    ASSERT_EQ(set(key, "Multi", REG_DWORD, std::string("\x2a\0\0\0", 4)), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "Multi", nullptr, &type), std::string("\x2a\0\0\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    RegCloseKey(key);
}

TEST_F(QueryValue, ValuesSurviveReopeningTheHive) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    ASSERT_EQ(set(key, "ExchangeBlob1", REG_BINARY, "record"), ERROR_SUCCESS);
    RegCloseKey(key);
    registry::resetHives();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProfile, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "ExchangeBlob1"), "record");
    RegCloseKey(key);
}

using Names = RegistryTest;

TEST_F(Names, ValueNamesIgnoreCaseAndKeepTheFirstSpellingAndPlace) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    ASSERT_EQ(set(key, "ExchangeBlob1", REG_BINARY, "one"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "InitUser", REG_BINARY, "two"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "EXCHANGEBLOB1", REG_BINARY, "three"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"ExchangeBlob1", "InitUser"}));
    EXPECT_EQ(get(key, "exchangeblob1"), "three");
    EXPECT_EQ(RegDeleteValueA(key, "INITUSER"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"ExchangeBlob1"}));
    RegCloseKey(key);
}

TEST_F(Names, KeyNamesIgnoreCaseAndKeepTheFirstSpelling) {
    HKEY a = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Certificate");
    ASSERT_EQ(set(a, "Jane Doe", REG_BINARY, "entry"), ERROR_SUCCESS);
    DWORD disposition = 0;
    HKEY b = create(HKEY_LOCAL_MACHINE, "Software\\Quillon Softworks\\Vaultine\\1.00\\Certificate", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(get(b, "jane doe"), "entry");
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{"SOFTWARE"});
    RegCloseKey(a);
    RegCloseKey(b);
}

TEST_F(Names, ValuesAndSubkeysEnumerateInCreationOrder) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Order");
    for (const char* n : {"zeta", "alpha", "Mid", "beta"}) ASSERT_EQ(set(key, n, REG_DWORD, "1234"), ERROR_SUCCESS);
    for (const char* n : {"Settings", "Profile", "Certificate"}) RegCloseKey(create(key, n));
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"zeta", "alpha", "Mid", "beta"}));
    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"Settings", "Profile", "Certificate"}));
    // A deleted and re-created value goes to the end.
    ASSERT_EQ(RegDeleteValueA(key, "zeta"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "zeta", REG_DWORD, "1234"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"alpha", "Mid", "beta", "zeta"}));
    RegCloseKey(key);
}

TEST_F(Names, DefaultValueIsNamedByNullOrEmpty) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Default");
    ASSERT_EQ(set(key, nullptr, REG_SZ, std::string("dll\0", 4)), ERROR_SUCCESS);
    EXPECT_EQ(get(key, ""), std::string("dll\0", 4));
    EXPECT_EQ(get(key, nullptr), std::string("dll\0", 4));
    EXPECT_EQ(valueNames(key), std::vector<std::string>{""});
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_SUCCESS);
    LONG rc = 0;
    get(key, nullptr, &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

using Keys = RegistryTest;

TEST_F(Keys, CreateMakesIntermediateKeysAndReportsTheDisposition) {
    DWORD disposition = 0;
    HKEY key = create(HKEY_CURRENT_USER, kProfile, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    key = create(HKEY_CURRENT_USER, kProfile, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);

    HKEY mid = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillon Softworks\\Vaultine", 0, KEY_READ, &mid),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(mid), std::vector<std::string>{"1.00"});
    RegCloseKey(mid);
}

TEST_F(Keys, OpeningAMissingKeyIsNotFound) {
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProfile, 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    RegCloseKey(create(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Keys, PathsFollowWindowsRules) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_BAD_PATHNAME);
    const std::string tooLong(256, 'k');
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(create(HKEY_CURRENT_USER, std::string(255, 'k')));

    // Trailing backslashes are ignored.
    HKEY a = create(HKEY_CURRENT_USER, "Software\\Trail\\\\");
    HKEY b = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Trail", 0, KEY_READ, &b), ERROR_SUCCESS);
    ASSERT_EQ(set(a, "v", REG_BINARY, "x"), ERROR_SUCCESS);
    EXPECT_EQ(get(b, "v"), "x");
    RegCloseKey(a);
    RegCloseKey(b);
}

TEST_F(Keys, EmptySubkeyOpensTheSameKeyAgain) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, key);
    ASSERT_EQ(set(key, "InitUser", REG_DWORD, std::string("\1\0\0\0", 4)), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(get(again, "InitUser"), std::string("\1\0\0\0", 4));
    HKEY third = nullptr;
    ASSERT_EQ(RegOpenKeyExA(again, nullptr, 0, KEY_READ, &third), ERROR_SUCCESS);
    RegCloseKey(again);
    RegCloseKey(third);

    // Below a predefined root the root itself comes back.
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, nullptr, 0, KEY_READ, &root), ERROR_SUCCESS);
    EXPECT_EQ(root, HKEY_CLASSES_ROOT);
}

TEST_F(Keys, DeletingAKeyWithSubkeysIsRefused) {
    HKEY child = create(HKEY_CURRENT_USER, "Software\\Parent\\Child");
    RegCloseKey(child);
    HKEY parent = create(HKEY_CURRENT_USER, "Software\\Parent");
    ASSERT_EQ(set(parent, "v", REG_BINARY, "parent value"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(get(parent, "v"), "parent value");

    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Parent"), ERROR_SUCCESS);
    RegCloseKey(parent);

    // Its values went with it.
    DWORD disposition = 0;
    parent = create(HKEY_CURRENT_USER, "Software\\Parent", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(valueNames(parent).empty());
    RegCloseKey(parent);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Keys, HandleToADeletedKeyReportsKeyDeleted) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Gone");
    ASSERT_EQ(set(key, "v", REG_BINARY, "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
    LONG rc = 0;
    get(key, "v", &rc);
    EXPECT_EQ(rc, ERROR_KEY_DELETED);
    EXPECT_EQ(set(key, "v", REG_BINARY, "y"), ERROR_KEY_DELETED);
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // A key of the same name made later is another key.
    HKEY stale = create(HKEY_CURRENT_USER, "Software\\Gone2");
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone2"), ERROR_SUCCESS);
    RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Gone2"));
    EXPECT_EQ(set(stale, "v", REG_BINARY, "y"), ERROR_KEY_DELETED);
    RegCloseKey(stale);
}

TEST_F(Keys, OnlyOpenHandlesAreHandles) {
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    HKEY key = create(HKEY_CURRENT_USER, "Software\\H");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    LONG rc = 0;
    get(key, "v", &rc);
    EXPECT_EQ(rc, ERROR_INVALID_HANDLE);
    get(nullptr, "v", &rc);
    EXPECT_EQ(rc, ERROR_INVALID_HANDLE);
    get(reinterpret_cast<HKEY>(0x80000010u), "v", &rc);
    EXPECT_EQ(rc, ERROR_INVALID_HANDLE);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);

    // Handles die with the hives they came from.
    key = create(HKEY_CURRENT_USER, "Software\\H");
    registry::resetHives();
    get(key, "v", &rc);
    EXPECT_EQ(rc, ERROR_INVALID_HANDLE);
}

TEST_F(Keys, UnsupportedArgumentsAreRefusedNotGuessed) {
    HKEY key = nullptr;
    char cls[] = "MyClass";
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, cls, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_NOT_SUPPORTED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_NOT_SUPPORTED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, 0x00400000, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "v", &reserved, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(subkeyNames(HKEY_CURRENT_USER), std::vector<std::string>{}) << "nothing was created";
}

using Enumeration = RegistryTest;

TEST_F(Enumeration, EmptyKeyHasNothingToEnumerate) {
    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    DWORD values = 9, subkeys = 9, maxName = 9, maxData = 9, maxSub = 9;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName, &maxData,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(maxName, 0u);
    EXPECT_EQ(maxData, 0u);
    EXPECT_EQ(maxSub, 0u);
    // The wrapper's buffers are then one byte each.
    char name[1];
    BYTE data[1];
    DWORD nameSize = 1, dataSize = 1, type = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_NO_MORE_ITEMS);
    char sub[1];
    DWORD subSize = 1;
    EXPECT_EQ(RegEnumKeyExA(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(Enumeration, InfoReportsCountsAndLongestNamesAndData) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Info");
    ASSERT_EQ(set(key, "a", REG_BINARY, std::string(300, 'd')), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "TimeOut Period", REG_DWORD, "\x2c\x01\0\0"), ERROR_SUCCESS);
    RegCloseKey(create(key, "x"));
    RegCloseKey(create(key, "Certificate"));
    DWORD values = 0, subkeys = 0, maxName = 0, maxData = 0, maxSub = 0;
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName, &maxData,
                               nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 14u);  // "TimeOut Period", without terminator
    EXPECT_EQ(maxData, 300u);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(maxSub, 11u);  // "Certificate"
    // 2000-01-01 in FILETIME ticks is 0x01BF53EB256D4000; anything later is a plausible clock.
    const std::uint64_t ticks = (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
    EXPECT_GT(ticks, 0x01BF53EB256D4000ull);
    RegCloseKey(key);
}

TEST_F(Enumeration, SmallBuffersGetMoreDataAndAreLeftAlone) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Enum");
    ASSERT_EQ(set(key, "Test", REG_SZ, std::string("foobar\0", 7)), ERROR_SUCCESS);

    char name[16] = "xxxxxxxxxx";
    char data[16] = "xxxxxxxxxx";
    DWORD nameSize = 4;  // no room for the terminator
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
              ERROR_MORE_DATA);
    EXPECT_STREQ(name, "xxxxxxxxxx");
    EXPECT_EQ(dataSize, 7u);

    nameSize = sizeof name;
    dataSize = 2;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 7u);
    EXPECT_EQ(nameSize, sizeof name);
    EXPECT_STREQ(data, "xxxxxxxxxx");

    nameSize = 5;
    dataSize = 7;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
              ERROR_SUCCESS);
    EXPECT_EQ(nameSize, 4u);
    EXPECT_STREQ(name, "Test");
    EXPECT_EQ(dataSize, 7u);
    EXPECT_STREQ(data, "foobar");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    RegCloseKey(create(key, "Subkey"));
    char sub[16] = "xxxxxxxxxx";
    DWORD subSize = 6;
    EXPECT_EQ(RegEnumKeyExA(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_STREQ(sub, "xxxxxxxxxx");
    subSize = 7;
    EXPECT_EQ(RegEnumKeyExA(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subSize, 6u);
    EXPECT_STREQ(sub, "Subkey");
    RegCloseKey(key);
}

using ClassesRoot = RegistryTest;

TEST_F(ClassesRoot, IsTheMachinesSoftwareClasses) {
    const char* clsid = "CLSID\\{87b9bd00-c65c-11cd-a259-00dd010e8c28}\\InprocServer32";
    // Before anything exists HKEY_CLASSES_ROOT reads as an empty key.
    EXPECT_TRUE(subkeyNames(HKEY_CLASSES_ROOT).empty());
    LONG rc = 0;
    get(HKEY_CLASSES_ROOT, "", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);

    HKEY viaClasses = create(HKEY_CLASSES_ROOT, clsid);
    ASSERT_EQ(set(viaClasses, nullptr, REG_SZ, std::string("libVTMenu32.so\0", 15)), ERROR_SUCCESS);
    HKEY viaMachine = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\CLASSES\\clsid\\{87b9bd00-c65c-11cd-a259-00dd010e8c28}\\InprocServer32", 0,
                            KEY_READ, &viaMachine),
              ERROR_SUCCESS);
    EXPECT_EQ(get(viaMachine, nullptr), std::string("libVTMenu32.so\0", 15));
    EXPECT_EQ(subkeyNames(HKEY_CLASSES_ROOT), std::vector<std::string>{"CLSID"});
    EXPECT_TRUE(subkeyNames(HKEY_CURRENT_USER).empty()) << "nothing lands in the user's hive";

    // Values on the root itself are values of Software\Classes.
    ASSERT_EQ(set(HKEY_CLASSES_ROOT, "RootValue", REG_BINARY, "r"), ERROR_SUCCESS);
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_READ, &classes), ERROR_SUCCESS);
    EXPECT_EQ(get(classes, "RootValue"), "r");
    RegCloseKey(classes);
    RegCloseKey(viaClasses);
    RegCloseKey(viaMachine);
}

TEST_F(ClassesRoot, ValueOnTheRootMakesSoftwareClasses) {
    ASSERT_EQ(set(HKEY_CLASSES_ROOT, "First", REG_BINARY, "1"), ERROR_SUCCESS);
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_READ, &classes), ERROR_SUCCESS);
    EXPECT_EQ(get(classes, "first"), "1");
    RegCloseKey(classes);
}

using Files = RegistryTest;

TEST_F(Files, HiveFilesArePrivateAndDeletedDataIsOverwritten) {
    const std::string home = sandbox.root() + "/fresh/home";
    setenv("VLT_HOME", home.c_str(), 1);  // the sandbox puts it back
    registry::resetHives();

    HKEY key = create(HKEY_CURRENT_USER, kProfile);
    const std::string secret = "DELETED-VALUE-PATTERN-7f3a9c";
    ASSERT_EQ(set(key, "Old", REG_BINARY, secret), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "Kept", REG_BINARY, "KEPT-VALUE-PATTERN"), ERROR_SUCCESS);
    ASSERT_TRUE(anyFileContains(home, secret));
    ASSERT_EQ(RegDeleteValueA(key, "Old"), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_FALSE(anyFileContains(home, secret));
    EXPECT_TRUE(anyFileContains(home, "KEPT-VALUE-PATTERN"));

    struct stat st {};
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((home + "/user.db").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A rollback journal: nothing but the database stays beside it.
    EXPECT_EQ(listFiles(home), std::vector<std::string>{home + "/user.db"});
}

TEST_F(Files, ReadingDoesNotCreateAHive) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProfile, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(subkeyNames(HKEY_LOCAL_MACHINE).empty());
    EXPECT_TRUE(listFiles(sandbox.home()).empty());
    EXPECT_TRUE(listFiles(sandbox.machine()).empty());
}

}  // namespace
}  // namespace vlt::test
