// Who may change what: read-only hives (the administrator's machine store) and handle rights.
#include <sys/stat.h>

#include <cstdlib>

#include "registry_test.h"

namespace vlt::test {
namespace {

const char* const kStore = "SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Certificate";

class ReadOnlyHive : public RegistryTest {
protected:
    // A machine store with one certificate, then made read-only the way an administrator's
    // store looks to a user (the tests run as root, so the mode bits are what counts).
    void SetUp() override {
        RegistryTest::SetUp();
        HKEY key = create(HKEY_LOCAL_MACHINE, kStore);
        ASSERT_EQ(set(key, "Jane Doe", REG_BINARY, "entry"), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(chmod((sandbox.machine() + "/machine.db").c_str(), 0444), 0);
        ASSERT_EQ(chmod(sandbox.machine().c_str(), 0555), 0);
        before = readFile(sandbox.machine() + "/machine.db");
    }

    std::vector<unsigned char> before;
};

TEST_F(ReadOnlyHive, RefusesWriteAccessAtOpenAndCreate) {
    for (REGSAM sam : {static_cast<REGSAM>(KEY_ALL_ACCESS), static_cast<REGSAM>(KEY_SET_VALUE),
                       static_cast<REGSAM>(KEY_CREATE_SUB_KEY), static_cast<REGSAM>(DELETE),
                       static_cast<REGSAM>(KEY_WRITE), 0x40000000u /* GENERIC_WRITE */}) {
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStore, 0, sam, &key), ERROR_ACCESS_DENIED) << std::hex << sam;
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStore, 0, nullptr, 0, sam, nullptr, &key, nullptr),
                  ERROR_ACCESS_DENIED)
            << std::hex << sam;
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    // A missing key is still reported as missing.
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readFile(sandbox.machine() + "/machine.db"), before);
}

TEST_F(ReadOnlyHive, StillReadsAndOpensForReading) {
    for (bool reopen : {false, true}) {
        if (reopen) registry::resetHives();  // as a fresh process would find it
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStore, 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(get(key, "Jane Doe"), "entry");
        EXPECT_EQ(set(key, "Jane Doe", REG_BINARY, "changed"), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStore, 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
        RegCloseKey(key);
        // Creating needs a writable hive whatever rights are asked for.
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
                  ERROR_ACCESS_DENIED);
        // MAXIMUM_ALLOWED gets what there is: reading.
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStore, 0, 0x02000000u, &key), ERROR_SUCCESS);
        EXPECT_EQ(get(key, "Jane Doe"), "entry");
        EXPECT_EQ(RegDeleteValueA(key, "Jane Doe"), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
    }
    EXPECT_EQ(readFile(sandbox.machine() + "/machine.db"), before);
}

TEST_F(ReadOnlyHive, RefusesEveryChange) {
    EXPECT_EQ(set(HKEY_LOCAL_MACHINE, "v", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(HKEY_CLASSES_ROOT, "v", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kStore), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(registry::isHiveWritable(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(registry::isHiveWritable(HKEY_CLASSES_ROOT));
    EXPECT_EQ(readFile(sandbox.machine() + "/machine.db"), before);

    // The user's own hive is untouched by this.
    EXPECT_TRUE(registry::isHiveWritable(HKEY_CURRENT_USER));
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Quillon Softworks\\Vaultine\\1.00\\Certificate");
    EXPECT_EQ(set(key, "Jane Doe", REG_BINARY, "mine"), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(ReadOnlyHive, HandlesOpenedBeforeTheChangeCannotWriteEither) {
    ASSERT_EQ(chmod(sandbox.machine().c_str(), 0755), 0);
    ASSERT_EQ(chmod((sandbox.machine() + "/machine.db").c_str(), 0644), 0);
    HKEY key = create(HKEY_LOCAL_MACHINE, kStore);
    ASSERT_EQ(set(key, "Other", REG_BINARY, "ok"), ERROR_SUCCESS);
    ASSERT_EQ(chmod((sandbox.machine() + "/machine.db").c_str(), 0444), 0);
    EXPECT_EQ(set(key, "Other", REG_BINARY, "no"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(get(key, "Other"), "ok");
    RegCloseKey(key);
}

using MissingHive = RegistryTest;

TEST_F(MissingHive, DirectoryThatCannotBeMadeReadsEmptyAndRefusesWrites) {
    const std::string dir = sandbox.machine() + "/sub/hive";
    setenv("VLT_MACHINE_DIR", dir.c_str(), 1);
    ASSERT_EQ(chmod(sandbox.machine().c_str(), 0555), 0);
    registry::resetHives();

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_TRUE(subkeyNames(HKEY_LOCAL_MACHINE).empty());
    EXPECT_TRUE(valueNames(HKEY_LOCAL_MACHINE).empty());
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(HKEY_LOCAL_MACHINE, "v", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fileExists(sandbox.machine() + "/sub"));
}

TEST_F(MissingHive, DirectoryIsMadeOnTheFirstWrite) {
    const std::string dir = sandbox.machine() + "/sub/hive";
    setenv("VLT_MACHINE_DIR", dir.c_str(), 1);
    registry::resetHives();
    EXPECT_TRUE(registry::isHiveWritable(HKEY_LOCAL_MACHINE));
    RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE"));
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

using HandleRights = RegistryTest;

TEST_F(HandleRights, AreCheckedOnEveryCall) {
    RegCloseKey(create(HKEY_CURRENT_USER, "Software\\R\\Sub"));
    HKEY key = create(HKEY_CURRENT_USER, "Software\\R");
    ASSERT_EQ(set(key, "v", REG_BINARY, "x"), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\R", 0, KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(set(reader, "v", REG_BINARY, "y"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(get(reader, "v"), "x");

    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\R", 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    LONG rc = 0;
    get(writer, "v", &rc);
    EXPECT_EQ(rc, ERROR_ACCESS_DENIED);
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumValueA(writer, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(writer, "v", REG_BINARY, "z"), ERROR_SUCCESS);
    EXPECT_EQ(get(reader, "v"), "z");

    HKEY generic = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\R", 0, 0x80000000u /* GENERIC_READ */, &generic),
              ERROR_SUCCESS);
    EXPECT_EQ(get(generic, "v"), "z");
    EXPECT_EQ(set(generic, "v", REG_BINARY, "w"), ERROR_ACCESS_DENIED);
    RegCloseKey(reader);
    RegCloseKey(writer);
    RegCloseKey(generic);
}

}  // namespace
}  // namespace vlt::test
