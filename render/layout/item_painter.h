// Measuring and drawing of every notation item: the drawing object that the items' measuring and drawing
// slots forward to, and the note geometry helpers that beams, slurs, lyrics and hit tests use.
#pragma once

#include <vector>

#include "platform/base/wintypes.h"

class TStaffDrawInfo;
class TLayoutRecord;
class TSongNote;
class TMusicNote;

// Size of an item: 1 (cue size) for a grace note, else 0.
int NoteSize(const TSongNote& note);
// Head glyph width of a note at its size.
int HeadWidth(TStaffDrawInfo& info, const TMusicNote& note);
// Distance from the item's x to its head column 0.
int GetHeadOffset(TStaffDrawInfo& info, const TLayoutRecord& record, const TSongNote& note);
// x of the note's stem relative to the item.
int GetStemX(TStaffDrawInfo& info, const TLayoutRecord& record, TMusicNote& note, int direction);
int GetLyricX(TStaffDrawInfo& info, const TLayoutRecord& record, TSongNote& note);
// Head rectangle of a member relative to the item's head column 0.
void GetNoteExtent(TStaffDrawInfo& info, const TMusicNote& member, RECT& out);
// Visual stem length in staff steps.
int GetStemLengthSteps(const TMusicNote& note);
// Dot position of a note (see the chord rules for neighbour and stacked).
int GetDotPosition(const TMusicNote& note, const TMusicNote* neighbour, bool dotsBelow, bool stacked);
// The chord's accidental columns beyond its own extra space.
class TChordData;
int CountChordAccidentalColumns(TStaffDrawInfo& info, TChordData& chord);

namespace qsm {
// Dot positions of a chord's members, by member index: each stem side on its own, stacked when its members
// lie close together, every dot at least two steps past the one before it from the stem split outwards.
std::vector<int> ChordDotPositions(TStaffDrawInfo& info, TChordData& chord);
// Installs the notation drawing as the items' measuring and drawing object (once per process).
void InstallNotationDrawing();
}  // namespace qsm
