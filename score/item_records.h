// Item records of the compact score file: reading an item of any format version, writing one of the current
// version, the default items of each kind, copying and comparing items through their records, and the
// counted item-range record. Each class's Save slot writes its record; the readers below take it back.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "score/score_file_header.h"

class TQSRStream;
class TNotatedItem;
class TLyricText;
class TMusicStaff;
class TStaffItemRange;
class TChordData;

// Reads one item record (type code and fields). True with item set to a new item that the caller owns;
// false with item null when the stream was already in error, the type code lies outside 0-22, a chord
// member or chord part was of the wrong kind, or the stream failed while reading. A rest chord without a
// chord part comes back as a rest and a chord with one member as that note.
bool ReadNotatedItem(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item);

// ReadNotatedItem for a reader that finishes chords later, side by side: a chord of two members or more, no
// two on one staff position, comes back before the steps of its reading that follow its members (their
// order and stem settings, the sync; see FinishReadingChord) and is named in unfinished (else null). The
// caller finishes it before anything reads the chord.
bool ReadNotatedItemUnfinished(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item,
                               TChordData*& unfinished);
// The steps that ReadNotatedItemUnfinished left out, with the header the chord was read under.
void FinishReadingChord(TChordData& chord, const TScoreFileHeader& hdr);

// A new item of the kind with its default settings; null for a code outside 0-22.
TNotatedItem* CreateNotatedItem(int typeCode);

// The type code followed by the item's record.
void WriteNotatedItem(TQSRStream& out, const TNotatedItem& item);

// A new item equal to item, made by writing its record and reading it back as the current version;
// null when the record could not be read back. The caller owns the copy.
TNotatedItem* CloneNotatedItem(const TNotatedItem& item);

// Compares the records of two items byte by byte, the shorter record padded with zero bytes to at least
// 2048 bytes: 0 when equal, else the difference of the first differing bytes (a minus b, unsigned).
int CompareNotatedItems(const TNotatedItem& a, const TNotatedItem& b);

// value when 0 <= value <= count - 1, else 0.
inline int ClampToRange(int value, int count) {
    return value >= 0 && value <= count - 1 ? value : 0;
}

// One lyric line of a staff's lyric block: size word, used-length word and the buffer bytes.
void WriteLyricLine(const TLyricText& line, TQSRStream& out);

// The shared version-32 header record with status 1 that copies read under.
const TScoreFileHeader& CurrentVersionHeader();

namespace qsm {

// Primitive fields of the records: signed words, unsigned and signed bytes.
inline int ReadSWord(TQSRStream& in) {
    return static_cast<int16_t>(in.ReadWord());
}
inline int ReadUWord(TQSRStream& in) {
    return static_cast<uint16_t>(in.ReadWord());
}
inline int ReadByte(TQSRStream& in) {
    return in.GetByte();
}
inline int ReadSByte(TQSRStream& in) {
    return static_cast<int8_t>(in.GetByte());
}

}  // namespace qsm

// The counted item range: version word, count word and the records of the range's items.
void WriteItemRange(const TStaffItemRange& range, TQSRStream& out);
// Reads a counted item range and inserts its items into the range's staff from its first index on; with
// format, the inserted items are formatted. Afterwards the range's last index is the last inserted item
// (first - 1 when none). True when every item was read.
bool ReadItemRange(TStaffItemRange& range, TQSRStream& in, bool format);
