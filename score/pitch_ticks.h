// Pitch and tick arithmetic of the score model over plain numbers: accidental, duration and clef codes,
// spelling MIDI notes under a clef and a key, pitch names, accidental spacing and tick lengths. Nothing here
// knows an item, so the items, the staff and the MIDI import all build on it.
#pragma once

#include <cstdlib>

// Accidental codes (vocabulary list 43 "#bnxv", then none).
enum TAccidental : int {
    acSharp = 0,
    acFlat = 1,
    acNatural = 2,
    acDoubleSharp = 3,
    acDoubleFlat = 4,
    acNone = 5
};

// Duration codes (vocabulary list 14).
enum TDurationCode : int {
    dcWhole = 0,
    dcHalf = 1,
    dcQuarter = 2,
    dcEighth = 3,
    dc16th = 4,
    dc32nd = 5,
    dc64th = 6
};

// Clef types (vocabulary list 6).
enum TClefType : int { ctTreble = 0, ctBass = 1, ctAlto = 2, ctTenor = 3, ctPercussion = 4 };

// Keeps a MIDI pitch in 0..127 without changing its pitch class.
inline int FoldMidiPitch(int pitch) {
    if (pitch < 0) return 12 - (std::abs(pitch) % 12);
    if (pitch > 127) return 115 + (pitch - 115) % 12;
    return pitch;
}

// Diatonic step number (A0 = 0, 7 per octave) of the middle line of a clef; 29 for unknown clefs.
inline int ClefReferenceStep(int clef) {
    switch (clef) {
        case ctTreble:
            return 29;
        case ctBass:
            return 17;
        case ctAlto:
            return 23;
        case ctTenor:
            return 21;
        case ctPercussion:
            return 17;
        default:
            return 29;
    }
}

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
int DurationToTicks(int code);
