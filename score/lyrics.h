// Lyrics of a staff: lines of syllables kept in a compact separator-byte form, the staff's set of lines with
// their common settings, and a cursor over the syllables of one line.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/wintypes.h"

class TQSRStream;

// Separator bytes stored before each syllable.
enum : char {
    LYRIC_SEP_FIRST = 1,   // first syllable of the line
    LYRIC_SEP_WORD = ' ',  // new word
    LYRIC_SEP_HYPHEN = '-',
    LYRIC_SEP_LINE = 13,      // first syllable of a new text line
    LYRIC_SEP_PARAGRAPH = 10  // first syllable after an empty text line
};

// One lyric line. Buffer form: byte 0 is 0; then per syllable its separator byte, its characters and a 0; the
// text ends where a separator would be 0.
class TLyricText {
public:
    TLyricText() = default;
    ~TLyricText() { Clear(); }
    TLyricText(const TLyricText&) = delete;
    TLyricText& operator=(const TLyricText&) = delete;

    void Clear();
    // A new zeroed buffer of newCapacity bytes (at least 5) taking the first bytes of the old one; 0 or less
    // clears.
    void Resize(int newCapacity);
    // Appends one syllable; returns its length + 1.
    int AppendSyllable(char separator, char* text, bool underscoreAsSpace);
    // Splits one line of plain text into syllables and appends them (the line is cut in place); false when
    // the line holds only white space.
    bool ParseTextLine(char* line, bool afterEmptyLine, bool underscoreAsSpace);
    // Clear, then every text line of the stream from its current position to its end.
    void ReadFromStream(TQSRStream& stream, bool underscoreAsSpace);
    // Clear, then every line of a multi-line edit control.
    void ReadEditLines(HWND edit, bool underscoreAsSpace);
    // The plain-text form, ended with "\r\n".
    void WriteToStream(TQSRStream& stream) const;
    // Sets the plain-text form as an edit control's text; syllables that would take it beyond 32752 bytes
    // are left out.
    void SetEditText(HWND edit) const;
    // Bytes of the plain-text form before the text of a syllable.
    int GetTextOffset(int syllable) const;

    // The buffer as the score file stores it. A reader that fills it directly after Resize calls
    // MendRawFill afterwards, so that every cursor stops inside the buffer whatever the bytes were.
    const char* GetBuffer() const { return Text; }
    char* GetWritableBuffer() { return Capacity ? Text : nullptr; }
    int GetCapacity() const { return Capacity; }
    int GetUsed() const { return Used; }
    void MendRawFill(int used);

private:
    char* Text = EmptyBuffer();
    int32_t Capacity = 0;
    int32_t Used = 1;

    static char* EmptyBuffer();
};

// The lyric lines of one staff and their settings.
class TStaffLyrics {
public:
    TStaffLyrics() { Lines.reserve(3); }
    virtual ~TStaffLyrics();
    TStaffLyrics(const TStaffLyrics&) = delete;
    TStaffLyrics& operator=(const TStaffLyrics&) = delete;

    // Writes the lyric block of the score file.
    virtual void Save(TQSRStream& stream) const;

    int GetCount() const { return static_cast<int>(Lines.size()); }
    int GetLastIndex() const { return GetCount() - 1; }
    TLyricText* GetLine(int index) const;
    // Appends a line (owned; also when there is no room for it: it is then deleted).
    void Add(TLyricText* line) {
        std::unique_ptr<TLyricText> owned(line);
        Lines.push_back(line);
        owned.release();
    }
    void Insert(TLyricText* line, int index);
    TLyricText* Detach(int index);
    // Clears the text of every line (the lines stay).
    void ClearLines();

    int Placement = 0;  // vocabulary list 38: 0 Bottom, 1 Top
    int Offset = 0;
    int Align = 0;  // vocabulary list 40
    int UnderscoreAsSpace = 1;

private:
    std::vector<TLyricText*> Lines;
};

// A cursor over the syllables of one line.
class TLyric {
public:
    TLyric();

    void SetLine(const TLyricText& line, int syllable);
    void Seek(int n);
    void Next();
    void Prev();
    bool IsValid() const { return *Pos != 0; }
    const char* GetText() const { return Pos + 1; }
    char GetSeparator() const { return *Pos; }
    int GetIndex() const { return Index; }
    void Assign(const TLyric& other) {
        Pos = other.Pos;
        Index = other.Index;
    }

private:
    const char* Pos;
    int32_t Index = 0;
};

namespace qsm {

// The plain-text form written before a syllable with this separator: a blank, a hyphen, a line end or an
// empty line; nothing for any other byte.
const char* LyricSeparatorText(char sep);

}  // namespace qsm
