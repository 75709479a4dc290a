// An owned heap byte block with its size.
#pragma once

#include "platform/base/wintypes.h"

class TQSMemoryBlock {
public:
    // A zeroed block of size bytes (no block for 0).
    explicit TQSMemoryBlock(int32_t size = 0);
    // A copy of size bytes.
    TQSMemoryBlock(const void* data, int32_t size);
    // A copy of the string with its terminator.
    explicit TQSMemoryBlock(const char* s);
    // The resource's bytes in a block of the resource's size + 10 bytes, the rest zero (so the bytes are
    // always followed by a zero byte); an empty block when the resource is missing or empty.
    TQSMemoryBlock(HINSTANCE module, LPCSTR resourceName, LPCSTR resourceType);
    TQSMemoryBlock(const TQSMemoryBlock& other);
    TQSMemoryBlock& operator=(const TQSMemoryBlock& other);
    ~TQSMemoryBlock();

    BYTE* GetData() { return data_; }
    const BYTE* GetData() const { return data_; }
    int32_t GetSize() const { return size_; }

    // A new zeroed block of n bytes takes the first min(old size, n) bytes; 0 leaves no block.
    void Resize(int32_t n);
    // Resize only when n is larger than the size.
    void EnsureSize(int32_t n);
    void ZeroFill();
    // Hands the bytes to the caller (who frees them with delete[]) and leaves the block empty; null when
    // there was no block.
    BYTE* Detach();
    // ZeroFill, then the string with its terminator; the block grows when it is too small.
    void SetString(const char* s);

private:
    BYTE* data_ = nullptr;
    int32_t size_ = 0;
};
