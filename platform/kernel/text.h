// Character and code-page services of the kernel layer. The ANSI code page of this system is always 1252:
// strings are bytes in that page unless a function says otherwise. Other code pages are converted through
// iconv, double-byte pages included.
#pragma once

#include "platform/base/wintypes.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

// The ANSI code page: 1252.
UINT GetACP();
// The OEM code page: 437.
UINT GetOEMCP();

// Converts text of a code page to UTF-16. cbMultiByte -1 converts up to and including the terminator.
// With cchWideChar 0 the number of units needed is returned; a buffer too small gives 0 and
// ERROR_INSUFFICIENT_BUFFER. Bytes that do not decode give U+FFFD, or failure with MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
// Converts UTF-16 to a code page; characters the page lacks become the default character ("?" unless given)
// and set *lpUsedDefaultChar.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);

// Character stepping in ANSI text: never past the terminator, never before the start.
LPSTR CharNextA(LPCSTR lpsz);
LPSTR CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent);
BOOL IsDBCSLeadByte(BYTE TestChar);
BOOL IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);

// Letters and digits of code page 1252.
BOOL IsCharAlphaA(CHAR ch);
BOOL IsCharAlphaNumericA(CHAR ch);
BOOL IsCharUpperA(CHAR ch);
BOOL IsCharLowerA(CHAR ch);

// Comparisons of ANSI text; the case-insensitive one folds the letters of code page 1252.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

namespace qsm {

// Upper and lower case of one code-page-1252 byte.
BYTE ToUpper1252(BYTE c);
BYTE ToLower1252(BYTE c);

// Case-insensitive comparison of at most n bytes (n < 0: the whole strings), folding code page 1252.
int CompareNoCase(const char* a, const char* b, int n = -1);

}  // namespace qsm
