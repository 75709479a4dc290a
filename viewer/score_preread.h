// The score named on the command line is read on a thread of its own from the program's first moment, while
// the windows are made; the open then takes the score instead of reading the file again. The file is read as
// the open would read it, with the same reader and the same settings: a compact or a text score, or a MIDI
// file, which is imported and converted to a score with the instructions the open builds (they depend on the
// file alone). The read tells nothing to anyone: the open reports whatever there is to report, as it does for
// a file it reads itself. Only the main thread calls these.
#pragma once

#include <memory>

#include "midi/smf_convert.h"

class TLongTaskDlg;
class TMusicScore;
class TSMFData;
struct TScoreFileHeader;

namespace qsm {

// The extension of the path's file name with its dot, or an empty text.
const char* ExtensionOf(const char* path);

// The kinds of file the open road tells apart by the name's extension.
enum class TOpenKind { Midi, TextScore, CompactScore };
// The kind the open reads the file (its name as the open resolved it) as.
TOpenKind GetOpenKind(const char* path);

// Starts reading the file of the command line (the first token that is no switch) when it is there. Installs
// the score hooks first, which the reader needs. Nothing happens when a read was started already, or when no
// thread can be had.
void StartScorePreread(const char* commandLine);

// Waits for the read, if one was started. What it read is kept only when it was of this path (as the open
// resolves it) and the file is the one it read: the same size, times and file number as when the read began.
// Anything else is dropped. Every open calls this before it reads anything, so that no read of a file runs
// beside it. A MIDI file's read is waited for until the file is read and imported; its conversion, which
// reads no file, goes on until TakeMidiPreread.
void SettleScorePreread(const char* path);

// Whether a read settled for this path waits to be taken.
bool HasScorePreread(const char* path);

// Hands over the score read for this path as this kind (owned by the caller from now on, null when the reader
// gave none) with its header, as LoadScoreFile or ImportTextScore would have given them. False when there is
// none: the caller reads the file.
bool TakeScorePreread(const char* path, TOpenKind kind, TMusicScore*& score, TScoreFileHeader& hdr);

// What the read made of a MIDI file: its data as imported and the score converted from it (both owned by
// the caller).
struct TMidiPreread {
    std::unique_ptr<TSMFData> Data;
    TMusicScore* Score = nullptr;
};

// Waits for the conversion of the MIDI file read for this path while the open's progress dialog shows, as the
// conversion would have shown it there: its gauge and text, and the window messages handled now and then. A
// cancel confirmed in the dialog stops the conversion and drops the read; an open that comes from a message
// handled meanwhile finds no read and reads its file itself. Hands over what was made; false when nothing was
// read for this path or the wait was cancelled, and when the conversion gave no score (it ran out of memory,
// say), which drops the read: whatever it left of the data is no start for another conversion, and the
// caller reads the file as if nothing had been read.
bool TakeMidiPreread(const char* path, TLongTaskDlg& dialog, TMidiPreread& made);

// The conversion the read of a MIDI file runs on its thread; null for ConvertMidiToScore. Set before the read
// starts. Tests make it fail there.
using TMidiConversion = TMusicScore* (*)(TSMFData* data, const TSMFImportList& list, int lyricKind);
void SetPrereadMidiConversion(TMidiConversion convert);

// Stops a read still under way soon (at its next block of the file) and drops its result. For the end of
// the program, when nothing took the score.
void DropScorePreread();

}  // namespace qsm
