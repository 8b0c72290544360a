// The two providers as data: names, the PP_ENUMALGS lists, key lengths and the rules that tell
// them apart. Everything behavioural reads from here.
#pragma once

#include <cstddef>
#include <span>

#include "win32/wincrypt.h"

namespace vlt::crypt {

enum class ProviderKind { Base, Enhanced };

struct AlgorithmEntry {
    ALG_ID id;
    DWORD defaultBits;
    const char* name;  // at most 19 characters
};

struct KeyBits {
    DWORD min;
    DWORD def;
    DWORD max;
};

struct ProviderInfo {
    ProviderKind kind;
    const char* name;
    std::span<const AlgorithmEntry> algorithms;  // PP_ENUMALGS order
    KeyBits rc2;
    KeyBits rc4;
    // RC2 effective key bits: Base schedules every key with 40 and refuses more; Enhanced uses
    // the key length (current Windows) and accepts anything RFC 2268 allows.
    DWORD rc2EffectiveCap;
    bool rc2EffectiveIsKeyLength;
    // CRYPT_CREATE_SALT on a 40-bit derived key: Base takes the salt from the hash bytes after
    // the key, Enhanced creates no salt at all.
    bool saltFromHash;
    KeyBits rsa;  // generated pairs; def is the build default, see exchangeKeyBits()
};

const ProviderInfo& providerInfo(ProviderKind kind);
// Case-insensitive, as the provider names are registry key names on Windows.
const ProviderInfo* findProvider(const char* name);

// Length of a pair generated without an explicit length (our defaults, or the test override).
DWORD exchangeKeyBits(ProviderKind kind);

constexpr DWORD kRc2BlockBytes = 8;
constexpr DWORD kSaltBytes = 11;  // the invisible salt of 40-bit keys
constexpr DWORD kMinRsaBlobBits = 384;
constexpr DWORD kMaxRsaBlobBits = 16384;

}  // namespace vlt::crypt
