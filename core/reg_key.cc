#include "core/reg_key.h"

#include <cstring>

#include "core/text_utils.h"

#include "platform/registry/registry.h"

namespace {

constexpr REGSAM kReadWrite = 0x2001F;  // KEY_READ | KEY_WRITE
constexpr REGSAM kReadOnly = 0x20019;   // KEY_READ

}  // namespace

TKey::TKey(HKEY parent, const char* subkey, bool create) {
    HKEY h = nullptr;
    LSTATUS r = create ? RegCreateKeyExA(parent, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite,
                                         nullptr, &h, nullptr)
                       : RegOpenKeyExA(parent, subkey, 0, kReadWrite, &h);
    if (r == ERROR_SUCCESS) handle_ = h;
}

TKey::~TKey() {
    Close();
}

void TKey::Close() {
    if (handle_) RegCloseKey(handle_);
    handle_ = nullptr;
}

bool TKey::DeleteSubKey(const char* name) {
    return handle_ && RegDeleteKeyA(handle_, name) == ERROR_SUCCESS;
}

bool TKey::DeleteValue(const char* name) {
    return handle_ && RegDeleteValueA(handle_, name) == ERROR_SUCCESS;
}

DWORD TKey::QueryBinary(void* buffer, DWORD size, const void* defaultBlock, const char* name) const {
    DWORD count = size;
    if (handle_ && buffer &&
        RegQueryValueExA(handle_, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &count) ==
            ERROR_SUCCESS) {
        return count;
    }
    if (!defaultBlock || !buffer) return 0;
    std::memcpy(buffer, defaultBlock, size);
    return size;
}

DWORD TKey::QueryDWord(DWORD defaultValue, const char* name) const {
    DWORD value = 0, type = 0, size = sizeof(value);
    if (handle_ &&
        RegQueryValueExA(handle_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(value)) {
        return value;
    }
    return defaultValue;
}

bool TKey::QueryString(char* buffer, DWORD size, const char* defaultText, const char* name) const {
    if (!buffer || size == 0) return false;
    DWORD type = 0, count = size;
    if (handle_ &&
        RegQueryValueExA(handle_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &count) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        // A value stored without its terminator is still terminated within the buffer.
        buffer[count < size ? count : size - 1] = 0;
        return true;
    }
    SafeStrCopy(buffer, defaultText, static_cast<int>(size));
    return defaultText != nullptr;
}

bool TKey::SetBinary(const void* data, DWORD size, const char* name) {
    return handle_ && RegSetValueExA(handle_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
                          ERROR_SUCCESS;
}

bool TKey::SetDWord(DWORD value, const char* name) {
    return handle_ && RegSetValueExA(handle_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) ==
                          ERROR_SUCCESS;
}

bool TKey::SetString(const char* text, const char* name) {
    if (!handle_) return false;
    const char* t = text ? text : "";
    return RegSetValueExA(handle_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(t),
                          static_cast<DWORD>(std::strlen(t) + 1)) == ERROR_SUCCESS;
}

TKeyReadOnly::TKeyReadOnly(HKEY parent, const char* subkey) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(parent, subkey, 0, kReadOnly, &h) == ERROR_SUCCESS) handle_ = h;
}
