// Test-data generator for compact score files. It writes the bytes of a score file of any format version
// from plain descriptions of the stored fields, on its own: it shares no code with the reader or the writer
// of the library, so that files of old versions can be made for the tests and the fuzz corpus without any
// file from elsewhere. The values given are the values as stored (raw codes and bits); the generator knows
// which fields each version has and where their bits lie.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qsm::gen {

// A little-endian byte sink.
class Bytes {
public:
    Bytes& B(int v);
    Bytes& W(int v);
    Bytes& L(uint32_t v);
    Bytes& S(const std::string& s);  // the bytes and a NUL
    Bytes& Add(const Bytes& other);
    Bytes& Add(const std::vector<uint8_t>& other);
    size_t size() const { return data.size(); }
    std::vector<uint8_t> data;
};

// ---- item records; each Encode(V) gives the type code and the record of format version V ----

// Common prefix: Visibility (0-5) and Color (0-15); for versions 24-28 the prefix also holds a note's mark
// number. Versions below 10 have no prefix.
Bytes Prefix(int V, int vis, int color, int mark = 0);
// Expression prefix (versions 11 and up): Pos and the option byte.
Bytes ExprPrefix(int V, int pos, int wide, int justify, int placement);

struct Clef {
    int vis = 0, color = 0;
    int type = 0, octave = 0, autoSysOff = 0;
    Bytes Encode(int V) const;
};
struct Key {
    int vis = 0, color = 0;
    int flats = 0, sharps = 0, clef = 0, prevFlats = 0, prevSharps = 0, tonic = 2, option = 0;
    Bytes Encode(int V) const;
};
struct Bar {
    int vis = 0, color = 0;
    int style = 0, xbar = 0, sysBreak = 0, repeat = 1;
    Bytes Encode(int V) const;
};
struct Ending {
    int vis = 0, color = 0;
    int endings = 1, option = 0, offset = 1, height = 4;
    Bytes Encode(int V) const;
};
struct Patch {
    int vis = 0, color = 0, pos = -8, wide = 1, justify = 0, placement = 0;
    int bankFlag = 0, bank = 0, patch = 0;
    std::string name;
    int trans = 0;
    std::array<int, 8> dynVel = {10, 30, 45, 60, 75, 92, 108, 127};
    Bytes Encode(int V) const;
};
struct TimeSig {
    int vis = 0, color = 0;
    int beats = 4, exponent = 2, style = 0;
    Bytes Encode(int V) const;
};
struct Tempo {
    int vis = 0, color = 0, pos = -10, wide = 0, justify = 0, placement = 0;
    int tempo = 120, base = 2;
    std::string text;
    int flags = 0;  // versions 4-10: name index, name flag (bit 5), Wide (bit 6), bit 4
    Bytes Encode(int V) const;
};
struct Dynamic {
    int vis = 0, color = 0, pos = 8, wide = 0, justify = 0, placement = 0;
    int option = 3;  // bits 0-3 Style, bit 5 velocity given, bit 6 volume given
    int velocity = 0, volume = 0;
    int hiddenOld = 0;  // versions 4-9: bit 7 of the old word
    Bytes Encode(int V) const;
};
struct Pedal {
    int vis = 0, color = 0, pos = 8, wide = 1, justify = 0, placement = 0;
    int status = 1;
    Bytes Encode(int V) const;
};
struct Flow {
    int vis = 0, color = 0, pos = -8, wide = 1, justify = 0, placement = 0;
    int style = 0;
    Bytes Encode(int V) const;
};
struct Control {
    int vis = 0, color = 0, pos = -8, wide = 1, justify = 0, placement = 0;
    int controller = 0, style = 0, timeRes = 2, sweepRes = 0;
    std::array<int, 4> inUse = {0, 0, 0, 0}, time = {0, 0, 0, 0}, value = {100, 100, 100, 100};
    Bytes Encode(int V) const;
};
// Tempo variance (14), dynamic variance (15) and performance style (16) share one form.
struct StyleMark {
    int code = 15;
    int vis = 0, color = 0, pos = 8, wide = 0, justify = 0, placement = 0;
    int style = 0, pause = 0;  // pause only for code 14
    Bytes Encode(int V) const;
};
// Text expression (17) and chord name (19).
struct Text {
    int code = 17;
    int vis = 0, color = 0, pos = -8, wide = 0, justify = 0, placement = 0;
    int font = 2;
    std::string text = "text";
    Bytes Encode(int V) const;
};
struct Spacer {
    int vis = 0, color = 0;
    uint32_t width = 100;
    Bytes Encode(int V) const;
};
struct MultiRest {
    int vis = 0, color = 0;
    int bars = 1, options = 13;
    Bytes Encode(int V) const;
};
struct Sizer {
    int vis = 0, color = 0;
    int style = 0, upper = 8, lower = 0, gapWord = 200, newPage = 0;
    Bytes Encode(int V) const;
};

// The part shared by notes, rests and chords. attrs is word 3 as stored (file bit order).
struct SongPart {
    int vis = 0, color = 0, mark = 0;
    int dur = 2, xacc = 0, xnote = 0;
    int beam = 0, triplet = 0, stem = 0, slurDown = 0, lyric = 0, head = 0;
    int oldSlur = 0;  // versions below 4: bits 6-7 of word 2
    int attrs = 0;
    Bytes EncodeSong(int V) const;  // prefix and the song note part (no type code)
};
struct Note {
    SongPart song;
    int pos = 0, acc = 5, tieDown = 0, muted = 0, noLeger = 0, artOnStem = 0;
    int stemFlag = 0, stemByte = 0;  // bit 14 and the byte that follows it (versions 19 and up)
    Bytes Record(int V) const;       // no type code
    Bytes Encode(int V) const;
};
struct Rest {
    SongPart song;
    int vertOffset = 0;
    Bytes Record(int V) const;
    Bytes Encode(int V) const;
};
struct Chord {
    Note note;                   // the chord's own note record
    std::vector<Bytes> members;  // complete item records
    std::optional<int> count;    // stored member count; members.size() when absent
    Bytes Encode(int V) const;
};
struct RestChord {
    Rest rest;
    std::optional<Bytes> part;  // complete item record
    int flag = -1;              // stored flag word; 1 with a part, else 0, when -1
    Bytes Encode(int V) const;
};
// A record with an arbitrary type code and body.
Bytes RawItem(int code, const Bytes& body);

// ---- file sections ----

struct Header {
    std::string signature = "[QuillStave InkWork]";
    int marker = 0;
    std::string product = "[QuillStave Composer]";
    int major = 517, minor = 2, reserved = 0;
    std::string comment = "N/A", reservedText;
    int date = (44 << 9) | (5 << 5) | 17;  // 2024-05-17
    uint32_t codePage = 1252;
    int spare = 0;
    Bytes Encode(int V) const;
};

struct FontRec {
    std::string face = "Times New Roman";
    int style = 0, size = 8, charset = 0;
};

struct Info {
    std::string title = "T", author = "A", lyricist, copyright1, copyright2, comments;
    std::string letters = "YY_", spare = "F2";
    int barNumbers = 0, startingBar = 1;
    std::string margins = "0.50000000 0.50000000 0.50000000 0.50000000";
    int mirror = 0, zoom = 8;
    std::array<uint8_t, 32> visible = {1};
    int allowLayering = 0xFF;
    std::string face;
    int staffSize = 16;
    std::vector<FontRec> fonts;  // defaults when empty (12 or 10 records by version)
    int baseFontSize = 10;       // version 6 only
    int titlePage = 0xFF, staffLabels = 0, pageNumbers = 0, justify = 0xFF, sepMark = 0;
    Bytes Encode(int V) const;
};

struct LyricLine {
    int size = 0;  // stored buffer size L; 0 = empty line
    int used = 0;
    std::vector<uint8_t> bytes;  // exactly L bytes are written (padded with 0 or cut)
};
struct Lyrics {
    std::optional<int> count;  // lines.size() when absent
    int options = 0, offset = 0;
    std::vector<LyricLine> lines;
    Bytes Encode(int V) const;
};
// A lyric line in its stored byte form from syllables: each syllable a separator and its text.
LyricLine MakeLyricLine(const std::vector<std::pair<int, std::string>>& syllables);

struct Staff {
    std::string name = "Staff", label, labelAbbr, instName, group = "Standard";
    int endingBar = 0, muted = 0, channel = 0, device = 0, bankFlag = 0, bank = 0, patch = 0;
    std::array<int, 8> dynVel = {10, 30, 45, 60, 75, 92, 108, 127};
    int connection = 0, top = -12, bottom = 12, lines = 5, layer = 0, trans = 0, volume = 127, pan = 64;
    int color = 0;
    std::optional<Lyrics> lyrics;
    int lyricFlag = -1;  // stored flag; 1 with lyrics, else 0, when -1
    std::vector<Bytes> items;
    std::optional<int> count;  // stored item count; items.size() + 2 when absent
    Bytes Encode(int V) const;
};

struct File {
    int version = 32;
    Header header;
    Info info;
    int activeStaff = -1, caretIndex = -1, selectIndex = -1, caretPos = 0;
    std::vector<Staff> staves = {Staff{}};
    std::optional<int> staffCount;  // staves.size() when absent
    Bytes Encode() const;
};

// The file in the compressed "[QSZ]" envelope (zlib level 9).
std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain);
// The file in the gzip envelope.
std::vector<uint8_t> Gzip(const std::vector<uint8_t>& plain);

// One record of every item kind that exists in version V, with ordinary values.
std::vector<Bytes> AllItems(int V);
// A file of version V with one staff holding AllItems(V), lyrics, and a second staff.
File SampleFile(int V);

}  // namespace qsm::gen
