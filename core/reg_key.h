// Owners of one open registry key with typed queries that fall back to defaults and typed setters. A key
// that failed to open behaves as an empty key: queries give their defaults, setters and deletions false.
#pragma once

#include "platform/base/wintypes.h"

class TKey {
public:
    TKey() = default;
    // Opens the subkey for reading and writing, creating it (and the keys above it) with create.
    TKey(HKEY parent, const char* subkey, bool create);
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    virtual ~TKey();

    void Close();
    HKEY GetHandle() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }

    bool DeleteSubKey(const char* name);
    bool DeleteValue(const char* name);
    // The value's bytes, whatever its type, and their count; when it cannot be read, the default's size
    // bytes (the default block holds size bytes) and size, or 0 without a default.
    DWORD QueryBinary(void* buffer, DWORD size, const void* defaultBlock, const char* name) const;
    // The DWORD value, or the default when it is missing or of another type.
    DWORD QueryDWord(DWORD defaultValue, const char* name) const;
    // A string value into the buffer (at most size-1 characters, terminated): true. Otherwise the default,
    // cut to the buffer, and true; without a default an empty string and false.
    bool QueryString(char* buffer, DWORD size, const char* defaultText, const char* name) const;
    bool SetBinary(const void* data, DWORD size, const char* name);
    bool SetDWord(DWORD value, const char* name);
    // The text with its terminator.
    bool SetString(const char* text, const char* name);

protected:
    HKEY handle_ = nullptr;
};

// Opens a key for reading only; the handle is null when the key does not exist.
class TKeyReadOnly : public TKey {
public:
    TKeyReadOnly(HKEY parent, const char* subkey);
};
