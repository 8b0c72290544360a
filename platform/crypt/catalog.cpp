#include "crypt/catalog.h"

#include <atomic>
#include <strings.h>

#include "crypt/providers.h"

namespace vlt::crypt {
namespace {

// As the XP-era providers list them; dwBitLen is the default length.
constexpr AlgorithmEntry kBaseAlgorithms[] = {
    {CALG_RC2, 40, "RC2"},
    {CALG_RC4, 40, "RC4"},
    {CALG_DES, 56, "DES"},
    {CALG_SHA1, 160, "SHA-1"},
    {CALG_MD2, 128, "MD2"},
    {CALG_MD4, 128, "MD4"},
    {CALG_MD5, 128, "MD5"},
    {CALG_SSL3_SHAMD5, 288, "SSL3 SHAMD5"},
    {CALG_MAC, 0, "MAC"},
    {CALG_RSA_SIGN, 512, "RSA_SIGN"},
    {CALG_RSA_KEYX, 512, "RSA_KEYX"},
    {CALG_HMAC, 0, "HMAC"},
};

constexpr AlgorithmEntry kEnhancedAlgorithms[] = {
    {CALG_RC2, 128, "RC2"},
    {CALG_RC4, 128, "RC4"},
    {CALG_DES, 56, "DES"},
    {CALG_3DES_112, 112, "3DES TWO KEY"},
    {CALG_3DES, 168, "3DES"},
    {CALG_SHA1, 160, "SHA-1"},
    {CALG_MD2, 128, "MD2"},
    {CALG_MD4, 128, "MD4"},
    {CALG_MD5, 128, "MD5"},
    {CALG_SSL3_SHAMD5, 288, "SSL3 SHAMD5"},
    {CALG_MAC, 0, "MAC"},
    {CALG_RSA_SIGN, 1024, "RSA_SIGN"},
    {CALG_RSA_KEYX, 1024, "RSA_KEYX"},
    {CALG_HMAC, 0, "HMAC"},
};

// Generated pairs: today's lengths rather than Windows' 512/1024 (Base cannot go past 1024).
// OpenSSL generates nothing below 512 bits.
constexpr DWORD kBaseExchangeBits = 1024;
constexpr DWORD kEnhancedExchangeBits = 3072;

const ProviderInfo kBase{ProviderKind::Base, MS_DEF_PROV_A, kBaseAlgorithms, {40, 40, 56}, {40, 40, 56},
                         40, false, true, {512, kBaseExchangeBits, 1024}};
const ProviderInfo kEnhanced{ProviderKind::Enhanced, MS_ENHANCED_PROV_A, kEnhancedAlgorithms,
                             {40, 128, 128}, {40, 128, 128}, 1024, true, false,
                             {512, kEnhancedExchangeBits, 16384}};

std::atomic<DWORD> g_baseBits{0};
std::atomic<DWORD> g_enhancedBits{0};

}  // namespace

const ProviderInfo& providerInfo(ProviderKind kind) { return kind == ProviderKind::Base ? kBase : kEnhanced; }

const ProviderInfo* findProvider(const char* name) {
    if (name == nullptr) return nullptr;
    for (const ProviderInfo* p : {&kBase, &kEnhanced}) {
        if (strcasecmp(p->name, name) == 0) return p;
    }
    return nullptr;
}

DWORD exchangeKeyBits(ProviderKind kind) {
    const DWORD over = kind == ProviderKind::Base ? g_baseBits.load() : g_enhancedBits.load();
    return over != 0 ? over : providerInfo(kind).rsa.def;
}

void setDefaultExchangeKeyBitsForTesting(unsigned baseBits, unsigned enhancedBits) {
    g_baseBits.store(baseBits);
    g_enhancedBits.store(enhancedBits);
}

}  // namespace vlt::crypt
