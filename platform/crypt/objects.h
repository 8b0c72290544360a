// Provider contexts, keys, hashes and key containers, and the handle tables that hand them out.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "base/wipe.h"
#include "crypt/catalog.h"
#include "crypt/md2.h"
#include "crypt/openssl/ossl.h"
#include "win32/wincrypt.h"

namespace vlt::crypt {

// One RSA key: a container's pair or a public key on its own. Emptied when its container is
// deleted, so handles still open on it fail instead of using the wiped key.
struct RsaKeyData {
    std::mutex mu;
    ossl::RsaKey key;
    DWORD bitlen = 0;
    ALG_ID alg = CALG_RSA_KEYX;
    bool hasPrivate = false;
    bool exportable = false;  // CRYPT_EXPORTABLE when made or imported
};
using RsaRef = std::shared_ptr<RsaKeyData>;

// Held in process memory, shared by both providers, found by case-insensitive name.
struct Container {
    explicit Container(std::string n) : name(std::move(n)) {}
    const std::string name;
    std::mutex mu;
    RsaRef exchange;
    RsaRef signature;

    void wipe();
};

struct ProvCtx {
    const ProviderInfo* info = nullptr;
    std::shared_ptr<Container> container;
    bool verify = false;
    std::mutex mu;  // the PP_ENUMALGS cursor
    std::size_t enumCursor = 0;
    // Handles created through this context; guarded by the table lock.
    std::unordered_set<ULONG_PTR> keys;
    std::unordered_set<ULONG_PTR> hashes;
};

struct KeyObj {
    std::mutex mu;
    ULONG_PTR owner = 0;  // set by addKey
    const ProviderInfo* info = nullptr;
    ALG_ID alg = 0;
    DWORD perms = 0;

    // RC2 / RC4
    base::SecretBytes key;
    base::SecretBytes salt;
    DWORD effectiveBits = 0;
    BYTE iv[8] = {};
    DWORD mode = CRYPT_MODE_CBC;
    ossl::Cipher cipher;
    bool scheduled = false;  // the cipher holds the schedule of key, salt, bits and mode
    bool atIv = false;       // the cipher sits at the start of a message
    bool inMessage = false;  // chaining carries over from the previous call
    BYTE chain[8] = {};      // last ciphertext block so far, for a change of direction

    // RSA
    RsaRef rsa;

    bool symmetric() const { return !rsa; }
};

struct HashObj {
    std::mutex mu;
    ULONG_PTR owner = 0;  // set by addHash
    ALG_ID alg = 0;
    std::unique_ptr<ossl::Md5> md5;
    Md2 md2;
    bool finished = false;
    bool broken = false;  // finishing failed: the hash has no value, and never will
    BYTE value[16] = {};
};

// Thread-safe tables. Handles count up from a large start and are never reused, so 0 and stale
// values never find anything.
std::shared_ptr<ProvCtx> findProv(ULONG_PTR h);
std::shared_ptr<KeyObj> findKey(ULONG_PTR h);
std::shared_ptr<HashObj> findHash(ULONG_PTR h);

ULONG_PTR addProv(std::shared_ptr<ProvCtx> prov);
// 0 when the owning context went away meanwhile.
ULONG_PTR addKey(ULONG_PTR owner, std::shared_ptr<KeyObj> key);
ULONG_PTR addHash(ULONG_PTR owner, std::shared_ptr<HashObj> hash);

// Removes the context with its keys and hashes; false when unknown.
bool removeProv(ULONG_PTR h);
bool removeKey(ULONG_PTR h);
bool removeHash(ULONG_PTR h);

enum class ContainerOp { Open, Create, Delete };
// Open: the container or NTE_BAD_KEYSET; Create: a new one or NTE_EXISTS; Delete: wipes it,
// returns null, or NTE_BAD_KEYSET.
std::shared_ptr<Container> containerOp(const std::string& name, bool machine, ContainerOp op, HRESULT& error);

}  // namespace vlt::crypt
