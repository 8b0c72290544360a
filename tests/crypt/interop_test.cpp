// The Windows-made fixtures: password-wrapped private keys and locked files of both providers.
#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

DWORD le32(const Bytes& b, std::size_t at) {
    return static_cast<DWORD>(b.at(at)) | static_cast<DWORD>(b.at(at + 1)) << 8 |
           static_cast<DWORD>(b.at(at + 2)) << 16 | static_cast<DWORD>(b.at(at + 3)) << 24;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t count) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

struct LockedFile {
    Bytes simpleBlob;
    Bytes cipher;
};

// Key block: after 6 bytes and the header, the algorithm word, the blob length and the blob; the
// ciphertext follows.
LockedFile splitLockedFile(const nlohmann::json& entry) {
    const Bytes file = fixture(entry["path"]);
    const std::size_t at = 6 + entry["header"]["header_length"].get<std::size_t>();
    EXPECT_EQ(le32(file, at), parseWord(entry["algorithm_word"]));
    const DWORD blobLength = le32(file, at + 4);
    EXPECT_EQ(blobLength, entry["key_block"]["blob_length"].get<DWORD>());
    LockedFile out;
    out.simpleBlob = slice(file, at + 8, blobLength);
    const std::size_t cipherAt = at + 8 + blobLength;
    EXPECT_EQ(cipherAt, entry["ciphertext_offset"].get<std::size_t>());
    out.cipher = slice(file, cipherAt, file.size() - cipherAt);
    EXPECT_EQ(out.cipher.size(), entry["ciphertext_length"].get<std::size_t>());
    return out;
}

std::vector<nlohmann::json> lockedFiles() {
    std::vector<nlohmann::json> out;
    for (const auto& f : manifest()["files"]) {
        if (f["kind"] == "locked-file") out.push_back(f);
    }
    return out;
}

class InteropTest : public CryptTest {
protected:
    // Imports a wrapped private key the way the suite does: the current expansion first, then the
    // Enhanced expansion of Windows before XP SP1.
    static HCRYPTKEY unwrapWithRetry(HCRYPTPROV prov, const Bytes& wrapped, const Bytes& password, DWORD flags) {
        const HCRYPTKEY pw = passwordKey(prov, password);
        HCRYPTKEY key = 0;
        if (!CryptImportKey(prov, wrapped.data(), static_cast<DWORD>(wrapped.size()), pw, flags, &key)) {
            EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
            if (setDword(pw, KP_EFFECTIVE_KEYLEN, 40)) {
                EXPECT_TRUE(CryptImportKey(prov, wrapped.data(), static_cast<DWORD>(wrapped.size()), pw, flags, &key))
                    << std::hex << lastError();
            }
        }
        CryptDestroyKey(pw);
        return key;
    }
};

// One case per profile of the manifest and provider.
class InteropProfile : public InteropTest, public ::testing::WithParamInterface<ProfileProvider> {
protected:
    const nlohmann::json& profile() const { return manifest()["profiles"][GetParam().person]; }
    const nlohmann::json& keys() const { return profile()[GetParam().provider]; }
    Bytes password() const { return fromHex(profile()["password"]["hex"]); }
};
INSTANTIATE_TEST_SUITE_P(Profiles, InteropProfile, ::testing::ValuesIn(profileProviders()),
                         [](const auto& p) { return p.param.name(); });

TEST_P(InteropProfile, PasswordKeyMatchesTheManifest) {
    const auto& p = keys();
    const HCRYPTPROV prov = verifyContext(p["provider"].get<std::string>().c_str());
    const HCRYPTHASH hash = hashOf(prov, CALG_MD5, password());
    EXPECT_EQ(toHex(hashValue(hash)), p["password_key"]["md5_of_password"]);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptDeriveKey(prov, CALG_RC2, hash, 0, &key));
    const auto& pk = p["password_key"];
    EXPECT_EQ(keyDword(key, KP_KEYLEN), fromHex(pk["rc2_key_hex"]).size() * 8);
    EXPECT_EQ(toHex(keyBytesParam(key, KP_SALT)), pk["rc2_salt_hex"]);
    EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), pk["rc2_effective_bits"].get<DWORD>());
    CryptDestroyHash(hash);
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
}

TEST_P(InteropProfile, WrappedKeyUnwrapsToThePlainKey) {
    const auto& p = keys();
    const Bytes wrapped = fixture(p["wrapped_key"]);
    const Bytes plain = fixture(p["plain_key"]);
    EXPECT_EQ(wrapped.size(), plain.size() + 4);  // 312/600 against 308/596
    EXPECT_EQ(plain.size(), 20 + 9 * p["rsa_bits"].get<std::size_t>() / 16);

    const HCRYPTPROV prov = newContainer(GetParam().name().c_str(), p["provider"].get<std::string>().c_str());
    const HCRYPTKEY pw = passwordKey(prov, password());
    const HCRYPTKEY key = importBlob(prov, wrapped, pw, CRYPT_EXPORTABLE);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), p["rsa_bits"].get<DWORD>());
    EXPECT_EQ(toHex(exportBlob(key, 0, PRIVATEKEYBLOB)), toHex(plain));
    // Wrapping again under the same password gives the same bytes.
    EXPECT_EQ(toHex(exportBlob(key, pw, PRIVATEKEYBLOB)), toHex(wrapped));
    // The import filled the container's exchange slot.
    HCRYPTKEY user = 0;
    ASSERT_TRUE(CryptGetUserKey(prov, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(toHex(exportBlob(user, 0, PUBLICKEYBLOB)), toHex(exportBlob(key, 0, PUBLICKEYBLOB)));
    EXPECT_FALSE(CryptGetUserKey(prov, AT_SIGNATURE, &user));
    EXPECT_EQ(lastError(), code(NTE_NO_KEY));
    CryptReleaseContext(prov, 0);
}

// The other profile's password is the wrong one.
TEST_P(InteropProfile, WrongPasswordIsRefused) {
    const char* other = GetParam().person == "owner" ? "contact" : "owner";
    const Bytes wrong = fromHex(manifest()["profiles"][other]["password"]["hex"]);
    const HCRYPTPROV prov = verifyContext(keys()["provider"].get<std::string>().c_str());
    const Bytes wrapped = fixture(keys()["wrapped_key"]);
    const HCRYPTKEY pw = passwordKey(prov, wrong);
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptImportKey(prov, wrapped.data(), static_cast<DWORD>(wrapped.size()), pw, 0, &key));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    EXPECT_FALSE(CryptGetUserKey(prov, AT_KEYEXCHANGE, &key));
    // The password key is fine for its next message.
    const HCRYPTKEY right = passwordKey(prov, password());
    EXPECT_NE(importBlob(prov, wrapped, right, 0), 0u);
    CryptReleaseContext(prov, 0);
}

TEST_F(InteropTest, LegacyEnhancedWrappedKeyNeedsFortyEffectiveBits) {
    const auto& p = manifest()["profiles"]["owner"]["enhanced"];
    const Bytes password = fromHex(manifest()["profiles"]["owner"]["password"]["hex"]);
    const Bytes legacy = fixture(p["wrapped_key_legacy_rc2"]);
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    const HCRYPTKEY pw = passwordKey(prov, password);
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptImportKey(prov, legacy.data(), static_cast<DWORD>(legacy.size()), pw, 0, &key));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    ASSERT_TRUE(setDword(pw, KP_EFFECTIVE_KEYLEN, 40));
    key = importBlob(prov, legacy, pw, CRYPT_EXPORTABLE);
    EXPECT_EQ(toHex(exportBlob(key, 0, PRIVATEKEYBLOB)), toHex(fixture(p["plain_key"])));
    // And the current wrapped key no longer opens with 40.
    const Bytes current = fixture(p["wrapped_key"]);
    EXPECT_FALSE(CryptImportKey(prov, current.data(), static_cast<DWORD>(current.size()), pw, 0, &key));
    CryptReleaseContext(prov, 0);
}

TEST_F(InteropTest, LockedFilesOpenWithThePlainKey) {
    const auto files = lockedFiles();
    ASSERT_GE(files.size(), 20u);
    int n = 0;
    for (const auto& entry : files) {
        SCOPED_TRACE(entry["path"].get<std::string>());
        const std::string provider = entry["provider"];
        const LockedFile locked = splitLockedFile(entry);
        const Bytes plaintext = fixture(entry["plaintext"]);
        const bool legacy = entry["rc2_effective_bits"] == 40 && provider == MS_ENHANCED_PROV_A;

        const std::string name = "file" + std::to_string(n++);
        const HCRYPTPROV prov = newContainer(name.c_str(), provider.c_str());
        importBlob(prov, fixture(entry["unlock_with"]["plain_key"]), 0, 0);
        const HCRYPTKEY session = importBlob(prov, locked.simpleBlob, 0, 0);
        ASSERT_NE(session, 0u);
        const bool base = provider == MS_DEF_PROV_A;
        EXPECT_EQ(keyDword(session, KP_ALGID), static_cast<DWORD>(CALG_RC2));
        EXPECT_EQ(keyDword(session, KP_KEYLEN), base ? 40u : 128u);
        EXPECT_EQ(keyBytesParam(session, KP_SALT), Bytes(base ? 11 : 0, 0));

        Bytes out;
        if (legacy) {
            // With today's expansion the file must not come out right.
            const bool opened = decryptChunked(session, locked.cipher, 160, out);
            EXPECT_FALSE(opened && out == plaintext);
            ASSERT_TRUE(setDword(session, KP_EFFECTIVE_KEYLEN, 40));
        }
        ASSERT_TRUE(decryptChunked(session, locked.cipher, 160, out)) << std::hex << lastError();
        EXPECT_EQ(out, plaintext);
        // The key starts over after the final call: a second pass reads the same.
        ASSERT_TRUE(decryptChunked(session, locked.cipher, 160, out));
        EXPECT_EQ(out, plaintext);
        CryptReleaseContext(prov, 0);
    }
}

TEST_F(InteropTest, LockedFilesOpenWithThePassword) {
    int n = 0;
    for (const auto& entry : lockedFiles()) {
        SCOPED_TRACE(entry["path"].get<std::string>());
        const std::string provider = entry["provider"];
        const LockedFile locked = splitLockedFile(entry);
        const auto& with = entry["unlock_with"];
        const std::string name = "pw" + std::to_string(n++);
        const HCRYPTPROV prov = newContainer(name.c_str(), provider.c_str());
        const HCRYPTKEY pair =
            unwrapWithRetry(prov, fixture(with["wrapped_key"]), fromHex(with["password"]["hex"]), 0);
        ASSERT_NE(pair, 0u);
        const HCRYPTKEY session = importBlob(prov, locked.simpleBlob, 0, 0);
        if (entry["rc2_effective_bits"] == 40 && provider == MS_ENHANCED_PROV_A) {
            ASSERT_TRUE(setDword(session, KP_EFFECTIVE_KEYLEN, 40));
        }
        Bytes out;
        ASSERT_TRUE(decryptChunked(session, locked.cipher, 160, out)) << std::hex << lastError();
        EXPECT_EQ(out, fixture(entry["plaintext"]));
        CryptReleaseContext(prov, 0);
    }
}

TEST_F(InteropTest, LockedFilesRefuseOtherKeys) {
    const auto& profiles = manifest()["profiles"];
    int n = 0;
    for (const auto& entry : lockedFiles()) {
        SCOPED_TRACE(entry["path"].get<std::string>());
        const std::string provider = entry["provider"];
        const bool enhanced = provider == MS_ENHANCED_PROV_A;
        const LockedFile locked = splitLockedFile(entry);
        std::vector<Bytes> others = {fixture(profiles["contact"][enhanced ? "enhanced" : "base"]["plain_key"])};
        if (enhanced) others.push_back(fixture(profiles["owner"]["base"]["plain_key"]));
        for (const Bytes& other : others) {
            const std::string name = "other" + std::to_string(n++);
            const HCRYPTPROV prov = newContainer(name.c_str(), provider.c_str());
            importBlob(prov, other, 0, 0);
            HCRYPTKEY session = 0;
            EXPECT_FALSE(CryptImportKey(prov, locked.simpleBlob.data(), static_cast<DWORD>(locked.simpleBlob.size()),
                                        0, 0, &session));
            EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
            CryptReleaseContext(prov, 0);
        }
    }
}

TEST_F(InteropTest, LockedFilesNeedAnExchangePair) {
    const auto files = lockedFiles();
    const LockedFile locked = splitLockedFile(files.front());
    const HCRYPTPROV prov = newContainer("empty", files.front()["provider"].get<std::string>().c_str());
    HCRYPTKEY session = 0;
    EXPECT_FALSE(
        CryptImportKey(prov, locked.simpleBlob.data(), static_cast<DWORD>(locked.simpleBlob.size()), 0, 0, &session));
    EXPECT_EQ(lastError(), code(NTE_NO_KEY));
    CryptReleaseContext(prov, 0);
}

}  // namespace
}  // namespace vlt::test
