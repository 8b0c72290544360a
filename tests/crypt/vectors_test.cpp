// Known-answer vectors of the providers (recorded on Windows, or recomputed from the recipe the
// Windows results pin down).
#include <algorithm>

#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

struct Provider {
    const char* name;
    bool base;
};
const Provider kBase{MS_DEF_PROV_A, true};
const Provider kEnhanced{MS_ENHANCED_PROV_A, false};

class ProviderVectors : public CryptTest, public ::testing::WithParamInterface<Provider> {};
INSTANTIATE_TEST_SUITE_P(Providers, ProviderVectors, ::testing::Values(kBase, kEnhanced),
                         [](const auto& p) { return p.param.base ? "Base" : "Enhanced"; });

// V8: 1024-bit exchange pair imported on Windows, and an RC4 session key wrapped for it.
const char* kV8Private =
    "07020000 00a40000 52534132 00040000 01000100 9b64efce 317cad56 e21e9b96 b3f02988 6ea8c211 33d6cc8c"
    "69b21afd fc232130 4d2945b6 3a671180 1a91f29f 01acc011 505fcdb9 ad769f6e 915571da 97969622 75b48344"
    "899ef844 407cd6cd 9d88d688 bc56b764 e92c242f 0d78551c b267b15e bc0ccf1c e9d39ea2 152473d6 db6f83b2"
    "f8bce747 3b01ef49 0898d6a3 f92557e9 393c5330 1bf2c962 31435d84 2430219a addb6291 c807d92f d6b5376f"
    "fe7a12bc d9d22bbf d7b1fa7d c048dd74 dd5504a1 8bc10ac4 a55762ee 088bf919 6c5206f8 730f24c9 719fc545"
    "173eae06 81a29640 06bfeb9e 802b2720 8f38cfeb ff3b3841 35696613 1d3c013b f637ca9c 617498cf c96ee890"
    "c7b733c0 073cf8c8 f6f2d7f0 2162588a 55bfa12d 3da669c5 021931f0 940f455c 951b53bc f5b01a8f bf40e0c7"
    "73e7726e ebb10f38 c5f8ee04 ed341a10 f95334f3 3ee65cd1 4765cdbd f106cbb4 b126399f 71fe3df8 62ab228b"
    "0edcb9e8 7406fc8c 25a1a9cf 07f9ac21 017b1cdc 94bd47e1 a0865935 6a6fb970 267c3cfd bd813936 42c2bdbe"
    "84279a69 81da9927 c24f6233 f47930c5 635471f1 4722259b 6c002f1c f41f85bc f6676ae3 f6558aef d00bd3a2"
    "c5517015 0af0984c b719620e 2d2a4a7d 7a0ac417 e35d2052 a998c3aa 11f6bf4c 94998189 f07f66aa c888d731"
    "8471b664 09760b7f 1a1f2efe cd592a54 1184d46a 61dfaa76 669d8211 563dd252 e6425a77 929834f3 566c9610"
    "405916cb 7761e3bf 4bd439fb b14ec174 ec7aea3d 68bb0be6 c606bfdd 7f9442c0 0fe49233 6c6e1bba 73f97984"
    "df4500e4 94889d08 89cff2a4 c5474585 86a5cca8 f25d5807";
const char* kV8Simple =
    "01020000 01680000 00a40000 b8a4df5e 9eb1bf85 3d242d1e 69b76713 8e78f2df c669ce46 7ef2f233 206fa1a5"
    "598325cb 3ab18a12 63023cfb 4afaef8e f72957b1 9ea7f302 fdcadf5a 1f71b626 092439da c0de2a0e cd1fe5b6"
    "4f82a0a9 90d3d96a 43142af7 acd5a054 93c4b9e7 24844d69 5ecc2a32 b5fbe4b4 08d53658 5940fb29 7fa71725"
    "c40d7837 048c4992";

// V9: 512-bit exchange pair, both blobs imported on Windows.
const char* kV9Private =
    "07020000 00a40000 52534132 00020000 01000100 557b3613 ae4bc96f 781eff38 d4263877 899bf66b f7aaeaad"
    "27111ea5 9823cbaa 3234af19 d82495e4 ae4e031d 75ebecc1 09d002ed 1f0ecf23 cee90934 e3c9b9bb ef5926ab"
    "f511db8d 0f07af53 5cafcd8c a2af4e3e c9e80269 4b871fe1 62650af8 fb92ce69 ccea8641 43e84a41 75f0b617"
    "64a10e52 d34cdf6f a815577c 00ebbfc1 69fe6d50 5589fe8a 1c1460ff 5ae68022 a0fce95f a448bbc1 f04fba57"
    "eb83e9e9 21239a83 71d72eb9 8824376b 1d73cb64 a46dcfed bb654cf7 cc86f894 4061b209 2eeab7a2 1dc24b37"
    "5dc154df 451616e1 086bad51 bf620ce0 e52265c5 6acac7b0 4948ae6b 2786e8e9 9015384f 7f3b9e38 d1256291"
    "fe180879 cc7caf41 8dd1a1d3 633cb07b 2dda6f72 9cd1a8aa b56adeed 000a39e9 c6457a39 6d0786a9 e54fb49b";
const char* kV9Public =
    "06020000 00a40000 52534131 00020000 01000100 557b3613 ae4bc96f 781eff38 d4263877 899bf66b f7aaeaad"
    "27111ea5 9823cbaa 3234af19 d82495e4 ae4e031d 75ebecc1 09d002ed 1f0ecf23 cee90934 e3c9b9bb";

// V1 -----------------------------------------------------------------------------------------

TEST_F(CryptTest, HashesMatchRecordedDigests) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    struct Case {
        ALG_ID alg;
        Bytes data;
        const char* digest;
    } cases[] = {
        {CALG_MD5, pattern(2048), "1576a94d6cb334dd126cb1c27f19e0f2"},
        {CALG_MD2, pattern(2048), "12cb1b08c848a4a9aaf3f19ffc292868"},
        {CALG_MD2, pattern(2000), "d5e1a7e9ac38c127f7731dba811698e0"},
        {CALG_MD5, bytesOf("Secret"), "1e6947ac7fb3a9529a9726eb692c8cc5"},
    };
    for (const auto& c : cases) {
        const HCRYPTHASH h = hashOf(prov, c.alg, c.data);
        EXPECT_EQ(toHex(hashValue(h)), c.digest) << c.alg;
        CryptDestroyHash(h);
    }

    // Nothing hashed at all, and data fed in pieces.
    HCRYPTHASH empty = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &empty));
    EXPECT_EQ(toHex(hashValue(empty)), "d41d8cd98f00b204e9800998ecf8427e");
    CryptDestroyHash(empty);

    HCRYPTHASH pieces = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD2, 0, 0, &pieces));
    const Bytes data = pattern(2048);
    for (std::size_t pos = 0; pos < data.size(); pos += 7) {
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(7, data.size() - pos));
        ASSERT_TRUE(CryptHashData(pieces, data.data() + pos, n, 0));
    }
    EXPECT_EQ(toHex(hashValue(pieces)), "12cb1b08c848a4a9aaf3f19ffc292868");
    CryptDestroyHash(pieces);
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, HashParametersAndState) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTHASH h = hashOf(prov, CALG_MD5, bytesOf("abc"));
    DWORD value = 0, len = sizeof value;
    ASSERT_TRUE(CryptGetHashParam(h, HP_HASHSIZE, reinterpret_cast<BYTE*>(&value), &len, 0));
    EXPECT_EQ(value, 16u);
    ASSERT_TRUE(CryptGetHashParam(h, HP_ALGID, reinterpret_cast<BYTE*>(&value), &len, 0));
    EXPECT_EQ(value, static_cast<DWORD>(CALG_MD5));

    // Asking for the size leaves the hash open; reading the value closes it.
    len = 0;
    ASSERT_TRUE(CryptGetHashParam(h, HP_HASHVAL, nullptr, &len, 0));
    EXPECT_EQ(len, 16u);
    BYTE small[8];
    len = sizeof small;
    EXPECT_FALSE(CryptGetHashParam(h, HP_HASHVAL, small, &len, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(len, 16u);
    const BYTE more[] = {'d'};
    ASSERT_TRUE(CryptHashData(h, more, 1, 0));
    EXPECT_EQ(toHex(hashValue(h)), "e2fc714c4727ee9395f324cd2e7f331f");  // MD5("abcd")
    EXPECT_FALSE(CryptHashData(h, more, 1, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_HASH_STATE));
    EXPECT_EQ(toHex(hashValue(h)), "e2fc714c4727ee9395f324cd2e7f331f");

    // Deriving closes the hash too; its value stays readable.
    const HCRYPTHASH h2 = hashOf(prov, CALG_MD5, bytesOf("Secret"));
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptDeriveKey(prov, CALG_RC2, h2, 0, &key));
    EXPECT_FALSE(CryptHashData(h2, more, 1, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_HASH_STATE));
    EXPECT_EQ(toHex(hashValue(h2)), "1e6947ac7fb3a9529a9726eb692c8cc5");

    HCRYPTHASH other = 0;
    EXPECT_FALSE(CryptCreateHash(prov, CALG_SHA1, 0, 0, &other));
    EXPECT_EQ(lastError(), code(NTE_BAD_ALGID));
    EXPECT_FALSE(CryptCreateHash(prov, CALG_MD5, 0, 1, &other));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
    CryptReleaseContext(prov, 0);
}

// V2, V3 -------------------------------------------------------------------------------------

TEST_P(ProviderVectors, Rc2FortyBitKeyCarriesZeroSaltInItsSchedule) {
    const Provider& p = GetParam();
    const HCRYPTPROV prov = verifyContext(p.name);
    const HCRYPTKEY key = derive(prov, CALG_MD2, pattern(2000), CALG_RC2, 40 << 16);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), 40u);
    EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), 40u);
    EXPECT_EQ(keyDword(key, KP_MODE), static_cast<DWORD>(CRYPT_MODE_CBC));
    EXPECT_EQ(keyDword(key, KP_PADDING), static_cast<DWORD>(PKCS5_PADDING));
    EXPECT_EQ(keyDword(key, KP_BLOCKLEN), 64u);
    EXPECT_EQ(keyDword(key, KP_PERMISSIONS), 0x3Bu);
    EXPECT_EQ(toHex(keyBytesParam(key, KP_SALT)), "0000000000000000000000");
    EXPECT_EQ(toHex(keyBytesParam(key, KP_IV)), "0000000000000000");

    EXPECT_EQ(toHex(encryptFinal(key, pattern(13))), "c09ae42f0a476711fb1887ce0c7507b1");

    // V3: the same key over 23 bytes, CBC by default, then ECB.
    EXPECT_EQ(toHex(encryptFinal(key, pattern(23))), "c09ae42f0a47671110f5da614e3dabc09785011297a4f7d3");
    ASSERT_TRUE(setDword(key, KP_MODE, CRYPT_MODE_ECB));
    EXPECT_EQ(toHex(encryptFinal(key, pattern(23))), "c09ae42f0a476711f2b25d5f08ff49a4453a6814ca18e5f4");
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
}

// V4 -----------------------------------------------------------------------------------------

TEST_P(ProviderVectors, Rc2EffectiveKeyLengthPerProvider) {
    const Provider& p = GetParam();
    const HCRYPTPROV prov = verifyContext(p.name);
    const HCRYPTKEY key = derive(prov, CALG_MD2, pattern(2000), CALG_RC2, 56 << 16);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), 56u);
    EXPECT_EQ(keyBytesParam(key, KP_SALT).size(), 0u);
    EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), p.base ? 40u : 56u);

    EXPECT_FALSE(CryptSetKeyParam(key, KP_EFFECTIVE_KEYLEN, nullptr, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(setDword(key, KP_EFFECTIVE_KEYLEN, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    EXPECT_FALSE(setDword(key, KP_EFFECTIVE_KEYLEN, 1025));

    if (p.base) {
        EXPECT_FALSE(setDword(key, KP_EFFECTIVE_KEYLEN, 128));
        EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
        EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), 40u);
        EXPECT_EQ(toHex(encryptFinal(key, pattern(13))), "23c87013422ea8985cdf7a9beadb961b");
    } else {
        ASSERT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, 128));
        EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), 128u);
        EXPECT_EQ(toHex(encryptFinal(key, pattern(13))), "8281f7ffddd7888c2a2ac0ce4c89b666");
    }
    EXPECT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, 40));
    EXPECT_EQ(toHex(encryptFinal(key, pattern(13))), "23c87013422ea8985cdf7a9beadb961b");
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
}

// V5, V6 -------------------------------------------------------------------------------------

TEST_P(ProviderVectors, CreateSaltTakesHashBytesInBaseOnly) {
    const Provider& p = GetParam();
    const HCRYPTPROV prov = verifyContext(p.name);
    Bytes data = pattern(2000);
    const Bytes v4 = fromHex(p.base ? "23c87013422ea8985cdf7a9beadb961b" : "8281f7ffddd7888c2a2ac0ce4c89b666");
    std::copy(v4.begin(), v4.end(), data.begin());
    const HCRYPTKEY key = derive(prov, CALG_MD5, data, CALG_RC2, (40 << 16) | CRYPT_CREATE_SALT);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), 40u);
    EXPECT_EQ(keyBytesParam(key, KP_SALT).size(), p.base ? 11u : 0u);
    EXPECT_EQ(toHex(encryptFinal(key, Bytes(16, 0xAF))),
              p.base ? "8c4ea6009b15ef9e8881d065d65357080a7780fa7e891455"
                     : "a3d741877ad018dbd46a4feef3cacd34b3159a2a885f43a5");
    CryptDestroyKey(key);

    const HCRYPTKEY rc4 = derive(prov, CALG_MD5, pattern(2000), CALG_RC4, (40 << 16) | CRYPT_CREATE_SALT);
    EXPECT_EQ(keyBytesParam(rc4, KP_SALT).size(), p.base ? 11u : 0u);
    EXPECT_EQ(toHex(encryptFinal(rc4, Bytes(16, 0xAF))),
              p.base ? "2faceaeaff687e77f4b9487c4e79a6b5" : "41e633c950a1bf88124dd3e347886da5");
    CryptDestroyKey(rc4);
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, Rc4DerivedKeyIsAStreamKey) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    const HCRYPTKEY key = derive(prov, CALG_MD2, pattern(2000), CALG_RC4, 56 << 16);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), 56u);
    EXPECT_EQ(keyDword(key, KP_BLOCKLEN), 0u);
    EXPECT_EQ(keyDword(key, KP_MODE), 0u);
    EXPECT_EQ(keyBytesParam(key, KP_IV).size(), 0u);

    DWORD len = 16;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, nullptr, &len, 24));
    EXPECT_EQ(len, 16u);  // no padding on a stream key
    Bytes data = pattern(16);
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, data.data(), &len, 24));
    EXPECT_EQ(toHex(data), "170c448eae90cdb07f87f57aecb22e35");
    ASSERT_TRUE(CryptDecrypt(key, 0, TRUE, 0, data.data(), &len));
    EXPECT_EQ(data, pattern(16));
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
}

// V7, V11 ------------------------------------------------------------------------------------

TEST_F(CryptTest, DefaultDerivationOfTheEnhancedProvider) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    const HCRYPTHASH hash = hashOf(prov, CALG_MD5, pattern(512, 27));
    EXPECT_EQ(toHex(hashValue(hash)), "3b89723b8ad12e1344d6d097e6b846cd");
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptDeriveKey(prov, CALG_RC2, hash, 0, &key));
    CryptDestroyHash(hash);
    EXPECT_EQ(keyDword(key, KP_KEYLEN), 128u);
    EXPECT_EQ(keyDword(key, KP_EFFECTIVE_KEYLEN), 128u);
    EXPECT_EQ(toHex(encryptFinal(key, pattern(4, 27))), "901c774587dd1c2e");
    // The expansion of Windows before XP SP1.
    ASSERT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, 40));
    EXPECT_EQ(toHex(encryptFinal(key, pattern(4, 27))), "5d385caaffa903f9");
    CryptDestroyKey(key);

    const HCRYPTKEY rc4 = derive(prov, CALG_MD5, pattern(512, 28), CALG_RC4, 0);
    EXPECT_EQ(keyDword(rc4, KP_KEYLEN), 128u);
    EXPECT_EQ(toHex(encryptFinal(rc4, pattern(4, 28))), "c44cd2f1");
    CryptDestroyKey(rc4);
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, PasswordKeysOfBothProviders) {
    struct Case {
        const char* provider;
        DWORD effective;  // 0: as derived
        DWORD keyBits;
        const char* empty;
        const char* abc;
    } cases[] = {
        {MS_DEF_PROV_A, 0, 40, "d13cb41fe2384ed4", "55e4578b2d60e321af438ddbdee27ca2"},
        {MS_ENHANCED_PROV_A, 0, 128, "3ea9bb4b543616af", "f921c13212a113d4d12e429276961484"},
        {MS_ENHANCED_PROV_A, 40, 128, "7a6da05121a8ef51", "0527c1ffceb70b8103509ab1d49924c2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.provider) + " " + std::to_string(c.effective));
        const HCRYPTPROV prov = verifyContext(c.provider);
        // Flags 0 and CRYPT_EXPORTABLE give the same key; only the permissions differ.
        for (DWORD flags : {0u, static_cast<DWORD>(CRYPT_EXPORTABLE)}) {
            const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("Secret"), CALG_RC2, flags);
            EXPECT_EQ(keyDword(key, KP_KEYLEN), c.keyBits);
            EXPECT_EQ(keyDword(key, KP_PERMISSIONS), flags ? 0x3Fu : 0x3Bu);
            if (c.effective != 0) {
                ASSERT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, c.effective));
            }
            EXPECT_EQ(toHex(encryptFinal(key, {})), c.empty);
            EXPECT_EQ(toHex(encryptFinal(key, bytesOf("ABCDEFGH"))), c.abc);
            CryptDestroyKey(key);
        }
        CryptReleaseContext(prov, 0);
    }
}

// V8, V9 -------------------------------------------------------------------------------------

TEST_F(CryptTest, WindowsPrivateKeyOpensWindowsSessionKey) {
    const HCRYPTPROV prov = newContainer("v8", MS_ENHANCED_PROV_A);
    const Bytes priv = fromHex(kV8Private);
    ASSERT_EQ(priv.size(), 596u);
    const HCRYPTKEY pair = importBlob(prov, priv, 0, 0);
    EXPECT_EQ(keyDword(pair, KP_KEYLEN), 1024u);
    EXPECT_EQ(keyDword(pair, KP_ALGID), static_cast<DWORD>(CALG_RSA_KEYX));

    const Bytes simple = fromHex(kV8Simple);
    ASSERT_EQ(simple.size(), 140u);
    // With the pair named, and with hPubKey 0 meaning the container's exchange pair.
    for (HCRYPTKEY wrap : {pair, HCRYPTKEY{0}}) {
        const HCRYPTKEY session = importBlob(prov, simple, wrap, 0);
        EXPECT_EQ(keyDword(session, KP_ALGID), static_cast<DWORD>(CALG_RC4));
        EXPECT_EQ(keyDword(session, KP_KEYLEN), 56u);
        EXPECT_EQ(keyDword(session, KP_PERMISSIONS), 0x3Bu);
        Bytes msg = fromHex("406428e88ae7a4d41cfdde71");
        DWORD len = static_cast<DWORD>(msg.size());
        ASSERT_TRUE(CryptDecrypt(session, 0, TRUE, 0, msg.data(), &len));
        EXPECT_EQ(len, 12u);
        EXPECT_EQ(toHex(msg), "57696e6520726f636b732100");
        CryptDestroyKey(session);
    }

    // A longer buffer than the blob is fine; a shorter one is not.
    Bytes padded = simple;
    padded.resize(148, 0);
    const HCRYPTKEY fromPadded = importBlob(prov, padded, pair, 0);
    EXPECT_NE(fromPadded, 0u);
    HCRYPTKEY none = 0;
    EXPECT_FALSE(CryptImportKey(prov, simple.data(), 139, pair, 0, &none));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));

    // Imported without CRYPT_EXPORTABLE the private key stays inside.
    DWORD len = 0;
    EXPECT_FALSE(CryptExportKey(pair, 0, PRIVATEKEYBLOB, 0, nullptr, &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY_STATE));
    const Bytes pub = exportBlob(pair, 0, PUBLICKEYBLOB);
    ASSERT_EQ(pub.size(), 148u);
    EXPECT_EQ(toHex(Bytes(pub.begin(), pub.begin() + 20)), "0602000000a400005253413100040000" "01000100");
    EXPECT_TRUE(std::equal(pub.begin() + 20, pub.end(), priv.begin() + 20));

    // Windows accepts the private exponent cut short, down to nothing at all.
    for (DWORD cut : {596u - 64u, 596u - 128u}) {
        HCRYPTKEY k = 0;
        EXPECT_TRUE(CryptImportKey(prov, priv.data(), cut, 0, 0, &k)) << cut << " " << std::hex << lastError();
        CryptDestroyKey(k);
    }
    EXPECT_FALSE(CryptImportKey(prov, priv.data(), 596 - 129, 0, 0, &none));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, ImportedBlobsExportByteIdentical) {
    struct Case {
        const char* provider;
        const char* blob;
        std::size_t size;
        DWORD type;
    } cases[] = {
        {MS_DEF_PROV_A, kV9Private, 308, PRIVATEKEYBLOB},
        {MS_DEF_PROV_A, kV9Public, 84, PUBLICKEYBLOB},
        {MS_ENHANCED_PROV_A, kV8Private, 596, PRIVATEKEYBLOB},
        {MS_ENHANCED_PROV_A, kV9Public, 84, PUBLICKEYBLOB},
    };
    for (const auto& c : cases) {
        const HCRYPTPROV prov = verifyContext(c.provider);
        const Bytes blob = fromHex(c.blob);
        ASSERT_EQ(blob.size(), c.size);
        const HCRYPTKEY key = importBlob(prov, blob, 0, CRYPT_EXPORTABLE);
        EXPECT_EQ(toHex(exportBlob(key, 0, c.type)), toHex(blob)) << c.provider << " " << c.size;
        CryptDestroyKey(key);
        CryptReleaseContext(prov, 0);
    }
}

TEST_F(CryptTest, SimpleBlobRoundTripsUnderWindowsPairs) {
    struct Case {
        const char* provider;
        const char* priv;
        std::size_t blobSize;
    } cases[] = {{MS_DEF_PROV_A, kV9Private, 76}, {MS_ENHANCED_PROV_A, kV8Private, 140}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.provider);
        const HCRYPTPROV sender = verifyContext(c.provider);
        const HCRYPTPROV receiver = newContainer(c.blobSize == 76 ? "rx-base" : "rx-enh", c.provider);
        const HCRYPTKEY pair = importBlob(receiver, fromHex(c.priv), 0, 0);
        const HCRYPTKEY pub = importBlob(sender, exportBlob(pair, 0, PUBLICKEYBLOB), 0, 0);

        HCRYPTKEY session = 0;
        ASSERT_TRUE(CryptGenKey(sender, CALG_RC2, CRYPT_EXPORTABLE, &session));
        const Bytes simple = exportBlob(session, pub, SIMPLEBLOB);
        ASSERT_EQ(simple.size(), c.blobSize);
        EXPECT_EQ(toHex(Bytes(simple.begin(), simple.begin() + 12)), "010200000266000000a40000");
        // Random padding: the same key wraps differently each time.
        EXPECT_NE(simple, exportBlob(session, pub, SIMPLEBLOB));

        const HCRYPTKEY received = importBlob(receiver, simple, 0, 0);
        EXPECT_EQ(keyDword(received, KP_KEYLEN), keyDword(session, KP_KEYLEN));
        EXPECT_EQ(keyBytesParam(received, KP_SALT), keyBytesParam(session, KP_SALT));
        const Bytes plain = pattern(321);
        Bytes back;
        ASSERT_TRUE(decryptChunked(received, encryptFinal(session, plain), 160, back));
        EXPECT_EQ(back, plain);
        CryptReleaseContext(sender, 0);
        CryptReleaseContext(receiver, 0);
    }
}

TEST_F(CryptTest, SaltIsNeverTransported) {
    const HCRYPTPROV prov = newContainer("salt", MS_DEF_PROV_A);
    const HCRYPTKEY pair = importBlob(prov, fromHex(kV9Private), 0, 0);
    HCRYPTKEY salted = 0;
    ASSERT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_EXPORTABLE | CRYPT_CREATE_SALT, &salted));
    const Bytes salt = keyBytesParam(salted, KP_SALT);
    ASSERT_EQ(salt.size(), 11u);
    ASSERT_NE(salt, Bytes(11, 0));

    const HCRYPTKEY received = importBlob(prov, exportBlob(salted, pair, SIMPLEBLOB), 0, 0);
    EXPECT_EQ(keyBytesParam(received, KP_SALT), Bytes(11, 0));
    EXPECT_NE(encryptFinal(received, pattern(16)), encryptFinal(salted, pattern(16)));

    // With the salt set to zero on the sender the two keys agree again.
    ASSERT_TRUE(CryptSetKeyParam(salted, KP_SALT, Bytes(11, 0).data(), 0));
    EXPECT_EQ(encryptFinal(received, pattern(16)), encryptFinal(salted, pattern(16)));

    // CRYPT_NO_SALT on import keeps the five bytes alone, which schedule differently.
    const HCRYPTKEY bare = importBlob(prov, exportBlob(salted, pair, SIMPLEBLOB), 0, CRYPT_NO_SALT);
    EXPECT_EQ(keyBytesParam(bare, KP_SALT).size(), 0u);
    EXPECT_NE(encryptFinal(bare, pattern(16)), encryptFinal(salted, pattern(16)));
    CryptReleaseContext(prov, 0);
}

}  // namespace
}  // namespace vlt::test
