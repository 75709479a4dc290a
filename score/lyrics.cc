// Lyric lines, the staff's lyrics and the syllable cursor.
#include "score/lyrics.h"

#include <algorithm>
#include <cstring>

#include "core/stream.h"

namespace {

// The shared empty line: its cursor sees one empty first syllable.
char gEmptyLyric[5] = {0, 1, 0, 0, 0};

constexpr int kLineBufferSize = 32000;

bool IsLyricSpace(char c) {
    return c == 9 || c == 10 || c == 13 || c == 32;
}

}  // namespace

namespace qsm {

const char* LyricSeparatorText(char sep) {
    switch (sep) {
        case LYRIC_SEP_WORD:
            return " ";
        case LYRIC_SEP_HYPHEN:
            return "-";
        case LYRIC_SEP_LINE:
            return "\r\n";
        case LYRIC_SEP_PARAGRAPH:
            return "\r\n\r\n";
        default:
            return "";
    }
}

}  // namespace qsm

char* TLyricText::EmptyBuffer() {
    return gEmptyLyric;
}

void TLyricText::Clear() {
    if (Capacity) delete[] Text;
    Text = EmptyBuffer();
    Capacity = 0;
    Used = 1;
}

void TLyricText::Resize(int newCapacity) {
    if (newCapacity <= 0) {
        Clear();
        return;
    }
    // Never smaller than the empty line's form, so that a cursor always has its separator and the end.
    newCapacity = std::max(newCapacity, static_cast<int>(sizeof(gEmptyLyric)));
    char* buffer = new char[static_cast<size_t>(newCapacity)]();
    const int old = Capacity ? Capacity : static_cast<int>(sizeof(gEmptyLyric));
    memcpy(buffer, Text, static_cast<size_t>(std::min(newCapacity, old)));
    if (Capacity) delete[] Text;
    Text = buffer;
    Capacity = newCapacity;
    if (Used > Capacity) Used = Capacity;
}

void TLyricText::MendRawFill(int used) {
    if (!Capacity) {
        Used = 1;
        return;
    }
    // A leading 0 and two trailing 0 bytes stop every cursor walk inside the buffer.
    Text[0] = 0;
    Text[Capacity - 1] = 0;
    Text[Capacity - 2] = 0;
    Used = std::clamp(used, 1, Capacity - 2);
}

int TLyricText::AppendSyllable(char separator, char* text, bool underscoreAsSpace) {
    const int len = static_cast<int>(strlen(text));
    if (underscoreAsSpace) {
        for (int i = 0; i < len; ++i) {
            if (text[i] == '_') text[i] = ' ';
        }
    }
    if (Used + len + 6 > Capacity) {
        int capacity = Capacity;
        while (Used + len + 6 > capacity)
            capacity += 1024;
        Resize(capacity);
    }
    if (Used < 2) separator = LYRIC_SEP_FIRST;
    Text[Used] = separator;
    memcpy(Text + Used + 1, text, static_cast<size_t>(len));
    Text[Used + 1 + len] = 0;
    Used += len + 2;
    return len + 1;
}

bool TLyricText::ParseTextLine(char* line, bool afterEmptyLine, bool underscoreAsSpace) {
    char sep = afterEmptyLine ? LYRIC_SEP_PARAGRAPH : LYRIC_SEP_LINE;
    char* p = line;
    while (*p && IsLyricSpace(*p))
        ++p;
    if (!*p) return false;
    for (;;) {
        char* start = p;
        char* q = p + 1;
        char brk = 0;
        for (; *q; ++q) {
            if (IsLyricSpace(*q)) {
                brk = ' ';
                break;
            }
            if (*q == '-' && q[1] != '-') {
                const char* r = q + 1;
                while (*r && IsLyricSpace(*r))
                    ++r;
                if (*r) {
                    brk = '-';
                    break;
                }
            }
        }
        const bool ended = *q == 0;
        if (!ended) *q = 0;
        AppendSyllable(sep, start, underscoreAsSpace);
        if (ended || !brk) return true;
        sep = brk;
        p = q + 1;
        while (*p && IsLyricSpace(*p))
            ++p;
        if (!*p) return true;
    }
}

void TLyricText::ReadFromStream(TQSRStream& stream, bool underscoreAsSpace) {
    Clear();
    std::vector<char> buffer(kLineBufferSize);
    bool afterEmpty = false;
    const DWORD size = stream.GetSize();
    while (!stream.GetError() && stream.Tell() < size) {
        const DWORD before = stream.Tell();
        stream.ReadLine(buffer.data(), kLineBufferSize);
        const bool any = ParseTextLine(buffer.data(), afterEmpty, underscoreAsSpace);
        afterEmpty = !any;
        if (stream.Tell() == before) break;
    }
}

void TLyricText::WriteToStream(TQSRStream& stream) const {
    TLyric cursor;
    cursor.SetLine(*this, 0);
    for (; cursor.IsValid(); cursor.Next()) {
        stream.WriteText(qsm::LyricSeparatorText(cursor.GetSeparator()), false);
        for (const char* c = cursor.GetText(); *c; ++c)
            stream << (*c == ' ' ? '_' : *c);
    }
    stream.WriteText("\r\n", false);
}

int TLyricText::GetTextOffset(int syllable) const {
    TLyric cursor;
    cursor.SetLine(*this, 0);
    int offset = 0;
    for (; cursor.IsValid(); cursor.Next()) {
        offset += static_cast<int>(strlen(qsm::LyricSeparatorText(cursor.GetSeparator())));
        if (cursor.GetIndex() == syllable) break;
        offset += static_cast<int>(strlen(cursor.GetText()));
    }
    return offset;
}

// ---------------------------------------------------------------------------------------------------------

TStaffLyrics::~TStaffLyrics() {
    for (auto it = Lines.rbegin(); it != Lines.rend(); ++it)
        delete *it;
}

TLyricText* TStaffLyrics::GetLine(int index) const {
    if (index < 0 || index > GetLastIndex()) return nullptr;
    return Lines[static_cast<size_t>(index)];
}

void TStaffLyrics::Insert(TLyricText* line, int index) {
    if (index < 0) index = 0;
    if (index > GetCount()) index = GetCount();
    Lines.insert(Lines.begin() + index, line);
}

TLyricText* TStaffLyrics::Detach(int index) {
    if (index < 0 || index > GetLastIndex()) return nullptr;
    TLyricText* line = Lines[static_cast<size_t>(index)];
    Lines.erase(Lines.begin() + index);
    return line;
}

void TStaffLyrics::ClearLines() {
    for (TLyricText* line : Lines)
        line->Clear();
}

// ---------------------------------------------------------------------------------------------------------

TLyric::TLyric() : Pos(gEmptyLyric + 1) {}

void TLyric::SetLine(const TLyricText& line, int syllable) {
    Pos = line.GetBuffer() + 1;
    Index = 0;
    Seek(syllable);
}

void TLyric::Seek(int n) {
    while (n < Index && *Pos != LYRIC_SEP_FIRST)
        Prev();
    while (n > Index && *Pos != 0)
        Next();
}

void TLyric::Next() {
    if (*Pos == 0) return;
    const char* p = Pos + 1;
    while (*p)
        ++p;
    Pos = p + 1;
    ++Index;
}

void TLyric::Prev() {
    if (*Pos == LYRIC_SEP_FIRST || Index <= 0) return;
    // Pos - 1 ends the previous syllable; its separator follows the 0 byte before it.
    const char* q = Pos - 2;
    while (*q != 0)
        --q;
    Pos = q + 1;
    --Index;
}
