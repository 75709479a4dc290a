#include "platform/kernel/crt.h"

#include <locale.h>

#include <cstdio>

namespace {

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Switches the calling thread to the C locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope() : old_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(old_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t old_;
};

}  // namespace

namespace qsm {

int VFormatC(char* buffer, size_t size, const char* format, va_list args) {
    CLocaleScope scope;
    return std::vsnprintf(buffer, size, format, args);
}

int FormatC(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = VFormatC(buffer, size, format, args);
    va_end(args);
    return n;
}

int ScanC(const char* text, const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    int n = std::vsscanf(text, format, args);
    va_end(args);
    return n;
}

}  // namespace qsm
