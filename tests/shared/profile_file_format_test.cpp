// The backup and profile file layouts, parsed without the registry: the files the Windows suite
// wrote, and malformed ones, which must be refused without reading past their end.
#include <gtest/gtest.h>

#include "shared/backup_file.h"
#include "shared/certificate_record.h"
#include "shared/file_header.h"
#include "shared/profile_file.h"
#include "support/fixtures.h"

namespace vlt {
namespace {

using test::fixture;
using test::manifest;

const nlohmann::json& manifestFile(const std::string& path) {
    for (const auto& f : manifest()["files"])
        if (f["path"] == path) return f;
    throw std::runtime_error("not in manifest: " + path);
}

Bytes header(DWORD magic = 123, DWORD version = 100) {
    Bytes out;
    appendU32(out, magic);
    appendU32(out, version);
    return out;
}

BackupFile sampleBackup() {
    BackupFile b;
    b.baseRecord = {1, 2, 3};
    b.baseWrappedKey = {4, 5};
    b.enhancedRecord = {6};
    b.enhancedWrappedKey = {7, 8, 9, 10};
    b.initUser = 1;
    b.timeOutPeriod = 45;
    b.personalStore = std::vector<StoreItem>{{"Ann", {0xAA, 0xBB}}, {"Bo", {}}};
    b.systemStore = std::vector<StoreItem>{{"Cy", {0xCC}}};
    return b;
}

FileProblem problemParsingBackup(const Bytes& file) {
    auto parsed = parseBackupFile(file);
    EXPECT_FALSE(parsed.ok());
    return parsed.ok() ? FileProblem{} : problemOf(parsed.error());
}

TEST(BackupFileFormat, OwnerBackupHasTheManifestLayout) {
    const Bytes file = fixture("profile/owner.Vtb");
    const auto& info = manifestFile("profile/owner.Vtb");
    ASSERT_EQ(file.size(), info["size"].get<std::size_t>());
    auto backup = parseBackupFile(file);
    ASSERT_TRUE(backup.ok()) << backup.error().message;

    const auto& sources = info["sources"];
    EXPECT_EQ(backup->baseRecord, fixture(sources["ExchangeBlob1"]));
    EXPECT_EQ(backup->baseWrappedKey, fixture(sources["ExchangeBlob2"]));
    EXPECT_EQ(backup->enhancedRecord, fixture(sources["ExchangeBlob3"]));
    EXPECT_EQ(backup->enhancedWrappedKey, fixture(sources["ExchangeBlob4"]));
    EXPECT_EQ(backup->initUser, info["layout"]["init_user"].get<DWORD>());
    EXPECT_EQ(backup->timeOutPeriod, info["layout"]["timeout_period"].get<DWORD>());

    const auto& personal = info["layout"]["personal_store"];
    ASSERT_TRUE(backup->personalStore.has_value());
    ASSERT_EQ(backup->personalStore->size(), personal.size());
    for (std::size_t i = 0; i < personal.size(); ++i) {
        const StoreItem& item = (*backup->personalStore)[i];
        EXPECT_EQ(test::toHex(Bytes(item.name.begin(), item.name.end())), personal[i]["name_hex"]);
        EXPECT_EQ(storeItemValueName(item), personal[i]["name"]);
        auto entry = parseCertificateStoreEntry(item.data);
        ASSERT_TRUE(entry.ok());
        EXPECT_EQ(entry->algorithm, test::parseWord(personal[i]["algorithm_word"]));
        const std::string who = personal[i]["entry_of"];
        EXPECT_EQ(entry->enhancedRecord, fixture(manifest()["profiles"][who]["enhanced"]["cert_record"]));
        EXPECT_EQ(entry->baseRecord, fixture(manifest()["profiles"][who]["base"]["cert_record"]));
    }
    ASSERT_TRUE(backup->systemStore.has_value());
    EXPECT_EQ(backup->systemStore->size(), info["layout"]["system_store"].size());

    EXPECT_EQ(buildBackupFile(*backup), file);
}

TEST(BackupFileFormat, BuildThenParseKeepsEverything) {
    const BackupFile b = sampleBackup();
    auto parsed = parseBackupFile(buildBackupFile(b));
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->baseRecord, b.baseRecord);
    EXPECT_EQ(parsed->baseWrappedKey, b.baseWrappedKey);
    EXPECT_EQ(parsed->enhancedRecord, b.enhancedRecord);
    EXPECT_EQ(parsed->enhancedWrappedKey, b.enhancedWrappedKey);
    EXPECT_EQ(parsed->initUser, 1u);
    EXPECT_EQ(parsed->timeOutPeriod, 45u);
    ASSERT_EQ(parsed->personalStore->size(), 2u);
    EXPECT_EQ((*parsed->personalStore)[1].name, "Bo");
    EXPECT_TRUE((*parsed->personalStore)[1].data.empty());
    ASSERT_EQ(parsed->systemStore->size(), 1u);
    EXPECT_EQ((*parsed->systemStore)[0].data, Bytes{0xCC});
}

TEST(BackupFileFormat, MissingStoresAtTheEndAreAbsent) {
    BackupFile b = sampleBackup();
    b.systemStore.reset();
    Bytes file = buildBackupFile(b);
    auto parsed = parseBackupFile(file);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->personalStore->size(), 2u);
    EXPECT_FALSE(parsed->systemStore.has_value());

    b.personalStore.reset();
    parsed = parseBackupFile(buildBackupFile(b));
    ASSERT_TRUE(parsed.ok());
    EXPECT_FALSE(parsed->personalStore.has_value());
    EXPECT_FALSE(parsed->systemStore.has_value());
}

TEST(BackupFileFormat, AbsentPersonalStoreBeforeASystemStoreIsWrittenEmpty) {
    BackupFile b = sampleBackup();
    b.personalStore.reset();
    auto parsed = parseBackupFile(buildBackupFile(b));
    ASSERT_TRUE(parsed.ok());
    ASSERT_TRUE(parsed->personalStore.has_value());
    EXPECT_TRUE(parsed->personalStore->empty());
    ASSERT_EQ(parsed->systemStore->size(), 1u);
    EXPECT_EQ((*parsed->systemStore)[0].name, "Cy");
}

TEST(BackupFileFormat, EmptyStoreIsACountOfZero) {
    BackupFile b = sampleBackup();
    b.personalStore = std::vector<StoreItem>{};
    b.systemStore.reset();
    const Bytes file = buildBackupFile(b);
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0, 0, 0, 0}));
}

TEST(BackupFileFormat, HeaderProblemsAreNamed) {
    EXPECT_EQ(problemParsingBackup({}), FileProblem::Empty);
    EXPECT_EQ(problemParsingBackup({123, 0, 0}), FileProblem::BadMagic);
    EXPECT_EQ(problemParsingBackup({123, 0, 0, 0, 100}), FileProblem::BadMagic);
    EXPECT_EQ(problemParsingBackup(header(124)), FileProblem::BadMagic);
    Bytes v101 = buildBackupFile(sampleBackup());
    v101[4] = 101;
    EXPECT_EQ(problemParsingBackup(v101), FileProblem::BadVersion);
}

TEST(BackupFileFormat, EveryTruncationInsideAFieldIsRefused) {
    const Bytes file = buildBackupFile(sampleBackup());
    // Cuts that end exactly before a store's count are an absent store; every other cut falls
    // inside a field.
    BackupFile noStores = sampleBackup();
    noStores.personalStore.reset();
    noStores.systemStore.reset();
    const std::size_t beforePersonal = buildBackupFile(noStores).size();
    BackupFile noSystem = sampleBackup();
    noSystem.systemStore.reset();
    const std::size_t beforeSystem = buildBackupFile(noSystem).size();
    for (std::size_t cut = 8; cut < file.size(); ++cut) {
        auto parsed = parseBackupFile(ByteView(file).first(cut));
        if (cut == beforePersonal || cut == beforeSystem) EXPECT_TRUE(parsed.ok()) << "cut at " << cut;
        else
            EXPECT_FALSE(parsed.ok()) << "cut at " << cut;
    }
}

TEST(BackupFileFormat, LengthsPastTheEndAndTrailingBytesAreRefused) {
    Bytes huge = header();
    appendU32(huge, 0xFFFFFFF0);
    EXPECT_EQ(problemParsingBackup(huge), FileProblem::Malformed);

    BackupFile b = sampleBackup();
    b.personalStore = std::vector<StoreItem>{};
    b.systemStore.reset();
    Bytes manyItems = buildBackupFile(b);
    manyItems[manyItems.size() - 4] = 0xFF;  // a count with no items behind it
    EXPECT_EQ(problemParsingBackup(manyItems), FileProblem::Malformed);

    Bytes trailing = buildBackupFile(sampleBackup());
    trailing.push_back(0);
    EXPECT_EQ(problemParsingBackup(trailing), FileProblem::Malformed);
}

TEST(BackupFileFormat, StoreItemNamesReadLikeAFixedBuffer) {
    EXPECT_EQ(storeItemValueName({std::string("Ann\0Bo", 6), {}}), "Ann");
    EXPECT_EQ(storeItemValueName({std::string(400, 'n'), {}}).size(), 259u);
}

TEST(ProfileFileFormat, OwnerProfileFileHasTheManifestLayout) {
    const Bytes file = fixture("profile/owner.Vtp");
    const auto& info = manifestFile("profile/owner.Vtp");
    auto contents = parseProfileFile(file);
    ASSERT_TRUE(contents.ok()) << contents.error().message;
    EXPECT_EQ(contents->displayName, info["layout"]["display_name"]);
    EXPECT_EQ(contents->entryBytes, Bytes(file.begin() + 8, file.end()));
    EXPECT_EQ(contents->entry.algorithm, test::parseWord(info["algorithm_word"]));
    const std::size_t e = info["layout"]["enhanced_record_length"];
    const std::size_t eOffset = info["layout"]["enhanced_record_offset"];
    const std::size_t b = info["layout"]["base_record_length"];
    const std::size_t bOffset = info["layout"]["base_record_offset"];
    EXPECT_EQ(contents->entry.enhancedRecord, Bytes(file.begin() + eOffset, file.begin() + eOffset + e));
    EXPECT_EQ(contents->entry.baseRecord, Bytes(file.begin() + bOffset, file.begin() + bOffset + b));
    EXPECT_EQ(buildProfileFile(contents->entry), file);
}

TEST(ProfileFileFormat, HeaderProblemsAreNamed) {
    Bytes file = fixture("profile/owner.Vtp");
    file[4] = 101;
    auto parsed = parseProfileFile(file);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(problemOf(parsed.error()), FileProblem::BadVersion);
    file[4] = 100;
    file[0] = 122;
    parsed = parseProfileFile(file);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(problemOf(parsed.error()), FileProblem::BadMagic);
    parsed = parseProfileFile({});
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(problemOf(parsed.error()), FileProblem::Empty);
}

TEST(ProfileFileFormat, FilesThatDoNotFitTheLayoutAreRefused) {
    const Bytes good = fixture("profile/owner.Vtp");
    // A backup passes the header check but is not a profile file.
    auto parsed = parseProfileFile(fixture("profile/owner.Vtb"));
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(problemOf(parsed.error()), FileProblem::Malformed);
    // Ends after its algorithm word.
    parsed = parseProfileFile(ByteView(good).first(12));
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(problemOf(parsed.error()), FileProblem::Malformed);
    // Every other truncation.
    for (std::size_t cut = 8; cut < good.size(); ++cut)
        EXPECT_FALSE(parseProfileFile(ByteView(good).first(cut)).ok()) << "cut at " << cut;
    // No Base record to take the name from.
    CertificateStoreEntry noBase = parseProfileFile(good)->entry;
    noBase.baseRecord.clear();
    EXPECT_FALSE(parseProfileFile(buildProfileFile(noBase)).ok());
    // A Base record that is not a whole certificate record.
    CertificateStoreEntry badBase = parseProfileFile(good)->entry;
    badBase.baseRecord.pop_back();
    EXPECT_FALSE(parseProfileFile(buildProfileFile(badBase)).ok());
}

TEST(ProfileFileFormat, BytesAfterTheBaseRecordAreReadAsTheOriginalReadsThem) {
    // The name comes from the Base record; the store item is the file from offset 8 to its end.
    Bytes file = fixture("profile/owner.Vtp");
    file.insert(file.end(), {0, 0, 0, 0, 0xEE});
    auto parsed = parseProfileFile(file);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->displayName, manifest()["profiles"]["owner"]["identity"]["display_name"]);
    EXPECT_EQ(parsed->entryBytes, Bytes(file.begin() + 8, file.end()));
}

TEST(ProfileFileFormat, EnhancedRecordIsOptional) {
    CertificateStoreEntry entry = parseProfileFile(fixture("profile/owner.Vtp"))->entry;
    entry.enhancedRecord.clear();
    auto parsed = parseProfileFile(buildProfileFile(entry));
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->displayName, manifest()["profiles"]["owner"]["identity"]["display_name"]);
    EXPECT_TRUE(parsed->entry.enhancedRecord.empty());
}

}  // namespace
}  // namespace vlt
