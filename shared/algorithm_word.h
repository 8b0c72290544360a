// The two RSA providers the suite uses by name, and the AlgorithmWord that chooses between them:
// a CryptoAPI ALG_ID in bits 0-15, bit 28 set when the Enhanced provider is meant.
#pragma once

#include "shared/registry_layout.h"
#include "win32/wincrypt.h"
#include "win32/windef.h"

namespace vlt {

enum class Provider { Base, Enhanced };

inline constexpr char kBaseProviderName[] = "Microsoft Base Cryptographic Provider v1.0";
inline constexpr char kEnhancedProviderName[] = "Microsoft Enhanced Cryptographic Provider v1.0";

using AlgorithmWord = DWORD;
inline constexpr AlgorithmWord kEnhancedProviderBit = 0x10000000;

constexpr ALG_ID algorithmId(AlgorithmWord word) { return word & 0xFFFF; }
constexpr bool isEnhanced(AlgorithmWord word) { return (word & kEnhancedProviderBit) != 0; }
constexpr Provider providerOf(AlgorithmWord word) { return isEnhanced(word) ? Provider::Enhanced : Provider::Base; }
constexpr AlgorithmWord makeAlgorithmWord(ALG_ID id, Provider provider) {
    return (id & 0xFFFF) | (provider == Provider::Enhanced ? kEnhancedProviderBit : 0);
}

constexpr const char* providerName(Provider p) {
    return p == Provider::Enhanced ? kEnhancedProviderName : kBaseProviderName;
}

// The Profile values that belong to each provider.
constexpr const char* certificateValueName(Provider p) {
    return p == Provider::Enhanced ? layout::kExchangeBlob3 : layout::kExchangeBlob1;
}
constexpr const char* wrappedKeyValueName(Provider p) {
    return p == Provider::Enhanced ? layout::kExchangeBlob4 : layout::kExchangeBlob2;
}
constexpr const char* unlockCacheValueName(Provider p) {
    return p == Provider::Enhanced ? layout::kTempExchangeBlob2 : layout::kTempExchangeBlob1;
}

}  // namespace vlt
