// Whole compact score files: loading a score (or only its song information) from a file or a stream, and
// writing one. The file is a header, the score information (song texts, page settings, fonts), the editor
// selection and the staves with their items; on disk it usually sits in the "[QSZ]" zlib envelope.
#pragma once

#include "score/score_file_header.h"

class TQSRStream;
class TMusicScore;
class TMusicStaff;
class TMusicFontsData;
class TStaffLyrics;
class TLyricText;
class TWindow;
struct TSongInfo;

// ---- reading ----

// Reads and checks the header. True when accepted (status 1 or 2); false with the status telling why.
bool ReadScoreFileHeader(TQSRStream& in, TScoreFileHeader& hdr);

// Loads a score file (plain, "[QSZ]" or gzip). Returns the score, which the caller owns, or null; the
// header's Status tells the outcome (1 or 2 loaded, 7 damaged but loaded as far as it could be read).
TMusicScore* LoadScoreFile(const char* path, TScoreFileHeader& hdr, TWindow* statusWindow);

// Reads a score from a stream positioned at the header (inside any envelope). A stream of fewer than two
// bytes gives an empty score with one staff and status 0. Null when the header is refused. With more than
// one thread (qsm::SetParallelThreads) the staves may be read side by side, with the same result; the stream
// must then be one that Rewind and Seek take back to a position its Tell gave (every stream here is).
TMusicScore* ReadScore(TQSRStream& in, TScoreFileHeader& hdr, TWindow* statusWindow);

// Reads only the header and the song information.
bool ReadScoreInfoOnly(TQSRStream& in, TScoreFileHeader& hdr, TSongInfo& info);
bool ReadScoreFileInfo(const char* path, TScoreFileHeader& hdr, TSongInfo& info);

// ".qsmtxt" when the file holds a text score, else ".qsm".
const char* GuessScoreFileExtension(const char* path);

// Shows a progress text (with one blank in front) in the status window; nothing when it is null.
void ShowLoadProgress(TWindow* statusWindow, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The window layer installs the function that sets a window's text and repaints it at once.
using TLoadProgressSink = void (*)(TWindow* window, const char* text);
void SetLoadProgressSink(TLoadProgressSink sink);

// The parts of the body.
TMusicScore* ReadScoreBody(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow);
void ReadScoreInfo(TMusicScore& score, const TScoreFileHeader& hdr, TQSRStream& in);
void ReadScoreFonts(TMusicFontsData& fonts, int formatVersion, TQSRStream& in);
TMusicStaff* ReadStaff(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow);
void ReadStaffHeader(TMusicStaff& staff, const TScoreFileHeader& hdr, TQSRStream& in);
TStaffLyrics* ReadStaffLyrics(const TScoreFileHeader& hdr, TQSRStream& in);
void ReadLyricLine(TLyricText& line, const TScoreFileHeader& hdr, TQSRStream& in);

// Turns the old staff styles (Upper/Lower Grand Staff, Orchestral) into bracket, brace and bar connections.
void FixStaffGroups(TMusicScore& score);

// ---- writing (always the current format version) ----

// Writes the score to a file, in the "[QSZ]" envelope when compress is set, else plain. True only when
// the whole file was written and closed without error.
bool SaveScoreFile(const char* path, bool compress, TMusicScore& score);
// Header and body; true when the stream has no error at the end.
bool WriteScoreFileHeader(TQSRStream& out, TMusicScore& score);
void WriteScoreBody(TMusicScore& score, TQSRStream& out);
void WriteScoreInfo(TMusicScore& score, TQSRStream& out);
void WriteScoreFonts(TMusicFontsData& fonts, TQSRStream& out);
void WriteStaff(TMusicStaff& staff, TQSRStream& out);
void WriteStaffHeader(TMusicStaff& staff, TQSRStream& out);

// Copies through the record form.
void CopyScoreInfo(TMusicScore& from, TMusicScore& to);
void CopyStaffHeader(TMusicStaff& from, TMusicStaff& to);

namespace qsm {

// Loads a score from the raw bytes of a file (any envelope), as LoadScoreFile does from a file.
TMusicScore* LoadScoreFromStream(TQSRStream& raw, TScoreFileHeader& hdr, TWindow* statusWindow);

}  // namespace qsm
