#include "platform/kernel/memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/base/winerror.h"
#include "platform/kernel/system.h"

namespace {

struct GlobalBlock {
    void* data;
    size_t size;
    unsigned locks;
};

std::mutex& BlockMutex() {
    static std::mutex m;
    return m;
}

std::unordered_set<GlobalBlock*>& Blocks() {
    static auto* blocks = new std::unordered_set<GlobalBlock*>();
    return *blocks;
}

GlobalBlock* Find(HGLOBAL h) {
    auto* b = static_cast<GlobalBlock*>(h);
    std::lock_guard<std::mutex> lock(BlockMutex());
    if (Blocks().count(b) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return b;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    // Never a null data pointer, so that a lock of an empty block still succeeds.
    void* data =
        (uFlags & GMEM_ZEROINIT) ? std::calloc(dwBytes ? dwBytes : 1, 1) : std::malloc(dwBytes ? dwBytes : 1);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    GlobalBlock* b = nullptr;
    try {
        b = new GlobalBlock{data, dwBytes, 0};
        std::lock_guard<std::mutex> lock(BlockMutex());
        Blocks().insert(b);
    } catch (...) {
        // No room for the block's record: the data goes with the failure.
        delete b;
        std::free(data);
        throw;
    }
    return b;
}

LPVOID GlobalLock(HGLOBAL hMem) {
    GlobalBlock* b = Find(hMem);
    if (!b) return nullptr;
    ++b->locks;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    GlobalBlock* b = Find(hMem);
    if (!b) return FALSE;
    if (b->locks > 0) --b->locks;
    SetLastError(ERROR_SUCCESS);
    return b->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
    GlobalBlock* b = Find(hMem);
    if (!b) return nullptr;
    void* data = std::realloc(b->data, dwBytes ? dwBytes : 1);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((uFlags & GMEM_ZEROINIT) && dwBytes > b->size) {
        std::memset(static_cast<char*>(data) + b->size, 0, dwBytes - b->size);
    }
    b->data = data;
    b->size = dwBytes;
    return hMem;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    auto* b = static_cast<GlobalBlock*>(hMem);
    {
        std::lock_guard<std::mutex> lock(BlockMutex());
        if (Blocks().erase(b) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
    }
    std::free(b->data);
    delete b;
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    GlobalBlock* b = Find(hMem);
    return b ? b->size : 0;
}
