// RegistryKey over the registry emulation: the wrapper's own rules (defaults kept on failure,
// buffer sizes, the cursor moving on after a failure, the handle replacement rule) and the
// platform's result codes passing through unchanged.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "shared/registry_key.h"
#include "shared_test_support.h"

namespace vlt {
namespace {

using test::getValue;
using test::putBinary;
using test::putDword;

constexpr char kKey[] = "Software\\Test\\Key";

class RegistryKeyTest : public test::RegistrySandboxTest {};

TEST_F(RegistryKeyTest, QueryDwordKeepsTheCallersDefaultOnFailure) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Long", {1, 2, 3, 4, 5}), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);

    DWORD value = 300;
    EXPECT_EQ(key.QueryDword(value, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 300u);
    EXPECT_EQ(key.QueryDword(value, "Long"), ERROR_MORE_DATA);
    EXPECT_EQ(value, 300u);
}

TEST_F(RegistryKeyTest, QueryDwordReadsAtMostFourBytesOfAnyType) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Bin", {0x78, 0x56, 0x34, 0x12}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Short", {0x01, 0x02}), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(key.QueryDword(value, "Bin"), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x12345678u);
    // A shorter value fills only the low bytes; the rest stay as the caller set them.
    value = 0xAAAAAAAA;
    EXPECT_EQ(key.QueryDword(value, "Short"), ERROR_SUCCESS);
    EXPECT_EQ(value, 0xAAAA0201u);
}

TEST_F(RegistryKeyTest, QueryBinaryReturnsTheWholeValueOrNoBuffer) {
    const test::Bytes data = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0xFF};
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Data", data), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Empty", {}), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);

    LONG result = -1;
    DWORD length = 1234;
    auto buffer = key.QueryBinary(result, "Data", length);
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(length, data.size());
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(*buffer, data);

    buffer = key.QueryBinary(result, "Empty", length);
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(length, 0u);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_TRUE(buffer->empty());

    buffer = key.QueryBinary(result, "Missing", length);
    EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(buffer.has_value());
}

TEST_F(RegistryKeyTest, EnumeratingAnEmptyKey) {
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    ASSERT_EQ(key.BeginValueEnumeration(), ERROR_SUCCESS);
    EXPECT_EQ(key.ValueCount(), 0u);
    RegistryValue value;
    EXPECT_EQ(key.NextValue(value), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(value.name, nullptr);
}

TEST_F(RegistryKeyTest, EnumerationFillsNameDataAndType) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "Tomas Reyes", {1, 2, 3}), ERROR_SUCCESS);
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, kKey, "N", 7), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    ASSERT_EQ(key.BeginValueEnumeration(), ERROR_SUCCESS);
    EXPECT_EQ(key.ValueCount(), 2u);

    RegistryValue v;
    ASSERT_EQ(key.NextValue(v), ERROR_SUCCESS);
    EXPECT_EQ(std::string(v.name, v.nameLength), "Tomas Reyes");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(test::Bytes(v.data, v.data + v.dataLength), (test::Bytes{1, 2, 3}));
    ASSERT_EQ(key.NextValue(v), ERROR_SUCCESS);
    EXPECT_EQ(std::string(v.name, v.nameLength), "N");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.dataLength, 4u);
    EXPECT_EQ(key.NextValue(v), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryKeyTest, AValueThatGrewFailsAndTheCursorMovesOn) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "a", {1}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "b", {2}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "c", {3}), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    ASSERT_EQ(key.BeginValueEnumeration(), ERROR_SUCCESS);
    // Buffers were sized for 1 byte + 1; b now needs 3.
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "b", {2, 2, 2}), ERROR_SUCCESS);

    RegistryValue v;
    ASSERT_EQ(key.NextValue(v), ERROR_SUCCESS);
    EXPECT_EQ(std::string(v.name, v.nameLength), "a");
    EXPECT_EQ(key.NextValue(v), ERROR_MORE_DATA);
    ASSERT_EQ(key.NextValue(v), ERROR_SUCCESS);
    EXPECT_EQ(std::string(v.name, v.nameLength), "c");
}

TEST_F(RegistryKeyTest, NextValueWithoutBeginFetchesNothing) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, kKey, "a", {1}), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    RegistryValue v;
    EXPECT_NE(key.NextValue(v), ERROR_SUCCESS);
    EXPECT_EQ(v.name, nullptr);
}

TEST_F(RegistryKeyTest, CreateReportsTheDisposition) {
    RegistryKey key;
    DWORD disposition = 0;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kKey, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegistryKey again;
    ASSERT_EQ(again.Create(HKEY_CURRENT_USER, kKey, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
}

TEST_F(RegistryKeyTest, AFailedOpenOrCreateKeepsTheHeldKey) {
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, kKey, "Here", 5), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    const HKEY held = key.Handle();
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Test\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "\\Bad"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(key.Handle(), held);
    DWORD value = 0;
    EXPECT_EQ(key.QueryDword(value, "Here"), ERROR_SUCCESS);
    EXPECT_EQ(value, 5u);

    // A successful Open replaces it.
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, "Software\\Test\\Other", "There", 6), ERROR_SUCCESS);
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Test\\Other"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDword(value, "Here"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.QueryDword(value, "There"), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, CloseOnAClosedKeyDoesNothing) {
    RegistryKey key;
    EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_EQ(key.Close(), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, SettersWriteTheirTypes) {
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword(0x01020304, "D"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("abc", "S"), ERROR_SUCCESS);
    EXPECT_EQ(*getValue(HKEY_CURRENT_USER, kKey, "D"), (test::Bytes{4, 3, 2, 1}));
    // The terminator is part of the stored string.
    EXPECT_EQ(*getValue(HKEY_CURRENT_USER, kKey, "S"), (test::Bytes{'a', 'b', 'c', 0}));

    ASSERT_EQ(key.SetKeyValue("Sub\\Deeper", "member", "M"), ERROR_SUCCESS);
    ASSERT_EQ(RegistryKey::SetKeyValue(HKEY_CURRENT_USER, "Software\\Test\\Static", "static"), ERROR_SUCCESS);
    EXPECT_EQ(*getValue(HKEY_CURRENT_USER, "Software\\Test\\Key\\Sub\\Deeper", "M"),
              (test::Bytes{'m', 'e', 'm', 'b', 'e', 'r', 0}));
    EXPECT_EQ(*getValue(HKEY_CURRENT_USER, "Software\\Test\\Static", nullptr),
              (test::Bytes{'s', 't', 'a', 't', 'i', 'c', 0}));
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesEverythingBelow) {
    for (const char* path : {"Software\\Test\\Tree\\A\\A1", "Software\\Test\\Tree\\A\\A2\\Deep", "Software\\Test\\Tree\\B"})
        ASSERT_EQ(putDword(HKEY_CURRENT_USER, path, "v", 1), ERROR_SUCCESS);
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, "Software\\Test\\Keep", "v", 1), ERROR_SUCCESS);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Test"), ERROR_SUCCESS);
    EXPECT_EQ(key.DeleteTree("Tree"), ERROR_SUCCESS);
    HKEY probe = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test\\Tree", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(getValue(HKEY_CURRENT_USER, "Software\\Test\\Keep", "v").has_value());
    EXPECT_EQ(key.DeleteTree("Tree"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, AReadOnlyHiveRefusesFullAccess) {
    ASSERT_EQ(putDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "v", 1), ERROR_SUCCESS);
    registry::resetHives();
    ASSERT_EQ(chmod(sandbox.machine().c_str(), 0555), 0);
    RegistryKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", KEY_READ), ERROR_SUCCESS);
}

}  // namespace
}  // namespace vlt
