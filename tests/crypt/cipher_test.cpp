// Chunked RC2: chaining across calls, PKCS #5 on the final call, buffer rules and key state.
#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

class CipherTest : public CryptTest {
protected:
    // Encrypts in 160-byte non-final chunks and a final call on the rest, as the suite writes.
    static Bytes encryptChunked(HCRYPTKEY key, const Bytes& plain) {
        Bytes out;
        std::size_t pos = 0;
        // A file of exactly k * 160 bytes ends with a final call on nothing.
        while (plain.size() - pos >= 160) {
            Bytes chunk(plain.begin() + static_cast<long>(pos), plain.begin() + static_cast<long>(pos + 160));
            DWORD len = 160;
            EXPECT_TRUE(CryptEncrypt(key, 0, FALSE, 0, chunk.data(), &len, 176)) << std::hex << lastError();
            EXPECT_EQ(len, 160u);
            out.insert(out.end(), chunk.begin(), chunk.end());
            pos += 160;
        }
        Bytes rest(plain.begin() + static_cast<long>(pos), plain.end());
        rest.resize(176);
        DWORD len = static_cast<DWORD>(plain.size() - pos);
        EXPECT_TRUE(CryptEncrypt(key, 0, TRUE, 0, rest.data(), &len, 176)) << std::hex << lastError();
        out.insert(out.end(), rest.begin(), rest.begin() + len);
        return out;
    }

    static HCRYPTKEY sessionKey(HCRYPTPROV prov) {
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptGenKey(prov, CALG_RC2, CRYPT_EXPORTABLE, &key)) << std::hex << lastError();
        return key;
    }
};

class ProviderCipher : public CipherTest, public ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(Providers, ProviderCipher, ::testing::Values(MS_DEF_PROV_A, MS_ENHANCED_PROV_A),
                         [](const auto& p) { return p.param == std::string(MS_DEF_PROV_A) ? "Base" : "Enhanced"; });

TEST_P(ProviderCipher, ChunkedCallsEqualOnePass) {
    const char* provider = GetParam();
    const HCRYPTPROV prov = verifyContext(provider);
    const HCRYPTKEY key = sessionKey(prov);
    for (std::size_t n : {0, 1, 7, 8, 152, 159, 160, 161, 320, 1000}) {
        SCOPED_TRACE(n);
        const Bytes plain = pattern(n, 3);
        const Bytes whole = encryptFinal(key, plain);
        EXPECT_EQ(whole.size(), (n / 8 + 1) * 8);
        EXPECT_EQ(encryptChunked(key, plain), whole);
        Bytes back;
        ASSERT_TRUE(decryptChunked(key, whole, 160, back));
        EXPECT_EQ(back, plain);
        // Odd-sized decryption steps work as long as they are whole blocks.
        ASSERT_TRUE(decryptChunked(key, whole, 24, back));
        EXPECT_EQ(back, plain);
    }
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, FinalCallOnNothingWritesOnePaddingBlock) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    const HCRYPTKEY key = sessionKey(prov);
    const Bytes empty = encryptFinal(key, {});
    ASSERT_EQ(empty.size(), 8u);
    // It is the encryption of eight 0x08 bytes.
    const Bytes padBlock = encryptFinal(key, Bytes(8, 8));
    EXPECT_EQ(Bytes(padBlock.begin(), padBlock.begin() + 8), empty);
    Bytes back;
    ASSERT_TRUE(decryptChunked(key, empty, 160, back));
    EXPECT_TRUE(back.empty());

    // A file of exactly 160 bytes: one full chunk, then the final call on nothing.
    const Bytes plain = pattern(160);
    const Bytes cipher = encryptChunked(key, plain);
    EXPECT_EQ(cipher.size(), 168u);
    EXPECT_EQ(cipher, encryptFinal(key, plain));
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, LengthAndBufferRules) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTKEY key = sessionKey(prov);
    Bytes buf(32);
    DWORD len = 13;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, nullptr, &len, 0));
    EXPECT_EQ(len, 16u);
    len = 16;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, nullptr, &len, 0));
    EXPECT_EQ(len, 24u);
    len = 13;
    EXPECT_FALSE(CryptEncrypt(key, 0, FALSE, 0, buf.data(), &len, 32));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    len = 12;
    EXPECT_FALSE(CryptDecrypt(key, 0, FALSE, 0, buf.data(), &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    EXPECT_FALSE(CryptDecrypt(key, 0, TRUE, 0, buf.data(), &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    len = 0;
    EXPECT_FALSE(CryptDecrypt(key, 0, TRUE, 0, buf.data(), &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_LEN));
    len = 8;
    EXPECT_FALSE(CryptEncrypt(key, 0, FALSE, 1, buf.data(), &len, 32));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));

    // A short buffer in the middle of a message asks for more and leaves the chaining alone.
    const Bytes plain = pattern(20, 9);
    const Bytes whole = encryptFinal(key, plain);
    Bytes part(plain.begin(), plain.begin() + 16);
    len = 16;
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, part.data(), &len, 16));
    Bytes tail(plain.begin() + 16, plain.end());
    tail.resize(8);
    len = 4;
    EXPECT_FALSE(CryptEncrypt(key, 0, TRUE, 0, tail.data(), &len, 7));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(len, 8u);
    len = 4;
    ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, tail.data(), &len, 8));
    part.insert(part.end(), tail.begin(), tail.begin() + len);
    EXPECT_EQ(part, whole);
    CryptReleaseContext(prov, 0);
}

// Encrypt and decrypt refuse alike, checking handles, then flags, then the key's kind, then
// its permissions.
TEST_F(CipherTest, EncryptAndDecryptRefuseAlike) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTKEY session = sessionKey(prov);
    const HCRYPTKEY readOnly = sessionKey(prov);
    ASSERT_TRUE(setDword(readOnly, KP_PERMISSIONS, CRYPT_READ));
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(prov, AT_KEYEXCHANGE, 0, &pair));
    HCRYPTHASH gone = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &gone));
    ASSERT_TRUE(CryptDestroyHash(gone));
    const struct {
        const char* what;
        HCRYPTKEY key;
        HCRYPTHASH hash;
        DWORD flags;
        DWORD error;
    } cases[] = {
        {"no key", 0, 0, 1, ERROR_INVALID_PARAMETER},
        {"a destroyed hash", session, gone, 1, ERROR_INVALID_PARAMETER},
        {"flags", pair, 0, 1, code(NTE_BAD_FLAGS)},
        {"an RSA key", pair, 0, 0, code(NTE_BAD_KEY)},
        {"no permission", readOnly, 0, 0, code(NTE_PERM)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes data(16);
        DWORD len = 8;
        EXPECT_FALSE(CryptEncrypt(c.key, c.hash, TRUE, c.flags, data.data(), &len, 16));
        EXPECT_EQ(lastError(), c.error);
        len = 8;
        EXPECT_FALSE(CryptDecrypt(c.key, c.hash, TRUE, c.flags, data.data(), &len));
        EXPECT_EQ(lastError(), c.error);
    }
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, BadPaddingFailsAndTheKeyStartsOver) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    // A fixed key: a damaged last block must not happen to end in valid padding.
    const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("padding"), CALG_RC2, 0);
    const Bytes plain = pattern(200);
    const Bytes good = encryptFinal(key, plain);
    for (std::size_t flip : {good.size() - 1, good.size() - 9}) {
        SCOPED_TRACE(flip);
        Bytes bad = good;
        bad[flip] ^= 0xFF;
        // Part of the message first, then the damaged final call.
        Bytes head(bad.begin(), bad.begin() + 160);
        DWORD len = 160;
        ASSERT_TRUE(CryptDecrypt(key, 0, FALSE, 0, head.data(), &len));
        Bytes tail(bad.begin() + 160, bad.end());
        len = static_cast<DWORD>(tail.size());
        EXPECT_FALSE(CryptDecrypt(key, 0, TRUE, 0, tail.data(), &len));
        EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
        EXPECT_EQ(len, bad.size() - 160);
        Bytes back;
        ASSERT_TRUE(decryptChunked(key, good, 160, back));
        EXPECT_EQ(back, plain);
    }
    // Every padding byte counts, not only the last.
    struct Case {
        const char* lastBlock;
        bool accepted;
        DWORD plainLength;
    } cases[] = {{"0000000000030303", true, 5},  {"0808080808080808", true, 0},
                 {"0000000000030203", false, 0}, {"0000000000000000", false, 0},
                 {"0909090909090909", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastBlock);
        Bytes block = fromHex(c.lastBlock);
        DWORD len = 8;
        ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, block.data(), &len, 8));
        Bytes none(8);
        len = 0;
        ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, none.data(), &len, 8));  // ends that message
        len = 8;
        const bool ok = CryptDecrypt(key, 0, TRUE, 0, block.data(), &len) != FALSE;
        EXPECT_EQ(ok, c.accepted);
        if (ok) {
            EXPECT_EQ(len, c.plainLength);
        } else {
            EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
        }
    }
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, IvAndDirectionShareOneChainingValue) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("iv"), CALG_RC2, 0);
    const HCRYPTKEY twin = derive(prov, CALG_MD5, bytesOf("iv"), CALG_RC2, 0);
    const Bytes p = pattern(8, 40);

    // With IV x, the first block is the zero-IV encryption of p xor x.
    const Bytes iv = fromHex("0102030405060708");
    ASSERT_TRUE(CryptSetKeyParam(key, KP_IV, iv.data(), 0));
    EXPECT_EQ(keyBytesParam(key, KP_IV), iv);
    Bytes mixed = p;
    for (int i = 0; i < 8; ++i) mixed[i] ^= iv[i];
    const Bytes withIv = encryptFinal(key, p);
    const Bytes viaZeroIv = encryptFinal(twin, mixed);
    EXPECT_EQ(Bytes(withIv.begin(), withIv.begin() + 8), Bytes(viaZeroIv.begin(), viaZeroIv.begin() + 8));
    // Every message starts at the IV again.
    EXPECT_EQ(encryptFinal(key, p), withIv);
    ASSERT_TRUE(CryptSetKeyParam(key, KP_IV, Bytes(8, 0).data(), 0));

    // Decrypting in the middle of an encryption chains on from the last ciphertext block.
    Bytes c1 = p;
    DWORD len = 8;
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, c1.data(), &len, 8));
    const Bytes x = pattern(8, 90);
    Bytes viaKey = x;
    ASSERT_TRUE(CryptDecrypt(key, 0, FALSE, 0, viaKey.data(), &len));
    Bytes plainX = x;
    ASSERT_TRUE(CryptDecrypt(twin, 0, FALSE, 0, plainX.data(), &len));
    for (int i = 0; i < 8; ++i) plainX[i] ^= c1[i];
    EXPECT_EQ(viaKey, plainX);
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, EffectiveLengthChangeRekeysAtOnce) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("Secret"), CALG_RC2, 0);
    Bytes head = pattern(8);
    DWORD len = 8;
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, head.data(), &len, 8));
    ASSERT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, 40));
    // The next call starts a new message under the new schedule.
    EXPECT_EQ(toHex(encryptFinal(key, bytesOf("ABCDEFGH"))), "0527c1ffceb70b8103509ab1d49924c2");
    ASSERT_TRUE(setDword(key, KP_EFFECTIVE_KEYLEN, 128));
    EXPECT_EQ(toHex(encryptFinal(key, bytesOf("ABCDEFGH"))), "f921c13212a113d4d12e429276961484");
    CryptReleaseContext(prov, 0);
}

TEST_F(CipherTest, PermissionsAndHashing) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("pw"), CALG_RC2, 0);

    HCRYPTHASH onWrite = 0, onRead = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &onWrite));
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &onRead));
    Bytes data = bytesOf("abc");
    data.resize(8);
    DWORD len = 3;
    ASSERT_TRUE(CryptEncrypt(key, onWrite, TRUE, 0, data.data(), &len, 8));
    ASSERT_TRUE(CryptDecrypt(key, onRead, TRUE, 0, data.data(), &len));
    EXPECT_EQ(toHex(hashValue(onWrite)), "900150983cd24fb0d6963f7d28e17f72");  // MD5("abc")
    EXPECT_EQ(toHex(hashValue(onRead)), "900150983cd24fb0d6963f7d28e17f72");

    // Permissions can be dropped but not gained.
    EXPECT_FALSE(setDword(key, KP_PERMISSIONS, 0x3F));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    ASSERT_TRUE(setDword(key, KP_PERMISSIONS, CRYPT_DECRYPT));
    len = 0;
    EXPECT_FALSE(CryptEncrypt(key, 0, TRUE, 0, data.data(), &len, 8));
    EXPECT_EQ(lastError(), code(NTE_PERM));

    EXPECT_FALSE(setDword(key, KP_MODE, CRYPT_MODE_OFB));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    EXPECT_FALSE(setDword(key, KP_PADDING, 2));
    EXPECT_EQ(lastError(), code(NTE_BAD_DATA));
    EXPECT_FALSE(setDword(key, KP_SALT_EX, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_TYPE));
    CryptReleaseContext(prov, 0);
}

}  // namespace
}  // namespace vlt::test
