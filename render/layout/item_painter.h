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
// The part of a multi-measure rest's bar that belongs to one of its bars, where one record draws the rest
// over several bars: the record at index `record` stands for the bar (a later bar's record that is not drawn
// goes to the rest record drawn before it); on success `drawing` is that rest record and x1..x2 the bar's
// share of its rest bar, relative to the segment's x. False when no record draws the rest over that bar and
// others.
bool MultiMeasureRestBarShare(TStaffDrawInfo& info, int record, int bar, int& drawing, int& x1, int& x2);
// Installs the notation drawing as the items' measuring and drawing object (once per process).
void InstallNotationDrawing();
}  // namespace qsm
