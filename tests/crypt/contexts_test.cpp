// Contexts, key containers, handles and PP_ENUMALGS.
#include <atomic>
#include <cstring>
#include <thread>

#include "crypt/capi_util.h"

namespace vlt::test {
namespace {

bool acquire(HCRYPTPROV& h, const char* container, const char* provider, DWORD flags, DWORD type = PROV_RSA_FULL) {
    return CryptAcquireContextA(&h, container, provider, type, flags) != FALSE;
}

Bytes publicOf(HCRYPTPROV prov) {
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(prov, AT_KEYEXCHANGE, &key)) return {};
    DWORD len = 0;
    CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &len);
    Bytes blob(len);
    CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &len);
    CryptDestroyKey(key);
    return blob;
}

std::string provString(HCRYPTPROV prov, DWORD param) {
    char buf[128] = {};
    DWORD len = sizeof buf;
    EXPECT_TRUE(CryptGetProvParam(prov, param, reinterpret_cast<BYTE*>(buf), &len, 0)) << std::hex << lastError();
    EXPECT_EQ(len, std::strlen(buf) + 1);
    return buf;
}

TEST_F(CryptTest, AcquireReportsWhatIsWrong) {
    HCRYPTPROV h = 0;
    EXPECT_FALSE(acquire(h, "c", "Microsoft Strong Cryptographic Provider", CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(lastError(), code(NTE_KEYSET_NOT_DEF));
    EXPECT_FALSE(acquire(h, nullptr, MS_ENHANCED_PROV_A, CRYPT_VERIFYCONTEXT, 24));
    EXPECT_EQ(lastError(), code(NTE_PROV_TYPE_NO_MATCH));
    EXPECT_FALSE(acquire(h, "missing", MS_DEF_PROV_A, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEYSET));
    EXPECT_FALSE(acquire(h, "missing", MS_DEF_PROV_A, CRYPT_DELETEKEYSET));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEYSET));
    EXPECT_FALSE(acquire(h, "named", MS_DEF_PROV_A, CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
    EXPECT_FALSE(acquire(h, "c", MS_DEF_PROV_A, CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
    EXPECT_FALSE(acquire(h, "c", MS_DEF_PROV_A, 0x100));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
    EXPECT_FALSE(CryptAcquireContextA(nullptr, "c", MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    ASSERT_TRUE(acquire(h, "c", MS_DEF_PROV_A, CRYPT_NEWKEYSET));
    HCRYPTPROV again = 0;
    EXPECT_FALSE(acquire(again, "c", MS_ENHANCED_PROV_A, CRYPT_NEWKEYSET));
    EXPECT_EQ(lastError(), code(NTE_EXISTS));
    CryptReleaseContext(h, 0);

    // Provider names are looked up without regard to case; no name means the type's default.
    ASSERT_TRUE(acquire(h, nullptr, "microsoft enhanced cryptographic provider v1.0", CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(provString(h, PP_NAME), MS_ENHANCED_PROV_A);
    CryptReleaseContext(h, 0);
    ASSERT_TRUE(acquire(h, nullptr, nullptr, CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(provString(h, PP_NAME), MS_DEF_PROV_A);
    CryptReleaseContext(h, 0);
}

TEST_F(CryptTest, ContainersAreSharedByBothProvidersAndIgnoreCase) {
    HCRYPTPROV base = 0, enhanced = 0;
    ASSERT_TRUE(acquire(base, "Marta Okafor", MS_DEF_PROV_A, CRYPT_NEWKEYSET));
    EXPECT_EQ(publicOf(base), Bytes());  // a new container holds no pairs
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(base, AT_KEYEXCHANGE, 0, &pair));
    ASSERT_TRUE(acquire(enhanced, "MARTA OKAFOR", MS_ENHANCED_PROV_A, 0));
    const Bytes pub = publicOf(base);
    ASSERT_EQ(pub.size(), 84u);
    EXPECT_EQ(publicOf(enhanced), pub);
    EXPECT_EQ(provString(enhanced, PP_CONTAINER), "Marta Okafor");

    // A pair made through one provider replaces the slot for both.
    HCRYPTKEY second = 0;
    ASSERT_TRUE(CryptGenKey(enhanced, AT_KEYEXCHANGE, 0, &second));
    EXPECT_NE(publicOf(base), pub);
    EXPECT_EQ(publicOf(base), publicOf(enhanced));
    CryptReleaseContext(base, 0);
    CryptReleaseContext(enhanced, 0);

    // Closing every context keeps the container.
    ASSERT_TRUE(acquire(base, "marta okafor", MS_DEF_PROV_A, 0));
    EXPECT_EQ(publicOf(base).size(), 84u);
    CryptReleaseContext(base, 0);
}

TEST_F(CryptTest, DeletingAContainerWipesItsPairs) {
    HCRYPTPROV a = 0, b = 0;
    ASSERT_TRUE(acquire(a, "doomed", MS_ENHANCED_PROV_A, CRYPT_NEWKEYSET));
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(a, AT_KEYEXCHANGE, CRYPT_EXPORTABLE, &pair));
    ASSERT_TRUE(acquire(b, "doomed", MS_DEF_PROV_A, 0));

    HCRYPTPROV deleted = 12345;
    ASSERT_TRUE(acquire(deleted, "Doomed", MS_DEF_PROV_A, CRYPT_DELETEKEYSET));
    EXPECT_EQ(deleted, 0u);

    // Keys still open on the deleted pair refuse to work rather than use wiped numbers.
    DWORD len = 0;
    EXPECT_FALSE(CryptExportKey(pair, 0, PUBLICKEYBLOB, 0, nullptr, &len) &&
                 CryptExportKey(pair, 0, PUBLICKEYBLOB, 0, Bytes(len).data(), &len));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEY));
    HCRYPTKEY user = 0;
    EXPECT_FALSE(CryptGetUserKey(b, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(lastError(), code(NTE_NO_KEY));

    HCRYPTPROV c = 0;
    EXPECT_FALSE(acquire(c, "doomed", MS_DEF_PROV_A, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEYSET));
    ASSERT_TRUE(acquire(c, "doomed", MS_DEF_PROV_A, CRYPT_NEWKEYSET));
    EXPECT_FALSE(CryptGetUserKey(c, AT_KEYEXCHANGE, &user));
    EXPECT_EQ(lastError(), code(NTE_NO_KEY));
    for (HCRYPTPROV h : {a, b, c}) CryptReleaseContext(h, 0);
}

TEST_F(CryptTest, DefaultAndMachineContainers) {
    HCRYPTPROV h = 0;
    ASSERT_TRUE(acquire(h, nullptr, MS_DEF_PROV_A, CRYPT_NEWKEYSET));
    CryptReleaseContext(h, 0);
    ASSERT_TRUE(acquire(h, "", MS_DEF_PROV_A, 0));  // the empty name is the default container too
    CryptReleaseContext(h, 0);
    ASSERT_TRUE(acquire(h, nullptr, MS_DEF_PROV_A, CRYPT_DELETEKEYSET));
    EXPECT_FALSE(acquire(h, nullptr, MS_DEF_PROV_A, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEYSET));

    ASSERT_TRUE(acquire(h, "box", MS_DEF_PROV_A, CRYPT_NEWKEYSET | CRYPT_MACHINE_KEYSET));
    CryptReleaseContext(h, 0);
    EXPECT_FALSE(acquire(h, "box", MS_DEF_PROV_A, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_KEYSET));
    ASSERT_TRUE(acquire(h, "box", MS_DEF_PROV_A, CRYPT_MACHINE_KEYSET));
    CryptReleaseContext(h, 0);
}

TEST_F(CryptTest, VerifyContextsKeepTheirPairsToThemselves) {
    const HCRYPTPROV a = verifyContext(MS_DEF_PROV_A);
    const HCRYPTPROV b = verifyContext(MS_DEF_PROV_A);
    HCRYPTKEY pair = 0;
    ASSERT_TRUE(CryptGenKey(a, AT_KEYEXCHANGE, 0, &pair));
    EXPECT_EQ(publicOf(a).size(), 84u);
    EXPECT_EQ(publicOf(b), Bytes());
    HCRYPTPROV named = 0;
    EXPECT_FALSE(acquire(named, nullptr, MS_DEF_PROV_A, 0));
    CryptReleaseContext(a, 0);
    CryptReleaseContext(b, 0);
}

TEST_F(CryptTest, ReleasedAndStaleHandlesAreRefused) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    const HCRYPTKEY key = derive(prov, CALG_MD5, bytesOf("pw"), CALG_RC2, 0);
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
    const HCRYPTKEY doomed = derive(prov, CALG_MD5, bytesOf("pw"), CALG_RC2, 0);
    ASSERT_TRUE(CryptDestroyKey(doomed));

    Bytes data(8);
    DWORD len = 8;
    EXPECT_FALSE(CryptEncrypt(doomed, 0, FALSE, 0, data.data(), &len, 8));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CryptDestroyKey(doomed));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A hash handle is no key, a key handle no hash, 0 nothing at all.
    EXPECT_FALSE(CryptEncrypt(static_cast<HCRYPTKEY>(hash), 0, FALSE, 0, data.data(), &len, 8));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CryptHashData(static_cast<HCRYPTHASH>(key), data.data(), 8, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CryptGenRandom(0, 8, data.data()));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Releasing with flags fails but releases all the same, and takes keys and hashes along.
    EXPECT_FALSE(CryptReleaseContext(prov, 1));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));
    EXPECT_FALSE(CryptReleaseContext(prov, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CryptEncrypt(key, 0, FALSE, 0, data.data(), &len, 8));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CryptHashData(hash, data.data(), 8, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HCRYPTKEY none = 0;
    EXPECT_FALSE(CryptGenKey(prov, CALG_RC2, 0, &none));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(CryptTest, ProviderParameters) {
    const HCRYPTPROV prov = verifyContext(MS_ENHANCED_PROV_A);
    DWORD value = 0, len = sizeof value;
    ASSERT_TRUE(CryptGetProvParam(prov, PP_VERSION, reinterpret_cast<BYTE*>(&value), &len, 0));
    EXPECT_EQ(value, 0x200u);
    ASSERT_TRUE(CryptGetProvParam(prov, PP_PROVTYPE, reinterpret_cast<BYTE*>(&value), &len, 0));
    EXPECT_EQ(value, static_cast<DWORD>(PROV_RSA_FULL));
    EXPECT_FALSE(CryptGetProvParam(prov, PP_ENUMALGS_EX, nullptr, &len, 0));
    EXPECT_EQ(lastError(), code(NTE_BAD_TYPE));
    char small[4];
    len = sizeof small;
    EXPECT_FALSE(CryptGetProvParam(prov, PP_NAME, reinterpret_cast<BYTE*>(small), &len, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(len, sizeof(MS_ENHANCED_PROV_A));

    Bytes r1(32), r2(32);
    ASSERT_TRUE(CryptGenRandom(prov, 32, r1.data()));
    ASSERT_TRUE(CryptGenRandom(prov, 32, r2.data()));
    EXPECT_NE(r1, r2);
    EXPECT_FALSE(CryptGenRandom(prov, 8, nullptr));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CryptReleaseContext(prov, 0);
}

struct Alg {
    ALG_ID id;
    DWORD bits;
    std::string name;
};

std::vector<Alg> enumerate(HCRYPTPROV prov, DWORD firstFlags) {
    std::vector<Alg> out;
    DWORD flags = firstFlags;
    for (;;) {
        PROV_ENUMALGS e;
        std::memset(&e, 0xCC, sizeof e);
        DWORD len = sizeof e;
        if (!CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, flags)) {
            EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
            return out;
        }
        EXPECT_EQ(len, 32u);
        EXPECT_EQ(e.dwNameLen, std::strlen(e.szName) + 1);
        out.push_back({e.aiAlgid, e.dwBitLen, e.szName});
        flags = 0;
        if (out.size() > 50) return out;
    }
}

void expectList(const std::vector<Alg>& got, const std::vector<Alg>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].id, want[i].id) << i;
        EXPECT_EQ(got[i].bits, want[i].bits) << i;
        EXPECT_EQ(got[i].name, want[i].name) << i;
    }
}

struct ProviderAlgs {
    const char* name;
    const char* provider;
    std::vector<Alg> algs;
};
void PrintTo(const ProviderAlgs& p, std::ostream* os) { *os << p.name; }
const ProviderAlgs kProviderAlgs[] = {
    {"Base",
     MS_DEF_PROV_A,
     {
         {0x6602, 40, "RC2"},
         {0x6801, 40, "RC4"},
         {0x6601, 56, "DES"},
         {0x8004, 160, "SHA-1"},
         {0x8001, 128, "MD2"},
         {0x8002, 128, "MD4"},
         {0x8003, 128, "MD5"},
         {0x8008, 288, "SSL3 SHAMD5"},
         {0x8005, 0, "MAC"},
         {0x2400, 512, "RSA_SIGN"},
         {0xA400, 512, "RSA_KEYX"},
         {0x8009, 0, "HMAC"},
     }},
    {"Enhanced",
     MS_ENHANCED_PROV_A,
     {
         {0x6602, 128, "RC2"},
         {0x6801, 128, "RC4"},
         {0x6601, 56, "DES"},
         {0x6609, 112, "3DES TWO KEY"},
         {0x6603, 168, "3DES"},
         {0x8004, 160, "SHA-1"},
         {0x8001, 128, "MD2"},
         {0x8002, 128, "MD4"},
         {0x8003, 128, "MD5"},
         {0x8008, 288, "SSL3 SHAMD5"},
         {0x8005, 0, "MAC"},
         {0x2400, 1024, "RSA_SIGN"},
         {0xA400, 1024, "RSA_KEYX"},
         {0x8009, 0, "HMAC"},
     }},
};

class ProviderAlgorithms : public CryptTest, public ::testing::WithParamInterface<ProviderAlgs> {};
INSTANTIATE_TEST_SUITE_P(Providers, ProviderAlgorithms, ::testing::ValuesIn(kProviderAlgs),
                         [](const auto& p) { return p.param.name; });

TEST_P(ProviderAlgorithms, EnumeratesTheAlgorithms) {
    const auto& want = GetParam().algs;
    const HCRYPTPROV prov = verifyContext(GetParam().provider);
    // A fresh handle's first call without CRYPT_FIRST starts at the first entry.
    expectList(enumerate(prov, 0), want);
    // Past the end it stays at the end until CRYPT_FIRST starts over.
    PROV_ENUMALGS e;
    DWORD len = sizeof e;
    EXPECT_FALSE(CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    expectList(enumerate(prov, CRYPT_FIRST), want);
    CryptReleaseContext(prov, 0);
}

TEST_F(CryptTest, EnumerationBufferRules) {
    const HCRYPTPROV prov = verifyContext(MS_DEF_PROV_A);
    DWORD len = 0;
    ASSERT_TRUE(CryptGetProvParam(prov, PP_ENUMALGS, nullptr, &len, CRYPT_FIRST));
    EXPECT_EQ(len, 32u);
    BYTE small[16];
    len = sizeof small;
    EXPECT_FALSE(CryptGetProvParam(prov, PP_ENUMALGS, small, &len, 0));
    EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(len, 32u);
    // Neither the size query nor the short buffer moved the cursor.
    PROV_ENUMALGS e;
    len = sizeof e;
    ASSERT_TRUE(CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, 0));
    EXPECT_EQ(e.aiAlgid, static_cast<ALG_ID>(CALG_RC2));
    ASSERT_TRUE(CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, 0));
    EXPECT_EQ(e.aiAlgid, static_cast<ALG_ID>(CALG_RC4));
    EXPECT_FALSE(CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, 0x80));
    EXPECT_EQ(lastError(), code(NTE_BAD_FLAGS));

    // Each handle has its own cursor.
    const HCRYPTPROV other = verifyContext(MS_DEF_PROV_A);
    ASSERT_TRUE(CryptGetProvParam(other, PP_ENUMALGS, reinterpret_cast<BYTE*>(&e), &len, 0));
    EXPECT_EQ(e.aiAlgid, static_cast<ALG_ID>(CALG_RC2));
    CryptReleaseContext(prov, 0);
    CryptReleaseContext(other, 0);
}

TEST_F(CryptTest, ConcurrentUseOfSeparateContexts) {
    std::atomic<int> failures{0};
    auto worker = [&failures](int id) {
        for (int round = 0; round < 20; ++round) {
            HCRYPTPROV prov = 0;
            const std::string name = "t" + std::to_string(id);
            if (!CryptAcquireContextA(&prov, name.c_str(), MS_ENHANCED_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET)) {
                ++failures;
                return;
            }
            HCRYPTHASH hash = 0;
            HCRYPTKEY key = 0;
            const Bytes pw = bytesOf(name);
            CryptCreateHash(prov, CALG_MD5, 0, 0, &hash);
            CryptHashData(hash, pw.data(), static_cast<DWORD>(pw.size()), 0);
            CryptDeriveKey(prov, CALG_RC2, hash, 0, &key);
            Bytes data = pattern(1000, static_cast<unsigned>(id));
            data.resize(1008);
            DWORD len = 1000;
            if (!CryptEncrypt(key, 0, TRUE, 0, data.data(), &len, 1008) || len != 1008) ++failures;
            if (!CryptDecrypt(key, 0, TRUE, 0, data.data(), &len) || len != 1000) ++failures;
            data.resize(len);
            if (data != pattern(1000, static_cast<unsigned>(id))) ++failures;
            CryptReleaseContext(prov, 0);
            HCRYPTPROV gone = 0;
            if (!CryptAcquireContextA(&gone, name.c_str(), MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_DELETEKEYSET)) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back(worker, i);
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace vlt::test
