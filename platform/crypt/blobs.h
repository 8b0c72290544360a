// Key BLOB layouts: BLOBHEADER, RSAPUBKEY and the RSA numbers, all little-endian.
#pragma once

#include <cstddef>
#include <vector>

#include "base/byte_codec.h"
#include "crypt/openssl/ossl.h"
#include "win32/wincrypt.h"

namespace vlt::crypt::blobs {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kRsaHeaderBytes = 20;  // BLOBHEADER + RSAPUBKEY
constexpr std::size_t kSimpleHeaderBytes = 12;  // BLOBHEADER + ALG_ID of the wrapping key
constexpr DWORD kMagicPublic = 0x31415352;  // "RSA1"
constexpr DWORD kMagicPrivate = 0x32415352;  // "RSA2"

struct Header {
    BYTE type = 0;
    BYTE version = 0;
    WORD reserved = 0;
    ALG_ID alg = 0;
};
// `p` holds at least kHeaderBytes.
Header readHeader(const BYTE* p);
void putHeader(BYTE* p, BYTE type, ALG_ID alg);

inline std::size_t modulusBytes(DWORD bitlen) { return bitlen / 8; }
inline std::size_t halfBytes(DWORD bitlen) { return (bitlen + 15) / 16; }
inline std::size_t publicSize(DWORD bitlen) { return kRsaHeaderBytes + modulusBytes(bitlen); }
inline std::size_t privateSize(DWORD bitlen) {
    return kRsaHeaderBytes + 2 * modulusBytes(bitlen) + 5 * halfBytes(bitlen);
}
// The private exponent may be cut short (its missing high bytes are zero), as Windows accepts.
inline std::size_t privateMinSize(DWORD bitlen) {
    return kRsaHeaderBytes + modulusBytes(bitlen) + 5 * halfBytes(bitlen);
}

// Reads the RSAPUBKEY and numbers of a PUBLICKEYBLOB or PRIVATEKEYBLOB (whole blob, header
// included, already checked). Returns 0 or NTE_BAD_DATA.
HRESULT parseRsa(const BYTE* blob, std::size_t size, bool isPrivate, DWORD& bitlen, ossl::RsaNumbers& out);
// Writes a whole PUBLICKEYBLOB or PRIVATEKEYBLOB of publicSize/privateSize bytes.
void writeRsa(BYTE* out, bool isPrivate, ALG_ID alg, DWORD bitlen, const ossl::RsaNumbers& numbers);

}  // namespace vlt::crypt::blobs
