#include "crypt/openssl/ossl.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/provider.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <climits>
#include <cstring>
#include <memory>

namespace vlt::crypt::ossl {
namespace {

struct Library {
    OSSL_LIB_CTX* ctx = nullptr;
    EVP_MD* md5 = nullptr;
    EVP_CIPHER* rc2Cbc = nullptr;
    EVP_CIPHER* rc2Ecb = nullptr;
    EVP_CIPHER* rc4 = nullptr;
    bool ok = false;
};

// Built once and never torn down: key objects may outlive static destruction order, and OpenSSL
// runs its own cleanup at exit.
const Library& library() {
    static const Library* lib = [] {
        auto* l = new Library;
        l->ctx = OSSL_LIB_CTX_new();
        if (l->ctx == nullptr) return l;
        // RC2 and RC4 live in "legacy"; loading any provider switches off the implicit default.
        if (OSSL_PROVIDER_load(l->ctx, "legacy") == nullptr) return l;
        if (OSSL_PROVIDER_load(l->ctx, "default") == nullptr) return l;
        l->md5 = EVP_MD_fetch(l->ctx, "MD5", nullptr);
        l->rc2Cbc = EVP_CIPHER_fetch(l->ctx, "RC2-CBC", nullptr);
        l->rc2Ecb = EVP_CIPHER_fetch(l->ctx, "RC2-ECB", nullptr);
        l->rc4 = EVP_CIPHER_fetch(l->ctx, "RC4", nullptr);
        l->ok = l->md5 && l->rc2Cbc && l->rc2Ecb && l->rc4;
        return l;
    }();
    return *lib;
}

EVP_MD_CTX* mdCtx(void* p) { return static_cast<EVP_MD_CTX*>(p); }
EVP_CIPHER_CTX* cipherCtx(void* p) { return static_cast<EVP_CIPHER_CTX*>(p); }
EVP_PKEY* pkey(void* p) { return static_cast<EVP_PKEY*>(p); }

struct BnDeleter {
    void operator()(BIGNUM* b) const { BN_clear_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDeleter>;

Bn fromLe(const std::vector<unsigned char>& bytes, bool secret) {
    Bn bn(secret ? BN_secure_new() : BN_new());
    if (!bn) return bn;
    if (BN_lebin2bn(bytes.data(), static_cast<int>(bytes.size()), bn.get()) == nullptr) bn.reset();
    return bn;
}

bool toLe(const EVP_PKEY* key, const char* name, std::vector<unsigned char>& out, std::size_t width) {
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &raw)) return false;
    Bn bn(raw);
    out.assign(width, 0);
    return BN_bn2lebinpad(bn.get(), out.data(), static_cast<int>(width)) == static_cast<int>(width);
}

struct PkeyCtxDeleter {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxDeleter>;

}  // namespace

bool ready() { return library().ok; }

bool randomBytes(unsigned char* out, std::size_t size) {
    if (size == 0) return true;
    if (!ready()) return false;
    return RAND_bytes_ex(library().ctx, out, size, 0) == 1;
}

// --- MD5 -------------------------------------------------------------------------------------

Md5::Md5() {
    if (!ready()) return;
    EVP_MD_CTX* c = EVP_MD_CTX_new();
    if (c != nullptr && EVP_DigestInit_ex2(c, library().md5, nullptr) == 1) {
        m_ctx = c;
    } else {
        EVP_MD_CTX_free(c);
    }
}

Md5::~Md5() { EVP_MD_CTX_free(mdCtx(m_ctx)); }

bool Md5::update(const unsigned char* data, std::size_t size) {
    return m_ctx != nullptr && EVP_DigestUpdate(mdCtx(m_ctx), data, size) == 1;
}

bool Md5::finish(unsigned char out[16]) {
    unsigned int len = 0;
    return m_ctx != nullptr && EVP_DigestFinal_ex(mdCtx(m_ctx), out, &len) == 1 && len == 16;
}

// --- RC2 / RC4 -------------------------------------------------------------------------------

Cipher::Cipher() = default;

Cipher::~Cipher() { EVP_CIPHER_CTX_free(cipherCtx(m_ctx)); }

bool Cipher::setKey(CipherKind kind, const unsigned char* schedule, std::size_t size, unsigned rc2Bits,
                    const unsigned char* iv, bool encrypt) {
    m_keyed = false;
    if (!ready() || size == 0 || size > 256) return false;
    if (m_ctx == nullptr) {
        m_ctx = EVP_CIPHER_CTX_new();
        if (m_ctx == nullptr) return false;
    }
    const Library& lib = library();
    const EVP_CIPHER* cipher = kind == CipherKind::Rc2Cbc ? lib.rc2Cbc : kind == CipherKind::Rc2Ecb ? lib.rc2Ecb : lib.rc4;
    EVP_CIPHER_CTX* c = cipherCtx(m_ctx);
    const int enc = encrypt ? 1 : 0;
    // Key length and effective bits must be in place before the schedule runs.
    if (EVP_CipherInit_ex2(c, cipher, nullptr, nullptr, enc, nullptr) != 1) return false;
    if (EVP_CIPHER_CTX_set_key_length(c, static_cast<int>(size)) != 1) return false;
    if (kind != CipherKind::Rc4) {
        std::size_t bits = rc2Bits;
        OSSL_PARAM params[] = {OSSL_PARAM_construct_size_t(OSSL_CIPHER_PARAM_RC2_KEYBITS, &bits),
                               OSSL_PARAM_construct_end()};
        if (EVP_CIPHER_CTX_set_params(c, params) != 1) return false;
    }
    const unsigned char* startIv = kind == CipherKind::Rc2Cbc ? iv : nullptr;
    if (EVP_CipherInit_ex2(c, nullptr, schedule, startIv, enc, nullptr) != 1) return false;
    EVP_CIPHER_CTX_set_padding(c, 0);  // PKCS #5 belongs to the caller

    if (m_schedule.bytes().data() != schedule) {
        m_schedule = base::SecretBytes(schedule, size);
    }
    m_kind = kind;
    m_bits = rc2Bits;
    m_encrypt = encrypt;
    m_keyed = true;
    return true;
}

bool Cipher::restart(const unsigned char* iv, bool encrypt) {
    if (!m_keyed) return false;
    // A stream cipher's state is its schedule, and a direction change is rare: key again.
    if (m_kind == CipherKind::Rc4 || encrypt != m_encrypt) {
        const auto& s = m_schedule.bytes();
        return setKey(m_kind, s.data(), s.size(), m_bits, iv, encrypt);
    }
    if (m_kind == CipherKind::Rc2Ecb) return true;
    return EVP_CipherInit_ex2(cipherCtx(m_ctx), nullptr, nullptr, iv, encrypt ? 1 : 0, nullptr) == 1;
}

bool Cipher::update(unsigned char* data, std::size_t size) {
    if (!m_keyed) return false;
    EVP_CIPHER_CTX* c = cipherCtx(m_ctx);
    while (size > 0) {
        const int step = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        int out = 0;
        if (EVP_CipherUpdate(c, data, &out, data, step) != 1 || out != step) return false;
        data += step;
        size -= static_cast<std::size_t>(step);
    }
    return true;
}

bool Cipher::copyFrom(const Cipher& other) {
    m_keyed = false;
    if (other.m_keyed) {
        if (m_ctx == nullptr) m_ctx = EVP_CIPHER_CTX_new();
        if (m_ctx == nullptr || EVP_CIPHER_CTX_copy(cipherCtx(m_ctx), cipherCtx(other.m_ctx)) != 1) return false;
    }
    m_schedule = other.m_schedule.copy();
    m_kind = other.m_kind;
    m_bits = other.m_bits;
    m_encrypt = other.m_encrypt;
    m_keyed = other.m_keyed;
    return true;
}

// --- RSA -------------------------------------------------------------------------------------

RsaNumbers::~RsaNumbers() {
    for (auto* v : {&p, &q, &dp, &dq, &qinv, &d}) base::secureWipe(*v);
}

RsaKey::~RsaKey() { clear(); }

RsaKey& RsaKey::operator=(RsaKey&& o) noexcept {
    if (this != &o) {
        clear();
        m_pkey = o.m_pkey;
        o.m_pkey = nullptr;
    }
    return *this;
}

void RsaKey::clear() {
    EVP_PKEY_free(pkey(m_pkey));  // OpenSSL clears the private numbers as it frees them
    m_pkey = nullptr;
}

std::size_t RsaKey::modulusBytes() const {
    if (m_pkey == nullptr) return 0;
    const int size = EVP_PKEY_get_size(pkey(m_pkey));
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

bool RsaKey::generate(unsigned bits, RsaKey& out) {
    if (!ready()) return false;
    PkeyCtx pc(EVP_PKEY_CTX_new_from_name(library().ctx, "RSA", nullptr));
    if (!pc || EVP_PKEY_keygen_init(pc.get()) != 1) return false;
    if (EVP_PKEY_CTX_set_rsa_keygen_bits(pc.get(), static_cast<int>(bits)) != 1) return false;
    Bn e(BN_new());
    if (!e || BN_set_word(e.get(), 65537) != 1) return false;
    if (EVP_PKEY_CTX_set1_rsa_keygen_pubexp(pc.get(), e.get()) != 1) return false;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_generate(pc.get(), &key) != 1) return false;
    out.clear();
    out.m_pkey = key;
    return true;
}

bool RsaKey::fromNumbers(const RsaNumbers& numbers, bool withPrivate, RsaKey& out) {
    if (!ready() || numbers.e == 0) return false;
    Bn n = fromLe(numbers.n, false);
    Bn e(BN_new());
    if (!n || !e || BN_is_zero(n.get()) || BN_set_word(e.get(), numbers.e) != 1) return false;

    Bn p, q, dp, dq, qinv, d;
    if (withPrivate) {
        p = fromLe(numbers.p, true);
        q = fromLe(numbers.q, true);
        dp = fromLe(numbers.dp, true);
        dq = fromLe(numbers.dq, true);
        qinv = fromLe(numbers.qinv, true);
        d = fromLe(numbers.d, true);
        if (!p || !q || !dp || !dq || !qinv || !d) return false;
        if (BN_is_zero(p.get()) || BN_is_one(p.get()) || BN_is_zero(q.get()) || BN_is_one(q.get())) return false;
        BN_CTX* bctx = BN_CTX_new_ex(library().ctx);
        Bn product(BN_new());
        const bool same = bctx != nullptr && product && BN_mul(product.get(), p.get(), q.get(), bctx) == 1 &&
                          BN_cmp(product.get(), n.get()) == 0;
        BN_CTX_free(bctx);
        if (!same) return false;
    }

    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    if (bld == nullptr) return false;
    bool pushed = OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n.get()) == 1 &&
                  OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e.get()) == 1;
    if (withPrivate) {
        pushed = pushed && OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_D, d.get()) == 1 &&
                 OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_FACTOR1, p.get()) == 1 &&
                 OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_FACTOR2, q.get()) == 1 &&
                 OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_EXPONENT1, dp.get()) == 1 &&
                 OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_EXPONENT2, dq.get()) == 1 &&
                 OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, qinv.get()) == 1;
    }
    OSSL_PARAM* params = pushed ? OSSL_PARAM_BLD_to_param(bld) : nullptr;
    OSSL_PARAM_BLD_free(bld);
    if (params == nullptr) return false;

    EVP_PKEY* key = nullptr;
    PkeyCtx pc(EVP_PKEY_CTX_new_from_name(library().ctx, "RSA", nullptr));
    const bool built = pc && EVP_PKEY_fromdata_init(pc.get()) == 1 &&
                       EVP_PKEY_fromdata(pc.get(), &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                                         params) == 1;
    OSSL_PARAM_free(params);  // private numbers came from secure BIGNUMs, so this clears them
    if (!built) return false;
    out.clear();
    out.m_pkey = key;
    return true;
}

bool RsaKey::toNumbers(RsaNumbers& out, std::size_t modulusBytes, std::size_t halfBytes, bool withPrivate) const {
    const EVP_PKEY* key = pkey(m_pkey);
    if (key == nullptr) return false;
    if (!toLe(key, OSSL_PKEY_PARAM_RSA_N, out.n, modulusBytes)) return false;
    BIGNUM* rawE = nullptr;
    if (!EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &rawE)) return false;
    Bn e(rawE);
    if (BN_num_bits(e.get()) > 32) return false;
    out.e = static_cast<std::uint32_t>(BN_get_word(e.get()));
    if (!withPrivate) return true;
    return toLe(key, OSSL_PKEY_PARAM_RSA_FACTOR1, out.p, halfBytes) &&
           toLe(key, OSSL_PKEY_PARAM_RSA_FACTOR2, out.q, halfBytes) &&
           toLe(key, OSSL_PKEY_PARAM_RSA_EXPONENT1, out.dp, halfBytes) &&
           toLe(key, OSSL_PKEY_PARAM_RSA_EXPONENT2, out.dq, halfBytes) &&
           toLe(key, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, out.qinv, halfBytes) &&
           toLe(key, OSSL_PKEY_PARAM_RSA_D, out.d, modulusBytes);
}

bool RsaKey::encrypt(const unsigned char* in, std::size_t size, std::vector<unsigned char>& out) const {
    if (m_pkey == nullptr) return false;
    PkeyCtx pc(EVP_PKEY_CTX_new_from_pkey(library().ctx, pkey(m_pkey), nullptr));
    if (!pc || EVP_PKEY_encrypt_init(pc.get()) != 1) return false;
    if (EVP_PKEY_CTX_set_rsa_padding(pc.get(), RSA_PKCS1_PADDING) != 1) return false;
    std::size_t len = 0;
    if (EVP_PKEY_encrypt(pc.get(), nullptr, &len, in, size) != 1) return false;
    out.assign(len, 0);
    if (EVP_PKEY_encrypt(pc.get(), out.data(), &len, in, size) != 1) return false;
    out.resize(len);
    return len == modulusBytes();
}

bool RsaKey::decrypt(const unsigned char* in, std::size_t size, base::SecretBytes& out) const {
    if (m_pkey == nullptr || size != modulusBytes()) return false;
    PkeyCtx pc(EVP_PKEY_CTX_new_from_pkey(library().ctx, pkey(m_pkey), nullptr));
    if (!pc || EVP_PKEY_decrypt_init(pc.get()) != 1) return false;
    if (EVP_PKEY_CTX_set_rsa_padding(pc.get(), RSA_PKCS1_PADDING) != 1) return false;
#ifdef OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION
    // A block for somebody else's key must fail, not yield a random key.
    unsigned int implicit = 0;
    OSSL_PARAM params[] = {OSSL_PARAM_construct_uint(OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION, &implicit),
                           OSSL_PARAM_construct_end()};
    if (EVP_PKEY_CTX_set_params(pc.get(), params) != 1) return false;
#endif
    auto& buf = out.bytes();
    base::secureWipe(buf);
    buf.assign(size, 0);
    std::size_t len = size;
    if (EVP_PKEY_decrypt(pc.get(), buf.data(), &len, in, size) != 1) {
        base::secureWipe(buf);
        return false;
    }
    base::secureWipe(buf.data() + len, size - len);
    buf.resize(len);
    return true;
}

}  // namespace vlt::crypt::ossl
