// GUIDs as text, the way ole32 writes and reads them.
#include <cstdio>

#include "win32/objbase.h"
#include "win32/objidl.h"
#include "win32/shlobj.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDataObject = {0x0000010e, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellExtInit = {0x000214E8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IContextMenu = {0x000214E4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

constexpr int kGuidChars = 38;  // without the terminator

void format(REFGUID g, OLECHAR* out) {
    char text[kGuidChars + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3),
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    for (int i = 0; i <= kGuidChars; ++i) out[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
}

HRESULT allocateText(REFGUID g, LPOLESTR* out) {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
    if (!*out) return E_OUTOFMEMORY;
    format(g, *out);
    return S_OK;
}

int hexValue(OLECHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal characters at s[pos].
bool readHex(LPCOLESTR s, int pos, int digits, std::uint64_t* value) {
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = hexValue(s[pos + i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<unsigned>(h);
    }
    *value = v;
    return true;
}

bool parse(LPCOLESTR s, GUID* g) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: the characters are checked one by one, so the
    // scan stops at a terminator before reading past it.
    static const char kShape[] = "{........-....-....-....-............}";
    for (int i = 0; i < kGuidChars; ++i) {
        const OLECHAR c = s[i];
        if (c == 0) return false;
        if (kShape[i] == '.' ? hexValue(c) < 0 : c != static_cast<OLECHAR>(kShape[i])) return false;
    }
    if (s[kGuidChars] != 0) return false;
    std::uint64_t v = 0;
    GUID r{};
    (void)readHex(s, 1, 8, &v);
    r.Data1 = static_cast<DWORD>(v);
    (void)readHex(s, 10, 4, &v);
    r.Data2 = static_cast<WORD>(v);
    (void)readHex(s, 15, 4, &v);
    r.Data3 = static_cast<WORD>(v);
    static const int kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        (void)readHex(s, kBytePos[i], 2, &v);
        r.Data4[i] = static_cast<BYTE>(v);
    }
    *g = r;
    return true;
}

}  // namespace

HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) { return allocateText(rclsid, lplpsz); }
HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) { return allocateText(rclsid, lplpsz); }

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < kGuidChars + 1) return 0;
    format(rguid, lpsz);
    return kGuidChars + 1;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID{};  // Windows gives CLSID_NULL for a NULL string
        return NOERROR;
    }
    return parse(lpsz, pclsid) ? NOERROR : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    if (!lpiid) return E_INVALIDARG;
    if (!lpsz) {
        *lpiid = GUID{};
        return S_OK;
    }
    return parse(lpsz, lpiid) ? S_OK : E_INVALIDARG;
}
