// Staff utilities shared by the items, the staff and the MIDI import: clef reference steps, spelling MIDI
// notes under a key, pitch names, accidental spacing, tick lengths, fitting items to a tick length and
// making the tied continuation of a split item.
#pragma once

class TNotatedItem;
class TTimeSignatureData;
class TChordData;

// Diatonic step number (A0 = 0, 7 per octave) of the middle line of a clef; 29 for unknown clefs.
int ClefReferenceStep(int clef);

// Staff position and accidental code of a MIDI note under a clef and a key (sharps positive, flats negative).
void MidiNoteToStaffPos(int clef, int key, int note, int& position, int& accidental);

// "%c%c%d": letter, '#' or ' ', octave. buffer must hold at least 8 bytes.
void StaffUtil_PitchName(int note, char* buffer);
// The 128 pitch names, each ended by a 0 byte, and one more 0 byte; returns the bytes written.
int StaffUtil_BuildPitchNameList(char* buffer);

int SymbolSideSpace(int accidental, int side);
int SymbolPairGap(int left, int right);

int MeasureTicks(int beats, int exponent);
int BeatTicks(int beats, int exponent, bool compound);
int TimeSignatureBeatTicks(const TTimeSignatureData& timeSignature, bool compound);
int DurationToTicks(int code);

// The shortest length SetDurationFromTicks can give (the sixty-fourth, or its triplet when allowed).
int ShortestFittingTicks(bool allowTriplets);
// Gives a note, rest or chord the longest candidate duration not above ticks; returns its ticks. Lengths
// below the shortest candidate get the shortest one.
int SetDurationFromTicks(TNotatedItem& item, int ticks, bool allowTriplets);

bool HasTie(const TNotatedItem* item);
// A new note, rest or chord continuing the item (ties set as described in the staff's split operations).
// Any other kind raises qsm::TXCheck "Bad Notation".
TNotatedItem* MakeTiedContinuation(TNotatedItem& item);
void TieChordNotes(TChordData& chord);
