// The registry: a typed store of keys and values (DWORD, string, binary) under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, kept in files under $XDG_CONFIG_HOME/quillstave/registry (else ~/.config/...) and
// shared by every process of the user. HKEY_LOCAL_MACHINE reads a read-only system file
// (/etc/quillstave/HKLM.reg) under a per-user overlay that takes the writes. Every write is a locked
// read-modify-write of the whole file that ends in an atomic rename, so two processes never lose each
// other's values and a crash never leaves a half-written file. Keys and value names are found without
// regard to case. "Software" exists under both roots.
#pragma once

#include "platform/base/winerror.h"
#include "platform/base/wintypes.h"

#include <string>

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

// Opens an existing key below an open key or a root; ERROR_FILE_NOT_FOUND when it does not exist. A null or
// empty subkey opens the key itself again. Writes through a key opened without KEY_SET_VALUE are refused.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Opens a key, creating it and the keys above it when missing.
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, LPVOID lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition);
LSTATUS RegCloseKey(HKEY hKey);
// With lpData null the size is answered; a buffer too small gives ERROR_MORE_DATA and the size needed. A null
// or empty name is the key's default value.
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
// Stores the bytes as given (a string is passed with its terminator).
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise).
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Subkeys and values by index, in the order of their names without regard to case; ERROR_NO_MORE_ITEMS past
// the last. Name sizes are in characters: in, the buffer's; out, the name's without the terminator.
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, LPVOID lpftLastWriteTime);
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

namespace qsm {

// The folder that holds the per-user registry files.
const char* RegistryFolder();

namespace registry_internal {

// Reads a registry file's text into its key tree and writes it back; for tests and fuzzing of the reader.
// Answers the text written again from what was read.
std::string ReparseForTest(const std::string& text);
// Called while a write has put half of the new file's bytes into the temporary file (for crash tests).
void SetMidWriteHook(void (*hook)());

}  // namespace registry_internal
}  // namespace qsm
