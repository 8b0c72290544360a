// Generated keys and the blobs they travel in.
#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

Bytes head(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }

TEST_F(CryptTest, GeneratedExchangePairs) {
    struct Case {
        const char* provider;
        DWORD bits;
        std::size_t publicSize;
        std::size_t privateSize;
        std::size_t wrappedSize;
    } cases[] = {{MS_DEF_PROV_A, 512, 84, 308, 312}, {MS_ENHANCED_PROV_A, 1024, 148, 596, 600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.provider);
        const HCRYPTPROV prov = newContainer("gen", c.provider);
        HCRYPTKEY pair = 0;
        ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, (c.bits << 16) | CRYPT_EXPORTABLE, &pair));
        EXPECT_EQ(keyDword(pair, KP_ALGID), static_cast<DWORD>(CALG_RSA_KEYX));
        EXPECT_EQ(keyDword(pair, KP_KEYLEN), c.bits);
        EXPECT_EQ(keyDword(pair, KP_PERMISSIONS), 0x3Fu);

        const Bytes pub = exportBlob(pair, 0, PUBLICKEYBLOB);
        ASSERT_EQ(pub.size(), c.publicSize);
        Bytes expectHead = fromHex("0602000000a40000525341310000000001000100");
        expectHead[13] = static_cast<unsigned char>(c.bits >> 8);
        EXPECT_EQ(toHex(head(pub, 20)), toHex(expectHead));

        const Bytes priv = exportBlob(pair, 0, PRIVATEKEYBLOB);
        ASSERT_EQ(priv.size(), c.privateSize);
        EXPECT_EQ(toHex(head(priv, 12)), "0702000000a4000052534132");
        EXPECT_EQ(Bytes(priv.begin() + 12, priv.begin() + static_cast<long>(20 + c.bits / 8)),
                  Bytes(pub.begin() + 12, pub.end()));

        // Wrapped under a password key: header in clear, the rest CBC with one block of padding.
        const HCRYPTKEY pw = passwordKey(prov, bytesOf("Lantern"));
        const Bytes wrapped = exportBlob(pair, pw, PRIVATEKEYBLOB);
        ASSERT_EQ(wrapped.size(), c.wrappedSize);
        EXPECT_EQ(head(wrapped, 8), head(priv, 8));
        Bytes body(wrapped.begin() + 8, wrapped.end());
        DWORD len = static_cast<DWORD>(body.size());
        ASSERT_TRUE(CryptDecrypt(pw, 0, TRUE, 0, body.data(), &len));
        body.resize(len);
        EXPECT_EQ(body, Bytes(priv.begin() + 8, priv.end()));

        // The pair is the container's: another context finds it, a new import replaces it.
        HCRYPTPROV other = 0;
        ASSERT_TRUE(CryptAcquireContextA(&other, "gen", c.provider, PROV_RSA_FULL, 0));
        HCRYPTKEY user = 0;
        ASSERT_TRUE(CryptGetUserKey(other, AT_KEYEXCHANGE, &user));
        EXPECT_EQ(exportBlob(user, 0, PRIVATEKEYBLOB), priv);
        EXPECT_FALSE(CryptGetUserKey(other, AT_SIGNATURE, &user));
        EXPECT_EQ(lastError(), code(NTE_NO_KEY));
        CryptReleaseContext(other, 0);
        CryptReleaseContext(prov, 0);
        HCRYPTPROV gone = 0;
        ASSERT_TRUE(CryptAcquireContextA(&gone, "gen", c.provider, PROV_RSA_FULL, CRYPT_DELETEKEYSET));

        // Unwrapping in a fresh container restores the very same key.
        const HCRYPTPROV fresh = newContainer("fresh", c.provider);
        const HCRYPTKEY pw2 = passwordKey(fresh, bytesOf("Lantern"));
        const HCRYPTKEY back = importBlob(fresh, wrapped, pw2, CRYPT_EXPORTABLE);
        EXPECT_EQ(exportBlob(back, 0, PRIVATEKEYBLOB), priv);
        const HCRYPTKEY wrong = passwordKey(fresh, bytesOf("lantern"));
        HCRYPTKEY none = 0;
        EXPECT_FALSE(CryptImportKey(fresh, wrapped.data(), static_cast<DWORD>(wrapped.size()), wrong, 0, &none));
        EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
        CryptReleaseContext(fresh, 0);
        ASSERT_TRUE(CryptAcquireContextA(&gone, "fresh", c.provider, PROV_RSA_FULL, CRYPT_DELETEKEYSET));
    }
}

TEST_F(CryptTest, NonExportablePairStaysInside) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, 0, &pair));
    EXPECT_EQ(keyDword(pair, KP_PERMISSIONS), 0x3Bu);
    DWORD len = 0;
    EXPECT_FALSE(CryptExportKey(pair, 0, PRIVATEKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY_STATE));
    const HCRYPTKEY pw = passwordKey(prov, bytesOf("pw"));
    EXPECT_FALSE(CryptExportKey(pair, pw, PRIVATEKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY_STATE));
    EXPECT_FALSE(setDword(pair, KP_PERMISSIONS, 0x3F));
    EXPECT_EQ(exportBlob(pair, 0, PUBLICKEYBLOB).size(), 84u);

    // An exportable pair can be made non-exportable through one handle.
    HCRYPTKEY exportable = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &exportable));
    ASSERT_TRUE(setDword(exportable, KP_PERMISSIONS, 0x3B));
    EXPECT_FALSE(CryptExportKey(exportable, 0, PRIVATEKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY_STATE));

    // A session key made without CRYPT_EXPORTABLE cannot leave in a SIMPLEBLOB either.
    HCRYPTKEY session = 0;
    ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, 0, &session));
    EXPECT_FALSE(CryptExportKey(session, pair, SIMPLEBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY_STATE));
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, DefaultLengthsOfGeneratedKeys) {
    vlt::crypt::setDefaultExchangeKeyBitsForTesting(0, 0);
    struct Case {
        const char* provider;
        DWORD rsaBits;
        DWORD rc2Bits;
        std::size_t salt;
        DWORD effective;
        DWORD tooLong;
        DWORD rc2TooLong;
    } cases[] = {{MS_DEF_PROV_A, 1024, 40, 11, 40, 2048, 64}, {MS_ENHANCED_PROV_A, 3072, 128, 0, 128, 16392, 136}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.provider);
        const HCRYPTPROV prov = verifyContext(c.provider);
        HCRYPTKEY pair = 0;
        ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &pair));
        EXPECT_EQ(keyDword(pair, KP_KEYLEN), c.rsaBits);
        EXPECT_EQ(exportBlob(pair, 0, PUBLICKEYBLOB).size(), 20 + c.rsaBits / 8);
        HCRYPTKEY none = 0;
        EXPECT_FALSE(CryptGenKey(prov, AT_KEYEXCHANGE, c.tooLong << 16, &none));
        EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
        EXPECT_FALSE(CryptGenKey(prov, AT_KEYEXCHANGE, 511 << 16, &none));
        EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));

        HCRYPTKEY a = 0, b = 0;
        ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_EXPORTABLE, &a));
        ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_EXPORTABLE, &b));
        EXPECT_EQ(keyDword(a, KP_KEYLEN), c.rc2Bits);
        EXPECT_EQ(keyDword(a, KP_EFFECTIVE_KEYLEN), c.effective);
        EXPECT_EQ(keyBytesParam(a, KP_SALT), Bytes(c.salt, 0));
        EXPECT_NE(encryptFinal(a, pattern(8)), encryptFinal(b, pattern(8)));
        HCRYPTKEY bare = 0;
        ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_NO_SALT, &bare));
        EXPECT_TRUE(keyBytesParam(bare, KP_SALT).empty());
        EXPECT_FALSE(CryptGenKey(prov, CALG_RC2, c.rc2TooLong << 16, &none));
        EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
        EXPECT_FALSE(CryptGenKey(prov, CALG_DES, 0, &none));
        EXPECT_EQ(lastError(), code(NTE_BAD_ALGID));
        CryptReleaseContext(prov, 0);
    }
}

TEST_F(CryptTest, SignaturePairHasItsOwnSlot) {
    const HCRYPTPROV prov = newContainer("two", MS_ENHANCED_PROV_A);
    HCRYPTKEY exchange = 0, signature = 0, user = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &exchange));
    ASSERT_TRUE(CryptGenKey(prov, AT_SIGNATURE, CRYPT_EXPORTABLE, &signature));
    EXPECT_EQ(keyDword(signature, KP_ALGID), static_cast<DWORD>(CALG_RSA_SIGN));
    ASSERT_TRUE(CryptGetUserKey(prov, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(exportBlob(user, 0, PUBLICKEYBLOB), exportBlob(exchange, 0, PUBLICKEYBLOB));
    ASSERT_TRUE(CryptGetUserKey(prov, AT_SIGNATURE, &user));
    const Bytes sig = exportBlob(user, 0, PUBLICKEYBLOB);
    EXPECT_EQ(toHex(head(sig, 8)), "0602000000240000");

    // A signature key wraps no session keys.
    HCRYPTKEY session = 0;
    ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_EXPORTABLE, &session));
    DWORD len = 0;
    EXPECT_FALSE(CryptExportKey(session, signature, SIMPLEBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_PUBLIC_KEY));
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, SimpleBlobRules) {
    const HCRYPTPROV base = newContainer("rules", MS_DEF_PROV_A);
    const HCRYPTPROV enhanced = verifyContext(MS_ENHANCED_PROV_A);
    HCRYPTKEY pair = 0, session = 0, big = 0;
    ASSERT_TRUE(CryptGenKey(base, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &pair));
    ASSERT_TRUE(CryptGenKey(base, CALG_RC2, CRYPT_EXPORTABLE, &session));
    ASSERT_TRUE(CryptGenKey(enhanced, CALG_RC2, CRYPT_EXPORTABLE, &big));
    const HCRYPTKEY pub = importBlob(enhanced, exportBlob(pair, 0, PUBLICKEYBLOB), 0, 0);

    DWORD len = 0;
    EXPECT_FALSE(CryptExportKey(session, 0, SIMPLEBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_PUBLIC_KEY));
    EXPECT_FALSE(CryptExportKey(session, big, SIMPLEBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_PUBLIC_KEY));
    EXPECT_FALSE(CryptExportKey(pair, session, SIMPLEBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY));
    EXPECT_FALSE(CryptExportKey(session, 0, PUBLICKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY));
    EXPECT_FALSE(CryptExportKey(session, pair, PLAINTEXTKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_TYPE));
    Bytes small(75);
    len = static_cast<DWORD>(small.size());
    EXPECT_FALSE(CryptExportKey(session, pub, SIMPLEBLOB, 0, small.data(), &len));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(len, 76u);

    // A public key alone cannot open a SIMPLEBLOB; the private half can.
    const Bytes simple = exportBlob(session, pub, SIMPLEBLOB);
    HCRYPTKEY out = 0;
    EXPECT_FALSE(CryptImportKey(enhanced, simple.data(), static_cast<DWORD>(simple.size()), pub, 0, &out));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY));
    EXPECT_FALSE(CryptImportKey(enhanced, simple.data(), static_cast<DWORD>(simple.size()), big, 0, &out));
    EXPECT_EQ(lastError(), code(NTE_BAD_PUBLIC_KEY));
    const HCRYPTKEY received = importBlob(base, simple, pair, CRYPT_EXPORTABLE);
    EXPECT_EQ(keyDword(received, KP_PERMISSIONS), 0x3Fu);
    EXPECT_EQ(encryptFinal(received, pattern(30)), encryptFinal(session, pattern(30)));

    // A 128-bit key does not fit the Base provider.
    const Bytes wide = exportBlob(big, pair, SIMPLEBLOB);
    EXPECT_FALSE(CryptImportKey(base, wide.data(), static_cast<DWORD>(wide.size()), pair, 0, &out));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    // The session algorithm must be one the providers wrap.
    Bytes odd = simple;
    odd[4] = 0x01;  // CALG_DES
    EXPECT_FALSE(CryptImportKey(base, odd.data(), static_cast<DWORD>(odd.size()), pair, 0, &out));
    EXPECT_EQ(lastError(), code(NTE_BAD_ALGID));
    CryptReleaseContext(base, 0);
    CryptReleaseContext(enhanced, 0);
}

TEST_F(CryptTest, MalformedBlobsAreRefused) {
    const HCRYPTPROV prov = newContainer("bad", MS_DEF_PROV_A);
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &pair));
    const Bytes priv = exportBlob(pair, 0, PRIVATEKEYBLOB);
    const Bytes pub = exportBlob(pair, 0, PUBLICKEYBLOB);

    struct Case {
        const char* what;
        Bytes blob;
        HRESULT error;
    };
    auto with = [](Bytes b, std::size_t at, unsigned char v) {
        b[at] = v;
        return b;
    };
    std::vector<Case> cases = {
        {"too short", head(pub, 7), NTE_BAD_DATA},
        {"version 3", with(pub, 1, 3), NTE_BAD_DATA},
        {"reserved", with(pub, 2, 1), NTE_BAD_DATA},
        {"unknown type", with(pub, 0, 0x42), NTE_BAD_TYPE},
        {"plaintext key blob", with(pub, 0, PLAINTEXTKEYBLOB), NTE_BAD_TYPE},
        {"public with RC2 algorithm", with(with(pub, 4, 0x02), 5, 0x66), NTE_BAD_ALGID},
        {"public with private magic", with(pub, 11, '2'), NTE_BAD_DATA},
        {"private with public magic", with(priv, 11, '1'), NTE_BAD_DATA},
        {"bit length not whole bytes", with(pub, 12, 0x01), NTE_BAD_DATA},
        {"no exponent", with(with(with(pub, 16, 0), 17, 0), 18, 0), NTE_BAD_DATA},
        {"public cut short", head(pub, pub.size() - 1), NTE_BAD_DATA},
        {"prime changed", with(priv, 20 + 64 + 3, priv[20 + 64 + 3] ^ 1), NTE_BAD_DATA},
        {"modulus changed", with(priv, 25, priv[25] ^ 1), NTE_BAD_DATA},
        {"private without primes", head(priv, 20 + 64 + 100), NTE_BAD_DATA},
    };
    for (const auto& c : cases) {
        HCRYPTKEY key = 0;
        EXPECT_FALSE(CryptImportKey(prov, c.blob.data(), static_cast<DWORD>(c.blob.size()), 0, 0, &key)) << c.what;
        EXPECT_EQ(lastError(), code(c.error)) << c.what;
    }
    // None of the failures touched the container's pair.
    HCRYPTKEY user = 0;
    ASSERT_TRUE(CryptGetUserKey(prov, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(exportBlob(user, 0, PRIVATEKEYBLOB), priv);

    // A public key on its own leaves the container's pairs as they were.
    HCRYPTKEY other = 0;
    const HCRYPTPROV elsewhere = verifyContext(MS_DEF_PROV_A);
    ASSERT_TRUE(CryptGenKey(elsewhere, AT_KEYEXCHANGE, 0, &other));
    importBlob(prov, exportBlob(other, 0, PUBLICKEYBLOB), 0, 0);
    ASSERT_TRUE(CryptGetUserKey(prov, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(exportBlob(user, 0, PUBLICKEYBLOB), pub);
    CryptReleaseContext(elsewhere, 0);
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, Rc4KeyWrapsWithoutPadding) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &pair));
    const HCRYPTKEY rc4 = derive(prov, CALG_MD5, bytesOf("stream"), CALG_RC4, 0);
    const Bytes wrapped = exportBlob(pair, rc4, PRIVATEKEYBLOB);
    EXPECT_EQ(wrapped.size(), exportBlob(pair, 0, PRIVATEKEYBLOB).size());
    const HCRYPTKEY back = importBlob(prov, wrapped, rc4, CRYPT_EXPORTABLE);
    EXPECT_EQ(exportBlob(back, 0, PRIVATEKEYBLOB), exportBlob(pair, 0, PRIVATEKEYBLOB));
    CryptReleaseContext(prov, 0);
}

}  // namespace
}  // namespace vlt::test
