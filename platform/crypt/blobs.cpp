#include "crypt/blobs.h"

#include <cstring>

#include "crypt/catalog.h"

namespace vlt::crypt::blobs {

Header readHeader(const BYTE* p) {
    Header h;
    h.type = p[0];
    h.version = p[1];
    h.reserved = loadLE<WORD>(p + 2);
    h.alg = loadLE<DWORD>(p + 4);
    return h;
}

void putHeader(BYTE* p, BYTE type, ALG_ID alg) {
    p[0] = type;
    p[1] = CUR_BLOB_VERSION;
    storeLE<WORD>(p + 2, 0);
    storeLE<DWORD>(p + 4, alg);
}

HRESULT parseRsa(const BYTE* blob, std::size_t size, bool isPrivate, DWORD& bitlen, ossl::RsaNumbers& out) {
    if (size < kRsaHeaderBytes) return NTE_BAD_DATA;
    const DWORD magic = loadLE<DWORD>(blob + 8);
    bitlen = loadLE<DWORD>(blob + 12);
    out.e = loadLE<DWORD>(blob + 16);
    if (magic != (isPrivate ? kMagicPrivate : kMagicPublic)) return NTE_BAD_DATA;
    if (bitlen % 8 != 0 || bitlen < kMinRsaBlobBits || bitlen > kMaxRsaBlobBits || out.e == 0) return NTE_BAD_DATA;
    if (size < (isPrivate ? privateMinSize(bitlen) : publicSize(bitlen))) return NTE_BAD_DATA;

    const std::size_t mod = modulusBytes(bitlen);
    const std::size_t half = halfBytes(bitlen);
    const BYTE* p = blob + kRsaHeaderBytes;
    const BYTE* end = blob + size;
    auto take = [&](std::vector<unsigned char>& v, std::size_t width) {
        const std::size_t have = static_cast<std::size_t>(end - p) < width ? static_cast<std::size_t>(end - p) : width;
        v.assign(width, 0);
        std::memcpy(v.data(), p, have);
        p += have;
    };
    take(out.n, mod);
    if (isPrivate) {
        take(out.p, half);
        take(out.q, half);
        take(out.dp, half);
        take(out.dq, half);
        take(out.qinv, half);
        take(out.d, mod);
    }
    return 0;
}

void writeRsa(BYTE* out, bool isPrivate, ALG_ID alg, DWORD bitlen, const ossl::RsaNumbers& numbers) {
    putHeader(out, isPrivate ? PRIVATEKEYBLOB : PUBLICKEYBLOB, alg);
    storeLE<DWORD>(out + 8, isPrivate ? kMagicPrivate : kMagicPublic);
    storeLE<DWORD>(out + 12, bitlen);
    storeLE<DWORD>(out + 16, numbers.e);
    BYTE* p = out + kRsaHeaderBytes;
    auto put = [&](const std::vector<unsigned char>& v) {
        std::memcpy(p, v.data(), v.size());
        p += v.size();
    };
    put(numbers.n);
    if (isPrivate) {
        for (const auto* v : {&numbers.p, &numbers.q, &numbers.dp, &numbers.dq, &numbers.qinv, &numbers.d}) put(*v);
    }
}

}  // namespace vlt::crypt::blobs
