// Character and C-string helpers on ANSI text, stepping through double-byte characters so that the second
// byte of one is never taken for a separator, and the lists of zero-terminated strings ended by an empty
// string that carry the vocabulary lists and many tables.
#pragma once

#include "platform/base/wintypes.h"

// A digit of the ANSI code page: alphanumeric and not a letter.
bool IsDigitChar(char c);
// At least one digit; blanks may stand before and after the number but not inside it; one sign, only
// before the digits; one decimal point when allowed; any other character fails.
bool IsNumberText(const char* text, bool allowDecimalPoint);

// Remove blanks, tabs, CR and LF at the start, the end or both, in place.
void TrimLeft(char* text);
void TrimRight(char* text);
void Trim(char* text);
// The same for the characters of a set.
void TrimLeftSet(char* text, const char* set);
void TrimRightSet(char* text, const char* set);
// pairs holds n (from, to) byte pairs: each single-byte character found as a from is replaced by its to, or
// removed when to is 0.
void ReplaceChars(char* text, const char* pairs, int n);
// A character of the set that repeats the character before it is removed (runs become one).
void CollapseRuns(char* text, const char* set);
// Copies at most n-1 characters and always terminates within n bytes (nothing for n < 1).
void SafeStrCopy(char* dst, const char* src, int n);
// SafeStrCopy, then each "&" is doubled while the result still fits in n bytes.
void CopyDoublingAmpersands(char* dst, const char* src, int n);

// The n-th string of a list (from 0); an n outside the list gives the first string.
const char* GetListString(const char* list, int n);
// Index of the first list string equal to the text, else the default (also for a null list or text).
int FindListString(const char* list, const char* text, bool ignoreCase, int notFound);
