// MultiByteToWideChar and WideCharToMultiByte over the code-page tables.
#include <cstdint>
#include <cstring>
#include <string>

#include "com/codepages.h"
#include "win32/winbase.h"
#include "win32/winnls.h"

namespace {

using vlt::com::CodePage;

int failWith(DWORD error) {
    SetLastError(error);
    return 0;
}

// Copies a converted text into the caller's buffer, or answers the size query.
template <typename Char>
int deliver(const std::basic_string<Char>& text, Char* out, int outSize) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) return failWith(ERROR_INVALID_PARAMETER);
    const int needed = static_cast<int>(text.size());
    if (outSize == 0) return needed;
    if (needed > outSize) return failWith(ERROR_INSUFFICIENT_BUFFER);
    if (needed > 0) std::memcpy(out, text.data(), text.size() * sizeof(Char));
    return needed;
}

bool overlaps(const void* a, std::size_t aBytes, const void* b, std::size_t bBytes) {
    const auto* pa = static_cast<const char*>(a);
    const auto* pb = static_cast<const char*>(b);
    return pa < pb + bBytes && pb < pa + aBytes;
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr))
        return failWith(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) return failWith(ERROR_INVALID_FLAGS);
    const std::size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    if (cchWideChar > 0 &&
        overlaps(lpMultiByteStr, length, lpWideCharStr, static_cast<std::size_t>(cchWideChar) * sizeof(WCHAR)))
        return failWith(ERROR_INVALID_PARAMETER);
    const std::string_view in(lpMultiByteStr, length);

    std::u16string out;
    if (CodePage == CP_UTF8) {
        bool invalid = false;
        out = vlt::com::utf8ToUtf16(in, &invalid);
        if (invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return failWith(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        const auto* page = vlt::com::singleByteCodePage(CodePage);
        if (!page) return failWith(ERROR_INVALID_PARAMETER);
        out.reserve(in.size());
        for (char c : in) {
            const char16_t u = page->toUnicode(static_cast<unsigned char>(c));
            if (u == 0xFFFD && (dwFlags & MB_ERR_INVALID_CHARS)) return failWith(ERROR_NO_UNICODE_TRANSLATION);
            out.push_back(u);
        }
    }
    return deliver(out, lpWideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr))
        return failWith(ERROR_INVALID_PARAMETER);
    std::size_t length = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[length] != 0) ++length;
        ++length;  // the terminator is converted too
    } else {
        length = static_cast<std::size_t>(cchWideChar);
    }
    if (cbMultiByte > 0 &&
        overlaps(lpWideCharStr, length * sizeof(WCHAR), lpMultiByteStr, static_cast<std::size_t>(cbMultiByte)))
        return failWith(ERROR_INVALID_PARAMETER);
    const std::u16string_view in(lpWideCharStr, length);

    std::string out;
    if (CodePage == CP_UTF8) {
        if (lpDefaultChar || lpUsedDefaultChar) return failWith(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) return failWith(ERROR_INVALID_FLAGS);
        bool invalid = false;
        out = vlt::com::utf16ToUtf8(in, &invalid);
        if (invalid && (dwFlags & WC_ERR_INVALID_CHARS)) return failWith(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        if (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) return failWith(ERROR_INVALID_FLAGS);
        const auto* page = vlt::com::singleByteCodePage(CodePage);
        if (!page) return failWith(ERROR_INVALID_PARAMETER);
        const char fallback = lpDefaultChar ? *lpDefaultChar : '?';
        bool used = false;
        out.reserve(in.size());
        for (char16_t c : in) {
            const int b = page->fromUnicode(c);
            if (b < 0) {
                out.push_back(fallback);
                used = true;
            } else {
                out.push_back(static_cast<char>(b));
            }
        }
        if (lpUsedDefaultChar) *lpUsedDefaultChar = used ? TRUE : FALSE;
    }
    return deliver(out, lpMultiByteStr, cbMultiByte);
}
