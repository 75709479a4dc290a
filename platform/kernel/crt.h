// Formatting and scanning of numbers in the C locale, whatever locale the process runs in: stored texts
// (score files, settings) always use "." as the decimal point.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qsm {

// vsnprintf in the C locale.
int FormatC(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int VFormatC(char* buffer, size_t size, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// vsscanf in the C locale.
int ScanC(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

}  // namespace qsm
