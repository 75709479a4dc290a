// Reading initialisation files: sections in brackets, "key=value" lines beneath them. Section and key names
// are found without regard to case (code page 1252); blanks around names and values are dropped, as is one
// pair of double quotes around a whole value; lines that begin with ';' are comments. The first section of
// a name counts, and the first key of a name inside it. A file name without a folder is looked for in the
// current folder; a backslash counts as a folder separator.
#pragma once

#include "platform/base/wintypes.h"

// The value of the key, or the default (without its trailing blanks; empty for null) when the file, section
// or key is missing. At most size-1 characters and a terminator are copied; returns the number of characters
// copied. A null section or key answers the default: lists of names are not offered.
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName);
// The value of the key read as a decimal number (optional sign, leading digits only; no digits gives 0), or
// the default when the key is missing.
UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);
