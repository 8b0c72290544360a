// A digest OpenSSL fails to finish fails the hash, never stands in as zeros. The failure is
// made at OpenSSL's own entry point: this program's definition comes first for the crypt
// library's calls and passes on to libcrypto unless a test asks it to fail.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>

#include "win32/winbase.h"
#include "win32/wincrypt.h"

namespace {
std::atomic<bool> g_failDigest{false};
std::atomic<int> g_failed{0};
}  // namespace

extern "C" int EVP_DigestFinal_ex(void* ctx, unsigned char* md, unsigned int* size) {
    using Real = int (*)(void*, unsigned char*, unsigned int*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "EVP_DigestFinal_ex"));
    if (g_failDigest.load()) {
        ++g_failed;
        return 0;
    }
    return real(ctx, md, size);
}

namespace {

TEST(HashFailure, AFailedDigestFailsTheValueAndTheKeyDerivedFromIt) {
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(CryptAcquireContextA(&prov, nullptr, MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    const BYTE password[] = {'p', 'w'};
    HCRYPTHASH forValue = 0, forKey = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &forValue));
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &forKey));
    ASSERT_TRUE(CryptHashData(forValue, password, sizeof password, 0));
    ASSERT_TRUE(CryptHashData(forKey, password, sizeof password, 0));

    g_failDigest = true;
    BYTE value[16];
    DWORD size = sizeof value;
    EXPECT_FALSE(CryptGetHashParam(forValue, HP_HASHVAL, value, &size, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NTE_FAIL));
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptDeriveKey(prov, CALG_RC2, forKey, 0, &key));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NTE_FAIL));
    g_failDigest = false;
    ASSERT_EQ(g_failed.load(), 2);  // the failures came from OpenSSL's entry point

    // The hash stays failed: it has no value to give later either.
    EXPECT_FALSE(CryptGetHashParam(forKey, HP_HASHVAL, value, &size, 0));
    CryptDestroyHash(forValue);
    CryptDestroyHash(forKey);
    CryptReleaseContext(prov, 0);
}

}  // namespace
