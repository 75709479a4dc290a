// Writes a key into hostile initialisation files: whatever the file holds, the value written is the value
// read back, and writing it a second time changes nothing. The first input bytes choose the section, key and
// value; the rest is the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/kernel/profile.h"
#include "platform/kernel/profile_write.h"

namespace {

std::string Name(const uint8_t*& p, const uint8_t* end, size_t n, const char* alphabet, size_t letters) {
    std::string s;
    for (size_t i = 0; i < n && p < end; ++i, ++p)
        s += alphabet[*p % letters];
    return s;
}

std::string Slurp(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t* p = data + 3;
    const uint8_t* end = data + size;
    static const char kName[] = "abcAB1 ";
    std::string section = Name(p, end, 1 + data[0] % 3, kName, 6);
    std::string key = Name(p, end, 1 + data[1] % 3, kName, 6);
    std::string value = Name(p, end, data[2] % 4, kName, 7);
    if (section.empty() || key.empty()) return 0;
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    while (!value.empty() && value.front() == ' ')
        value.erase(0, 1);
    static const std::string path = "/tmp/qsm-ini-fuzz-" + std::to_string(getpid()) + ".ini";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(p, 1, static_cast<size_t>(end - p), f);
        std::fclose(f);
    }
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()))
        __builtin_trap();
    char back[64];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "(none)", back, sizeof back, path.c_str());
    if (value != back) __builtin_trap();
    std::string once = Slurp(path);
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
    if (Slurp(path) != once) __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
