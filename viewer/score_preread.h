// The score named on the command line is read on a thread of its own from the program's first moment, while
// the windows are made; the open then takes the score instead of reading the file again. Only a file the open
// would read as a compact or a text score is read (a MIDI file is not), with the same reader and the same
// settings. The read tells nothing to anyone: the open reports whatever there is to report, as it does for a
// file it reads itself. Only the main thread calls these.
#pragma once

class TMusicScore;
struct TScoreFileHeader;

namespace qsm {

// The extension of the path's file name with its dot, or an empty text.
const char* ExtensionOf(const char* path);

// The kinds of file the open road tells apart by the name's extension.
enum class TOpenKind { Midi, TextScore, CompactScore };
// The kind the open reads the file (its name as the open resolved it) as.
TOpenKind GetOpenKind(const char* path);

// Starts reading the file of the command line (the first token that is no switch) when the open would read it
// as a compact or a text score and it is there. Installs the score hooks first, which the reader needs.
// Nothing happens when a read was started already, or when no thread can be had.
void StartScorePreread(const char* commandLine);

// Waits for the read, if one was started. What it read is kept only when it was of this path (as the open
// resolves it) and the file is the one it read: the same size, times and file number as when the read began.
// Anything else is dropped. Every open calls this before it reads anything, so that no read runs beside it.
void SettleScorePreread(const char* path);

// Whether a read settled for this path waits to be taken.
bool HasScorePreread(const char* path);

// Hands over the score read for this path as this kind (owned by the caller from now on, null when the reader
// gave none) with its header, as LoadScoreFile or ImportTextScore would have given them. False when there is
// none: the caller reads the file.
bool TakeScorePreread(const char* path, TOpenKind kind, TMusicScore*& score, TScoreFileHeader& hdr);

// Stops a read still under way soon (at its next block of the file) and drops its result. For the end of
// the program, when nothing took the score.
void DropScorePreread();

}  // namespace qsm
