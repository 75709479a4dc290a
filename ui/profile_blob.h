// Blocks of bytes kept in initialisation files as hexadecimal text, two lowercase digits a byte.
#pragma once

#include <cstdint>

#include "platform/base/wintypes.h"

// Writes the count bytes as "%02x" pairs (an empty text for a count of 0 or less); the result of
// WritePrivateProfileStringA.
BOOL WriteProfileBlob(const char* section, const char* key, const uint8_t* bytes, int count,
                      const char* iniFile);

// Reads count bytes into out: count when the stored text is exactly 2 x count characters and every pair
// reads as a hexadecimal number (a missing value reads as "00"). Otherwise the default block, when there is
// one, is copied to out and count returned; else 0 (out may hold the bytes read before a bad pair).
int ReadProfileBlob(const char* section, const char* key, const uint8_t* defaultBytes, uint8_t* out,
                    int count, const char* iniFile);
