// CryptDuplicateKey: the copy goes on from where the original stands, and the two are
// independent afterwards.
#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

class DuplicateKeyTest : public CryptTest {};

TEST_F(DuplicateKeyTest, CopyContinuesTheMessageAndThenGoesItsOwnWay) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    for (ALG_ID alg : {CALG_RC2, CALG_RC4}) {
        SCOPED_TRACE(alg);
        HCRYPTKEY key = 0;
        ASSERT_TRUE(CryptGenKey(prov, alg, 0, &key));
        const DWORD bits = 56;
        if (alg == CALG_RC2) {
            ASSERT_TRUE(CryptSetKeyParam(key, KP_EFFECTIVE_KEYLEN, reinterpret_cast<const BYTE*>(&bits), 0));
        }
        Bytes head = pattern(64, 1);
        DWORD len = 64;
        ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, head.data(), &len, 64));

        HCRYPTKEY copy = 0;
        ASSERT_TRUE(CryptDuplicateKey(key, nullptr, 0, &copy)) << std::hex << lastError();
        const Bytes tail = pattern(40, 9);
        const Bytes fromOriginal = encryptFinal(key, tail);
        EXPECT_EQ(encryptFinal(copy, tail), fromOriginal);
        // Each started over on its own: the same again, and neither disturbed the other.
        Bytes again = pattern(64, 1);
        len = 64;
        ASSERT_TRUE(CryptEncrypt(copy, 0, FALSE, 0, again.data(), &len, 64));
        EXPECT_EQ(again, head);
        EXPECT_EQ(encryptFinal(copy, tail), fromOriginal);
        CryptDestroyKey(copy);
        CryptDestroyKey(key);
    }
    HCRYPTKEY copy = 0;
    EXPECT_FALSE(CryptDuplicateKey(0, nullptr, 0, &copy));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CryptReleaseContext(prov, 0);
}

}  // namespace
}  // namespace vlt::test
