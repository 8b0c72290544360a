// Certificate records and certificate store entries: layout, bounds, and the records the
// Windows providers made.
#include <gtest/gtest.h>

#include "shared/certificate_record.h"
#include "support/fixtures.h"

namespace vlt {
namespace {

using test::fixture;
using test::manifest;

Identity identityOf(const std::string& person) {
    const auto& id = manifest()["profiles"][person]["identity"];
    return {id["display_name"], id["email"], id["street"], id["city"], id["state"]};
}

void expectIdentity(const Identity& actual, const Identity& expected) {
    EXPECT_EQ(actual.displayName, expected.displayName);
    EXPECT_EQ(actual.eMailId, expected.eMailId);
    EXPECT_EQ(actual.street, expected.street);
    EXPECT_EQ(actual.city, expected.city);
    EXPECT_EQ(actual.state, expected.state);
}

TEST(CertificateRecord, EmptyIdentityIs24BytesLongerThanTheKeyBlob) {
    CertificateRecord record;
    record.keyBlob = Bytes(84, 0xAB);
    const Bytes bytes = buildCertificateRecord(record);
    ASSERT_EQ(bytes.size(), record.keyBlob.size() + 24);
    auto parsed = parseCertificateRecord(bytes);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->keyBlob, record.keyBlob);
    EXPECT_TRUE(parsed->identity.displayName.empty());
    EXPECT_TRUE(parsed->identity.state.empty());
}

TEST(CertificateRecord, FieldsAreLengthPrefixedInOrder) {
    CertificateRecord record{{1, 2, 3}, {"Ann", "a@b", "", "Cork", "\xC9ire"}};
    const Bytes bytes = buildCertificateRecord(record);
    const Bytes expected = {3, 0, 0, 0, 1,   2,   3,   // key blob
                            3, 0, 0, 0, 'A', 'n', 'n',  // DisplayName
                            3, 0, 0, 0, 'a', '@', 'b',  // EMailId
                            0, 0, 0, 0,                 // Street
                            4, 0, 0, 0, 'C', 'o', 'r', 'k',
                            4, 0, 0, 0, 0xC9, 'i', 'r', 'e'};
    EXPECT_EQ(bytes, expected);
}

TEST(CertificateRecord, EveryTruncationIsRefused) {
    CertificateRecord record{Bytes(20, 7), {"Name", "mail", "street", "city", "state"}};
    const Bytes bytes = buildCertificateRecord(record);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(parseCertificateRecord(ByteView(bytes).first(cut)).ok()) << "cut at " << cut;
}

TEST(CertificateRecord, LengthsPastTheEndAreRefusedAndTrailingBytesIgnored) {
    Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    EXPECT_FALSE(parseCertificateRecord(huge).ok());
    EXPECT_FALSE(certificateKeyBlob(huge).ok());
    EXPECT_FALSE(certificateDisplayName(huge).ok());

    // Readers take the fields in order and never look past the last one.
    Bytes trailing = buildCertificateRecord({{9}, {"Ann", "", "", "", "Kerry"}});
    trailing.insert(trailing.end(), {0, 0xFF, 7});
    auto parsed = parseCertificateRecord(trailing);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->identity.state, "Kerry");
}

TEST(CertificateRecord, DisplayNameReadsLikeAFixedBuffer) {
    const Bytes withZero = buildCertificateRecord({{1, 2}, {std::string("Ab\0cd", 5), "", "", "", ""}});
    EXPECT_EQ(*certificateDisplayName(withZero), "Ab");

    const Bytes longName = buildCertificateRecord({{1}, {std::string(300, 'x'), "", "", "", ""}});
    EXPECT_EQ(certificateDisplayName(longName)->size(), 259u);
    EXPECT_EQ(certificateDisplayName(longName, 10)->size(), 9u);

    // Only the key blob and the name are needed; the rest may be missing.
    Bytes prefix = {1, 0, 0, 0, 0x55, 2, 0, 0, 0, 'J', 'o'};
    EXPECT_EQ(*certificateDisplayName(prefix), "Jo");
    EXPECT_FALSE(certificateDisplayName(ByteView(prefix).first(10)).ok());
}

class InteropRecord : public ::testing::TestWithParam<test::ProfileProvider> {};
INSTANTIATE_TEST_SUITE_P(Profiles, InteropRecord, ::testing::ValuesIn(test::profileProviders()),
                         [](const auto& p) { return p.param.name(); });

TEST_P(InteropRecord, CarriesTheManifestIdentity) {
    const auto& [person, provider] = GetParam();
    const auto& entry = manifest()["profiles"][person][provider];
    const Bytes bytes = fixture(entry["cert_record"]);
    auto record = parseCertificateRecord(bytes);
    ASSERT_TRUE(record.ok()) << record.error().message;
    expectIdentity(record->identity, identityOf(person));
    // A PUBLICKEYBLOB of CALG_RSA_KEYX whose modulus has the manifest's length.
    const unsigned bits = entry["rsa_bits"];
    ASSERT_EQ(record->keyBlob.size(), 20 + bits / 8);
    EXPECT_EQ(record->keyBlob[0], PUBLICKEYBLOB);
    EXPECT_EQ(std::string(record->keyBlob.begin() + 8, record->keyBlob.begin() + 12), "RSA1");
    EXPECT_EQ(buildCertificateRecord(*record), bytes);
    const ByteView blob = *certificateKeyBlob(bytes);
    EXPECT_EQ(Bytes(blob.begin(), blob.end()), record->keyBlob);
}

TEST(CertificateStoreEntry, EnhancedRecordComesFirst) {
    CertificateStoreEntry entry{0x10006602, {1, 2, 3}, {4, 5}};
    const Bytes bytes = buildCertificateStoreEntry(entry);
    const Bytes expected = {0x02, 0x66, 0, 0x10, 3, 0, 0, 0, 1, 2, 3, 2, 0, 0, 0, 4, 5};
    EXPECT_EQ(bytes, expected);
    auto parsed = parseCertificateStoreEntry(bytes);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->algorithm, 0x10006602u);
    EXPECT_EQ(parsed->enhancedRecord, entry.enhancedRecord);
    EXPECT_EQ(parsed->baseRecord, entry.baseRecord);
}

TEST(CertificateStoreEntry, AbsentRecordsAreZeroLengths) {
    const Bytes bytes = buildCertificateStoreEntry({0x6602, {}, {}});
    EXPECT_EQ(bytes.size(), 12u);
    auto parsed = parseCertificateStoreEntry(bytes);
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed->enhancedRecord.empty());
    EXPECT_TRUE(parsed->baseRecord.empty());
}

TEST(CertificateStoreEntry, BoundsAreChecked) {
    const Bytes bytes = buildCertificateStoreEntry({0x6602, {1, 2, 3, 4}, {5, 6}});
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(parseCertificateStoreEntry(ByteView(bytes).first(cut)).ok()) << "cut at " << cut;
    // Bytes after the Base record are ignored, as the readers never get that far.
    Bytes longer = bytes;
    longer.insert(longer.end(), {0, 9, 9});
    auto parsed = parseCertificateStoreEntry(longer);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->baseRecord, Bytes({5, 6}));
    // An Enhanced length that swallows the Base length field.
    Bytes swallowed = {0x02, 0x66, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(parseCertificateStoreEntry(swallowed).ok());
}

TEST(CertificateStoreEntry, OwnerProfileFileBodyIsTheOwnersEntry) {
    const Bytes file = fixture("profile/owner.Vtp");
    auto entry = parseCertificateStoreEntry(ByteView(file).subspan(8));
    ASSERT_TRUE(entry.ok()) << entry.error().message;
    const auto& vtp = [] {
        for (const auto& f : manifest()["files"])
            if (f["path"] == "profile/owner.Vtp") return f;
        return nlohmann::json();
    }();
    EXPECT_EQ(entry->algorithm, test::parseWord(vtp["algorithm_word"]));
    EXPECT_TRUE(isEnhanced(entry->algorithm));
    EXPECT_EQ(algorithmId(entry->algorithm), static_cast<ALG_ID>(CALG_RC2));
    EXPECT_EQ(entry->enhancedRecord, fixture("profile/enhanced/cert-record.bin"));
    EXPECT_EQ(entry->baseRecord, fixture("profile/base/cert-record.bin"));
    EXPECT_EQ(buildCertificateStoreEntry(*entry), Bytes(file.begin() + 8, file.end()));
}

TEST(AlgorithmWord, Bit28ChoosesTheEnhancedProvider) {
    EXPECT_EQ(providerOf(0x10006602), Provider::Enhanced);
    EXPECT_EQ(providerOf(0x00006602), Provider::Base);
    EXPECT_EQ(providerOf(0x00006801), Provider::Base);
    EXPECT_EQ(makeAlgorithmWord(CALG_RC4, Provider::Enhanced), 0x10006801u);
    EXPECT_EQ(algorithmId(0x10006602), static_cast<ALG_ID>(CALG_RC2));
    EXPECT_STREQ(providerName(Provider::Enhanced), MS_ENHANCED_PROV_A);
    EXPECT_STREQ(providerName(Provider::Base), MS_DEF_PROV_A);
}

}  // namespace
}  // namespace vlt
