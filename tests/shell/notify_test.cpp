// SHChangeNotify only records what it is told.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/notify.h"
#include "win32/shlobj.h"

namespace vlt::test {
namespace {

class ChangeNotify : public ::testing::Test {
protected:
    void SetUp() override { shell::clearChangeNotifications(); }
    void TearDown() override {
        shell::setChangeObserver({});
        shell::clearChangeNotifications();
    }
};

TEST_F(ChangeNotify, DeletedPathsAreRecordedInOrder) {
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, "/home/ann/secret.doc", nullptr);
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA | SHCNF_FLUSH, "/home/ann/other.doc", nullptr);
    const auto log = shell::changeNotifications();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].event, SHCNE_DELETE);
    EXPECT_EQ(log[0].flags, static_cast<UINT>(SHCNF_PATHA));
    EXPECT_EQ(log[0].item1, "/home/ann/secret.doc");
    EXPECT_EQ(log[0].item2, "");
    EXPECT_EQ(log[1].item1, "/home/ann/other.doc");
    EXPECT_EQ(log[1].flags, static_cast<UINT>(SHCNF_PATHA | SHCNF_FLUSH));
}

TEST_F(ChangeNotify, ItemKinds) {
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW, u"/a/caf\u00E9", u"/a/b");
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_DWORD, reinterpret_cast<LPCVOID>(std::uintptr_t{17}), nullptr);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, reinterpret_cast<LPCVOID>(std::uintptr_t{0x1234}), nullptr);
    const auto log = shell::changeNotifications();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].item1, "/a/caf\xC3\xA9");
    EXPECT_EQ(log[0].item2, "/a/b");
    EXPECT_EQ(log[1].item1, "17");
    EXPECT_EQ(log[2].item1, "") << "item lists are not read";
}

TEST_F(ChangeNotify, ObserverSeesEveryCallAndTheLogIsBounded) {
    std::vector<std::string> seen;
    EXPECT_FALSE(shell::setChangeObserver([&](const shell::ChangeNotification& n) { seen.push_back(n.item1); }));
    for (int i = 0; i < 300; ++i) {
        const std::string path = "/f" + std::to_string(i);
        SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path.c_str(), nullptr);
    }
    ASSERT_EQ(seen.size(), 300u);
    EXPECT_EQ(seen.back(), "/f299");
    const auto log = shell::changeNotifications();
    ASSERT_EQ(log.size(), 256u);
    EXPECT_EQ(log.front().item1, "/f44");
    EXPECT_EQ(log.back().item1, "/f299");
    EXPECT_TRUE(shell::setChangeObserver({})) << "the previous observer comes back";
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, "/after", nullptr);
    EXPECT_EQ(seen.size(), 300u);
}

}  // namespace
}  // namespace vlt::test
