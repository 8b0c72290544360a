// The registry layout table: consistent with itself and with docs/registry-layout.md, and its
// volatile values kept out of the user's persistent hive.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "shared/registry_layout.h"
#include "shared_test_support.h"
#include "support/fixtures.h"

namespace vlt {
namespace {

using layout::EntryKind;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool fileContains(const std::string& path, const std::string& needle) {
    std::ifstream in(path, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return content.find(needle) != std::string::npos;
}

bool anyFileContains(const std::string& dir, const std::string& needle) {
    for (const auto& f : test::listFiles(dir))
        if (fileContains(f, needle)) return true;
    return false;
}

TEST(RegistryLayout, EveryValueBelongsToAListedKey) {
    std::set<std::pair<HKEY, std::string>> keys;
    for (const auto& e : layout::registryLayout())
        if (e.kind == EntryKind::Key) keys.insert({e.hive, lower(e.keyPath)});
    std::set<std::string> names;
    for (const auto& e : layout::registryLayout()) {
        if (e.kind == EntryKind::Key) continue;
        EXPECT_TRUE(keys.count({e.hive, lower(e.keyPath)})) << e.keyPath;
        if (e.kind == EntryKind::Value) {
            ASSERT_NE(e.valueName, nullptr);
            EXPECT_TRUE(names.insert(lower(e.keyPath) + "\\" + lower(e.valueName)).second)
                << "listed twice: " << e.valueName;
        }
        EXPECT_NE(std::string(e.meaning), "");
        EXPECT_NE(std::string(e.whenMissing), "");
    }
}

TEST(RegistryLayout, OnlyTheUnlockCacheIsVolatile) {
    std::set<std::string> volatileNames;
    for (const auto& e : layout::registryLayout())
        if (e.isVolatile) {
            EXPECT_EQ(e.hive, HKEY_CURRENT_USER);
            EXPECT_STREQ(e.keyPath, layout::kProfileKey);
            volatileNames.insert(e.valueName);
        }
    EXPECT_EQ(volatileNames, (std::set<std::string>{"TempExchangeBlob1", "TempExchangeBlob2"}));
}

// "Key/Value: TYPE" for each value row, the key being the last part of its path.
std::string valueRow(const std::string& key, const std::string& name, const std::string& type) {
    return key + "/" + name + ": " + type;
}

std::string cell(const std::string& row, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= index; ++i) start = row.find('|', start) + 1;
    const std::size_t end = row.find('|', start);
    const std::size_t first = row.find_first_not_of(' ', start);
    return row.substr(first, row.find_last_not_of(' ', end - 1) + 1 - first);
}

TEST(RegistryLayout, TheDocumentListsEveryValueWithItsType) {
    std::set<std::string> table;
    for (const auto& e : layout::registryLayout()) {
        if (e.kind != EntryKind::Value) continue;
        const std::string path = e.keyPath;
        std::string type = e.type == REG_BINARY ? "BINARY" : e.type == REG_DWORD ? "DWORD" : "any";
        if (e.isVolatile) type += ", *volatile*";
        table.insert(valueRow(path.substr(path.rfind('\\') + 1), e.valueName, type));
    }

    std::ifstream doc(test::fixturePath("../../../docs/registry-layout.md"));
    ASSERT_TRUE(doc) << "docs/registry-layout.md";
    std::set<std::string> documented;
    std::string line, section;
    while (std::getline(doc, line)) {
        if (line.rfind("## ", 0) == 0) section = line.substr(3, line.find(' ', 3) - 3);
        if (line.rfind("| ", 0) != 0 || line.rfind("| Value |", 0) == 0) continue;
        documented.insert(valueRow(section, cell(line, 0), cell(line, 1)));
    }
    EXPECT_EQ(documented, table);
}

class VolatileValuesTest : public test::RegistrySandboxTest {};

TEST_F(VolatileValuesTest, UnlockCacheNeverReachesTheUserHive) {
    layout::declareVolatileValues();
    layout::declareVolatileValues();  // idempotent
    const std::string secret1 = "PLAIN-KEY-ONE-3f9a1c";
    const std::string secret2 = "PLAIN-KEY-TWO-77b0de";
    const std::string stored = "WRAPPED-KEY-2c6e41";
    ASSERT_EQ(test::putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob1,
                              {secret1.begin(), secret1.end()}),
              ERROR_SUCCESS);
    // Spelt as the certificate viewer spells the key.
    ASSERT_EQ(test::putBinary(HKEY_CURRENT_USER, layout::kProfileKeyUpper, "tempexchangeblob2",
                              {secret2.begin(), secret2.end()}),
              ERROR_SUCCESS);
    ASSERT_EQ(test::putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob2,
                              {stored.begin(), stored.end()}),
              ERROR_SUCCESS);
    EXPECT_EQ(*test::getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob1),
              test::Bytes(secret1.begin(), secret1.end()));
    EXPECT_EQ(*test::getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob2),
              test::Bytes(secret2.begin(), secret2.end()));

    registry::resetHives();  // closes the hive, so that everything written is in its files
    EXPECT_TRUE(anyFileContains(sandbox.home(), stored));
    EXPECT_FALSE(anyFileContains(sandbox.home(), secret1));
    EXPECT_FALSE(anyFileContains(sandbox.home(), secret2));
}

}  // namespace
}  // namespace vlt
