// The profile's key operations over the CryptoAPI and registry emulations, with the owner
// profile the Windows providers made.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "crypt/providers.h"
#include "shared/certificate_record.h"
#include "shared/container_names.h"
#include "shared/profile_keys.h"
#include "shared/registry_layout.h"
#include "shared_test_support.h"
#include "support/fixtures.h"

namespace vlt {
namespace {

using test::Bytes;
using test::fixture;
using test::getValue;
using test::putBinary;

std::string ownerPassword() {
    const Bytes b = test::fromHex(test::manifest()["profiles"]["owner"]["password"]["hex"]);
    return {b.begin(), b.end()};
}

std::optional<Bytes> profileValue(const char* name) { return getValue(HKEY_CURRENT_USER, layout::kProfileKey, name); }

class ProfileKeysTest : public test::RegistrySandboxTest {
protected:
    ProfileKeysTest() {
        crypt::resetForTesting();
        crypt::setDefaultExchangeKeyBitsForTesting(512, 1024);
    }
    ~ProfileKeysTest() override {
        crypt::setDefaultExchangeKeyBitsForTesting(0, 0);
        crypt::resetForTesting();
    }

    void importOwnerProfile(const std::string& enhancedWrapped = "profile/enhanced/wrapped-key.bin") {
        ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "ExchangeBlob1", fixture("profile/base/cert-record.bin")), 0);
        ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "ExchangeBlob2", fixture("profile/base/wrapped-key.bin")), 0);
        ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "ExchangeBlob3", fixture("profile/enhanced/cert-record.bin")), 0);
        ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "ExchangeBlob4", fixture(enhancedWrapped)), 0);
        ASSERT_EQ(test::putDword(HKEY_CURRENT_USER, layout::kProfileKey, "InitUser", 1), 0);
    }

    // Loads the private key through a work container, as the shell extension does, and gives
    // back its plain export (empty when the load fails).
    Bytes load(Provider provider, const std::string& password) {
        HCRYPTPROV prov = 0;
        EXPECT_TRUE(acquireWorkContainer(provider, &prov));
        HCRYPTKEY key = 0;
        Bytes plain;
        if (loadPrivateKey(prov, provider, password, &key)) {
            DWORD size = 0;
            // Keys from the cache are imported without CRYPT_EXPORTABLE: report a marker then.
            if (CryptExportKey(key, 0, PRIVATEKEYBLOB, 0, nullptr, &size)) {
                plain.resize(size);
                EXPECT_TRUE(CryptExportKey(key, 0, PRIVATEKEYBLOB, 0, plain.data(), &size));
            } else {
                plain = {'l', 'o', 'a', 'd', 'e', 'd'};
            }
            CryptDestroyKey(key);
        }
        CryptReleaseContext(prov, 0);
        CryptAcquireContextA(&prov, kWorkContainerName, providerName(provider), PROV_RSA_FULL, CRYPT_DELETEKEYSET);
        return plain;
    }

    bool containerExists(const std::string& name, Provider provider) {
        HCRYPTPROV prov = 0;
        if (!CryptAcquireContextA(&prov, name.c_str(), providerName(provider), PROV_RSA_FULL, 0)) return false;
        CryptReleaseContext(prov, 0);
        return true;
    }
};

TEST_F(ProfileKeysTest, RightPasswordLoadsTheKeyAndFillsBothCaches) {
    importOwnerProfile();
    EXPECT_EQ(load(Provider::Base, ownerPassword()), fixture("profile/base/plain-key.bin"));
    // The cache holds the plain exports, byte for byte what the Windows providers exported.
    EXPECT_EQ(profileValue("TempExchangeBlob1"), fixture("profile/base/plain-key.bin"));
    EXPECT_EQ(profileValue("TempExchangeBlob2"), fixture("profile/enhanced/plain-key.bin"));
    EXPECT_FALSE(containerExists(kCacheContainerName, Provider::Base));
}

TEST_F(ProfileKeysTest, EnhancedLoadUnwrapsExchangeBlob4) {
    importOwnerProfile();
    EXPECT_EQ(load(Provider::Enhanced, ownerPassword()), fixture("profile/enhanced/plain-key.bin"));
    EXPECT_EQ(profileValue("TempExchangeBlob1"), fixture("profile/base/plain-key.bin"));
    EXPECT_EQ(profileValue("TempExchangeBlob2"), fixture("profile/enhanced/plain-key.bin"));
}

// One case per provider, named after it.
class PerProvider : public ProfileKeysTest, public ::testing::WithParamInterface<Provider> {};
INSTANTIATE_TEST_SUITE_P(Providers, PerProvider, ::testing::Values(Provider::Base, Provider::Enhanced),
                         [](const auto& p) { return p.param == Provider::Base ? "Base" : "Enhanced"; });

TEST_P(PerProvider, WrongPasswordChangesNothing) {
    importOwnerProfile();
    EXPECT_TRUE(load(GetParam(), "lantern-frost 1984").empty());
    EXPECT_TRUE(load(GetParam(), "").empty());
    EXPECT_FALSE(profileValue("TempExchangeBlob1").has_value());
    EXPECT_FALSE(profileValue("TempExchangeBlob2").has_value());
    EXPECT_EQ(profileValue("ExchangeBlob2"), fixture("profile/base/wrapped-key.bin"));
    EXPECT_EQ(profileValue("ExchangeBlob4"), fixture("profile/enhanced/wrapped-key.bin"));
}

TEST_F(ProfileKeysTest, TheCacheNeedsNoPasswordUntilTheProfileIsLocked) {
    importOwnerProfile();
    ASSERT_TRUE(fillUnlockCache(ownerPassword()));
    EXPECT_FALSE(load(Provider::Base, "").empty());
    EXPECT_FALSE(load(Provider::Enhanced, "").empty());

    EXPECT_TRUE(lockProfile());
    EXPECT_FALSE(profileValue("TempExchangeBlob1").has_value());
    EXPECT_FALSE(profileValue("TempExchangeBlob2").has_value());
    EXPECT_TRUE(load(Provider::Base, "").empty());
    EXPECT_TRUE(load(Provider::Enhanced, "").empty());
    EXPECT_TRUE(lockProfile());  // nothing left to remove is no error
}

TEST_F(ProfileKeysTest, ABrokenCacheFailsTheLoadEvenWithTheRightPassword) {
    importOwnerProfile();
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "TempExchangeBlob1", {7, 2, 0, 0}), 0);
    EXPECT_TRUE(load(Provider::Base, ownerPassword()).empty());
}

TEST_F(ProfileKeysTest, OlderEnhancedWrappingUnlocks) {
    importOwnerProfile("profile/enhanced/wrapped-key-legacy-rc2.bin");
    EXPECT_EQ(load(Provider::Enhanced, ownerPassword()), fixture("profile/enhanced/plain-key.bin"));
    EXPECT_EQ(profileValue("TempExchangeBlob2"), fixture("profile/enhanced/plain-key.bin"));
    EXPECT_TRUE(lockProfile());
    ASSERT_TRUE(fillUnlockCache(ownerPassword()));
    EXPECT_EQ(profileValue("TempExchangeBlob2"), fixture("profile/enhanced/plain-key.bin"));
}

TEST_F(ProfileKeysTest, CacheWithoutEnhancedPairHoldsTheBaseKeyOnly) {
    importOwnerProfile();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, layout::kProfileKey, 0, KEY_ALL_ACCESS, &key), 0);
    ASSERT_EQ(RegDeleteValueA(key, "ExchangeBlob4"), 0);
    RegCloseKey(key);
    ASSERT_TRUE(fillUnlockCache(ownerPassword()));
    EXPECT_EQ(profileValue("TempExchangeBlob1"), fixture("profile/base/plain-key.bin"));
    EXPECT_FALSE(profileValue("TempExchangeBlob2").has_value());
}

TEST_F(ProfileKeysTest, PlainKeysNeverReachTheUserDataFolder) {
    importOwnerProfile();
    ASSERT_TRUE(fillUnlockCache(ownerPassword()));
    ASSERT_TRUE(profileValue("TempExchangeBlob1").has_value());
    registry::resetHives();
    std::string everything;
    for (const auto& f : test::listFiles(sandbox.home())) {
        std::ifstream in(f, std::ios::binary);
        everything.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(everything.empty());
    for (const char* path : {"profile/base/plain-key.bin", "profile/enhanced/plain-key.bin"}) {
        const Bytes plain = fixture(path);
        // The private part follows the header, RSAPUBKEY and modulus (the modulus is public
        // and sits in the certificate record).
        const DWORD bits = plain[12] | plain[13] << 8;
        const std::size_t privateStart = 20 + bits / 8;
        for (std::size_t at = privateStart; at + 16 <= plain.size(); at += 8) {
            const std::string window(plain.begin() + static_cast<std::ptrdiff_t>(at),
                                     plain.begin() + static_cast<std::ptrdiff_t>(at + 16));
            ASSERT_EQ(everything.find(window), std::string::npos) << path << " bytes at " << at;
        }
    }
}

TEST_F(ProfileKeysTest, VerifyPasswordAndItsContainer) {
    importOwnerProfile();
    const std::string container = profileContainerName();
    EXPECT_FALSE(verifyPassword("wrong", AfterVerify::DeleteContainer));
    EXPECT_FALSE(containerExists(container, Provider::Base));
    EXPECT_TRUE(verifyPassword(ownerPassword(), AfterVerify::KeepContainer));
    EXPECT_TRUE(containerExists(container, Provider::Base));
    EXPECT_TRUE(deleteProfileContainer(Provider::Base));
    EXPECT_TRUE(verifyPassword(ownerPassword(), AfterVerify::DeleteContainer));
    EXPECT_FALSE(containerExists(container, Provider::Base));
    EXPECT_FALSE(profileValue("TempExchangeBlob1").has_value());
}

TEST_F(ProfileKeysTest, ChangePasswordRewrapsBothKeys) {
    importOwnerProfile("profile/enhanced/wrapped-key-legacy-rc2.bin");
    const std::string newPassword = "N\xE9w p\xE4ss";  // ANSI bytes
    ASSERT_TRUE(changePassword(ownerPassword(), newPassword));
    EXPECT_NE(profileValue("ExchangeBlob2"), fixture("profile/base/wrapped-key.bin"));
    EXPECT_NE(profileValue("ExchangeBlob4"), fixture("profile/enhanced/wrapped-key-legacy-rc2.bin"));
    EXPECT_FALSE(containerExists(profileContainerName(), Provider::Enhanced));

    EXPECT_FALSE(verifyPassword(ownerPassword(), AfterVerify::DeleteContainer));
    EXPECT_TRUE(verifyPassword(newPassword, AfterVerify::DeleteContainer));
    EXPECT_TRUE(load(Provider::Enhanced, ownerPassword()).empty());
    EXPECT_EQ(load(Provider::Enhanced, newPassword), fixture("profile/enhanced/plain-key.bin"));
    ASSERT_TRUE(lockProfile());
    EXPECT_EQ(load(Provider::Base, newPassword), fixture("profile/base/plain-key.bin"));

    // Rewritten at the full 128 effective bits: it imports without the older expansion.
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(CryptAcquireContextA(&prov, nullptr, MS_ENHANCED_PROV_A, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    HCRYPTHASH hash = 0;
    HCRYPTKEY passwordKey = 0;
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
    ASSERT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(newPassword.data()),
                              static_cast<DWORD>(newPassword.size()), 0));
    ASSERT_TRUE(CryptDeriveKey(prov, CALG_RC2, hash, CRYPT_EXPORTABLE, &passwordKey));
    const Bytes blob4 = *profileValue("ExchangeBlob4");
    EXPECT_TRUE(CryptImportKey(prov, blob4.data(), static_cast<DWORD>(blob4.size()), passwordKey, CRYPT_EXPORTABLE, &key));
    CryptDestroyKey(key);
    CryptDestroyKey(passwordKey);
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
}

TEST_F(ProfileKeysTest, WrongOldPasswordLeavesTheKeysAlone) {
    importOwnerProfile();
    EXPECT_FALSE(changePassword("not it", "new"));
    EXPECT_EQ(profileValue("ExchangeBlob2"), fixture("profile/base/wrapped-key.bin"));
    EXPECT_EQ(profileValue("ExchangeBlob4"), fixture("profile/enhanced/wrapped-key.bin"));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, layout::kProfileKey, 0, KEY_ALL_ACCESS, &key), 0);
    ASSERT_EQ(RegDeleteValueA(key, "ExchangeBlob4"), 0);
    RegCloseKey(key);
    EXPECT_FALSE(changePassword("not it", "new"));
    EXPECT_EQ(profileValue("ExchangeBlob2"), fixture("profile/base/wrapped-key.bin"));
    EXPECT_FALSE(profileValue("ExchangeBlob4").has_value());
}

// The unlock dialog takes 99 characters and stops at a NUL: nothing else may become a password.
TEST_F(ProfileKeysTest, PasswordsTheDialogCannotTakeAreRefusedAtCreationAndChange) {
    const struct {
        std::string password;
        bool usable;
    } cases[] = {{std::string(99, 'p'), true},
                 {std::string(100, 'p'), false},
                 {std::string("ab\0cd", 5), false},
                 {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password.size());
        EXPECT_EQ(checkNewPassword(c.password).ok(), c.usable);
        importOwnerProfile();
        EXPECT_EQ(changePassword(ownerPassword(), c.password), c.usable);
        EXPECT_EQ(profileValue("ExchangeBlob2") == fixture("profile/base/wrapped-key.bin"), !c.usable);
        EXPECT_EQ(createKeyPair(Provider::Base, c.password, Identity{"Ann", "", "", "", ""}), c.usable);
        EXPECT_EQ(profileValue("ExchangeBlob1") == fixture("profile/base/cert-record.bin"), !c.usable);
    }
}

TEST_P(PerProvider, CreatedKeyPairCarriesTheIdentityAndUnlocks) {
    const bool base = GetParam() == Provider::Base;
    const Identity me{"Zo\xEB M\xFCller", "zoe@example.net", "", "Gen\xE8ve", "GE"};
    const std::string password = "s\xE9same";
    ASSERT_TRUE(createKeyPair(Provider::Base, password, me));
    ASSERT_TRUE(createKeyPair(Provider::Enhanced, password, me));
    EXPECT_EQ(test::getDword(HKEY_CURRENT_USER, layout::kProfileKey, "InitUser"), 1u);
    EXPECT_FALSE(containerExists(profileContainerName(), Provider::Base));

    const Bytes record = *profileValue(base ? "ExchangeBlob1" : "ExchangeBlob3");
    auto parsed = parseCertificateRecord(record);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->identity.displayName, me.displayName);
    EXPECT_EQ(parsed->identity.eMailId, me.eMailId);
    EXPECT_EQ(parsed->identity.street, "");
    EXPECT_EQ(parsed->identity.city, me.city);
    EXPECT_EQ(parsed->identity.state, me.state);
    EXPECT_EQ(parsed->keyBlob[0], PUBLICKEYBLOB);
    EXPECT_NE(profileValue("ExchangeBlob1"), profileValue("ExchangeBlob3"));
    EXPECT_EQ(*readOwnDisplayName(), me.displayName);
    EXPECT_TRUE(verifyPassword(password, AfterVerify::DeleteContainer));

    // The private key that unlocks belongs to the public key in the record.
    const Bytes loaded = load(GetParam(), password);
    const auto plain = profileValue(base ? "TempExchangeBlob1" : "TempExchangeBlob2");
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(*plain, loaded);
    const ByteView publicBlob = *certificateKeyBlob(record);
    ASSERT_GT(plain->size(), publicBlob.size());
    EXPECT_EQ(std::string(publicBlob.begin() + 8, publicBlob.begin() + 12), "RSA1");
    EXPECT_EQ(std::string(plain->begin() + 8, plain->begin() + 12), "RSA2");
    // Same bit length, exponent and modulus after the magic.
    EXPECT_TRUE(std::equal(publicBlob.begin() + 12, publicBlob.end(), plain->begin() + 12));
}

TEST_P(PerProvider, OwnPublicKeyLoadsFromTheRecord) {
    importOwnerProfile();
    const Provider p = GetParam();
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(acquireWorkContainer(p, &prov));
    HCRYPTKEY key = 0;
    ASSERT_TRUE(loadOwnPublicKey(prov, p, &key));
    DWORD size = 0;
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size));
    Bytes exported(size);
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, exported.data(), &size));
    const Bytes record = fixture(p == Provider::Base ? "profile/base/cert-record.bin" : "profile/enhanced/cert-record.bin");
    const ByteView blob = *certificateKeyBlob(record);
    EXPECT_EQ(exported, Bytes(blob.begin(), blob.end()));
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
    CryptAcquireContextA(&prov, kWorkContainerName, providerName(p), PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

TEST_F(ProfileKeysTest, WithoutAProfileNothingLoads) {
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(acquireWorkContainer(Provider::Base, &prov));
    HCRYPTKEY key = 0;
    EXPECT_FALSE(loadOwnPublicKey(prov, Provider::Base, &key));
    EXPECT_FALSE(loadPrivateKey(prov, Provider::Base, "x", &key));
    CryptReleaseContext(prov, 0);
    EXPECT_FALSE(readOwnDisplayName().ok());
    EXPECT_TRUE(lockProfile());
    EXPECT_FALSE(changePassword("a", "b"));
}

TEST_F(ProfileKeysTest, OwnDisplayName) {
    importOwnerProfile();
    EXPECT_EQ(*readOwnDisplayName(), test::manifest()["profiles"]["owner"]["identity"]["display_name"]);
    EXPECT_EQ(*readOwnDisplayName(6), "Marta");
    // Too short to hold the key blob and the name's length.
    Bytes shortRecord = fixture("profile/base/cert-record.bin");
    shortRecord.resize(4 + 84 + 2);
    ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kProfileKey, "ExchangeBlob1", shortRecord), 0);
    EXPECT_FALSE(readOwnDisplayName().ok());
}

TEST(ContainerNames, ProfileContainerFollowsTheUserName) {
    EXPECT_EQ(profileContainerNameFor(""), "DefaultVTC");
    EXPECT_EQ(profileContainerNameFor("marta"), "martaVTC");
    const std::string user = loggedOnUserName();
    EXPECT_EQ(profileContainerName(), (user.empty() ? std::string("Default") : user) + "VTC");
    EXPECT_STREQ(kWorkContainerName, "Vaultine");
    EXPECT_STREQ(kCacheContainerName, "TempContainer");
}

}  // namespace
}  // namespace vlt
