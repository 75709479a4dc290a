#include "platform/kernel/profile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/kernel/files.h"
#include "platform/kernel/text.h"

namespace {

constexpr size_t kMaxFileSize = 16u << 20;  // larger files are not initialisation files

bool ReadWhole(const char* name, std::string& out) {
    if (name == nullptr || *name == '\0') return false;
    std::string path = qsm::NativePath(name);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char buf[8192];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
        out.append(buf, n);
        if (out.size() > kMaxFileSize) {
            ok = false;
            break;
        }
    }
    std::fclose(f);
    return ok;
}

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, const char* b) {
    size_t n = std::strlen(b);
    std::string_view bt = Trim(std::string_view(b, n));
    if (a.size() != bt.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (qsm::ToLower1252(static_cast<BYTE>(a[i])) != qsm::ToLower1252(static_cast<BYTE>(bt[i])))
            return false;
    }
    return true;
}

// Finds the value of key in section; false when either is missing.
bool FindValue(const std::string& text, const char* section, const char* key, std::string_view* value) {
    std::string_view all(text);
    if (all.size() >= 3 && all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);
    bool inSection = false;
    bool sectionSeen = false;
    while (!all.empty()) {
        size_t end = all.find('\n');
        std::string_view line = Trim(all.substr(0, end));
        all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            if (inSection) return false;  // the section of that name ended without the key
            inSection = !sectionSeen && SameName(Trim(line.substr(1, close - 1)), section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!SameName(Trim(line.substr(0, eq)), key)) continue;
        std::string_view v = Trim(line.substr(eq + 1));
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        *value = v;
        return true;
    }
    return false;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
    if (lpReturnedString == nullptr || nSize == 0) return 0;
    std::string text;
    std::string_view value;
    bool found = lpAppName != nullptr && lpKeyName != nullptr && ReadWhole(lpFileName, text) &&
                 FindValue(text, lpAppName, lpKeyName, &value);
    if (!found) {
        value = lpDefault ? std::string_view(lpDefault) : std::string_view();
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
    }
    size_t n = value.size() < nSize - 1 ? value.size() : nSize - 1;
    std::memcpy(lpReturnedString, value.data(), n);
    lpReturnedString[n] = '\0';
    return static_cast<DWORD>(n);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    std::string text;
    std::string_view value;
    if (lpAppName == nullptr || lpKeyName == nullptr || !ReadWhole(lpFileName, text) ||
        !FindValue(text, lpAppName, lpKeyName, &value))
        return static_cast<UINT>(nDefault);
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    uint32_t v = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        v = v * 10u + static_cast<uint32_t>(value[i] - '0');
    return negative ? 0u - v : v;
}
