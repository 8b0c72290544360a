// CryptoAPI for "Microsoft Base Cryptographic Provider v1.0" and "Microsoft Enhanced
// Cryptographic Provider v1.0" (PROV_RSA_FULL), so that keys, wrapped keys and locked files
// interchange byte for byte with copies made on Windows.
//
// Reproduced:
// - contexts on key containers held in process memory, shared by both providers, names compared
//   case-insensitively; flags 0 / CRYPT_NEWKEYSET / CRYPT_DELETEKEYSET (wipes the pairs) /
//   CRYPT_VERIFYCONTEXT (an ephemeral container); CRYPT_MACHINE_KEYSET is a second set of names.
//   Handles of released contexts, destroyed objects and 0 give ERROR_INVALID_PARAMETER.
// - PP_ENUMALGS with the XP-era lists (a fresh handle's first flag-0 call gives the first entry),
//   PP_NAME, PP_CONTAINER, PP_VERSION, PP_PROVTYPE, PP_IMPTYPE.
// - CryptDuplicateKey: a copy that continues from the original's state.
// - MD5 and MD2 hashes; CryptDeriveKey of RC2/RC4 keys from the first bytes of the hash value.
// - RC2 (CBC and ECB, zero IV) and RC4 session keys: the 11 zero salt bytes of 40-bit keys in
//   the key schedule, CRYPT_CREATE_SALT/CRYPT_NO_SALT, effective RC2 bits (Base 40; Enhanced the
//   key length, i.e. Windows XP SP1 and later; KP_EFFECTIVE_KEYLEN re-keys), chaining across
//   calls, PKCS #5 padding on the final call only, reset after a final call.
// - RSA exchange and signature pairs (e = 65537); PUBLICKEYBLOB, PRIVATEKEYBLOB plain or with
//   everything after the header encrypted under a session key (final-call padding included),
//   SIMPLEBLOB with the byte-reversed PKCS #1 type 2 block and no salt; SIMPLEBLOB import with
//   hPubKey 0 uses the container's exchange pair.
//
// Left out, each with a defined error:
// - DES, 3DES, SHA-1, MD4, MAC, HMAC, SSL3 SHAMD5 are listed but not offered (NTE_BAD_ALGID);
//   RSA CryptEncrypt/CryptDecrypt and signatures (NTE_BAD_KEY); OFB/CFB (NTE_BAD_DATA);
//   KP_SALT_EX, KP_MODE_BITS, PP_ENUMALGS_EX, PP_ENUMCONTAINERS, PLAINTEXTKEYBLOB
//   (NTE_BAD_TYPE); CRYPT_CREATE_SALT on Base keys of other than 40 bits (NTE_BAD_FLAGS);
//   RSA generation below 512 bits (NTE_BAD_FLAGS, OpenSSL's floor).
// - Containers are not persisted: they live and die with the process.
//
// Our own choices: pairs generated without a length have 1024 bits (Base) and 3072 (Enhanced);
// a wrapped private key is accepted when its key checks out even if its padding differs.

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "crypt/blobs.h"
#include "crypt/catalog.h"
#include "crypt/objects.h"
#include "crypt/openssl/ossl.h"
#include "win32/winbase.h"
#include "win32/wincrypt.h"

namespace {

using namespace vlt::crypt;
using vlt::base::SecretBytes;

constexpr HRESULT kProvTypeNotDef = NTE_PROV_TYPE_NOT_DEF;
constexpr DWORD kImplSoftware = 2;                                     // CRYPT_IMPL_SOFTWARE
constexpr DWORD kProviderVersion = 0x200;
constexpr DWORD kBasePerms = CRYPT_ENCRYPT | CRYPT_DECRYPT | CRYPT_READ | CRYPT_WRITE | CRYPT_MAC;
constexpr DWORD kKeyFlags = CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED | CRYPT_CREATE_SALT | CRYPT_NO_SALT;

template <typename T>
BOOL fail(T code) {
    SetLastError(static_cast<DWORD>(code));
    return FALSE;
}

// The usual output convention: NULL asks for the size, a short buffer gets ERROR_MORE_DATA.
BOOL copyOut(BYTE* pbData, DWORD* pdwDataLen, const void* src, DWORD size) {
    if (pbData == nullptr) {
        *pdwDataLen = size;
        return TRUE;
    }
    if (*pdwDataLen < size) {
        *pdwDataLen = size;
        return fail(ERROR_MORE_DATA);
    }
    if (size != 0) std::memcpy(pbData, src, size);
    *pdwDataLen = size;
    return TRUE;
}

BOOL dwordOut(BYTE* pbData, DWORD* pdwDataLen, DWORD value) { return copyOut(pbData, pdwDataLen, &value, 4); }

// Asks for room first; `need` bytes will be written.
bool roomFor(BYTE* pbData, DWORD* pdwDataLen, std::size_t need, BOOL& result) {
    if (pbData == nullptr) {
        *pdwDataLen = static_cast<DWORD>(need);
        result = TRUE;
        return false;
    }
    if (*pdwDataLen < need) {
        *pdwDataLen = static_cast<DWORD>(need);
        result = fail(ERROR_MORE_DATA);
        return false;
    }
    return true;
}

std::string defaultContainerName() {
    char buf[1024];
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr && found->pw_name[0] != 0) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr && *user != 0 ? user : "default";
}

// --- session keys --------------------------------------------------------------------------

// 0 when the requested length is outside the provider's range.
DWORD sessionBits(const ProviderInfo& info, ALG_ID alg, DWORD requested) {
    const KeyBits& r = alg == CALG_RC2 ? info.rc2 : info.rc4;
    if (requested == 0) return r.def;
    if (requested < r.min || requested > r.max || requested % 8 != 0) return 0;
    return requested;
}

// The salt of a new key. `hash` is the hash value when deriving. False: flags not supported.
bool saltFor(const ProviderInfo& info, DWORD bits, DWORD flags, const BYTE* hash, std::vector<BYTE>& salt) {
    salt.clear();
    if (flags & CRYPT_NO_SALT) return true;
    if (flags & CRYPT_CREATE_SALT) {
        if (!info.saltFromHash) return true;  // Enhanced makes no salt at all
        if (bits != 40) return false;
        if (hash != nullptr) {
            salt.assign(hash + 5, hash + 5 + kSaltBytes);
        } else {
            salt.resize(kSaltBytes);
            if (!ossl::randomBytes(salt.data(), salt.size())) return false;
        }
        return true;
    }
    if (bits == 40) salt.assign(kSaltBytes, 0);
    return true;
}

std::shared_ptr<KeyObj> makeSession(const ProviderInfo& info, ALG_ID alg, const BYTE* key, DWORD keyBytes,
                                    std::vector<BYTE> salt, DWORD perms) {
    auto k = std::make_shared<KeyObj>();
    k->info = &info;
    k->alg = alg;
    k->perms = perms;
    k->key = SecretBytes(key, keyBytes);
    k->salt = SecretBytes(std::move(salt));
    if (alg == CALG_RC2) {
        k->effectiveBits = info.rc2EffectiveIsKeyLength ? keyBytes * 8 : info.rc2EffectiveCap;
        k->mode = CRYPT_MODE_CBC;
    } else {
        k->mode = 0;
    }
    return k;
}

DWORD permsFor(DWORD flags) { return kBasePerms | ((flags & CRYPT_EXPORTABLE) ? CRYPT_EXPORT : 0); }

std::shared_ptr<KeyObj> rsaKeyObj(const ProviderInfo& info, RsaRef data) {
    auto k = std::make_shared<KeyObj>();
    k->info = &info;
    k->alg = data->alg;
    k->perms = kBasePerms | (data->exportable ? CRYPT_EXPORT : 0);
    k->rsa = std::move(data);
    return k;
}

ossl::CipherKind cipherKind(const KeyObj& k) {
    if (k.alg == CALG_RC4) return ossl::CipherKind::Rc4;
    return k.mode == CRYPT_MODE_ECB ? ossl::CipherKind::Rc2Ecb : ossl::CipherKind::Rc2Cbc;
}

// Gets the cipher ready for a call in one direction. The steady state (same direction, inside a
// message) costs one comparison.
bool prepare(KeyObj& k, bool encrypt) {
    if (k.alg == CALG_RC4) encrypt = true;  // one keystream both ways
    if (!k.scheduled) {
        SecretBytes schedule = k.key.copy();
        schedule.bytes().insert(schedule.bytes().end(), k.salt.bytes().begin(), k.salt.bytes().end());
        const auto& s = schedule.bytes();
        if (!k.cipher.setKey(cipherKind(k), s.data(), s.size(), k.effectiveBits, k.iv, encrypt)) return false;
        k.scheduled = true;
        k.atIv = true;
        k.inMessage = false;
        return true;
    }
    if (k.inMessage) return k.cipher.encrypting() == encrypt || k.cipher.restart(k.chain, encrypt);
    if (!k.atIv || k.cipher.encrypting() != encrypt) {
        if (!k.cipher.restart(k.iv, encrypt)) return false;
        k.atIv = true;
    }
    return true;
}

void endMessage(KeyObj& k) {
    k.inMessage = false;
    k.atIv = false;
}

void continueMessage(KeyObj& k, DWORD processed) {
    if (processed != 0) {
        k.inMessage = true;
        k.atIv = false;
    }
}

// Output length of an encryption, or 0 with `error` set.
DWORD encryptedLength(const KeyObj& k, DWORD len, bool final, HRESULT& error) {
    error = 0;
    if (k.alg != CALG_RC2) return len;
    if (!final) {
        if (len % kRc2BlockBytes != 0) error = NTE_BAD_DATA;
        return len;
    }
    if (len > 0xFFFFFFFFu - kRc2BlockBytes) {
        error = NTE_BAD_LEN;
        return 0;
    }
    return len - len % kRc2BlockBytes + kRc2BlockBytes;
}

// Encrypts in place; the caller made room for encryptedLength() bytes.
HRESULT encryptIn(KeyObj& k, BYTE* data, DWORD len, bool final, DWORD& outLen) {
    HRESULT error = 0;
    const DWORD total = encryptedLength(k, len, final, error);
    if (error != 0) return error;
    if (total > len) std::memset(data + len, static_cast<int>(total - len), total - len);  // PKCS #5
    if (!prepare(k, true)) return NTE_FAIL;
    if (total != 0 && !k.cipher.update(data, total)) {
        k.scheduled = false;
        return NTE_FAIL;
    }
    if (k.alg == CALG_RC2 && total >= kRc2BlockBytes) std::memcpy(k.chain, data + total - kRc2BlockBytes, 8);
    if (final) {
        endMessage(k);
    } else {
        continueMessage(k, total);
    }
    outLen = total;
    return 0;
}

// Decrypts in place. With `checkPad` a final call verifies and strips the PKCS #5 padding; bad
// padding fails with NTE_BAD_DATA and the key starts over at its IV all the same.
HRESULT decryptIn(KeyObj& k, BYTE* data, DWORD len, bool final, bool checkPad, DWORD& outLen) {
    const bool block = k.alg == CALG_RC2;
    if (block && len % kRc2BlockBytes != 0) return NTE_BAD_DATA;
    if (block && final && len == 0) return NTE_BAD_LEN;
    if (!prepare(k, false)) return NTE_FAIL;
    BYTE last[8];
    if (block && len != 0) std::memcpy(last, data + len - kRc2BlockBytes, 8);
    if (len != 0 && !k.cipher.update(data, len)) {
        k.scheduled = false;
        return NTE_FAIL;
    }
    if (block && len != 0) std::memcpy(k.chain, last, 8);
    outLen = len;
    if (!final) {
        continueMessage(k, len);
        return 0;
    }
    endMessage(k);
    if (block && checkPad) {
        const BYTE pad = data[len - 1];
        bool bad = pad == 0 || pad > kRc2BlockBytes;
        for (DWORD i = 1; i <= kRc2BlockBytes; ++i) bad |= i <= pad && data[len - i] != pad;
        if (bad) return NTE_BAD_DATA;
        outLen = len - pad;
    }
    return 0;
}

// The handles and checks CryptEncrypt and CryptDecrypt share, in Windows' order. On 0 the key
// stays locked for the rest of the call.
struct CipherCall {
    std::shared_ptr<KeyObj> key;
    std::shared_ptr<HashObj> hash;  // none when the call names no hash
    std::unique_lock<std::mutex> lock;
};

HRESULT openCipherCall(HCRYPTKEY hKey, HCRYPTHASH hHash, DWORD dwFlags, DWORD permission, CipherCall& call) {
    call.key = findKey(hKey);
    if (hHash != 0) call.hash = findHash(hHash);
    if (!call.key || (hHash != 0 && !call.hash)) return ERROR_INVALID_PARAMETER;
    if (dwFlags != 0) return NTE_BAD_FLAGS;
    call.lock = std::unique_lock(call.key->mu);
    if (!call.key->symmetric()) return NTE_BAD_KEY;
    if (!(call.key->perms & permission)) return NTE_PERM;
    return 0;
}

// --- hashes --------------------------------------------------------------------------------

// A hash whose digest could not be made fails every later use: a zero value in its place
// would derive the same key from every password.
HRESULT finishHash(HashObj& h) {
    if (!h.finished) {
        if (h.alg == CALG_MD5) {
            h.broken = !h.md5->finish(h.value);
        } else {
            h.md2.finish(h.value);
        }
        h.finished = true;
    }
    return h.broken ? NTE_FAIL : 0;
}

HRESULT hashData(HashObj& h, const BYTE* data, DWORD len) {
    std::lock_guard lock(h.mu);
    if (h.finished) return NTE_BAD_HASH_STATE;
    if (h.alg == CALG_MD5) {
        if (!h.md5->update(data, len)) return NTE_FAIL;
    } else {
        h.md2.update(data, len);
    }
    return 0;
}

// The plain text into the call's hash, if it names one.
HRESULT hashPlain(const CipherCall& call, const BYTE* data, DWORD len) {
    return call.hash ? hashData(*call.hash, data, len) : 0;
}

// --- RSA -----------------------------------------------------------------------------------

ALG_ID pairAlgOf(ALG_ID alg) {
    if (alg == CALG_RSA_KEYX || alg == AT_KEYEXCHANGE) return CALG_RSA_KEYX;
    if (alg == CALG_RSA_SIGN || alg == AT_SIGNATURE) return CALG_RSA_SIGN;
    return 0;
}

void install(Container& c, const RsaRef& data) {
    std::lock_guard lock(c.mu);
    (data->alg == CALG_RSA_KEYX ? c.exchange : c.signature) = data;
}

BOOL publish(ULONG_PTR hProv, std::shared_ptr<KeyObj> key, HCRYPTKEY* phKey) {
    const ULONG_PTR h = addKey(hProv, std::move(key));
    if (h == 0) return fail(ERROR_INVALID_PARAMETER);  // the context was released meanwhile
    *phKey = h;
    return TRUE;
}

// --- export --------------------------------------------------------------------------------

BOOL exportPublic(KeyObj& key, BYTE* pbData, DWORD* pdwDataLen) {
    if (key.symmetric()) return fail(NTE_BAD_KEY);
    RsaKeyData& d = *key.rsa;
    const std::size_t size = blobs::publicSize(d.bitlen);
    BOOL result = FALSE;
    if (!roomFor(pbData, pdwDataLen, size, result)) return result;
    ossl::RsaNumbers numbers;
    {
        std::lock_guard lock(d.mu);
        if (d.key.empty()) return fail(NTE_BAD_KEY);
        if (!d.key.toNumbers(numbers, blobs::modulusBytes(d.bitlen), blobs::halfBytes(d.bitlen), false)) {
            return fail(NTE_FAIL);
        }
    }
    blobs::writeRsa(pbData, false, d.alg, d.bitlen, numbers);
    *pdwDataLen = static_cast<DWORD>(size);
    return TRUE;
}

BOOL exportPrivate(KeyObj& key, KeyObj* wrap, BYTE* pbData, DWORD* pdwDataLen) {
    if (key.symmetric() || !key.rsa->hasPrivate) return fail(NTE_BAD_KEY);
    DWORD perms;
    {
        std::lock_guard lock(key.mu);
        perms = key.perms;
    }
    if (!(perms & CRYPT_EXPORT)) return fail(NTE_BAD_KEY_STATE);
    if (wrap != nullptr && !wrap->symmetric()) return fail(NTE_BAD_KEY);

    RsaKeyData& d = *key.rsa;
    const std::size_t plainSize = blobs::privateSize(d.bitlen);
    const DWORD body = static_cast<DWORD>(plainSize - blobs::kHeaderBytes);
    std::size_t size = plainSize;
    if (wrap != nullptr) {
        HRESULT error = 0;
        size = blobs::kHeaderBytes + encryptedLength(*wrap, body, true, error);
    }
    BOOL result = FALSE;
    if (!roomFor(pbData, pdwDataLen, size, result)) return result;

    SecretBytes blob(size);
    {
        ossl::RsaNumbers numbers;
        std::lock_guard lock(d.mu);
        if (d.key.empty()) return fail(NTE_BAD_KEY);
        if (!d.key.toNumbers(numbers, blobs::modulusBytes(d.bitlen), blobs::halfBytes(d.bitlen), true)) {
            return fail(NTE_FAIL);
        }
        blobs::writeRsa(blob.bytes().data(), true, d.alg, d.bitlen, numbers);
    }
    if (wrap != nullptr) {
        std::lock_guard lock(wrap->mu);
        DWORD out = 0;
        const HRESULT error = encryptIn(*wrap, blob.bytes().data() + blobs::kHeaderBytes, body, true, out);
        if (error != 0) return fail(error);
    }
    std::memcpy(pbData, blob.bytes().data(), size);
    *pdwDataLen = static_cast<DWORD>(size);
    return TRUE;
}

BOOL exportSimple(KeyObj& key, KeyObj* wrap, BYTE* pbData, DWORD* pdwDataLen) {
    if (!key.symmetric()) return fail(NTE_BAD_KEY);
    if (wrap == nullptr || wrap->symmetric() || wrap->rsa->alg != CALG_RSA_KEYX) return fail(NTE_BAD_PUBLIC_KEY);
    RsaKeyData& d = *wrap->rsa;
    const std::size_t mod = blobs::modulusBytes(d.bitlen);
    const std::size_t size = blobs::kSimpleHeaderBytes + mod;

    SecretBytes keyBytes;
    {
        std::lock_guard lock(key.mu);
        if (!(key.perms & CRYPT_EXPORT)) return fail(NTE_BAD_KEY_STATE);
        keyBytes = key.key.copy();
    }
    BOOL result = FALSE;
    if (!roomFor(pbData, pdwDataLen, size, result)) return result;

    std::vector<unsigned char> cipher;
    {
        std::lock_guard lock(d.mu);
        if (d.key.empty()) return fail(NTE_BAD_KEY);
        if (keyBytes.bytes().size() + 11 > d.key.modulusBytes()) return fail(NTE_BAD_KEY);
        if (!d.key.encrypt(keyBytes.bytes().data(), keyBytes.bytes().size(), cipher) || cipher.size() > mod) {
            return fail(NTE_FAIL);
        }
    }
    blobs::putHeader(pbData, SIMPLEBLOB, key.alg);
    vlt::storeLE<DWORD>(pbData + 8, d.alg);
    // The blob carries the RSA result least significant byte first.
    BYTE* out = pbData + blobs::kSimpleHeaderBytes;
    std::fill(out, out + mod, BYTE{0});
    std::reverse_copy(cipher.begin(), cipher.end(), out);
    *pdwDataLen = static_cast<DWORD>(size);
    return TRUE;
}

// --- import --------------------------------------------------------------------------------

BOOL importPublic(ULONG_PTR hProv, const ProvCtx& prov, const BYTE* pb, DWORD len, ALG_ID alg, DWORD flags,
                  HCRYPTKEY* phKey) {
    DWORD bitlen = 0;
    ossl::RsaNumbers numbers;
    if (blobs::parseRsa(pb, len, false, bitlen, numbers) != 0) return fail(NTE_BAD_DATA);
    auto data = std::make_shared<RsaKeyData>();
    if (!ossl::RsaKey::fromNumbers(numbers, false, data->key)) return fail(NTE_BAD_DATA);
    data->bitlen = bitlen;
    data->alg = alg;
    data->exportable = (flags & CRYPT_EXPORTABLE) != 0;
    // A public key stands alone: the container's pairs stay as they are.
    return publish(hProv, rsaKeyObj(*prov.info, data), phKey);
}

BOOL importPrivate(ULONG_PTR hProv, const ProvCtx& prov, const BYTE* pb, DWORD len, KeyObj* wrap, ALG_ID alg,
                   DWORD flags, HCRYPTKEY* phKey) {
    DWORD bitlen = 0;
    ossl::RsaNumbers numbers;
    if (wrap == nullptr) {
        if (blobs::parseRsa(pb, len, true, bitlen, numbers) != 0) return fail(NTE_BAD_DATA);
    } else {
        if (!wrap->symmetric()) return fail(NTE_BAD_KEY);
        SecretBytes plain(pb, len);
        BYTE* body = plain.bytes().data() + blobs::kHeaderBytes;
        const DWORD bodyLen = len - static_cast<DWORD>(blobs::kHeaderBytes);
        {
            std::lock_guard lock(wrap->mu);
            DWORD out = 0;
            if (decryptIn(*wrap, body, bodyLen, true, false, out) != 0) return fail(NTE_BAD_DATA);
        }
        // A wrong password shows as a wrong magic or numbers that do not make a key. The key is
        // what authenticates; up to one block of padding after it is tolerated whatever its bytes.
        if (len < blobs::kRsaHeaderBytes) return fail(NTE_BAD_DATA);
        const DWORD claimed = vlt::loadLE<DWORD>(body + 4);
        if (claimed % 8 != 0 || claimed < kMinRsaBlobBits || claimed > kMaxRsaBlobBits) return fail(NTE_BAD_DATA);
        const std::size_t full = blobs::privateSize(claimed);
        if (len < full || len > full + kRc2BlockBytes) return fail(NTE_BAD_DATA);
        if (blobs::parseRsa(plain.bytes().data(), full, true, bitlen, numbers) != 0) return fail(NTE_BAD_DATA);
    }
    auto data = std::make_shared<RsaKeyData>();
    if (!ossl::RsaKey::fromNumbers(numbers, true, data->key)) return fail(NTE_BAD_DATA);
    data->bitlen = bitlen;
    data->alg = alg;
    data->hasPrivate = true;
    data->exportable = (flags & CRYPT_EXPORTABLE) != 0;
    install(*prov.container, data);
    return publish(hProv, rsaKeyObj(*prov.info, data), phKey);
}

BOOL importSimple(ULONG_PTR hProv, const ProvCtx& prov, const BYTE* pb, DWORD len, KeyObj* wrap, ALG_ID alg,
                  DWORD flags, HCRYPTKEY* phKey) {
    if (alg != CALG_RC2 && alg != CALG_RC4) return fail(NTE_BAD_ALGID);
    if (len < blobs::kSimpleHeaderBytes) return fail(NTE_BAD_DATA);
    RsaRef d;
    if (wrap != nullptr) {
        if (wrap->symmetric()) return fail(NTE_BAD_PUBLIC_KEY);
        d = wrap->rsa;
    } else {
        // No key given: the container's exchange pair, as Windows' own samples rely on.
        std::lock_guard lock(prov.container->mu);
        d = prov.container->exchange;
        if (!d) return fail(NTE_NO_KEY);
    }
    if (d->alg != CALG_RSA_KEYX) return fail(NTE_BAD_PUBLIC_KEY);
    if (!d->hasPrivate) return fail(NTE_BAD_KEY);
    const std::size_t mod = blobs::modulusBytes(d->bitlen);
    if (len < blobs::kSimpleHeaderBytes + mod) return fail(NTE_BAD_DATA);

    std::vector<unsigned char> block(mod);
    std::reverse_copy(pb + blobs::kSimpleHeaderBytes, pb + blobs::kSimpleHeaderBytes + mod, block.begin());
    SecretBytes keyBytes;
    {
        std::lock_guard lock(d->mu);
        if (d->key.empty()) return fail(NTE_BAD_KEY);
        // A modulus with a zero top byte is shorter than its blob field.
        const std::size_t k = d->key.modulusBytes();
        if (k > mod || !std::all_of(block.begin(), block.begin() + static_cast<long>(mod - k), [](BYTE b) {
                return b == 0;
            })) {
            return fail(NTE_BAD_DATA);
        }
        if (!d->key.decrypt(block.data() + (mod - k), k, keyBytes)) return fail(NTE_BAD_DATA);
    }
    const std::size_t keyLen = keyBytes.bytes().size();
    if (keyLen == 0 || keyLen > 0xFFFF / 8 || sessionBits(*prov.info, alg, static_cast<DWORD>(keyLen * 8)) == 0) {
        return fail(NTE_BAD_DATA);
    }
    const DWORD bits = static_cast<DWORD>(keyLen * 8);
    std::vector<BYTE> salt;
    if (bits == 40 && !(flags & CRYPT_NO_SALT)) salt.assign(kSaltBytes, 0);  // never transported
    auto key = makeSession(*prov.info, alg, keyBytes.bytes().data(), static_cast<DWORD>(keyLen), std::move(salt),
                           permsFor(flags));
    return publish(hProv, std::move(key), phKey);
}

}  // namespace

// --- contexts ------------------------------------------------------------------------------

BOOL CryptAcquireContextA(HCRYPTPROV* phProv, LPCSTR szContainer, LPCSTR szProvider, DWORD dwProvType,
                          DWORD dwFlags) {
    if (phProv == nullptr) return fail(ERROR_INVALID_PARAMETER);
    const ProviderInfo* info = nullptr;
    if (szProvider != nullptr) {
        info = findProvider(szProvider);
        if (info == nullptr) return fail(NTE_KEYSET_NOT_DEF);
        if (dwProvType != PROV_RSA_FULL) return fail(NTE_PROV_TYPE_NO_MATCH);
    } else {
        if (dwProvType != PROV_RSA_FULL) return fail(kProvTypeNotDef);
        info = &providerInfo(ProviderKind::Base);  // the type's default provider
    }
    constexpr DWORD known = CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT |
                            CRYPT_VERIFYCONTEXT;
    if (dwFlags & ~known) return fail(NTE_BAD_FLAGS);
    const DWORD action = dwFlags & (CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET | CRYPT_VERIFYCONTEXT);
    if (action != 0 && action != CRYPT_NEWKEYSET && action != CRYPT_DELETEKEYSET && action != CRYPT_VERIFYCONTEXT) {
        return fail(NTE_BAD_FLAGS);
    }
    if (!vlt::crypt::ossl::ready()) return fail(NTE_FAIL);

    const bool named = szContainer != nullptr && *szContainer != 0;
    const bool machine = (dwFlags & CRYPT_MACHINE_KEYSET) != 0;
    auto prov = std::make_shared<ProvCtx>();
    prov->info = info;
    HRESULT error = 0;
    if (action == CRYPT_VERIFYCONTEXT) {
        if (named) return fail(NTE_BAD_FLAGS);
        prov->verify = true;
        prov->container = std::make_shared<Container>("");
    } else {
        const std::string name = named ? std::string(szContainer) : defaultContainerName();
        if (action == CRYPT_DELETEKEYSET) {
            containerOp(name, machine, ContainerOp::Delete, error);
            if (error != 0) return fail(error);
            *phProv = 0;
            return TRUE;
        }
        prov->container = containerOp(name, machine, action == CRYPT_NEWKEYSET ? ContainerOp::Create : ContainerOp::Open,
                                      error);
        if (error != 0) return fail(error);
    }
    *phProv = addProv(std::move(prov));
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags) {
    if (!removeProv(hProv)) return fail(ERROR_INVALID_PARAMETER);
    // Released all the same, as Windows does.
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    return TRUE;
}

BOOL CryptGetProvParam(HCRYPTPROV hProv, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags) {
    if (pdwDataLen == nullptr) return fail(ERROR_INVALID_PARAMETER);
    auto prov = findProv(hProv);
    if (!prov) return fail(ERROR_INVALID_PARAMETER);
    const ProviderInfo& info = *prov->info;

    if (dwParam == PP_ENUMALGS) {
        if (dwFlags & ~static_cast<DWORD>(CRYPT_FIRST | CRYPT_NEXT)) return fail(NTE_BAD_FLAGS);
        std::lock_guard lock(prov->mu);
        if (dwFlags & CRYPT_FIRST) prov->enumCursor = 0;
        const std::size_t index = prov->enumCursor;
        if (index >= info.algorithms.size()) return fail(ERROR_NO_MORE_ITEMS);
        const AlgorithmEntry& a = info.algorithms[index];
        PROV_ENUMALGS entry{};
        entry.aiAlgid = a.id;
        entry.dwBitLen = a.defaultBits;
        entry.dwNameLen = static_cast<DWORD>(std::strlen(a.name) + 1);
        std::memcpy(entry.szName, a.name, entry.dwNameLen);
        static_assert(sizeof(PROV_ENUMALGS) == 32);
        if (!copyOut(pbData, pdwDataLen, &entry, sizeof entry)) return FALSE;
        if (pbData != nullptr) prov->enumCursor = index + 1;
        return TRUE;
    }
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    switch (dwParam) {
        case PP_NAME:
            return copyOut(pbData, pdwDataLen, info.name, static_cast<DWORD>(std::strlen(info.name) + 1));
        case PP_CONTAINER: {
            const std::string& name = prov->container->name;
            return copyOut(pbData, pdwDataLen, name.c_str(), static_cast<DWORD>(name.size() + 1));
        }
        case PP_VERSION: return dwordOut(pbData, pdwDataLen, kProviderVersion);
        case PP_PROVTYPE: return dwordOut(pbData, pdwDataLen, PROV_RSA_FULL);
        case PP_IMPTYPE: return dwordOut(pbData, pdwDataLen, kImplSoftware);
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptGenRandom(HCRYPTPROV hProv, DWORD dwLen, BYTE* pbBuffer) {
    if (!findProv(hProv)) return fail(ERROR_INVALID_PARAMETER);
    if (pbBuffer == nullptr && dwLen != 0) return fail(ERROR_INVALID_PARAMETER);
    if (!vlt::crypt::ossl::randomBytes(pbBuffer, dwLen)) return fail(NTE_FAIL);
    return TRUE;
}

// --- hashes --------------------------------------------------------------------------------

BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY /*hKey: only keyed hashes use it*/, DWORD dwFlags,
                     HCRYPTHASH* phHash) {
    if (phHash == nullptr || !findProv(hProv)) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    if (Algid != CALG_MD5 && Algid != CALG_MD2) return fail(NTE_BAD_ALGID);
    auto hash = std::make_shared<HashObj>();
    hash->alg = Algid;
    if (Algid == CALG_MD5) {
        hash->md5 = std::make_unique<vlt::crypt::ossl::Md5>();
        if (!hash->md5->ok()) return fail(NTE_FAIL);
    }
    const ULONG_PTR h = addHash(hProv, std::move(hash));
    if (h == 0) return fail(ERROR_INVALID_PARAMETER);
    *phHash = h;
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags) {
    auto hash = findHash(hHash);
    if (!hash || (pbData == nullptr && dwDataLen != 0)) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    const HRESULT error = hashData(*hash, pbData, dwDataLen);
    return error != 0 ? fail(error) : TRUE;
}

BOOL CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags) {
    if (pdwDataLen == nullptr) return fail(ERROR_INVALID_PARAMETER);
    auto hash = findHash(hHash);
    if (!hash) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    std::lock_guard lock(hash->mu);
    switch (dwParam) {
        case HP_ALGID: return dwordOut(pbData, pdwDataLen, hash->alg);
        case HP_HASHSIZE: return dwordOut(pbData, pdwDataLen, sizeof hash->value);
        case HP_HASHVAL:
            // Only handing out the value closes the hash; asking for its size does not.
            if (pbData != nullptr && *pdwDataLen >= sizeof hash->value)
                if (const HRESULT error = finishHash(*hash); error != 0) return fail(error);
            return copyOut(pbData, pdwDataLen, hash->value, sizeof hash->value);
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptDestroyHash(HCRYPTHASH hHash) {
    if (!removeHash(hHash)) return fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// --- keys ----------------------------------------------------------------------------------

BOOL CryptGenKey(HCRYPTPROV hProv, ALG_ID Algid, DWORD dwFlags, HCRYPTKEY* phKey) {
    auto prov = findProv(hProv);
    if (phKey == nullptr || !prov) return fail(ERROR_INVALID_PARAMETER);
    const ProviderInfo& info = *prov->info;
    const DWORD flags = dwFlags & 0xFFFF;
    const DWORD requested = dwFlags >> 16;
    if (flags & ~kKeyFlags) return fail(NTE_BAD_FLAGS);
    if ((flags & CRYPT_CREATE_SALT) && (flags & CRYPT_NO_SALT)) return fail(NTE_BAD_FLAGS);

    if (const ALG_ID pairAlg = pairAlgOf(Algid); pairAlg != 0) {
        const DWORD bits = requested != 0 ? requested : exchangeKeyBits(info.kind);
        if (bits < info.rsa.min || bits > info.rsa.max || bits % 8 != 0) return fail(NTE_BAD_FLAGS);
        auto data = std::make_shared<RsaKeyData>();
        if (!vlt::crypt::ossl::RsaKey::generate(bits, data->key)) return fail(NTE_FAIL);
        data->bitlen = bits;
        data->alg = pairAlg;
        data->hasPrivate = true;
        data->exportable = (flags & CRYPT_EXPORTABLE) != 0;
        install(*prov->container, data);
        return publish(hProv, rsaKeyObj(info, data), phKey);
    }
    if (Algid != CALG_RC2 && Algid != CALG_RC4) return fail(NTE_BAD_ALGID);
    const DWORD bits = sessionBits(info, Algid, requested);
    if (bits == 0) return fail(NTE_BAD_FLAGS);
    std::vector<BYTE> salt;
    if (!saltFor(info, bits, flags, nullptr, salt)) return fail(NTE_BAD_FLAGS);
    SecretBytes keyBytes(bits / 8);
    if (!vlt::crypt::ossl::randomBytes(keyBytes.bytes().data(), keyBytes.bytes().size())) return fail(NTE_FAIL);
    return publish(hProv, makeSession(info, Algid, keyBytes.bytes().data(), bits / 8, std::move(salt), permsFor(flags)),
                   phKey);
}

BOOL CryptDeriveKey(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTHASH hBaseData, DWORD dwFlags, HCRYPTKEY* phKey) {
    auto prov = findProv(hProv);
    auto hash = findHash(hBaseData);
    if (phKey == nullptr || !prov || !hash) return fail(ERROR_INVALID_PARAMETER);
    const ProviderInfo& info = *prov->info;
    const DWORD flags = dwFlags & 0xFFFF;
    if (flags & ~kKeyFlags) return fail(NTE_BAD_FLAGS);
    if ((flags & CRYPT_CREATE_SALT) && (flags & CRYPT_NO_SALT)) return fail(NTE_BAD_FLAGS);
    if (Algid != CALG_RC2 && Algid != CALG_RC4) return fail(NTE_BAD_ALGID);
    const DWORD bits = sessionBits(info, Algid, dwFlags >> 16);
    if (bits == 0) return fail(NTE_BAD_FLAGS);

    SecretBytes value(sizeof hash->value);
    {
        // Deriving closes the hash; its value stays readable.
        std::lock_guard lock(hash->mu);
        if (const HRESULT error = finishHash(*hash); error != 0) return fail(error);
        std::memcpy(value.bytes().data(), hash->value, sizeof hash->value);
    }
    std::vector<BYTE> salt;
    if (!saltFor(info, bits, flags, value.bytes().data(), salt)) return fail(NTE_BAD_FLAGS);
    return publish(hProv, makeSession(info, Algid, value.bytes().data(), bits / 8, std::move(salt), permsFor(flags)),
                   phKey);
}

BOOL CryptDestroyKey(HCRYPTKEY hKey) {
    if (!removeKey(hKey)) return fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// An exact copy: key, parameters and the position inside a message; the two go on independently.
BOOL CryptDuplicateKey(HCRYPTKEY hKey, DWORD* pdwReserved, DWORD dwFlags, HCRYPTKEY* phKey) {
    auto key = findKey(hKey);
    if (phKey == nullptr || pdwReserved != nullptr || !key) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    auto copy = std::make_shared<KeyObj>();
    ULONG_PTR owner = 0;
    {
        KeyObj& k = *key;
        std::lock_guard lock(k.mu);
        owner = k.owner;
        copy->info = k.info;
        copy->alg = k.alg;
        copy->perms = k.perms;
        copy->key = k.key.copy();
        copy->salt = k.salt.copy();
        copy->effectiveBits = k.effectiveBits;
        std::memcpy(copy->iv, k.iv, sizeof k.iv);
        copy->mode = k.mode;
        if (k.scheduled && !copy->cipher.copyFrom(k.cipher)) return fail(NTE_FAIL);
        copy->scheduled = k.scheduled;
        copy->atIv = k.atIv;
        copy->inMessage = k.inMessage;
        std::memcpy(copy->chain, k.chain, sizeof k.chain);
        copy->rsa = k.rsa;
    }
    return publish(owner, std::move(copy), phKey);
}

BOOL CryptGetUserKey(HCRYPTPROV hProv, DWORD dwKeySpec, HCRYPTKEY* phUserKey) {
    auto prov = findProv(hProv);
    if (phUserKey == nullptr || !prov) return fail(ERROR_INVALID_PARAMETER);
    if (dwKeySpec != AT_KEYEXCHANGE && dwKeySpec != AT_SIGNATURE) return fail(NTE_BAD_KEY);
    RsaRef data;
    {
        std::lock_guard lock(prov->container->mu);
        data = dwKeySpec == AT_KEYEXCHANGE ? prov->container->exchange : prov->container->signature;
    }
    if (!data) return fail(NTE_NO_KEY);
    return publish(hProv, rsaKeyObj(*prov->info, std::move(data)), phUserKey);
}

BOOL CryptSetKeyParam(HCRYPTKEY hKey, DWORD dwParam, const BYTE* pbData, DWORD dwFlags) {
    auto key = findKey(hKey);
    if (!key || pbData == nullptr) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    KeyObj& k = *key;
    std::lock_guard lock(k.mu);
    DWORD value = 0;
    std::memcpy(&value, pbData, sizeof value);  // every DWORD parameter; KP_IV/KP_SALT read their own
    if (dwParam == KP_PERMISSIONS) {
        // Permissions can be given up, never gained: no key becomes exportable afterwards.
        if ((value & CRYPT_EXPORT) && !(k.perms & CRYPT_EXPORT)) return fail(NTE_BAD_DATA);
        k.perms = value;
        return TRUE;
    }
    if (!k.symmetric()) return fail(NTE_BAD_TYPE);
    const bool rc2 = k.alg == CALG_RC2;
    switch (dwParam) {
        case KP_IV:
            if (!rc2) return fail(NTE_BAD_TYPE);
            std::memcpy(k.iv, pbData, sizeof k.iv);
            endMessage(k);
            return TRUE;
        case KP_SALT:
            // As many bytes as the key's salt has; a key without salt keeps none.
            if (!k.salt.bytes().empty()) {
                std::memcpy(k.salt.bytes().data(), pbData, k.salt.bytes().size());
                k.scheduled = false;
            }
            return TRUE;
        case KP_MODE:
            if (!rc2) return fail(NTE_BAD_TYPE);
            if (value != CRYPT_MODE_CBC && value != CRYPT_MODE_ECB) return fail(NTE_BAD_DATA);
            k.mode = value;
            k.scheduled = false;
            return TRUE;
        case KP_PADDING:
            if (value != PKCS5_PADDING) return fail(NTE_BAD_DATA);
            return TRUE;
        case KP_EFFECTIVE_KEYLEN:
            if (!rc2) return fail(NTE_BAD_TYPE);
            if (value == 0 || value > 1024 || value > k.info->rc2EffectiveCap) return fail(NTE_BAD_DATA);
            // Takes effect at once: the schedule is rebuilt before the next byte is processed.
            k.effectiveBits = value;
            k.scheduled = false;
            return TRUE;
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptGetKeyParam(HCRYPTKEY hKey, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags) {
    if (pdwDataLen == nullptr) return fail(ERROR_INVALID_PARAMETER);
    auto key = findKey(hKey);
    if (!key) return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    KeyObj& k = *key;
    std::lock_guard lock(k.mu);
    if (!k.symmetric()) {
        switch (dwParam) {
            case KP_ALGID: return dwordOut(pbData, pdwDataLen, k.alg);
            case KP_KEYLEN:
            case KP_BLOCKLEN: return dwordOut(pbData, pdwDataLen, k.rsa->bitlen);
            case KP_PERMISSIONS: return dwordOut(pbData, pdwDataLen, k.perms);
            default: return fail(NTE_BAD_TYPE);
        }
    }
    const bool rc2 = k.alg == CALG_RC2;
    switch (dwParam) {
        case KP_ALGID: return dwordOut(pbData, pdwDataLen, k.alg);
        case KP_KEYLEN: return dwordOut(pbData, pdwDataLen, static_cast<DWORD>(k.key.bytes().size() * 8));
        case KP_BLOCKLEN: return dwordOut(pbData, pdwDataLen, rc2 ? kRc2BlockBytes * 8 : 0);
        case KP_PERMISSIONS: return dwordOut(pbData, pdwDataLen, k.perms);
        case KP_SALT:
            return copyOut(pbData, pdwDataLen, k.salt.bytes().data(), static_cast<DWORD>(k.salt.bytes().size()));
        case KP_IV: return copyOut(pbData, pdwDataLen, k.iv, rc2 ? sizeof k.iv : 0);
        case KP_MODE: return dwordOut(pbData, pdwDataLen, k.mode);
        case KP_PADDING: return dwordOut(pbData, pdwDataLen, PKCS5_PADDING);
        case KP_EFFECTIVE_KEYLEN:
            if (!rc2) return fail(NTE_BAD_TYPE);
            return dwordOut(pbData, pdwDataLen, k.effectiveBits);
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptExportKey(HCRYPTKEY hKey, HCRYPTKEY hExpKey, DWORD dwBlobType, DWORD dwFlags, BYTE* pbData,
                    DWORD* pdwDataLen) {
    if (pdwDataLen == nullptr) return fail(ERROR_INVALID_PARAMETER);
    auto key = findKey(hKey);
    if (!key) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<KeyObj> wrap;
    if (hExpKey != 0) {
        wrap = findKey(hExpKey);
        if (!wrap) return fail(ERROR_INVALID_PARAMETER);
    }
    if (dwFlags != 0) return fail(NTE_BAD_FLAGS);
    switch (dwBlobType) {
        case PUBLICKEYBLOB: return exportPublic(*key, pbData, pdwDataLen);
        case PRIVATEKEYBLOB: return exportPrivate(*key, wrap.get(), pbData, pdwDataLen);
        case SIMPLEBLOB: return exportSimple(*key, wrap.get(), pbData, pdwDataLen);
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptImportKey(HCRYPTPROV hProv, const BYTE* pbData, DWORD dwDataLen, HCRYPTKEY hPubKey, DWORD dwFlags,
                    HCRYPTKEY* phKey) {
    auto prov = findProv(hProv);
    if (phKey == nullptr || pbData == nullptr || !prov) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<KeyObj> wrap;
    if (hPubKey != 0) {
        wrap = findKey(hPubKey);
        if (!wrap) return fail(ERROR_INVALID_PARAMETER);
    }
    if (dwFlags & ~static_cast<DWORD>(CRYPT_EXPORTABLE | CRYPT_USER_PROTECTED | CRYPT_NO_SALT)) {
        return fail(NTE_BAD_FLAGS);
    }
    if (dwDataLen < blobs::kHeaderBytes) return fail(NTE_BAD_DATA);
    const blobs::Header h = blobs::readHeader(pbData);
    if (h.version != CUR_BLOB_VERSION || h.reserved != 0) return fail(NTE_BAD_DATA);
    switch (h.type) {
        case PUBLICKEYBLOB:
        case PRIVATEKEYBLOB: {
            const ALG_ID alg = pairAlgOf(h.alg);
            if (alg == 0) return fail(NTE_BAD_ALGID);
            if (h.type == PUBLICKEYBLOB) return importPublic(hProv, *prov, pbData, dwDataLen, alg, dwFlags, phKey);
            return importPrivate(hProv, *prov, pbData, dwDataLen, wrap.get(), alg, dwFlags, phKey);
        }
        case SIMPLEBLOB: return importSimple(hProv, *prov, pbData, dwDataLen, wrap.get(), h.alg, dwFlags, phKey);
        default: return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen,
                  DWORD dwBufLen) {
    if (pdwDataLen == nullptr) return fail(ERROR_INVALID_PARAMETER);
    CipherCall call;
    HRESULT error = openCipherCall(hKey, hHash, dwFlags, CRYPT_ENCRYPT, call);
    if (error != 0) return fail(error);
    KeyObj& k = *call.key;
    const DWORD len = *pdwDataLen;
    const DWORD need = encryptedLength(k, len, Final != FALSE, error);
    if (error != 0) return fail(error);
    if (pbData == nullptr) {
        *pdwDataLen = need;
        return TRUE;
    }
    if (dwBufLen < need) {
        *pdwDataLen = need;
        return fail(ERROR_MORE_DATA);
    }
    error = hashPlain(call, pbData, len);
    if (error != 0) return fail(error);
    DWORD out = 0;
    error = encryptIn(k, pbData, len, Final != FALSE, out);
    if (error != 0) return fail(error);
    *pdwDataLen = out;
    return TRUE;
}

BOOL CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData, DWORD* pdwDataLen) {
    if (pdwDataLen == nullptr || (pbData == nullptr && *pdwDataLen != 0)) return fail(ERROR_INVALID_PARAMETER);
    CipherCall call;
    HRESULT error = openCipherCall(hKey, hHash, dwFlags, CRYPT_DECRYPT, call);
    if (error != 0) return fail(error);
    DWORD out = 0;
    error = decryptIn(*call.key, pbData, *pdwDataLen, Final != FALSE, true, out);
    if (error == 0) error = hashPlain(call, pbData, out);
    if (error != 0) return fail(error);
    *pdwDataLen = out;
    return TRUE;
}
