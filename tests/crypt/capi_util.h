// Small conveniences over the CryptoAPI calls for the crypt tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crypt/providers.h"
#include "support/fixtures.h"
#include "win32/winbase.h"
#include "win32/wincrypt.h"

namespace vlt::test {

using Bytes = std::vector<unsigned char>;

inline Bytes pattern(std::size_t n, unsigned start = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i + start) & 0xff);
    return b;
}

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline DWORD lastError() { return GetLastError(); }
inline DWORD code(HRESULT hr) { return static_cast<DWORD>(hr); }

// Each test starts with no containers or handles and with small generated pairs.
class CryptTest : public ::testing::Test {
protected:
    void SetUp() override {
        vlt::crypt::resetForTesting();
        vlt::crypt::setDefaultExchangeKeyBitsForTesting(512, 512);
    }
    void TearDown() override {
        vlt::crypt::resetForTesting();
        vlt::crypt::setDefaultExchangeKeyBitsForTesting(0, 0);
    }

    static HCRYPTPROV verifyContext(const char* provider) {
        HCRYPTPROV h = 0;
        EXPECT_TRUE(CryptAcquireContextA(&h, nullptr, provider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
            << std::hex << lastError();
        return h;
    }

    static HCRYPTPROV newContainer(const char* name, const char* provider) {
        HCRYPTPROV h = 0;
        EXPECT_TRUE(CryptAcquireContextA(&h, name, provider, PROV_RSA_FULL, CRYPT_NEWKEYSET))
            << std::hex << lastError();
        return h;
    }

    static HCRYPTHASH hashOf(HCRYPTPROV prov, ALG_ID alg, const Bytes& data) {
        HCRYPTHASH h = 0;
        EXPECT_TRUE(CryptCreateHash(prov, alg, 0, 0, &h)) << std::hex << lastError();
        EXPECT_TRUE(CryptHashData(h, data.data(), static_cast<DWORD>(data.size()), 0)) << std::hex << lastError();
        return h;
    }

    static Bytes hashValue(HCRYPTHASH h) {
        Bytes v(64);
        DWORD len = static_cast<DWORD>(v.size());
        EXPECT_TRUE(CryptGetHashParam(h, HP_HASHVAL, v.data(), &len, 0)) << std::hex << lastError();
        v.resize(len);
        return v;
    }

    // CryptDeriveKey over a hash of `data`; the hash is destroyed.
    static HCRYPTKEY derive(HCRYPTPROV prov, ALG_ID hashAlg, const Bytes& data, ALG_ID keyAlg, DWORD flags) {
        const HCRYPTHASH hash = hashOf(prov, hashAlg, data);
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptDeriveKey(prov, keyAlg, hash, flags, &key)) << std::hex << lastError();
        CryptDestroyHash(hash);
        return key;
    }

    static HCRYPTKEY passwordKey(HCRYPTPROV prov, const Bytes& password) {
        return derive(prov, CALG_MD5, password, CALG_RC2, 0);
    }

    // One final CryptEncrypt over the whole input.
    static Bytes encryptFinal(HCRYPTKEY key, const Bytes& plain) {
        Bytes buf = plain;
        buf.resize(plain.size() + 8);
        DWORD len = static_cast<DWORD>(plain.size());
        EXPECT_TRUE(CryptEncrypt(key, 0, TRUE, 0, buf.data(), &len, static_cast<DWORD>(buf.size())))
            << std::hex << lastError();
        buf.resize(len);
        return buf;
    }

    // Decrypts in `chunk`-byte calls, the last one final, as the suite reads a locked file.
    static bool decryptChunked(HCRYPTKEY key, const Bytes& cipher, std::size_t chunk, Bytes& plain) {
        plain.clear();
        std::size_t pos = 0;
        do {
            const std::size_t take = std::min(chunk, cipher.size() - pos);
            const bool final = pos + take == cipher.size();
            Bytes part(cipher.begin() + static_cast<long>(pos), cipher.begin() + static_cast<long>(pos + take));
            DWORD len = static_cast<DWORD>(part.size());
            if (!CryptDecrypt(key, 0, final ? TRUE : FALSE, 0, part.data(), &len)) return false;
            plain.insert(plain.end(), part.begin(), part.begin() + len);
            pos += take;
        } while (pos < cipher.size());
        return true;
    }

    static Bytes exportBlob(HCRYPTKEY key, HCRYPTKEY wrap, DWORD type) {
        DWORD len = 0;
        EXPECT_TRUE(CryptExportKey(key, wrap, type, 0, nullptr, &len)) << std::hex << lastError();
        Bytes blob(len);
        EXPECT_TRUE(CryptExportKey(key, wrap, type, 0, blob.data(), &len)) << std::hex << lastError();
        blob.resize(len);
        return blob;
    }

    static HCRYPTKEY importBlob(HCRYPTPROV prov, const Bytes& blob, HCRYPTKEY wrap, DWORD flags) {
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptImportKey(prov, blob.data(), static_cast<DWORD>(blob.size()), wrap, flags, &key))
            << std::hex << lastError();
        return key;
    }

    static DWORD keyDword(HCRYPTKEY key, DWORD param) {
        DWORD value = 0xdeadbeef;
        DWORD len = sizeof value;
        EXPECT_TRUE(CryptGetKeyParam(key, param, reinterpret_cast<BYTE*>(&value), &len, 0)) << std::hex << lastError();
        EXPECT_EQ(len, sizeof value);
        return value;
    }

    static Bytes keyBytesParam(HCRYPTKEY key, DWORD param) {
        DWORD len = 0;
        EXPECT_TRUE(CryptGetKeyParam(key, param, nullptr, &len, 0)) << std::hex << lastError();
        Bytes v(len);
        EXPECT_TRUE(CryptGetKeyParam(key, param, v.data(), &len, 0)) << std::hex << lastError();
        v.resize(len);
        return v;
    }

    static bool setDword(HCRYPTKEY key, DWORD param, DWORD value) {
        return CryptSetKeyParam(key, param, reinterpret_cast<const BYTE*>(&value), 0) != FALSE;
    }
};

}  // namespace vlt::test
