#include "crypt/catalog.h"

#include <strings.h>
#include <algorithm>
#include <array>
#include <atomic>

#include "crypt/providers.h"

namespace vlt::crypt {
namespace {

// The PP_ENUMALGS lists of both providers side by side, as the XP-era providers give them: each
// entry's default length in the one and the other (kNotListed: that provider leaves it out).
constexpr DWORD kNotListed = ~DWORD{0};
struct CatalogRow {
    ALG_ID id;
    const char* name;
    DWORD baseBits;
    DWORD enhancedBits;
};
constexpr CatalogRow kCatalog[] = {
    {CALG_RC2, "RC2", 40, 128},
    {CALG_RC4, "RC4", 40, 128},
    {CALG_DES, "DES", 56, 56},
    {CALG_3DES_112, "3DES TWO KEY", kNotListed, 112},
    {CALG_3DES, "3DES", kNotListed, 168},
    {CALG_SHA1, "SHA-1", 160, 160},
    {CALG_MD2, "MD2", 128, 128},
    {CALG_MD4, "MD4", 128, 128},
    {CALG_MD5, "MD5", 128, 128},
    {CALG_SSL3_SHAMD5, "SSL3 SHAMD5", 288, 288},
    {CALG_MAC, "MAC", 0, 0},
    {CALG_RSA_SIGN, "RSA_SIGN", 512, 1024},
    {CALG_RSA_KEYX, "RSA_KEYX", 512, 1024},
    {CALG_HMAC, "HMAC", 0, 0},
};

// One provider's list: the rows it lists, in the catalogue's order.
template <DWORD CatalogRow::*Bits>
constexpr auto listOf() {
    constexpr auto n = std::ranges::count_if(kCatalog, [](const CatalogRow& r) { return r.*Bits != kNotListed; });
    std::array<AlgorithmEntry, n> list{};
    std::size_t i = 0;
    for (const CatalogRow& r : kCatalog) {
        if (r.*Bits != kNotListed) list[i++] = {r.id, r.*Bits, r.name};
    }
    return list;
}
constexpr auto kBaseAlgorithms = listOf<&CatalogRow::baseBits>();
constexpr auto kEnhancedAlgorithms = listOf<&CatalogRow::enhancedBits>();

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
