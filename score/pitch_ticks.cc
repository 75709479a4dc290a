// Pitch and tick arithmetic over plain numbers.
#include "score/pitch_ticks.h"

#include <cstdio>
#include <cstdlib>

void MidiNoteToStaffPos(int clef, int key, int note, int& position, int& accidental) {
    static constexpr int kFlatSteps[12] = {0, 1, 1, 2, 3, 3, 4, 4, 5, 6, 6, 0};
    static constexpr int kSharpSteps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    // Notes outside 0-127 keep their pitch class when brought into range.
    note = FoldMidiPitch(note);
    const int k = note + 3;
    const int octave = k / 12;
    const int i = k % 12;
    int base = octave - 2;
    int step = 0;
    accidental = acNatural;
    if (key < 0) {
        step = kFlatSteps[i];
        if (kFlatSteps[i] == kFlatSteps[(i + 1) % 12]) accidental = acFlat;
        if (i == 11) base = octave - 1;
        if (key <= -7 && i == 7) {
            step = 5;
            accidental = acFlat;
        } else if (key <= -6 && i == 2) {
            step = 2;
            accidental = acFlat;
        }
    } else {
        step = kSharpSteps[i];
        if (kSharpSteps[i] == kSharpSteps[(i + 11) % 12]) accidental = acSharp;
        if (key >= 7 && i == 3) {
            step = 1;
            accidental = acSharp;
        } else if (key >= 6 && i == 8) {
            step = 4;
            accidental = acSharp;
        }
    }
    position = ClefReferenceStep(clef) - (step + base * 7);
}

void StaffUtil_PitchName(int note, char* buffer) {
    static constexpr char kLetters[12] = {'C', 'C', 'D', 'D', 'E', 'F', 'F', 'G', 'G', 'A', 'A', 'B'};
    static constexpr char kSharps[12] = {' ', '#', ' ', '#', ' ', ' ', '#', ' ', '#', ' ', '#', ' '};
    if (note < 0) note = 0;
    if (note > 127) note = 127;
    snprintf(buffer, 8, "%c%c%d", kLetters[note % 12], kSharps[note % 12], note / 12 - 1);
}

int StaffUtil_BuildPitchNameList(char* buffer) {
    int used = 0;
    for (int note = 0; note < 128; ++note) {
        char name[8];
        StaffUtil_PitchName(note, name);
        int n = 0;
        while (name[n])
            buffer[used++] = name[n++];
        buffer[used++] = 0;
    }
    buffer[used++] = 0;
    return used;
}

int SymbolSideSpace(int accidental, int side) {
    if (accidental == acFlat || accidental == acDoubleFlat) return side >= 0 ? 4 : 2;
    if (accidental == acDoubleSharp) return 2;
    return 3;
}

int SymbolPairGap(int left, int right) {
    if (left == acNatural && right == acFlat) return 6;
    if (left == acNatural && right == acNatural) return 5;
    if (left == acDoubleSharp && right == acDoubleSharp) return 3;
    return SymbolSideSpace(left, -1) + SymbolSideSpace(right, 1);
}

int MeasureTicks(int beats, int exponent) {
    if (beats < 1) beats = 1;
    if (exponent < 0) exponent = 0;
    if (exponent > 15) exponent = 15;
    return (768 >> exponent) * beats;
}

int BeatTicks(int beats, int exponent, bool compound) {
    if (beats < 1) beats = 1;
    const int measure = MeasureTicks(beats, exponent);
    if (compound && beats % 3 == 0 && beats / 3 > 1) return measure / beats * 3;
    return measure / beats;
}

int DurationToTicks(int code) {
    if (code < 0) code = 0;
    if (code < 2) return 192 << (2 - code);
    if (code > 10) return 0;
    return 192 >> (code - 2);
}
