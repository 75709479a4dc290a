#include "score/file/staff_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/stream.h"
#include "score/expression_items.h"
#include "score/notated_item.h"
#include "score/structure_items.h"

namespace qsm {

namespace {

// Chord members and rest chord parts nest at most this deep; the reader refuses deeper ones.
constexpr int kMaxNesting = 2;
constexpr int kMaxLyricLines = 8;

// The most bytes taken from the stream's window at once: the bytes scanned beyond a record stay few.
constexpr size_t kPiece = 16384;
// A note record with its kind code takes at most this many bytes.
constexpr std::ptrdiff_t kQuickBytes = 16;

}  // namespace

void TStaffBytes::Reserve(size_t n) {
    Size = 0;
    if (Capacity >= n) return;
    Data.reset(new BYTE[n]);
    Capacity = n;
}

TStaffScanner::TStaffScanner(int formatVersion, TQSRStream& in)
    : V_(formatVersion),
      in_(in),
      notePrefix_(formatVersion >= 10 ? 1 : 0),
      markByte_(formatVersion >= 29),
      stemByte_(formatVersion >= 19),
      carry_(new BYTE[kPiece]) {
    const int V = formatVersion;
    const int P = V >= 10 ? 1 : 0;  // visibility and colour
    const int E = V >= 11 ? 2 : 0;  // the expression prefix
    fixed_.fill(-1);
    fixed_[ntClef] = P + 2 + (V >= 4 ? 2 : 0);
    fixed_[ntKey] = P + 6 + (V >= 3 ? 4 : 0) + (V >= 26 ? 2 : 0);
    fixed_[ntBarLine] = P + 2;
    fixed_[ntSpecialEnding] = P + 2 + (V >= 32 ? 3 : 0);
    fixed_[ntTimeSignature] = P + 4 + (V >= 3 ? 2 : 0);
    fixed_[ntStaffSpacer] = P + 4;
    fixed_[ntMultiMeasureRest] = P + 2 + (V >= 29 ? 2 : 0);
    fixed_[ntDynamic] = P + E + (V >= 11 ? 5 : V >= 4 ? 6 : 4);
    fixed_[ntSustainPedal] = P + E + (V >= 11 ? 1 : 4);
    fixed_[ntFlowDirection] = P + E + 2;
    fixed_[ntGenericControl] = P + E + 8 + TGenericControl::kPoints * 6;
    fixed_[ntTempoVariance] = P + E + (V >= 11 ? 2 : 4);
    fixed_[ntDynamicVariance] = P + E + (V >= 11 ? 1 : 2);
    fixed_[ntPerformanceStyle] = fixed_[ntDynamicVariance];
}

bool TStaffScanner::Fail() {
    ok_ = false;
    // Every later read finds nothing ready and asks Fill, which refuses.
    end_ = p_;
    return false;
}

bool TStaffScanner::Fill(size_t n) {
    if (!ok_) return false;
    TStaffBytes& out = *out_;
    BYTE* base = out.Data.get();
    const size_t at = static_cast<size_t>(p_ - base);
    size_t have = static_cast<size_t>(end_ - base);
    const size_t needed = at + n;
    if (needed > out.Capacity) {
        const size_t capacity = std::max({out.Capacity * 2, needed + kPiece, size_t{4096}});
        std::unique_ptr<BYTE[]> grown(new BYTE[capacity]);
        if (have > 0) std::memcpy(grown.get(), base, have);
        out.Data = std::move(grown);
        out.Capacity = capacity;
        base = out.Data.get();
    }
    while (have < needed) {
        const size_t window = in_.WindowSize();
        if (window == 0) {
            // A stream without a window (or with its window used up) gives just the bytes wanted.
            const DWORD want = static_cast<DWORD>(needed - have);
            const DWORD got = in_.ReadBlock(base + have, want);
            lastPiece_ = 0;
            if (got != want || in_.GetError()) {
                p_ = base + at;
                return Fail();
            }
            have += got;
        } else {
            const size_t k = std::min({window, kPiece, out.Capacity - have});
            std::memcpy(base + have, in_.WindowData(), k);
            in_.TakeFromWindow(k);
            lastPiece_ = k;
            have += k;
        }
    }
    p_ = base + at;
    end_ = base + have;
    return true;
}

bool TStaffScanner::GiveBack() {
    if (carrySize_ > lastPiece_) return false;
    in_.GiveBackToWindow(carrySize_);
    lastPiece_ -= carrySize_;
    carrySize_ = 0;
    return true;
}

void TStaffScanner::String() {
    size_t from = 0;
    while (ok_) {
        const BYTE* zero =
            static_cast<const BYTE*>(std::memchr(p_ + from, 0, static_cast<size_t>(end_ - p_) - from));
        if (zero) {
            p_ = const_cast<BYTE*>(zero) + 1;
            return;
        }
        from = static_cast<size_t>(end_ - p_);
        if (!Fill(from + 1)) return;
    }
}

void TStaffScanner::SongPart() {
    Skip(V_ >= 10 ? 3 : 2);
    const int w2 = Word();
    Skip(2);
    if (V_ >= 29 && (w2 & 0x8000)) Skip(1);
}

void TStaffScanner::NotePart() {
    SongPart();
    const int w = Word();
    if (V_ <= 15) Skip(2);
    if (V_ >= 19 && (w & 0x4000)) Skip(1);
}

void TStaffScanner::RestPart() {
    SongPart();
    if (V_ >= 9) Skip(2);
}

// One item record with its kind code. The sizes follow the reader's fields version by version.
bool TStaffScanner::Item(int depth) {
    // Most records are notes and records of a fixed size, read here while the bytes are at hand.
    if (end_ - p_ >= kQuickBytes) {
        const int code = p_[0] | (p_[1] << 8);
        if (code == ntNote) {
            const BYTE* q = p_ + 2;
            const int w2 = q[notePrefix_ + 2] | (q[notePrefix_ + 3] << 8);
            size_t n = static_cast<size_t>(notePrefix_) + 6 + (markByte_ && (w2 & 0x8000) ? 1 : 0);
            const int w = q[n] | (q[n + 1] << 8);
            n += 2 + (V_ <= 15 ? 2 : 0) + (stemByte_ && (w & 0x4000) ? 1 : 0);
            p_ = const_cast<BYTE*>(q) + n;
            return true;
        }
        if (code < ntItemTypeCount && fixed_[code] >= 0 && fixed_[code] + 2 <= end_ - p_) {
            p_ += 2 + fixed_[code];
            return true;
        }
    }
    const int code = SWord();
    if (!ok_ || code < 0 || code >= ntItemTypeCount) return Fail();
    const int V = V_;
    const size_t P = V >= 10 ? 1 : 0;  // visibility and colour
    const size_t E = V >= 11 ? 2 : 0;  // the expression prefix
    switch (code) {
        case ntStaffSizer: {
            Skip(P);
            int style = Byte();
            if (V == 30) style = style == 0 ? ssEndCollapse : (style > 2 ? style + 1 : style);
            if (style > ssNewSystem) style = ssReset;
            if (style == ssNewSize || style == ssGap) Skip(2);
            if (style == ssNewSystem) Skip(1);
            break;
        }
        case ntPatch:
            Skip(P + E + 6);
            if (V >= 19) {
                String();
                Skip(9);
            }
            break;
        case ntTempo:
            Skip(P + E);
            if (V >= 11) {
                Skip(3);
                String();
            } else {
                Skip(4 + (V >= 3 ? 2 : 0) + (V >= 4 ? 2 : 0));
            }
            break;
        case ntTextExpression:
        case ntChordName:
            Skip(P + E + (V >= 11 ? 1 : 2));
            String();
            break;
        case ntNote:
            NotePart();
            break;
        case ntRest:
            RestPart();
            break;
        case ntChord: {
            NotePart();
            if (V <= 15) Skip(2);
            const int count = SWord();
            if (count > 0 && depth >= kMaxNesting) return Fail();
            for (int i = 0; i < count && ok_; ++i)
                Item(depth + 1);
            break;
        }
        case ntRestChord:
            RestPart();
            if (Word() & 1) {
                if (depth >= kMaxNesting) return Fail();
                Item(depth + 1);
            }
            break;
        default:
            if (fixed_[code] < 0) return Fail();
            Skip(static_cast<size_t>(fixed_[code]));
            break;
    }
    return ok_;
}

bool TStaffScanner::Take(TStaffBytes& out) {
    out_ = &out;
    if (out.Capacity < kPiece) out.Reserve(kPiece);
    std::memcpy(out.Data.get(), carry_.get(), carrySize_);
    p_ = out.Data.get();
    end_ = p_ + carrySize_;
    carrySize_ = 0;
    const int V = V_;
    // The header: names, then the fixed fields.
    const int texts = 2 + (V >= 19 ? 2 : 0) + (V >= 29 ? 1 : 0);
    for (int i = 0; i < texts; ++i)
        String();
    Skip((V >= 9 ? 1 : 0) + 12 + (V >= 19 ? 8 : 0) + 6 + (V >= 16 ? 1 : 0) + (V >= 8 ? 2 : 0) + 6 +
         (V >= 10 ? 1 : 0));
    if (V >= 4 && SWord() != 0) {
        const int lines = SWord();
        if (lines < 0 || lines > kMaxLyricLines) return Fail();
        if (V >= 8) Skip(4);
        for (int i = 0; i < lines && ok_; ++i) {
            const int size = Word();
            if (size != 0) Skip(2 + static_cast<size_t>(size));
        }
    }
    Skip(4);
    const int count = SWord();
    int records = count >= 2 ? count - 2 : 0;
    // Versions up to 8 store the two boundary bar lines as well.
    if (V <= 8) records += std::min(std::max(count, 0), 2);
    for (int i = 0; i < records && ok_; ++i)
        Item(0);
    if (!ok_) return false;
    out.Size = static_cast<size_t>(p_ - out.Data.get());
    carrySize_ = static_cast<size_t>(end_ - p_);
    std::memcpy(carry_.get(), p_, carrySize_);
    out_ = nullptr;
    return true;
}

}  // namespace qsm
