// A fixed-length array of bits in a heap byte store. The store's byte size rule is part of the compact score
// file format, which stores the bytes as they are.
#pragma once

#include "platform/base/wintypes.h"

class TQSBoolArray {
public:
    // All bits (and the spare bits of the store) clear.
    explicit TQSBoolArray(int32_t bitCount);
    TQSBoolArray(const TQSBoolArray& other);
    TQSBoolArray& operator=(const TQSBoolArray& other);
    ~TQSBoolArray();

    int32_t GetBitCount() const { return bitCount_; }
    // b := bit count / 8 + 1; size := b + (b mod 4). 255 bits give 32 bytes.
    int32_t GetByteSize() const;
    // The store, GetByteSize bytes; bit n is bit (n mod 8) of byte n / 8.
    BYTE* GetStore() { return store_; }
    const BYTE* GetStore() const { return store_; }

    // Indexes outside 0..bit count-1 read as 0 and change nothing.
    int Get(int32_t n) const;
    void Set(int32_t n, int value);
    // Bits from the last down to n+1 take the bit before them (the last falls off); bit n := value.
    void InsertBit(int32_t n, int value);
    // Bits n+1 to the last move down one place; the last becomes clear.
    void DeleteBit(int32_t n);
    // Every byte of the store (spare bits included) 0xFF or 0.
    void Fill(bool value);
    // Any byte of the store not 0 (spare bits included).
    bool AnySet() const;
    // Number of the first bit-count bits equal to value.
    int32_t Count(bool value) const;
    int32_t FirstSet() const;
    int32_t LastSet() const;
    // Same bit count and the same store bytes.
    bool IsEqual(const TQSBoolArray& other) const;
    // Clears the store, then copies the first min(both byte sizes) bytes of the other's store.
    void Assign(const TQSBoolArray& other);

    static int32_t ByteSizeFor(int32_t bitCount);

private:
    int32_t bitCount_;
    BYTE* store_;
};

// Number of set bits of a 32-bit word.
int PopCount(DWORD x);
