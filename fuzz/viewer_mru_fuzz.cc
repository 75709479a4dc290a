// The stored recent views ("z-mru"): any bytes read back into the list, then stored again within the limit.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/multi_field.h"
#include "viewer/app.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2500) return 0;  // the store never gives more
    TQSStringQueue list(16, true, 64);
    qsm::ReadRecentViewsBlob(data, static_cast<DWORD>(size), list);
    if (list.GetCount() > 16) __builtin_trap();
    for (int i = 0; i < list.GetCount(); ++i)
        if (std::strlen(list.GetEntry(i)) > 260 || list.GetEntry(i)[0] == '\0') __builtin_trap();
    std::vector<BYTE> blob = qsm::MakeRecentViewsBlob(list, 2500);
    if (blob.size() >= 2500) __builtin_trap();
    TQSStringQueue again(16, true, 64);
    qsm::ReadRecentViewsBlob(blob.data(), static_cast<DWORD>(blob.size()), again);
    if (again.GetCount() > list.GetCount()) __builtin_trap();
    for (int i = 0; i < again.GetCount(); ++i)
        if (std::strcmp(again.GetEntry(i), list.GetEntry(i)) != 0) __builtin_trap();
    return 0;
}
