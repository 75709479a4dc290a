// Base of every notation item of a staff: the type tag, the visibility and colour nibbles, and the virtual
// operations that readers, writers, indexes, layout, drawing and playback use. The concrete classes are in
// song_note.h (notes, rests, chords), structure_items.h (clefs, keys, bar lines ...) and
// expression_items.h (marks above and below the staff).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/small_pool.h"

class TQSRStream;
class TStaffPlayState;
class TMidiFileBuf;
class TMusicStaff;
class TStaffDrawInfo;
class TLayoutRecord;
class TMusicNote;
class TRestNote;

// Type tags: also the item codes of the score files and the index of the item keyword in vocabulary list 0.
enum TNotatedItemType : int {
    ntClef = 0,
    ntKey = 1,
    ntBarLine = 2,
    ntSpecialEnding = 3,
    ntPatch = 4,
    ntTimeSignature = 5,
    ntTempo = 6,
    ntDynamic = 7,
    ntNote = 8,
    ntRest = 9,
    ntChord = 10,
    ntSustainPedal = 11,
    ntFlowDirection = 12,
    ntGenericControl = 13,
    ntTempoVariance = 14,
    ntDynamicVariance = 15,
    ntPerformanceStyle = 16,
    ntTextExpression = 17,
    ntRestChord = 18,
    ntChordName = 19,
    ntStaffSpacer = 20,
    ntMultiMeasureRest = 21,
    ntStaffSizer = 22,
    ntItemTypeCount = 23
};

// Visibility values (vocabulary list 5).
enum TItemVisibility : int {
    ivDefault = 0,
    ivAlways = 1,
    ivTopStaff = 2,
    ivSingleStaff = 3,
    ivMultiStaff = 4,
    ivNever = 5
};

// Ticks of the duration codes 0-6 (whole .. sixty-fourth) at 192 ticks per quarter note.
constexpr int kTicksPerQuarter = 192;

class TNotatedItem {
public:
    TNotatedItem(const TNotatedItem&) = delete;
    TNotatedItem& operator=(const TNotatedItem&) = delete;

    // Slot 0.
    virtual ~TNotatedItem() = default;

    // Items come from the small-block pool: a large score holds more than a million of them.
    static void* operator new(std::size_t size) { return qsm::PoolAllocate(size); }
    static void operator delete(void* block, std::size_t size) noexcept { qsm::PoolFree(block, size); }
    // The type tag, fixed by the class's constructor. A plain field rather than a virtual call: readers,
    // indexes, layout and playback ask it for nearly every item they visit.
    int GetType() const { return ItemType; }
    // Slot 1: writes the item's record (its base part first).
    virtual void Save(TQSRStream& stream) const;
    // Slot 2: copies what the class declares; the base copies Visibility and Color.
    virtual void CopyFrom(const TNotatedItem& other);
    // Slots 3-10: note queries and kind predicates.
    virtual int GetNoteCount() const { return 0; }
    virtual TMusicNote* GetNote(int index) const;
    virtual TRestNote* GetRestNote() { return nullptr; }
    virtual bool IsNote() const { return false; }
    virtual bool IsSongNote() const { return false; }
    virtual bool HasNotes() const { return false; }
    virtual bool IsRest() const { return false; }
    virtual bool IsExpression() const { return false; }
    // Slots 11-14: staff positions (steps from the middle line, positive downward).
    virtual int GetStaffPos() const { return 0; }
    virtual int GetMinStaffPos() const { return GetStaffPos(); }
    virtual int GetMaxStaffPos() const { return GetStaffPos(); }
    virtual void SetStaffPos(int /*pos*/) {}
    // Slots 15-17: measuring and drawing, done by the installed TItemDrawing (item_drawing.h).
    virtual int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record);
    virtual int Measure(TStaffDrawInfo& info, TLayoutRecord& record) = 0;
    virtual void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) = 0;
    // Slots 18-21: playback.
    virtual void UpdatePlayState(TStaffPlayState& state);
    virtual int GetDuration() const { return 0; }
    virtual void Play(TStaffPlayState& state, TMidiFileBuf& buffer);
    virtual int GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index);

    int GetVisibility() const { return Flags & 0x0F; }
    void SetVisibility(int v) { Flags = static_cast<uint8_t>((Flags & 0xF0) | (v & 0x0F)); }
    int GetColor() const { return Flags >> 4; }
    void SetColor(int c) { Flags = static_cast<uint8_t>((Flags & 0x0F) | ((c & 0x0F) << 4)); }
    // The visibility and colour byte as the score files store it (visibility low, colour high).
    uint8_t GetFlagsByte() const { return Flags; }
    void SetFlagsByte(uint8_t b) { Flags = b; }
    bool IsNever() const { return GetVisibility() == ivNever; }

    // The note at a staff position (members are ordered by falling position), or null.
    TMusicNote* FindNoteAtStaffPos(int pos) const;
    // A note at the position that starts (tieEnd 0) or ends (tieEnd 1) a tie; see the audit walk.
    TMusicNote* FindTiedNote(int pos, bool tieEnd, int accidental, bool stop) const;

protected:
    explicit TNotatedItem(TNotatedItemType type) : ItemType(static_cast<uint8_t>(type)) {}

private:
    uint8_t Flags = 0;
    uint8_t ItemType;
};
