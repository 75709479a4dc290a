#include "core/bool_array.h"

#include <cstring>

TQSBoolArray::TQSBoolArray(int32_t bitCount) : bitCount_(bitCount < 0 ? 0 : bitCount) {
    store_ = new BYTE[static_cast<size_t>(GetByteSize())]();
}

TQSBoolArray::TQSBoolArray(const TQSBoolArray& other) : TQSBoolArray(other.bitCount_) {
    std::memcpy(store_, other.store_, static_cast<size_t>(GetByteSize()));
}

TQSBoolArray& TQSBoolArray::operator=(const TQSBoolArray& other) {
    if (this != &other) {
        BYTE* fresh = new BYTE[static_cast<size_t>(other.GetByteSize())];
        std::memcpy(fresh, other.store_, static_cast<size_t>(other.GetByteSize()));
        delete[] store_;
        store_ = fresh;
        bitCount_ = other.bitCount_;
    }
    return *this;
}

TQSBoolArray::~TQSBoolArray() {
    delete[] store_;
}

int32_t TQSBoolArray::ByteSizeFor(int32_t bitCount) {
    int32_t b = bitCount / 8 + 1;
    return b + (b % 4);
}

int32_t TQSBoolArray::GetByteSize() const {
    return ByteSizeFor(bitCount_);
}

int TQSBoolArray::Get(int32_t n) const {
    if (n < 0 || n >= bitCount_) return 0;
    return (store_[n / 8] >> (n % 8)) & 1;
}

void TQSBoolArray::Set(int32_t n, int value) {
    if (n < 0 || n >= bitCount_) return;
    BYTE mask = static_cast<BYTE>(1u << (n % 8));
    if (value) {
        store_[n / 8] |= mask;
    } else {
        store_[n / 8] &= static_cast<BYTE>(~mask);
    }
}

void TQSBoolArray::InsertBit(int32_t n, int value) {
    if (n < 0 || n >= bitCount_) return;
    for (int32_t i = bitCount_ - 1; i > n; --i)
        Set(i, Get(i - 1));
    Set(n, value);
}

void TQSBoolArray::DeleteBit(int32_t n) {
    if (n < 0 || n >= bitCount_) return;
    Set(n, 0);
    for (int32_t i = n; i < bitCount_ - 1; ++i)
        Set(i, Get(i + 1));
    Set(bitCount_ - 1, 0);
}

void TQSBoolArray::Fill(bool value) {
    std::memset(store_, value ? 0xFF : 0, static_cast<size_t>(GetByteSize()));
}

bool TQSBoolArray::AnySet() const {
    for (int32_t i = 0; i < GetByteSize(); ++i) {
        if (store_[i]) return true;
    }
    return false;
}

int32_t TQSBoolArray::Count(bool value) const {
    int32_t n = 0;
    for (int32_t i = 0; i < bitCount_; ++i) {
        if ((Get(i) != 0) == value) ++n;
    }
    return n;
}

int32_t TQSBoolArray::FirstSet() const {
    for (int32_t i = 0; i < bitCount_; ++i) {
        if (Get(i)) return i;
    }
    return -1;
}

int32_t TQSBoolArray::LastSet() const {
    for (int32_t i = bitCount_ - 1; i >= 0; --i) {
        if (Get(i)) return i;
    }
    return -1;
}

bool TQSBoolArray::IsEqual(const TQSBoolArray& other) const {
    if (bitCount_ != other.bitCount_) return false;
    return std::memcmp(store_, other.store_, static_cast<size_t>(GetByteSize())) == 0;
}

void TQSBoolArray::Assign(const TQSBoolArray& other) {
    int32_t n = GetByteSize() < other.GetByteSize() ? GetByteSize() : other.GetByteSize();
    std::memset(store_, 0, static_cast<size_t>(GetByteSize()));
    std::memcpy(store_, other.store_, static_cast<size_t>(n));
}

int PopCount(DWORD x) {
    DWORD y = x - ((x >> 1) & 0xDB6DB6DBu) - ((x >> 2) & 0x49249249u);
    return static_cast<int>(((y + (y >> 3)) & 0xC71C71C7u) % 63);
}
