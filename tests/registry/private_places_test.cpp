// The hive and unlock-cache folders and files are proven ours before anything is written, a
// damaged file is named, and the cache follows its folder when that is made anew.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "base/notice.h"
#include "registry_test.h"

namespace vlt::test {
namespace {

const char* const kKey = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";

class PrivatePlaces : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        registry::declareVolatileValue(HKEY_CURRENT_USER, kKey, "TempExchangeBlob1");
        base::setNoticeSink([this](const std::string& m) { notices += m + "\n"; });
    }
    void TearDown() override {
        base::setNoticeSink({});
        RegistryTest::TearDown();
    }

    LONG setCache(const std::string& data) {
        HKEY key = create(HKEY_CURRENT_USER, kKey);
        const LONG rc = set(key, "TempExchangeBlob1", REG_BINARY, data);
        RegCloseKey(key);
        return rc;
    }
    std::string cache(LONG* rc) {
        HKEY key = create(HKEY_CURRENT_USER, kKey);
        std::string v = get(key, "TempExchangeBlob1", rc);
        RegCloseKey(key);
        return v;
    }
    std::string volatileDb() const { return sandbox.runtime() + "/volatile.db"; }

    std::string notices;
};

struct Planted {
    const char* name;
    bool needsRoot;
    // Plants something at the cache's place; returns the file whose content must not change.
    std::function<std::string(const Sandbox&, const std::string& volatileDb)> plant;
};

const Planted kPlanted[] = {
    {"LinkToAnEmptyFile", false,
     [](const Sandbox& s, const std::string& db) {
         writeFile(s.path("victim"), "");
         EXPECT_EQ(symlink(s.path("victim").c_str(), db.c_str()), 0);
         return s.path("victim");
     }},
    {"FileOfAnotherUser", true,
     [](const Sandbox&, const std::string& db) {
         writeFile(db, "");
         EXPECT_EQ(chown(db.c_str(), 65534, 65534), 0);
         return db;
     }},
    {"RuntimeFolderIsALink", false,
     [](const Sandbox& s, const std::string&) {
         std::filesystem::remove_all(s.runtime());
         EXPECT_EQ(mkdir(s.path("elsewhere").c_str(), 0700), 0);
         writeFile(s.path("elsewhere/volatile.db"), "");
         EXPECT_EQ(symlink(s.path("elsewhere").c_str(), s.runtime().c_str()), 0);
         return s.path("elsewhere/volatile.db");
     }},
};

class PlantedCache : public PrivatePlaces, public ::testing::WithParamInterface<Planted> {};

TEST_P(PlantedCache, IsRefusedAndNeverWritten) {
    if (GetParam().needsRoot && geteuid() != 0) GTEST_SKIP() << "needs root to plant a file of another user";
    RegCloseKey(create(HKEY_CURRENT_USER, kKey));
    const std::string watched = GetParam().plant(sandbox, volatileDb());
    EXPECT_NE(setCache("PLAIN-PRIVATE-KEY"), ERROR_SUCCESS);
    registry::resetHives();
    EXPECT_TRUE(readFile(watched).empty()) << "nothing was written through the planted file";
    EXPECT_NE(notices.find(sandbox.runtime()), std::string::npos) << "the refusal is told: " << notices;
}

INSTANTIATE_TEST_SUITE_P(Plants, PlantedCache, ::testing::ValuesIn(kPlanted),
                         [](const ::testing::TestParamInfo<Planted>& p) { return std::string(p.param.name); });

TEST_F(PrivatePlaces, FoldersOpenToOthersAreClosedFirst) {
    for (const std::string& dir : {sandbox.home(), sandbox.runtime()}) ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    ASSERT_EQ(setCache("k"), ERROR_SUCCESS);
    for (const std::string& dir : {sandbox.home(), sandbox.runtime()}) {
        struct stat st {};
        ASSERT_EQ(stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
    }
}

TEST_F(PrivatePlaces, AHiveFolderOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    ASSERT_EQ(chown(sandbox.home().c_str(), 65534, 65534), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fileExists(sandbox.home() + "/user.db"));
    EXPECT_NE(notices.find("another user"), std::string::npos) << notices;
}

TEST_F(PrivatePlaces, APlantedJournalIsNotPlayedBack) {
    RegCloseKey(create(HKEY_CURRENT_USER, kKey));
    registry::resetHives();
    writeFile(sandbox.path("journal"), "");
    ASSERT_EQ(symlink(sandbox.path("journal").c_str(), (sandbox.home() + "/user.db-journal").c_str()), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(readFile(sandbox.path("journal")).empty());
}

TEST_F(PrivatePlaces, ADamagedHiveIsReportedAsDamaged) {
    RegCloseKey(create(HKEY_CURRENT_USER, kKey));
    registry::resetHives();
    writeFile(sandbox.home() + "/user.db", std::string(4096, 'G'));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_NE(notices.find(sandbox.home() + "/user.db"), std::string::npos) << notices;
    EXPECT_NE(notices.find("damaged"), std::string::npos) << notices;
    EXPECT_EQ(readFile(sandbox.home() + "/user.db"), std::vector<unsigned char>(4096, 'G')) << "left for the user";
}

TEST_F(PrivatePlaces, ADamagedCacheIsMadeAnewSoThatLockingWorks) {
    ASSERT_EQ(setCache("old"), ERROR_SUCCESS);
    registry::resetHives();
    writeFile(volatileDb(), std::string(4096, 'G'));
    HKEY key = create(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(RegDeleteValueA(key, "TempExchangeBlob1"), ERROR_FILE_NOT_FOUND) << "the cache was empty afresh";
    EXPECT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, "new"), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "TempExchangeBlob1"), "new");
    RegCloseKey(key);
    EXPECT_NE(notices.find("made anew"), std::string::npos) << notices;
}

TEST_F(PrivatePlaces, TheCacheFollowsItsFolderWhenItIsMadeAgain) {
    ASSERT_EQ(setCache("before"), ERROR_SUCCESS);  // this process now holds the store open
    std::filesystem::remove_all(sandbox.runtime());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setCache("after") == ERROR_SUCCESS ? 0 : 1);  // a new session's unlock
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    LONG rc = 0;
    EXPECT_EQ(cache(&rc), "after");
    EXPECT_EQ(rc, ERROR_SUCCESS);
}

}  // namespace
}  // namespace vlt::test
