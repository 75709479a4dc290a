#include "platform/kernel/profile_write.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/base/winerror.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// Names compare byte for byte without regard to case, zero bytes included.
bool Same(const std::string& a, const char* b) {
    const std::string x = Trim(a), y = Trim(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (qsm::ToLower1252(static_cast<BYTE>(x[i])) != qsm::ToLower1252(static_cast<BYTE>(y[i])))
            return false;
    return true;
}

// The section name of a "[name]" line, or false. A '[' without ']' makes no section (nor a key).
bool SectionOf(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = t.substr(1, close - 1);
    return true;
}

// The key name of a "key=value" line, or false for comments, headings and lines without '='.
bool KeyOf(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *name = t.substr(0, eq);
    return true;
}

constexpr char kBom[] = "\xEF\xBB\xBF";

}  // namespace

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName && !lpKeyName && !lpString) return TRUE;
    if (!lpAppName || !lpFileName || !*lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = qsm::NativePath(lpFileName);
    std::vector<std::string> lines;
    bool bom = false;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::string text;
        char buf[8192];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
        // A byte-order mark before the first line is kept, and not taken as part of it.
        bom = text.compare(0, 3, kBom) == 0;
        size_t pos = bom ? 3 : 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(pos, end - pos));  // kept as they are, "\r" included
            pos = end + 1;
        }
    }
    // The first section of the name: its heading line and the end of its lines.
    size_t head = lines.size(), end = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (!SectionOf(lines[i], &name)) continue;
        if (head == lines.size()) {
            if (Same(name, lpAppName)) head = i;
        } else {
            end = i;
            break;
        }
    }
    if (!lpKeyName) {
        if (head < lines.size())
            lines.erase(lines.begin() + static_cast<long>(head), lines.begin() + static_cast<long>(end));
    } else {
        size_t at = lines.size();
        if (head < lines.size()) {
            for (size_t i = head + 1; i < end; ++i) {
                std::string name;
                if (KeyOf(lines[i], &name) && Same(name, lpKeyName)) {
                    at = i;
                    break;
                }
            }
        }
        const std::string value = lpString ? lpString : "";
        if (at < lines.size()) {
            if (lpString)
                // The key keeps its name, and the line its ending.
                lines[at] = Trim(lines[at].substr(0, lines[at].find('='))) + "=" + value +
                            (lines[at].back() == '\r' ? "\r" : "");
            else
                lines.erase(lines.begin() + static_cast<long>(at));
        } else if (lpString) {
            if (head == lines.size()) {
                lines.push_back("[" + Trim(lpAppName) + "]");
                end = lines.size();
            }
            // After the section's last line that is not blank.
            size_t put = end;
            while (put > head + 1 && Trim(lines[put - 1]).empty())
                --put;
            lines.insert(lines.begin() + static_cast<long>(put), Trim(lpKeyName) + "=" + value);
        }
    }
    std::string out = bom ? kBom : "";
    for (const std::string& l : lines)
        out += l + "\n";
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}
