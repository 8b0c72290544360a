// The identity strings the personal page and the card read: buffer limits, records that end
// early, and the three places a card's record comes from.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "applet/certificate_fields.h"
#include "registry/hives.h"
#include "shared/certificate_record.h"
#include "support/fixtures.h"
#include "support/world/world.h"

namespace vlt::applet {
namespace {

Bytes recordWith(const Identity& identity) { return buildCertificateRecord({{0xAA, 0xBB}, identity}); }

TEST(CertificateFields, StringsAreCutAt259CharactersAndAtAZeroByte) {
    const std::string longName(300, 'N');
    const auto fields = certificateFields(recordWith({longName, std::string("ab\0cd", 5), "Street", "City", "State"}));
    EXPECT_EQ(fields.name, longName.substr(0, 259));
    EXPECT_EQ(fields.email, "ab");
    EXPECT_EQ(fields.street, "Street");
    EXPECT_EQ(fields.city, "City");
    EXPECT_EQ(fields.state, "State");
}

TEST(CertificateFields, AStringRunningPastTheEndAndThoseAfterItStayEmpty) {
    Bytes record = recordWith({"Name", "mail@x", "Street", "City", "State"});
    record.resize(record.size() - 10);  // cuts into the city
    const auto fields = certificateFields(record);
    EXPECT_EQ(fields.name, "Name");
    EXPECT_EQ(fields.street, "Street");
    EXPECT_EQ(fields.city, "");
    EXPECT_EQ(fields.state, "");
    EXPECT_EQ(certificateFields(Bytes{0xFF, 0xFF, 0xFF, 0x7F}).name, "");
}

TEST(CardRecord, ComesFromTheProfileOrEitherStore) {
    test::World world;
    world.addToStore("Tomas Reyes", "contact", test::kBaseRc2, 1);
    world.addToStore("Shared Person", "contact", test::kBaseRc2, 0);
    const Bytes contact = test::fixture("contact/base/cert-record.bin");
    EXPECT_EQ(readCardRecord(CardMode::Own, ""), test::fixture("profile/base/cert-record.bin"));
    EXPECT_EQ(readCardRecord(CardMode::PersonalStore, "Tomas Reyes"), contact);
    EXPECT_EQ(readCardRecord(CardMode::SystemStore, "Shared Person"), contact);
    EXPECT_EQ(readCardRecord(CardMode::PersonalStore, "Shared Person"), std::nullopt);

    // Only root may change the system store; everyone still reads it.
    registry::resetHives();
    ASSERT_EQ(chmod(world.sandbox().machine().c_str(), 0555), 0);
    EXPECT_EQ(readCardRecord(CardMode::SystemStore, "Shared Person"), contact);

    world.removeProfile();
    EXPECT_EQ(readCardRecord(CardMode::Own, ""), std::nullopt);
}

TEST(OwnRecord, TellsAMissingKeyFromAMissingValue) {
    test::World world;
    CertificateFields fields;
    ASSERT_EQ(readOwnRecord(fields), OwnRecord::Read);
    EXPECT_FALSE(fields.name.empty());
    world.removeProfile();
    fields.name = "kept";
    EXPECT_NE(readOwnRecord(fields), OwnRecord::Read);
    EXPECT_EQ(fields.name, "kept");
}

}  // namespace
}  // namespace vlt::applet
