// ImportProfile: the header checks, both records written together, and refusals that change
// nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "applet/import_profile.h"
#include "registry/hives.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "support/world/world.h"

namespace vlt::applet {
namespace {

Bytes block(std::uint32_t magic, std::uint32_t version, const Bytes& first, const Bytes& second) {
    Bytes out;
    appendU32(out, magic);
    appendU32(out, version);
    appendBlock(out, first);
    appendBlock(out, second);
    return out;
}

std::optional<Bytes> profileValue(const char* name) {
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, layout::kProfileKey, KEY_READ) != ERROR_SUCCESS) return std::nullopt;
    return readBinaryValue(key, name);
}

class ImportProfileTest : public ::testing::Test {
protected:
    test::World world;
    const Bytes wrapped{1, 2, 3, 4};
    const Bytes record{9, 8, 7};
};

TEST_F(ImportProfileTest, WritesTheFirstRecordAsExchangeBlob2AndTheSecondAsExchangeBlob1) {
    const auto blob3 = profileValue(layout::kExchangeBlob3);
    ASSERT_EQ(importProfile(block(123, 100, wrapped, record).data()), 1);
    EXPECT_EQ(profileValue(layout::kExchangeBlob2), wrapped);
    EXPECT_EQ(profileValue(layout::kExchangeBlob1), record);
    EXPECT_EQ(profileValue(layout::kExchangeBlob3), blob3);
}

TEST_F(ImportProfileTest, RefusedBlocksChangeNothing) {
    const auto before1 = profileValue(layout::kExchangeBlob1);
    const auto before2 = profileValue(layout::kExchangeBlob2);
    Bytes tooLong = block(123, 100, wrapped, {});
    storeLE<std::uint32_t>(tooLong.data() + 8, kMaxImportRecord + 1);
    for (const Bytes& refused : {block(0x7A, 100, wrapped, record), block(123, 101, wrapped, record), tooLong}) {
        EXPECT_EQ(importProfile(refused.data()), 0);
        EXPECT_EQ(profileValue(layout::kExchangeBlob1), before1);
        EXPECT_EQ(profileValue(layout::kExchangeBlob2), before2);
    }
    EXPECT_EQ(importProfile(nullptr), 0);
}

TEST_F(ImportProfileTest, ARegistryThatRefusesTheProfileKeyGivesZero) {
    // A hive folder that cannot be made: every write to the user's hive is refused.
    const std::string unreachable = world.sandbox().root() + "/locked/hive";
    std::filesystem::create_directory(world.sandbox().root() + "/locked");
    ASSERT_EQ(chmod((world.sandbox().root() + "/locked").c_str(), 0555), 0);
    setenv("VLT_HOME", unreachable.c_str(), 1);
    registry::resetHives();
    EXPECT_EQ(importProfile(block(123, 100, wrapped, record).data()), 0);
    EXPECT_EQ(profileValue(layout::kExchangeBlob2), std::nullopt);
}

}  // namespace
}  // namespace vlt::applet
