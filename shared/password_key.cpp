#include "shared/password_key.h"

#include "base/wipe.h"
#include "shared/crypt_handles.h"

namespace vlt {

bool derivePasswordKey(HCRYPTPROV prov, std::string_view passwordAnsi, DWORD flags, HCRYPTKEY* key) {
    CryptHash hash;
    if (!CryptCreateHash(prov, CALG_MD5, 0, 0, hash.out())) return false;
    if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(passwordAnsi.data()),
                       static_cast<DWORD>(passwordAnsi.size()), 0))
        return false;
    return CryptDeriveKey(prov, CALG_RC2, hash.get(), flags, key) != FALSE;
}

bool importWrappedPrivateKey(HCRYPTPROV prov, Provider provider, ByteView wrapped, HCRYPTKEY passwordKey,
                             HCRYPTKEY* key) {
    const auto tryImport = [&] {
        return CryptImportKey(prov, wrapped.data(), static_cast<DWORD>(wrapped.size()), passwordKey,
                              CRYPT_EXPORTABLE, key) != FALSE;
    };
    if (tryImport()) return true;
    if (provider != Provider::Enhanced) return false;
    const DWORD legacyBits = 40;
    if (!CryptSetKeyParam(passwordKey, KP_EFFECTIVE_KEYLEN, reinterpret_cast<const BYTE*>(&legacyBits), 0))
        return false;
    return tryImport();
}

namespace {

template <typename Vector>
bool exportInto(HCRYPTKEY key, HCRYPTKEY wrappingKey, DWORD blobType, Vector& out) {
    base::secureWipe(out);
    DWORD size = 0;
    if (!CryptExportKey(key, wrappingKey, blobType, 0, nullptr, &size)) return false;
    out.resize(size);
    if (!CryptExportKey(key, wrappingKey, blobType, 0, out.data(), &size)) {
        base::secureWipe(out);
        return false;
    }
    if (size < out.size()) base::secureWipe(out.data() + size, out.size() - size);
    out.resize(size);
    return true;
}

}  // namespace

bool exportKeyBlob(HCRYPTKEY key, HCRYPTKEY wrappingKey, DWORD blobType, Bytes& out) {
    return exportInto(key, wrappingKey, blobType, out);
}

bool exportKeyBlob(HCRYPTKEY key, HCRYPTKEY wrappingKey, DWORD blobType, base::SecretBytes& out) {
    return exportInto(key, wrappingKey, blobType, out.bytes());
}

}  // namespace vlt
