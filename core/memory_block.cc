#include "core/memory_block.h"

#include <cstring>

#include "platform/kernel/resources.h"

TQSMemoryBlock::TQSMemoryBlock(int32_t size) {
    Resize(size);
}

TQSMemoryBlock::TQSMemoryBlock(const void* data, int32_t size) {
    Resize(size);
    if (data_ && data) std::memcpy(data_, data, static_cast<size_t>(size_));
}

TQSMemoryBlock::TQSMemoryBlock(const char* s) {
    if (!s) return;
    Resize(static_cast<int32_t>(std::strlen(s) + 1));
    std::memcpy(data_, s, static_cast<size_t>(size_));
}

TQSMemoryBlock::TQSMemoryBlock(HINSTANCE module, LPCSTR resourceName, LPCSTR resourceType) {
    HRSRC r = FindResourceA(module, resourceName, resourceType);
    if (!r) return;
    DWORD size = SizeofResource(module, r);
    const void* p = LockResource(LoadResource(module, r));
    if (!p || size == 0 || size > 0x7FFFFFF0u - 10) return;
    Resize(static_cast<int32_t>(size + 10));
    std::memcpy(data_, p, size);
}

TQSMemoryBlock::TQSMemoryBlock(const TQSMemoryBlock& other) : TQSMemoryBlock(other.data_, other.size_) {}

TQSMemoryBlock& TQSMemoryBlock::operator=(const TQSMemoryBlock& other) {
    if (this != &other) {
        Resize(0);
        Resize(other.size_);
        if (data_) std::memcpy(data_, other.data_, static_cast<size_t>(size_));
    }
    return *this;
}

TQSMemoryBlock::~TQSMemoryBlock() {
    delete[] data_;
}

void TQSMemoryBlock::Resize(int32_t n) {
    if (n < 0) n = 0;
    if (n == size_) return;
    BYTE* fresh = n > 0 ? new BYTE[static_cast<size_t>(n)]() : nullptr;
    if (fresh && data_) std::memcpy(fresh, data_, static_cast<size_t>(n < size_ ? n : size_));
    delete[] data_;
    data_ = fresh;
    size_ = n;
}

void TQSMemoryBlock::EnsureSize(int32_t n) {
    if (n > size_) Resize(n);
}

void TQSMemoryBlock::ZeroFill() {
    if (data_) std::memset(data_, 0, static_cast<size_t>(size_));
}

BYTE* TQSMemoryBlock::Detach() {
    BYTE* p = data_;
    data_ = nullptr;
    size_ = 0;
    return p;
}

void TQSMemoryBlock::SetString(const char* s) {
    ZeroFill();
    if (!s || !*s) return;
    int32_t need = static_cast<int32_t>(std::strlen(s) + 1);
    EnsureSize(need);
    std::memcpy(data_, s, static_cast<size_t>(need));
}
