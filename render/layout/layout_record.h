// The per-item records of a laid-out staff segment: what stands at each point of the line, which item it
// stands for, how wide it is and how much time it spans. Fitting, alignment, justification and drawing
// work on these records alone.
#pragma once

#include <cstdint>

// Record kinds (bits 0-5 of the first byte).
enum TLayoutKind : int {
    lkFloating = 0,
    lkBoundary = 1,
    lkGap = 2,
    lkBarStart = 3,
    lkMultiRest = 4,
    lkSpacer = 5,
    lkSegmentStart = 6,
    lkForwardExpression = 7,
    lkEnding = 8,
    lkGrace = 9,
    lkSignatureExpression = 10,
    lkClef = 11,
    lkKey = 12,
    lkTimeSig = 13,
    lkNote = 14,
    lkMultiRestMore = 15,
    lkBarLine = 16
};

class TLayoutRecord {
public:
    static constexpr uint8_t kHiddenBit = 0x40;
    static constexpr uint8_t kCopyBit = 0x80;

    void Clear() { *this = TLayoutRecord(); }

    int GetKind() const { return KindAndFlags & 0x3F; }
    void SetKind(int kind) { KindAndFlags = static_cast<uint8_t>((KindAndFlags & 0xC0) | (kind & 0x3F)); }
    bool IsHidden() const { return (KindAndFlags & kHiddenBit) != 0; }
    void SetHidden(bool on) { SetBit(kHiddenBit, on); }
    bool IsCopy() const { return (KindAndFlags & kCopyBit) != 0; }
    void SetCopy(bool on) { SetBit(kCopyBit, on); }

    bool IsBarBreak() const { return GetKind() == lkBarLine || GetKind() == lkMultiRestMore; }
    bool IsMultiBarRest() const { return GetKind() == lkMultiRest || GetKind() == lkMultiRestMore; }
    bool IsItemPosition() const {
        int k = GetKind();
        if (k == lkSegmentStart) return false;
        if (k == lkMultiRest || k == lkMultiRestMore) return true;
        return !IsCopy();
    }
    bool IsDrawable() const {
        switch (GetKind()) {
            case lkFloating:
            case lkBoundary:
            case lkSpacer:
            case lkForwardExpression:
                return false;
            case lkGrace:
            case lkNote:
                return !IsHidden();
            default:
                return true;
        }
    }
    bool IsSignatureLike() const {
        int k = GetKind();
        return k == lkGap || k == lkBarStart || (k >= lkGrace && k <= lkTimeSig);
    }
    bool IsSpacingTransparent() const {
        int k = GetKind();
        if (k == lkGap || k == lkSpacer || IsHidden()) return true;
        return GetPriority() == 0 && Width == 0 && k != lkClef;
    }
    int GetBarCount() const { return (IsMultiBarRest() || GetKind() == lkBarLine) ? Count : 0; }
    int GetSyllable() const { return (GetKind() == lkGrace || GetKind() == lkNote) ? Count : 0; }

    // Alignment priority of the kind; a mid-bar clef is given priority 0 by the builder (MidBarClef).
    int GetPriority() const {
        static constexpr int8_t kPriority[17] = {0, 0, 6, 6, 7, 0, 0, 0, 0, 0, 1, 2, 3, 4, 8, 5, 5};
        int k = GetKind();
        if (k > lkBarLine) return 0;
        if (IsHidden() && k != lkMultiRest && k != lkNote && k != lkMultiRestMore && k != lkBarLine) return 0;
        if (k == lkClef && MidBarClef) return 0;
        return kPriority[k];
    }

    uint8_t KindAndFlags = 0;
    uint8_t AccidentalSpace = 0;
    uint8_t ChordLayout = 0;
    // Set on a clef record that follows a note, rest, grace or multi-measure rest record in its bar.
    uint8_t MidBarClef = 0;
    uint16_t ItemIndex = 0;
    uint16_t Count = 0;
    // Held in 32 bits: alignment and justification can add more room to one record than 16 bits hold.
    int32_t Width = 0;
    uint32_t Time = 0;

private:
    void SetBit(uint8_t bit, bool on) {
        KindAndFlags = static_cast<uint8_t>(on ? (KindAndFlags | bit) : (KindAndFlags & ~bit));
    }
};
