// Backups and profile files against the registry: restoring what the Windows suite wrote,
// writing the same bytes back, the readers' messages, and writers that leave nothing behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shared/backup_file.h"
#include "shared/certificate_record.h"
#include "shared/profile_file.h"
#include "shared/registry_layout.h"
#include "shared_test_support.h"
#include "support/fixtures.h"
#include "win32/winuser.h"

namespace vlt {
namespace {

using test::Bytes;
using test::fixture;
using test::getDword;
using test::getValue;
using test::putBinary;
using test::putDword;

const HWND kOwner = reinterpret_cast<HWND>(0x1234);

const nlohmann::json& ownerBackupInfo() {
    for (const auto& f : test::manifest()["files"])
        if (f["path"] == "profile/owner.Vtb") return f;
    throw std::runtime_error("owner.Vtb not in manifest");
}

class ProfileFilesTest : public test::RegistrySandboxTest {
protected:
    int restore(const Bytes& file) { return RestoreBackup(ByteView(file), kOwner); }

    void expectOneBox(const char* text, const char* caption) {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, text);
        EXPECT_EQ(ui.boxes[0].caption, caption);
        EXPECT_EQ(ui.boxes[0].style, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(ui.boxes[0].owner, kOwner);
    }

    bool profileKeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, layout::kProfileKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    void makeMachineHiveReadOnly() {
        registry::resetHives();
        ASSERT_EQ(chmod(sandbox.machine().c_str(), 0555), 0);
    }

    test::RecordingFrontend ui;
};

TEST_F(ProfileFilesTest, RestoringTheOwnerBackupGivesTheSourceValues) {
    const auto& info = ownerBackupInfo();
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    EXPECT_TRUE(ui.boxes.empty());
    for (const auto& [value, source] : info["sources"].items())
        EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kProfileKey, value.c_str()), fixture(source)) << value;
    EXPECT_EQ(getDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kInitUser), 1u);
    EXPECT_EQ(getDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTimeOutPeriod), 300u);

    const auto& personal = info["layout"]["personal_store"];
    ASSERT_EQ(test::valueNames(HKEY_CURRENT_USER, layout::kCertificateKey).size(), personal.size());
    const std::string name = personal[0]["name"];
    auto entryBytes = getValue(HKEY_CURRENT_USER, layout::kCertificateKey, name.c_str());
    ASSERT_TRUE(entryBytes.has_value());
    auto entry = parseCertificateStoreEntry(*entryBytes);
    ASSERT_TRUE(entry.ok());
    EXPECT_EQ(entry->algorithm, test::parseWord(personal[0]["algorithm_word"]));
    EXPECT_EQ(entry->baseRecord, fixture("contact/base/cert-record.bin"));
    EXPECT_TRUE(test::valueNames(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey).empty());
}

TEST_F(ProfileFilesTest, RestoreFromAnOpenFile) {
    const int fd = open(test::fixturePath("profile/owner.Vtb").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RestoreBackup(fd, kOwner), 1);
    close(fd);
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob4),
              fixture("profile/enhanced/wrapped-key.bin"));
}

TEST_F(ProfileFilesTest, BackupOfTheRestoredOwnerIsTheOriginalFile) {
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    const std::string path = sandbox.path("again.Vtb");
    ASSERT_EQ(writeBackup(path), 1);
    EXPECT_EQ(test::readFile(path), fixture("profile/owner.Vtb"));
    // Wrapped private keys inside: the owner's alone.
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ProfileFilesTest, BackupThenRestoreElsewhereGivesTheSameState) {
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTimeOutPeriod, 120), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, "Shared Person", {1, 2, 3}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kCertificateKey, "Second", {}), ERROR_SUCCESS);
    const std::string path = sandbox.path("roundtrip.Vtb");
    ASSERT_EQ(writeBackup(path), 1);
    const Bytes file = test::readFile(path);

    test::Sandbox elsewhere;
    registry::resetHives();
    ASSERT_EQ(restore(file), 1);
    for (const char* name : {layout::kExchangeBlob1, layout::kExchangeBlob2, layout::kExchangeBlob3, layout::kExchangeBlob4})
        EXPECT_TRUE(getValue(HKEY_CURRENT_USER, layout::kProfileKey, name).has_value()) << name;
    EXPECT_EQ(getDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTimeOutPeriod), 120u);
    EXPECT_EQ(test::valueNames(HKEY_CURRENT_USER, layout::kCertificateKey),
              (std::vector<std::string>{"Tomas Reyes", "Second"}));
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kCertificateKey, "Second"), Bytes{});
    EXPECT_EQ(getValue(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, "Shared Person"), (Bytes{1, 2, 3}));
    registry::resetHives();
}

TEST_F(ProfileFilesTest, MissingTimeOutPeriodIsBackedUpAs300) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob1, {1}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob2, {2}), ERROR_SUCCESS);
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kInitUser, 1), ERROR_SUCCESS);
    const std::string path = sandbox.path("p.Vtb");
    ASSERT_EQ(writeBackup(path), 1);
    auto parsed = parseBackupFile(test::readFile(path));
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->timeOutPeriod, 300u);
    EXPECT_TRUE(parsed->enhancedRecord.empty());
    EXPECT_TRUE(parsed->enhancedWrappedKey.empty());

    test::Sandbox elsewhere;
    registry::resetHives();
    ASSERT_EQ(restore(test::readFile(path)), 1);
    EXPECT_EQ(getDword(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTimeOutPeriod), 300u);
    registry::resetHives();
}

TEST_F(ProfileFilesTest, ZeroLengthEnhancedFieldsKeepExistingValues) {
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob3, {3, 3}), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob4, {4, 4}), ERROR_SUCCESS);
    BackupFile backup;
    backup.baseRecord = {1};
    backup.baseWrappedKey = {2};
    backup.initUser = 1;
    ASSERT_EQ(restore(buildBackupFile(backup)), 1);
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob1), Bytes{1});
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob3), (Bytes{3, 3}));
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob4), (Bytes{4, 4}));
}

TEST_F(ProfileFilesTest, BackupWithoutSystemStoreRestoresThePersonalItems) {
    BackupFile backup;
    backup.baseRecord = {1};
    backup.baseWrappedKey = {2};
    backup.personalStore = std::vector<StoreItem>{{"Ann", {0xA}}, {std::string("Bo\0junk", 7), {0xB}}};
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kCertificateKey, "Ann", {0xFF, 0xFF}), ERROR_SUCCESS);
    ASSERT_EQ(restore(buildBackupFile(backup)), 1);
    EXPECT_EQ(test::valueNames(HKEY_CURRENT_USER, layout::kCertificateKey), (std::vector<std::string>{"Ann", "Bo"}));
    EXPECT_EQ(getValue(HKEY_CURRENT_USER, layout::kCertificateKey, "Ann"), Bytes{0xA});  // overwritten
    EXPECT_TRUE(test::valueNames(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey).empty());
}

TEST_F(ProfileFilesTest, EmptyStoreIsRestoredAsNothing) {
    BackupFile backup;
    backup.baseRecord = {1};
    backup.baseWrappedKey = {2};
    backup.personalStore = std::vector<StoreItem>{};
    backup.systemStore = std::vector<StoreItem>{};
    ASSERT_EQ(restore(buildBackupFile(backup)), 1);
    EXPECT_TRUE(test::valueNames(HKEY_CURRENT_USER, layout::kCertificateKey).empty());
}

TEST_F(ProfileFilesTest, ReadOnlyMachineStoreIsBackedUpAndSkippedOnRestore) {
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    ASSERT_EQ(putBinary(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, "Shared", {5}), ERROR_SUCCESS);
    makeMachineHiveReadOnly();
    const std::string path = sandbox.path("readonly-system.Vtb");
    ASSERT_EQ(writeBackup(path), 1);
    auto parsed = parseBackupFile(test::readFile(path));
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed->personalStore.has_value());
    ASSERT_TRUE(parsed->systemStore.has_value());
    ASSERT_EQ(parsed->systemStore->size(), 1u);
    EXPECT_EQ(storeItemValueName((*parsed->systemStore)[0]), "Shared");

    BackupFile withSystem = *parsed;
    withSystem.systemStore = std::vector<StoreItem>{{"Other", {6}}};
    EXPECT_EQ(restore(buildBackupFile(withSystem)), 1);
    EXPECT_EQ(test::valueNames(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey),
              std::vector<std::string>{"Shared"});
}

TEST_F(ProfileFilesTest, RestoreRefusesBadFilesWithItsMessages) {
    Bytes v101 = fixture("profile/owner.Vtb");
    v101[4] = 101;
    EXPECT_EQ(restore(v101), 0);
    expectOneBox("Incorrect version...", "VLT Emergency Report");

    ui.boxes.clear();
    Bytes badMagic = fixture("profile/owner.Vtb");
    badMagic[0] = 124;
    EXPECT_EQ(restore(badMagic), 0);
    expectOneBox("Please check, the selected file is not a VLT File...", "VLT Emergency Report");

    ui.boxes.clear();
    EXPECT_EQ(restore({}), 0);
    expectOneBox("File open error...", "VLT Emergency Report");

    ui.boxes.clear();
    test::writeFile(sandbox.path("empty.Vtb"), Bytes{});
    const int fd = open(sandbox.path("empty.Vtb").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RestoreBackup(fd, kOwner), 0);
    close(fd);
    expectOneBox("File open error...", "VLT Emergency Report");

    EXPECT_FALSE(profileKeyExists());
}

TEST_F(ProfileFilesTest, ATruncatedBackupStoresNothing) {
    const Bytes file = fixture("profile/owner.Vtb");
    EXPECT_EQ(restore(Bytes(file.begin(), file.begin() + 600)), 0);
    expectOneBox("Please check, the selected file is not a VLT File...", "VLT Emergency Report");
    EXPECT_FALSE(profileKeyExists());
    EXPECT_TRUE(test::valueNames(HKEY_CURRENT_USER, layout::kCertificateKey).empty());
}

TEST_F(ProfileFilesTest, BackupWritersLeaveNothingWhenTheyFail) {
    EXPECT_EQ(writeBackup(""), 0);
    // No profile to back up.
    const std::string path = sandbox.path("none.Vtb");
    EXPECT_EQ(writeBackup(path), 0);
    EXPECT_FALSE(test::fileExists(path));

    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    EXPECT_EQ(writeBackup(sandbox.path("missing-folder/x.Vtb")), 0);
    EXPECT_TRUE(test::listFiles(sandbox.files()).empty());

    // A file already there survives a failed write untouched.
    const std::string existing = sandbox.path("existing.Vtb");
    test::writeFile(existing, std::string("keep me"));
    HKEY profile = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, layout::kProfileKey, 0, KEY_ALL_ACCESS, &profile), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(profile, layout::kExchangeBlob2), ERROR_SUCCESS);
    RegCloseKey(profile);
    EXPECT_EQ(writeBackup(existing), 0);
    EXPECT_EQ(test::readFile(existing), (Bytes{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_EQ(test::listFiles(sandbox.files()).size(), 1u);
}

TEST_F(ProfileFilesTest, ProfileFileOfTheRestoredOwnerIsTheOriginalFile) {
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kEncrypt, 0x10006602), ERROR_SUCCESS);
    const std::string path = sandbox.path("me.Vtp");
    ASSERT_EQ(writeProfileFile(path), 1);
    EXPECT_EQ(test::readFile(path), fixture("profile/owner.Vtp"));
}

TEST_F(ProfileFilesTest, ProfileFileWithoutEncryptIsNotProduced) {
    ASSERT_EQ(restore(fixture("profile/owner.Vtb")), 1);
    const std::string path = sandbox.path("me.Vtp");
    EXPECT_EQ(writeProfileFile(path), 0);
    EXPECT_FALSE(test::fileExists(path));
    EXPECT_TRUE(test::listFiles(sandbox.files()).empty());
    EXPECT_EQ(writeProfileFile(""), 0);
}

TEST_F(ProfileFilesTest, ProfileFileWithoutBaseRecordIsNotProduced) {
    ASSERT_EQ(putDword(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kEncrypt, 0x6602), ERROR_SUCCESS);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob3,
                        fixture("profile/enhanced/cert-record.bin")),
              ERROR_SUCCESS);
    const std::string path = sandbox.path("me.Vtp");
    EXPECT_EQ(writeProfileFile(path), 0);
    EXPECT_FALSE(test::fileExists(path));
}

TEST_F(ProfileFilesTest, ReadingAProfileFileGivesTheNameAndEntry) {
    const Bytes file = fixture("profile/owner.Vtp");
    auto contents = readProfileFile(ByteView(file), StorePage::Personal, kOwner);
    ASSERT_TRUE(contents.has_value());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(contents->displayName, test::manifest()["profiles"]["owner"]["identity"]["display_name"]);
    EXPECT_EQ(contents->entryBytes, Bytes(file.begin() + 8, file.end()));

    const int fd = open(test::fixturePath("profile/owner.Vtp").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto fromFd = readProfileFile(fd, StorePage::System, kOwner);
    close(fd);
    ASSERT_TRUE(fromFd.has_value());
    EXPECT_EQ(fromFd->entryBytes, contents->entryBytes);
}

TEST_F(ProfileFilesTest, ProfileFileReaderMessagesFollowThePage) {
    Bytes badMagic = fixture("profile/owner.Vtp");
    badMagic[0] = 0;
    EXPECT_FALSE(readProfileFile(ByteView(badMagic), StorePage::Personal, kOwner).has_value());
    expectOneBox("Please check, the selected file is not a VLT Profile...", "VLT Status Report");
    ui.boxes.clear();
    EXPECT_FALSE(readProfileFile(ByteView(badMagic), StorePage::System, kOwner).has_value());
    expectOneBox("Please check, the selected file is not a VLT File...", "VLT Emergency Report");

    Bytes v101 = fixture("profile/owner.Vtp");
    v101[4] = 101;
    for (StorePage page : {StorePage::Personal, StorePage::System}) {
        ui.boxes.clear();
        EXPECT_FALSE(readProfileFile(ByteView(v101), page, kOwner).has_value());
        expectOneBox("Incorrect version...", page == StorePage::Personal ? "VLT Status Report" : "VLT Emergency Report");
    }

    ui.boxes.clear();
    EXPECT_FALSE(readProfileFile(ByteView(Bytes{}), StorePage::Personal, kOwner).has_value());
    expectOneBox("File open error...", "VLT Status Report");

    // A backup passes the header check and is then refused as not a profile.
    ui.boxes.clear();
    const Bytes backup = fixture("profile/owner.Vtb");
    EXPECT_FALSE(readProfileFile(ByteView(backup), StorePage::Personal, kOwner).has_value());
    expectOneBox("Please check, the selected file is not a VLT Profile...", "VLT Status Report");
}

}  // namespace
}  // namespace vlt
