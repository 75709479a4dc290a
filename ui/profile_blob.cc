#include "ui/profile_blob.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/profile.h"
#include "platform/kernel/profile_write.h"

// The text buffers are sized from the count, so blocks of any length are written and read back whole.

BOOL WriteProfileBlob(const char* section, const char* key, const uint8_t* bytes, int count,
                      const char* iniFile) {
    std::string text;
    for (int i = 0; i < count && bytes; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return WritePrivateProfileStringA(section, key, text.c_str(), iniFile);
}

int ReadProfileBlob(const char* section, const char* key, const uint8_t* defaultBytes, uint8_t* out,
                    int count, const char* iniFile) {
    const size_t want = count > 0 ? 2 * static_cast<size_t>(count) : 0;
    // Room for one character more than a valid text, so that a longer value shows as too long.
    std::vector<char> text(want + 2);
    GetPrivateProfileStringA(section, key, "00", text.data(), static_cast<DWORD>(text.size()), iniFile);
    bool valid = count > 0 && std::strlen(text.data()) == want;
    for (int i = 0; valid && i < count; ++i) {
        const char pair[3] = {text[2 * static_cast<size_t>(i)], text[2 * static_cast<size_t>(i) + 1], 0};
        unsigned value = 0;
        if (std::sscanf(pair, "%x", &value) != 1)
            valid = false;
        else
            out[i] = static_cast<uint8_t>(value);
    }
    if (valid) return count;
    if (defaultBytes && count > 0) {
        std::memcpy(out, defaultBytes, static_cast<size_t>(count));
        return count;
    }
    return 0;
}
