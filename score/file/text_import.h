// The text score importer: reads a text score (plain or gzip-compressed) or a clip of item lines into a
// new score, one line per setting group or notation item.
#ifndef QSM_SCORE_FILE_TEXT_IMPORT_H
#define QSM_SCORE_FILE_TEXT_IMPORT_H

#include <cstdint>
#include <memory>
#include <vector>

#include "score/file/text_tokenizer.h"

class TQSRStream;
class TMusicScore;
class TMusicStaff;
class TNotatedItem;
class TSongNote;
class TMusicNote;
class TTextExpression;
struct TStaffInstrument;
struct TScoreFileHeader;

namespace qsm {

// Reads text lines as the stream's own line reader does (a CR is dropped anywhere, an LF or a zero byte ends
// a line, the end of the data ends the last one, the full length is returned and limit - 1 characters are
// kept), taking the bytes from the stream in blocks.
class TTextLineReader {
public:
    explicit TTextLineReader(TQSRStream& stream) : Stream(stream), Buffer(16384) {}
    int ReadLine(char* dst, int limit);
    // True once a read met the end of the data or a failing stream.
    bool AtEnd() const { return End; }
    // Back to the start of the stream.
    void Rewind();

private:
    TQSRStream& Stream;
    std::vector<char> Buffer;
    size_t Pos = 0;
    size_t Length = 0;
    bool End = false;
};

}  // namespace qsm

// Adds nothing of its own to the tokenizer.
class TQSMFindTextImporter : public TQSMTextImportTokenizer {};

class TQSMFileTextImporter : public TQSMFindTextImporter {
public:
    // Limits that keep a hostile file within what the rest of the system can hold.
    static constexpr int kMaxStaves = 255;
    static constexpr int kMaxStaffItems = 32002;

    TQSMFileTextImporter();
    ~TQSMFileTextImporter();

    // Reads a score or a clip. mode -1 passes over every line before the header; mode 0 reads data that
    // starts with an item line as a clip without header; a mode above 0 reads such data as a score body.
    // Returns null when there is no header (or a broken one); the caller owns the score.
    TMusicScore* Import(TQSRStream& stream, int mode);

    // Builds the item of the line last split into fields, or null when the keyword is no item keyword or
    // the item can't be built. The caller owns the item.
    TNotatedItem* ParseItem();

    // Field parsers of notes, rests and chords, given the field's value (null when the line has no such
    // field). The value is a field of the line last split: the duration and options are cut in the line.
    void ParseDuration(TSongNote& note, const char* field);
    void ParseOptions(TSongNote& note, const char* field);
    static void ParsePosition(TMusicNote& note, const char* text);
    // The fields of an Instrument item line or a StaffInstrument section, into a reset record.
    void ParseInstrument(TStaffInstrument& instrument);

    // The position of a name in a vocabulary list, or def when value is null or names nothing there.
    static int FindName(int list, const char* value, int def, bool ignoreCase = true);

private:
    // One trimmed line of a score body, which lies in the line buffer.
    void ReadBodyLine(char* line);
    void ReadClip(qsm::TTextLineReader& reader, bool headerless);
    // Lines that both body forms skip: comments, fake lines and context lines.
    static bool IsSkippedLine(const char* line);
    // Treats the line (already split into fields) as a section; false when its keyword names none.
    bool ReadSection();
    void ReadEditor();
    void ReadSongInfo();
    void ReadPageSetup();
    void ReadPageMargins();
    void ReadFont();
    void ReadLyricSettings();
    void ReadLyricLine(int number);
    void ReadStaffProperties();
    void ReadAddStaff();

    // Item parsers, one per keyword.
    TNotatedItem* ParseClef();
    TNotatedItem* ParseKey();
    TNotatedItem* ParseBar();
    TNotatedItem* ParseEnding();
    TNotatedItem* ParseInstrumentItem();
    TNotatedItem* ParseTimeSignature();
    TNotatedItem* ParseTempo();
    TNotatedItem* ParseDynamic();
    TNotatedItem* ParseNote();
    TNotatedItem* ParseRest();
    TNotatedItem* ParseChord();
    TNotatedItem* ParseSustainPedal();
    TNotatedItem* ParseFlow();
    TNotatedItem* ParseGenericControl();
    TNotatedItem* ParseTempoVariance();
    TNotatedItem* ParseDynamicVariance();
    TNotatedItem* ParsePerformanceStyle();
    TNotatedItem* ParseText();
    TNotatedItem* ParseRestChord();
    TNotatedItem* ParseSpacer();
    TNotatedItem* ParseMultiMeasureRest();
    TNotatedItem* ParseBoundary();
    void ApplyCommonFields(TNotatedItem& item);

    // The value list of a field of the line last split, cut in the line: each such field is read once.
    int CutFieldList(const char* value) { return CutValueList(const_cast<char*>(value)); }
    // A copy of the text template carrying the line (shortened) as its text.
    TNotatedItem* MakeTextItem(const char* line) const;
    // Inserts an item into the current staff before its closing bar line (or at index, when given); the
    // item is deleted when there is no current staff or the staff is full.
    void InsertItem(TNotatedItem* item, int index = -1);

    std::unique_ptr<TMusicScore> Score;
    TMusicStaff* Staff;
    bool InitialStaffUnnamed;
    std::unique_ptr<TTextExpression> TextTemplate;
    std::vector<char> Line;
    // The notes of the chord being built, before the chord takes them.
    std::vector<TMusicNote*> ChordNotes;
};

// Creates an importer and runs it; when a score results and a header record is given, the record's code
// page receives the code page of the text (the machine's unless a Locale line named another).
TMusicScore* ImportTextScore(TQSRStream& stream, TScoreFileHeader* header, int mode);

#endif  // QSM_SCORE_FILE_TEXT_IMPORT_H
