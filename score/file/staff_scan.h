// Taking the staff records of a compact score file out of a stream whole, without building their items: a
// staff record carries no length, so its end is found by walking the sizes of the records it holds. The
// bytes taken can then be read into a staff on any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/base/wintypes.h"

class TQSRStream;

namespace qsm {

// The bytes of one staff record.
struct TStaffBytes {
    std::unique_ptr<BYTE[]> Data;
    size_t Size = 0;
    size_t Capacity = 0;

    // Room for at least n bytes (the bytes held are dropped).
    void Reserve(size_t n);
};

class TStaffScanner {
public:
    TStaffScanner(int formatVersion, TQSRStream& in);

    // Moves the next staff record from the stream into out. False when the stream fails or ends first, or
    // when the record holds something whose size the scanner cannot tell (the record may then be damaged
    // in a way that only reading it shows); the stream's position is then anywhere after the record's start.
    bool Take(TStaffBytes& out);
    // The scanner takes the stream's bytes in pieces, some of them beyond the last record taken: gives
    // those back, so that the stream goes on after that record. False when it cannot.
    bool GiveBack();

private:
    // Makes n bytes ready at the scanning position, taking more from the stream.
    bool Fill(size_t n);
    bool Skip(size_t n) {
        if (static_cast<size_t>(end_ - p_) < n && !Fill(n)) return false;
        p_ += n;
        return true;
    }
    int Byte() {
        if (end_ == p_ && !Fill(1)) return 0;
        return *p_++;
    }
    int Word() {
        if (end_ - p_ < 2 && !Fill(2)) return 0;
        const int v = p_[0] | (p_[1] << 8);
        p_ += 2;
        return v;
    }
    int SWord() { return static_cast<int16_t>(Word()); }
    void String();
    bool Item(int depth);
    void SongPart();
    void NotePart();
    void RestPart();
    bool Fail();

    const int V_;
    TQSRStream& in_;
    // The note record's fields by version: the prefix byte, the mark and stem length bytes.
    const int notePrefix_;
    const bool markByte_;
    const bool stemByte_;
    // The size of every kind of record that has one size in this version, else -1.
    std::array<int, 32> fixed_;
    TStaffBytes* out_ = nullptr;
    // The scanning position and the end of the bytes taken, in out_'s bytes.
    BYTE* p_ = nullptr;
    BYTE* end_ = nullptr;
    bool ok_ = true;
    // The bytes taken beyond the last record, and how many the last piece taken from the stream's window
    // held (what can be given back).
    std::unique_ptr<BYTE[]> carry_;
    size_t carrySize_ = 0;
    size_t lastPiece_ = 0;
};

}  // namespace qsm
