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

bool Same(const std::string& a, const char* b) {
    return qsm::CompareNoCase(Trim(a).c_str(), Trim(b).c_str()) == 0;
}

// The section name of a "[name]" line, or false.
bool SectionOf(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    *name = t.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    return true;
}

}  // namespace

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName && !lpKeyName && !lpString) return TRUE;
    if (!lpAppName || !lpFileName || !*lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = qsm::NativePath(lpFileName);
    std::vector<std::string> lines;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::string text;
        char buf[8192];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
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
                const std::string& l = lines[i];
                size_t eq = l.find('=');
                if (eq == std::string::npos || Trim(l)[0] == ';') continue;
                if (Same(l.substr(0, eq), lpKeyName)) {
                    at = i;
                    break;
                }
            }
        }
        const std::string value = lpString ? lpString : "";
        if (at < lines.size()) {
            if (lpString)
                lines[at] =
                    Trim(lines[at].substr(0, lines[at].find('='))) + "=" + value;  // the key keeps its name
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
    std::string out;
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
