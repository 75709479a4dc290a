#include "core/text_utils.h"

#include <cstring>

#include "platform/kernel/text.h"

namespace {

// Single-byte character at p that is a member of the set.
bool InSet(const char* p, const char* set) {
    return CharNextA(p) == p + 1 && *p != 0 && std::strchr(set, *p) != nullptr;
}

bool Equal(const char* a, const char* b, bool ignoreCase) {
    return ignoreCase ? qsm::CompareNoCase(a, b) == 0 : std::strcmp(a, b) == 0;
}

}  // namespace

bool IsDigitChar(char c) {
    return IsCharAlphaNumericA(c) && !IsCharAlphaA(c);
}

bool IsNumberText(const char* text, bool allowDecimalPoint) {
    if (!text) return false;
    enum { kBefore, kInside, kAfter } phase = kBefore;
    bool digit = false, sign = false, point = false;
    for (const char* p = text; *p;) {
        const char* next = CharNextA(p);
        char c = *p;
        if (next != p + 1) return false;  // a double-byte character
        if (c == ' ' || c == '\t') {
            if (phase == kInside) phase = kAfter;
        } else if (phase == kAfter) {
            return false;
        } else if (c >= '0' && c <= '9') {
            digit = true;
            phase = kInside;
        } else if (c == '+' || c == '-') {
            if (sign || digit || point || phase == kInside) return false;
            sign = true;
            phase = kInside;
        } else if (c == '.' && allowDecimalPoint) {
            if (point) return false;
            point = true;
            phase = kInside;
        } else {
            return false;
        }
        p = next;
    }
    return digit;
}

void TrimLeftSet(char* text, const char* set) {
    if (!text || !set) return;
    char* p = text;
    while (InSet(p, set))
        ++p;
    if (p != text) std::memmove(text, p, std::strlen(p) + 1);
}

void TrimRightSet(char* text, const char* set) {
    if (!text || !set) return;
    // Walk forward so that a trailing byte of a double-byte character is never taken for a member.
    char* keep = text;
    for (char* p = text; *p;) {
        char* next = CharNextA(p);
        if (!InSet(p, set)) keep = next;
        p = next;
    }
    *keep = 0;
}

void TrimLeft(char* text) {
    TrimLeftSet(text, " \t\r\n");
}
void TrimRight(char* text) {
    TrimRightSet(text, " \t\r\n");
}
void Trim(char* text) {
    TrimRight(text);
    TrimLeft(text);
}

void ReplaceChars(char* text, const char* pairs, int n) {
    if (!text || !pairs || n <= 0) return;
    char* out = text;
    for (char* p = text; *p;) {
        char* next = CharNextA(p);
        if (next == p + 1) {
            int i = 0;
            while (i < n && pairs[2 * i] != *p)
                ++i;
            if (i < n) {
                if (pairs[2 * i + 1] != 0) *out++ = pairs[2 * i + 1];
            } else {
                *out++ = *p;
            }
        } else {
            while (p < next)
                *out++ = *p++;
        }
        p = next;
    }
    *out = 0;
}

void CollapseRuns(char* text, const char* set) {
    if (!text || !set) return;
    char* out = text;
    char prev = 0;
    bool prevSingle = false;
    for (char* p = text; *p;) {
        char* next = CharNextA(p);
        bool single = next == p + 1;
        if (!(single && prevSingle && *p == prev && std::strchr(set, *p))) {
            for (char* q = p; q < next; ++q)
                *out++ = *q;
        }
        prev = *p;
        prevSingle = single;
        p = next;
    }
    *out = 0;
}

void SafeStrCopy(char* dst, const char* src, int n) {
    if (!dst || n < 1) return;
    size_t len = src ? strnlen(src, static_cast<size_t>(n - 1)) : 0;
    if (len) std::memmove(dst, src, len);
    dst[len] = 0;
}

void CopyDoublingAmpersands(char* dst, const char* src, int n) {
    SafeStrCopy(dst, src, n);
    if (!dst || n < 1) return;
    size_t len = std::strlen(dst);
    for (size_t i = 0; i < len; ++i) {
        if (dst[i] != '&') continue;
        if (len + 2 > static_cast<size_t>(n)) break;
        std::memmove(dst + i + 1, dst + i, len - i + 1);
        ++len;
        ++i;
    }
}

const char* GetListString(const char* list, int n) {
    if (!list) return "";
    if (n < 0) return list;
    const char* p = list;
    for (int i = 0; i < n; ++i) {
        if (!*p) return list;
        p += std::strlen(p) + 1;
    }
    return *p ? p : list;
}

int FindListString(const char* list, const char* text, bool ignoreCase, int notFound) {
    if (!list || !text) return notFound;
    int i = 0;
    for (const char* p = list; *p; p += std::strlen(p) + 1, ++i) {
        if (Equal(p, text, ignoreCase)) return i;
    }
    return notFound;
}
