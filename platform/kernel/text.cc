#include "platform/kernel/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/winerror.h"
#include "platform/kernel/system.h"

namespace {

// UTF-16 values of the bytes 0x80-0x9F of code page 1252; the five unassigned bytes map to themselves.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Decode1252(BYTE b) {
    if (b >= 0x80 && b < 0xA0) return kHigh1252[b - 0x80];
    return b;
}

// Byte of code page 1252 for a UTF-16 unit, or -1 when the page lacks it.
int Encode1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (kHigh1252[i] == c) return 0x80 + i;
    }
    return -1;
}

UINT ResolveCodePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_THREAD_ACP) return 1252;
    if (cp == CP_OEMCP) return 437;
    if (cp == CP_MACCP) return 10000;
    return cp;
}

std::string IconvName(UINT cp) {
    switch (cp) {
        case 10000:
            return "MACINTOSH";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 65000:
            return "UTF-7";
        case 65001:
            return "UTF-8";
        case 1200:
            return "UTF-16LE";
        default:
            break;
    }
    if (cp >= 28591 && cp <= 28605) return "ISO-8859-" + std::to_string(cp - 28590);
    if (cp == 932) return "CP932";
    if (cp == 936) return "CP936";
    if (cp == 949) return "CP949";
    if (cp == 950) return "CP950";
    return "CP" + std::to_string(cp);
}

// Decodes bytes of any code page into UTF-16; false on an unknown page or, when strict, on a bad sequence.
bool DecodeBytes(UINT cp, const char* src, size_t n, bool strict, std::u16string& out) {
    out.clear();
    if (cp == 1252) {
        out.reserve(n);
        for (size_t i = 0; i < n; ++i)
            out.push_back(Decode1252(static_cast<BYTE>(src[i])));
        return true;
    }
    if (cp == CP_SYMBOL) {
        for (size_t i = 0; i < n; ++i)
            out.push_back(static_cast<char16_t>(0xF000 + static_cast<BYTE>(src[i])));
        return true;
    }
    iconv_t cd = iconv_open("UTF-16LE", IconvName(cp).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buf(n * 4 + 16);
    char* in = const_cast<char*>(src);
    size_t inLeft = n;
    bool ok = true;
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        size_t produced = buf.size() - oLeft;
        for (size_t i = 0; i + 1 <= produced; i += 2) {
            out.push_back(
                static_cast<char16_t>(static_cast<BYTE>(buf[i]) | (static_cast<BYTE>(buf[i + 1]) << 8)));
        }
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // A bad or cut sequence: one byte is replaced.
        if (strict) {
            ok = false;
            break;
        }
        out.push_back(0xFFFD);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return ok;
}

bool EncodeUnits(UINT cp, const char16_t* src, size_t n, char defChar, bool* usedDefault, std::string& out) {
    out.clear();
    if (cp == 1252) {
        for (size_t i = 0; i < n; ++i) {
            int b = Encode1252(src[i]);
            if (b < 0) {
                out.push_back(defChar);
                if (usedDefault) *usedDefault = true;
                // A surrogate pair stands for one character.
                if (src[i] >= 0xD800 && src[i] < 0xDC00 && i + 1 < n && src[i + 1] >= 0xDC00 &&
                    src[i + 1] < 0xE000)
                    ++i;
            } else {
                out.push_back(static_cast<char>(b));
            }
        }
        return true;
    }
    if (cp == CP_SYMBOL) {
        for (size_t i = 0; i < n; ++i) {
            char16_t c = src[i];
            if (c >= 0xF000 && c <= 0xF0FF) c = static_cast<char16_t>(c - 0xF000);
            if (c > 0xFF) {
                out.push_back(defChar);
                if (usedDefault) *usedDefault = true;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        return true;
    }
    iconv_t cd = iconv_open(IconvName(cp).c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> inBytes(n * 2);
    for (size_t i = 0; i < n; ++i) {
        inBytes[2 * i] = static_cast<char>(src[i] & 0xFF);
        inBytes[2 * i + 1] = static_cast<char>(src[i] >> 8);
    }
    std::vector<char> buf(n * 4 + 16);
    char* in = inBytes.data();
    size_t inLeft = inBytes.size();
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // A character the page lacks (or a lone surrogate): the default character stands for it.
        out.push_back(defChar);
        if (usedDefault) *usedDefault = true;
        size_t skip = 2;
        if (inLeft >= 4) {
            char16_t u = static_cast<char16_t>(static_cast<BYTE>(in[0]) | (static_cast<BYTE>(in[1]) << 8));
            char16_t v = static_cast<char16_t>(static_cast<BYTE>(in[2]) | (static_cast<BYTE>(in[3]) << 8));
            if (u >= 0xD800 && u < 0xDC00 && v >= 0xDC00 && v < 0xE000) skip = 4;
        }
        if (skip > inLeft) skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* o = buf.data();
    size_t oLeft = buf.size();
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buf.data(), buf.size() - oLeft);
    iconv_close(cd);
    return true;
}

bool IsAlpha1252(BYTE c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case 0x83:
        case 0x8A:
        case 0x8C:
        case 0x8E:
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:
        case 0xAA:
        case 0xB5:
        case 0xBA:
            return true;
        default:
            break;
    }
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

}  // namespace

UINT GetACP() {
    return 1252;
}
UINT GetOEMCP() {
    return 437;
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::u16string out;
    if (!DecodeBytes(ResolveCodePage(CodePage), lpMultiByteStr, n, (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                     out)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (cchWideChar == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
    return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL* lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[n] != 0)
            ++n;
        ++n;
    } else {
        n = static_cast<size_t>(cchWideChar);
    }
    bool used = false;
    std::string out;
    char def = lpDefaultChar ? *lpDefaultChar : '?';
    if (!EncodeUnits(ResolveCodePage(CodePage), lpWideCharStr, n, def, &used, out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = used ? TRUE : FALSE;
    if (cbMultiByte == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}

LPSTR CharNextA(LPCSTR lpsz) {
    if (!lpsz) return nullptr;
    if (*lpsz == 0) return const_cast<LPSTR>(lpsz);
    return const_cast<LPSTR>(lpsz + 1);
}

LPSTR CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
    if (!lpszCurrent || lpszCurrent <= lpszStart) return const_cast<LPSTR>(lpszStart);
    return const_cast<LPSTR>(lpszCurrent - 1);
}

BOOL IsDBCSLeadByte(BYTE) {
    return FALSE;
}

BOOL IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
    switch (ResolveCodePage(CodePage)) {
        case 932:
            return (TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC);
        case 936:
        case 949:
        case 950:
            return TestChar >= 0x81 && TestChar <= 0xFE;
        default:
            return FALSE;
    }
}

BOOL IsCharAlphaA(CHAR ch) {
    return IsAlpha1252(static_cast<BYTE>(ch)) ? TRUE : FALSE;
}

BOOL IsCharAlphaNumericA(CHAR ch) {
    BYTE c = static_cast<BYTE>(ch);
    return (IsAlpha1252(c) || (c >= '0' && c <= '9')) ? TRUE : FALSE;
}

BOOL IsCharUpperA(CHAR ch) {
    BYTE c = static_cast<BYTE>(ch);
    return IsAlpha1252(c) && qsm::ToLower1252(c) != c ? TRUE : FALSE;
}

BOOL IsCharLowerA(CHAR ch) {
    BYTE c = static_cast<BYTE>(ch);
    return IsAlpha1252(c) && qsm::ToUpper1252(c) != c ? TRUE : FALSE;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
    if (!a) a = "";
    if (!b) b = "";
    int r = std::strcmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
    return qsm::CompareNoCase(a ? a : "", b ? b : "");
}

namespace qsm {

BYTE ToUpper1252(BYTE c) {
    if (c >= 'a' && c <= 'z') return static_cast<BYTE>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<BYTE>(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<BYTE>(c - 16);
    if (c == 0xFF) return 0x9F;
    return c;
}

BYTE ToLower1252(BYTE c) {
    if (c >= 'A' && c <= 'Z') return static_cast<BYTE>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<BYTE>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<BYTE>(c + 16);
    if (c == 0x9F) return 0xFF;
    return c;
}

int CompareNoCase(const char* a, const char* b, int n) {
    for (int i = 0; n < 0 || i < n; ++i) {
        BYTE x = ToLower1252(static_cast<BYTE>(a[i]));
        BYTE y = ToLower1252(static_cast<BYTE>(b[i]));
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

}  // namespace qsm
