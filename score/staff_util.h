// Staff utilities over items, shared by the items, the staff and the MIDI import: beat lengths of time
// signatures, fitting items to a tick length and making the tied continuation of a split item. The
// arithmetic over plain numbers they build on is in score/pitch_ticks.h.
#pragma once

class TNotatedItem;
class TTimeSignatureData;
class TChordData;

int TimeSignatureBeatTicks(const TTimeSignatureData& timeSignature, bool compound);

// The shortest length SetDurationFromTicks can give (the sixty-fourth, or its triplet when allowed).
int ShortestFittingTicks(bool allowTriplets);
// The ticks that SetDurationFromTicks gives for a length, without an item.
int FittingTicks(int ticks, bool allowTriplets);
// Gives a note, rest or chord the longest candidate duration not above ticks; returns its ticks. Lengths
// below the shortest candidate get the shortest one.
int SetDurationFromTicks(TNotatedItem& item, int ticks, bool allowTriplets);

bool HasTie(const TNotatedItem* item);
// A new note, rest or chord continuing the item (ties set as described in the staff's split operations).
// Any other kind raises qsm::TXCheck "Bad Notation".
TNotatedItem* MakeTiedContinuation(TNotatedItem& item);
void TieChordNotes(TChordData& chord);
