// Reads hostile registry files: whatever the bytes, the reader keeps what parses, and writing that back and
// reading it again gives the same file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string once = qsm::registry_internal::ReparseForTest(text);
    if (qsm::registry_internal::ReparseForTest(once) != once) __builtin_trap();
    return 0;
}
