// The PasswordKey: RC2 derived with CryptDeriveKey from an MD5 hash of the password bytes, in
// the provider of the key it wraps, at that provider's default RC2 length.
#pragma once

#include <string>
#include <string_view>

#include "base/byte_codec.h"
#include "base/wipe.h"
#include "shared/algorithm_word.h"
#include "win32/wincrypt.h"

namespace vlt {

// passwordAnsi: the password as typed, in the ANSI code page, without terminator. flags: 0 when
// creating a profile, CRYPT_EXPORTABLE for everything later (both give the same key).
bool derivePasswordKey(HCRYPTPROV prov, std::string_view passwordAnsi, DWORD flags, HCRYPTKEY* key);

// Imports a PRIVATEKEYBLOB wrapped under passwordKey, with CRYPT_EXPORTABLE. An Enhanced blob
// that does not import at the key's default 128 effective RC2 bits is tried again at 40, which
// is what Windows before XP SP1 wrote; this changes passwordKey's effective length.
bool importWrappedPrivateKey(HCRYPTPROV prov, Provider provider, ByteView wrapped, HCRYPTKEY passwordKey,
                             HCRYPTKEY* key);

// Exports a key blob (size query, then the data). Empty on failure.
bool exportKeyBlob(HCRYPTKEY key, HCRYPTKEY wrappingKey, DWORD blobType, Bytes& out);
// The same for a plain private key: it goes straight into locked memory.
bool exportKeyBlob(HCRYPTKEY key, HCRYPTKEY wrappingKey, DWORD blobType, base::SecretBytes& out);

}  // namespace vlt
