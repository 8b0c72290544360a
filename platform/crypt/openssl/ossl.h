// The only door to OpenSSL: MD5, RC2/RC4 without OpenSSL padding, RSA, random bytes. Everything
// runs in a library context of our own with the "legacy" (RC2, RC4) and "default" providers.
// Nothing here knows CryptoAPI; numbers cross this seam as little-endian byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/wipe.h"

namespace vlt::crypt::ossl {

// True once the library context and both providers are loaded.
bool ready();

bool randomBytes(unsigned char* out, std::size_t size);

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    bool ok() const { return m_ctx != nullptr; }
    bool update(const unsigned char* data, std::size_t size);
    bool finish(unsigned char out[16]);

private:
    void* m_ctx = nullptr;  // EVP_MD_CTX
};

enum class CipherKind { Rc2Cbc, Rc2Ecb, Rc4 };

// One cipher context per key object, set up once. The chaining value lives in the context, so
// consecutive update() calls form one message.
class Cipher {
public:
    Cipher();
    ~Cipher();
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;

    // Runs the key schedule over `schedule` (key bytes, then salt) with `rc2Bits` effective bits
    // (RC2 only) and starts a message at `iv` (8 bytes; ignored by RC4 and ECB).
    bool setKey(CipherKind kind, const unsigned char* schedule, std::size_t size, unsigned rc2Bits,
                const unsigned char* iv, bool encrypt);
    // Starts a new message with the same schedule.
    bool restart(const unsigned char* iv, bool encrypt);
    // Transforms in place; block kinds need a multiple of 8 bytes.
    bool update(unsigned char* data, std::size_t size);
    // Becomes an independent copy of `other`, schedule and chaining state included.
    bool copyFrom(const Cipher& other);

    bool encrypting() const { return m_encrypt; }

private:
    void* m_ctx = nullptr;  // EVP_CIPHER_CTX
    CipherKind m_kind = CipherKind::Rc2Cbc;
    base::SecretBytes m_schedule;
    unsigned m_bits = 0;
    bool m_encrypt = true;
    bool m_keyed = false;
};

// An RSA key in CryptoAPI terms. Numbers are little-endian magnitudes; the private ones are
// wiped when the holder goes away.
struct RsaNumbers {
    std::vector<unsigned char> n;
    std::uint32_t e = 0;
    std::vector<unsigned char> p, q, dp, dq, qinv, d;  // empty for a public key
    ~RsaNumbers();
};

class RsaKey {
public:
    RsaKey() = default;
    ~RsaKey();
    RsaKey(RsaKey&& o) noexcept : m_pkey(o.m_pkey) { o.m_pkey = nullptr; }
    RsaKey& operator=(RsaKey&& o) noexcept;
    RsaKey(const RsaKey&) = delete;
    RsaKey& operator=(const RsaKey&) = delete;

    // A new pair with public exponent 65537.
    static bool generate(unsigned bits, RsaKey& out);
    // For a private key, refuses numbers where p or q is 1 or p·q differs from n.
    static bool fromNumbers(const RsaNumbers& numbers, bool withPrivate, RsaKey& out);
    // Writes each number zero-filled to its width; false when one does not fit.
    bool toNumbers(RsaNumbers& out, std::size_t modulusBytes, std::size_t halfBytes,
                   bool withPrivate) const;

    // PKCS #1 v1.5 type 2. The ciphertext is big-endian, modulus-sized.
    bool encrypt(const unsigned char* in, std::size_t size, std::vector<unsigned char>& out) const;
    // Fails on a malformed block (implicit rejection is switched off where OpenSSL has it).
    bool decrypt(const unsigned char* in, std::size_t size, base::SecretBytes& out) const;

    std::size_t modulusBytes() const;
    bool empty() const { return m_pkey == nullptr; }
    void clear();

private:
    void* m_pkey = nullptr;  // EVP_PKEY
};

}  // namespace vlt::crypt::ossl
