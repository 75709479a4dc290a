// File structure, section lines and the clip reader of the text score importer; the item lines are in
// text_import_items.cc.
#include "score/file/text_import.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "core/ram_stream.h"
#include "core/stream.h"
#include "core/zlib_stream.h"
#include "platform/kernel/text.h"
#include "score/base/fonts_data.h"
#include "score/base/vocabulary.h"
#include "score/expression_items.h"
#include "score/file/score_file.h"
#include "score/format/format.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/score_file_header.h"

namespace {

constexpr char kHeader[] = "!QuillStaveComposer(";
constexpr char kEndLine[] = "!QuillStaveComposer-End";
constexpr char kClipHeader[] = "!QuillStaveComposerClip(";
constexpr char kClipEndLine[] = "!QuillStaveComposerClip-End";
// Clip headers are searched over at most this many lines.
constexpr int kClipHeaderLines = 30000;

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The version number right after a header's opening text; false when none can be read.
bool ReadVersion(const char* line, const char* header, float& version) {
    double v = 0;
    if (!TQSMTextImportTokenizer::ParseFloat(line + std::strlen(header), v)) return false;
    version = static_cast<float>(std::clamp(v, -3.0e38, 3.0e38));
    return true;
}

bool IsClipHeader(const char* line, float& version) {
    return StartsWith(line, kClipHeader) && ReadVersion(line, kClipHeader, version) &&
           std::strstr(line, ",Single") != nullptr;
}

// Bounded copy of a text value into a fixed field of size bytes.
void CopyText(char* field, size_t size, const std::string& text) {
    const size_t n = std::min(size - 1, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = 0;
}

// Section keywords; Lyric<n> is recognised apart.
enum TSection {
    scLocale,
    scEditor,
    scSongInfo,
    scPgSetup,
    scPgMargins,
    scFont,
    scLyrics,
    scStaffProperties,
    scStaffInstrument,
    scAddStaff,
    scCount
};
constexpr const char* kSectionNames[scCount] = {"Locale",          "Editor",  "SongInfo", "PgSetup",
                                                "PgMargins",       "Font",    "Lyrics",   "StaffProperties",
                                                "StaffInstrument", "AddStaff"};

int FindSection(const char* keyword) {
    for (int i = 0; i < scCount; ++i) {
        if (TQSMTextImportTokenizer::SameWord(keyword, kSectionNames[i])) return i;
    }
    return -1;
}

// The number n of a "Lyric<n>" keyword (spelled exactly so), or -1.
// The absolute value of a parsed integer; the most negative one saturates.
int32_t AbsInt(int32_t v) {
    return v == INT32_MIN ? INT32_MAX : (v < 0 ? -v : v);
}

void SetStaffFlag(TMusicStaff& staff, uint8_t bit, bool on) {
    staff.StaffFlags = static_cast<uint8_t>(on ? (staff.StaffFlags | bit) : (staff.StaffFlags & ~bit));
}

// The staff's lyrics, created when it has none.
TStaffLyrics& LyricsOf(TMusicStaff& staff) {
    if (staff.GetLyrics() == nullptr) staff.SetLyrics(new TStaffLyrics());
    return *staff.GetLyrics();
}

// Code page 1252 lower-case folding of every byte.
struct TFoldTable {
    BYTE Lower[256];
    TFoldTable() {
        for (int c = 0; c < 256; ++c)
            Lower[c] = qsm::ToLower1252(static_cast<BYTE>(c));
    }
};
const BYTE* FoldTable() {
    static const TFoldTable table;
    return table.Lower;
}

// A name in lower case as code page 1252 folds it: two names are the same word when their folded forms
// are equal.
std::string FoldName(const char* name) {
    const BYTE* lower = FoldTable();
    std::string folded(name);
    for (char& c : folded)
        c = static_cast<char>(lower[static_cast<BYTE>(c)]);
    return folded;
}

// The folded names of one list, grouped by their first byte and length: a value is compared with the few
// names of its group only, folding as it goes, and the first of equal names wins.
class TFoldedNames {
public:
    void Build(const std::vector<std::string>& names) {
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            if (name.empty()) continue;
            Groups[Group(static_cast<BYTE>(name[0]), name.size())].push_back(
                TName{static_cast<int>(i), name});
        }
    }
    // The index of the name that the value folds to, or -1.
    int Find(const char* value, const BYTE* lower) const {
        size_t n = 0;
        while (value[n] != 0)
            ++n;
        if (n == 0) return -1;
        const BYTE first = lower[static_cast<BYTE>(value[0])];
        for (const TName& name : Groups[Group(first, n)]) {
            const char* folded = name.Folded.data();
            if (name.Folded.size() != n || static_cast<BYTE>(folded[0]) != first) continue;
            size_t k = 1;
            while (k < n && lower[static_cast<BYTE>(value[k])] == static_cast<BYTE>(folded[k]))
                ++k;
            if (k == n) return name.Index;
        }
        return -1;
    }

private:
    static constexpr size_t kGroups = 64;
    static size_t Group(BYTE first, size_t length) { return (first + 5 * length) & (kGroups - 1); }
    struct TName {
        int Index;
        std::string Folded;
    };
    std::vector<TName> Groups[kGroups];
};

int LyricLineNumber(const char* keyword) {
    if (!StartsWith(keyword, "Lyric")) return -1;
    const char* end = nullptr;
    int n = TQSMTextImportTokenizer::ParseInt(keyword + 5, &end);
    return end == keyword + 5 ? -1 : n;
}

}  // namespace

int qsm::TTextLineReader::ReadLine(char* dst, int limit) {
    int count = 0;
    for (;;) {
        if (Pos == Length) {
            Pos = 0;
            Length = End ? 0 : Stream.ReadBlock(Buffer.data(), static_cast<DWORD>(Buffer.size()));
            if (Length == 0) {
                End = true;
                break;
            }
        }
        // The run of ordinary characters up to the next CR, LF or NUL is copied in one piece, as far as
        // the limit leaves room; the characters beyond it are only counted.
        const char* data = Buffer.data();
        size_t run = Length;
        for (const char stop : {'\n', '\r', '\0'}) {
            const void* at = std::memchr(data + Pos, stop, run - Pos);
            if (at != nullptr) run = static_cast<size_t>(static_cast<const char*>(at) - data);
        }
        const size_t n = run - Pos;
        if (n > 0) {
            const int room = count < limit - 1 ? limit - 1 - count : 0;
            const size_t kept = std::min<size_t>(n, static_cast<size_t>(room));
            if (kept > 0) std::memcpy(dst + count, data + Pos, kept);
            count += static_cast<int>(n);
            Pos = run;
        }
        if (Pos == Length) continue;
        const char c = data[Pos++];
        if (c == 13) continue;
        break;  // LF or NUL
    }
    dst[count < limit ? count : limit - 1] = 0;
    return count;
}

void qsm::TTextLineReader::Rewind() {
    Stream.Rewind();
    Pos = Length = 0;
    End = false;
}

TQSMFileTextImporter::TQSMFileTextImporter() : Staff(nullptr), InitialStaffUnnamed(false), Line(kLineLimit) {
    SetCodePage(static_cast<int32_t>(GetACP()));
}

TQSMFileTextImporter::~TQSMFileTextImporter() = default;

int TQSMFileTextImporter::FindName(int list, const char* value, int def, bool ignoreCase) {
    if (value == nullptr || list < 0 || list >= VOCABULARY_LIST_COUNT) return def;
    // The names of every list, found once, and each list's names folded to lower case, where the first of
    // equal names wins.
    struct TLists {
        std::vector<std::vector<const char*>> names;
        std::vector<TFoldedNames> folded;
    };
    static const TLists kLists = [] {
        TLists lists;
        lists.names.resize(VOCABULARY_LIST_COUNT);
        lists.folded.resize(VOCABULARY_LIST_COUNT);
        for (int i = 0; i < VOCABULARY_LIST_COUNT; ++i) {
            std::vector<std::string> folded;
            for (const char* name = GetNameList(i); *name != 0; name += std::strlen(name) + 1) {
                folded.push_back(FoldName(name));
                lists.names[static_cast<size_t>(i)].push_back(name);
            }
            lists.folded[static_cast<size_t>(i)].Build(folded);
        }
        return lists;
    }();
    if (ignoreCase) {
        const int found = kLists.folded[static_cast<size_t>(list)].Find(value, FoldTable());
        return found >= 0 ? found : def;
    }
    const std::vector<const char*>& names = kLists.names[static_cast<size_t>(list)];
    for (size_t i = 0; i < names.size(); ++i) {
        if (std::strcmp(names[i], value) == 0) return static_cast<int>(i);
    }
    return def;
}

bool TQSMFileTextImporter::IsSkippedLine(const char* line) {
    if (line[0] == '#') return true;
    // The first "|Fake" decides: it makes the line a fake one unless a backslash stands before it. It is
    // found by its capital F, which few lines hold.
    const char* fake = nullptr;
    for (const char* f = std::strchr(line + 1, 'F'); f != nullptr; f = std::strchr(f + 1, 'F')) {
        if (f[-1] == '|' && f[1] == 'a' && f[2] == 'k' && f[3] == 'e') {
            fake = f - 1;
            break;
        }
    }
    if (fake != nullptr && (fake == line || fake[-1] != '\\')) return true;
    return line[0] == '|' && line[1] == 'C' && std::strncmp(line, "|Context", 8) == 0;
}

TNotatedItem* TQSMFileTextImporter::MakeTextItem(const char* line) const {
    auto* item = new TTextExpression(nullptr);
    item->CopyFrom(*TextTemplate);
    item->SetWide(TextTemplate->GetWide());
    item->SetFont(TextTemplate->GetFont());
    item->SetStaffPos(TextTemplate->GetStaffPos());
    item->SetJustify(TextTemplate->GetJustify());
    item->SetPlacement(TextTemplate->GetPlacement());
    const size_t n = std::strlen(line);
    if (n > 24) {
        item->SetTextLimited(line, 19);
    } else {
        char text[24];
        CopyText(text, sizeof text, line);
        item->SetText(text);
    }
    return item;
}

void TQSMFileTextImporter::InsertItem(TNotatedItem* item, int index) {
    if (item == nullptr) return;
    if (Staff == nullptr || Staff->GetItemCount() >= kMaxStaffItems) {
        delete item;
        return;
    }
    const int last = Staff->GetItemCount() - 1;
    Staff->InsertItem(item, index < 0 || index > last ? last : index);
}

TMusicScore* TQSMFileTextImporter::Import(TQSRStream& source, int mode) {
    TQSRZLibInStream stream(2, &source, false);
    qsm::TTextLineReader reader(stream);
    SetVersion(kDefaultVersion);
    char* line = Line.data();

    // Header search.
    bool clip = false;
    bool headerless = false;
    for (;;) {
        reader.ReadLine(line, kLineLimit);
        char* text = Trim(line);
        if (*text == 0) return nullptr;
        float version = 0;
        if (StartsWith(text, kHeader)) {
            if (!ReadVersion(text, kHeader, version)) return nullptr;
            SetVersion(version);
            break;
        }
        if (StartsWith(text, kClipHeader)) {
            if (!ReadVersion(text, kClipHeader, version) || std::strstr(text, ",Single") == nullptr) {
                return nullptr;
            }
            SetVersion(version);
            clip = true;
            break;
        }
        if (text[0] == '|' && mode >= 0) {
            if (mode == 0) {
                clip = true;
                headerless = true;
            } else {
                reader.Rewind();
            }
            break;
        }
    }

    Score = std::make_unique<TMusicScore>(nullptr);
    Staff = new TMusicStaff();
    Score->AddStaff(Staff);
    InitialStaffUnnamed = true;
    TextTemplate = std::make_unique<TTextExpression>(nullptr);
    TextTemplate->SetWide(true);
    TextTemplate->SetFont(FindName(37, "StaffBold", 3));

    if (clip) {
        reader.Rewind();
        ReadClip(reader, headerless);
    } else {
        while (!reader.AtEnd()) {
            const int length = reader.ReadLine(line, kLineLimit);
            char* text = Trim(line, static_cast<size_t>(std::min(length, kLineLimit - 1)));
            if (text[0] == '!' && std::strcmp(text, kEndLine) == 0) break;
            ReadBodyLine(text);
        }
    }

    FixStaffGroups(*Score);
    FormatAllStaffs(Score.get(), true);
    Score->SetAnyMultiPartDotPlacement(false);
    Staff = nullptr;
    return Score.release();
}

void TQSMFileTextImporter::ReadBodyLine(char* line) {
    if (*line == 0 || IsSkippedLine(line)) return;
    if (line[0] == '|') {
        // The text item of an unrecognised line needs at most its first 24 characters and its length.
        char head[26];
        // The line lies in the line buffer: where the buffer holds the 26 bytes from its start they are
        // copied whole, the terminator among them for a shorter line.
        if (line + sizeof head <= Line.data() + Line.size()) {
            std::memcpy(head, line, sizeof head);
        } else {
            std::memcpy(head, line, strnlen(line, 25) + 1);
        }
        head[25] = 0;
        if (SplitFields(line) > 0) {
            if (TNotatedItem* item = ParseItem()) {
                InsertItem(item);
                return;
            }
            if (ReadSection()) return;
        }
        if (Staff != nullptr) InsertItem(MakeTextItem(head));
        return;
    }
    if (Staff != nullptr) InsertItem(MakeTextItem(line));
}

void TQSMFileTextImporter::ReadClip(qsm::TTextLineReader& reader, bool headerless) {
    char* line = Line.data();
    TextTemplate->SetText(kClipHeader);

    bool found = false;
    bool sawFirst = false;
    for (int i = 0; i < kClipHeaderLines && !reader.AtEnd(); ++i) {
        reader.ReadLine(line, kLineLimit);
        char* text = Trim(line);
        float version = 0;
        if (IsClipHeader(text, version)) {
            found = true;
            break;
        }
        if (text[0] == '|' && headerless) {
            reader.Rewind();
            found = true;
            break;
        }
        if (*text == 0 || sawFirst) continue;
        sawFirst = true;
        TNotatedItem* one = nullptr;
        if (text[0] == '|') {
            std::string copy(text);
            TextTemplate->SetText(copy.c_str());
            if (SplitFields(text) > 0) one = ParseItem();
        } else {
            TextTemplate->SetText(text);
        }
        if (one != nullptr) {
            InsertItem(one, 1);
            return;
        }
    }
    if (!found) {
        // No header: the first line seen stands for the clip.
        if (sawFirst) InsertItem(MakeTextItem(TextTemplate->GetText()), 1);
        return;
    }

    int n = 0;
    while (!reader.AtEnd()) {
        if (IsLongTaskCancelled()) break;
        reader.ReadLine(line, kLineLimit);
        char* text = Trim(line);
        if (*text == 0) continue;
        if (!headerless && std::strcmp(text, kClipEndLine) == 0) break;
        if (IsSkippedLine(text)) continue;
        char head[26];
        std::memcpy(head, text, strnlen(text, 25) + 1);
        head[25] = 0;
        TNotatedItem* item = nullptr;
        if (text[0] == '|' && SplitFields(text) > 0) {
            if (FindSection(GetKeyword()) == scLocale) {
                if (const char* v = FindField("ACP:")) SetCodePage(ParseInt(v));
                continue;
            }
            item = ParseItem();
        }
        if (item == nullptr) item = MakeTextItem(head);
        InsertItem(item, ++n);
    }
}

bool TQSMFileTextImporter::ReadSection() {
    const char* keyword = GetKeyword();
    const int lyric = LyricLineNumber(keyword);
    if (lyric >= 0) {
        ReadLyricLine(lyric);
        return true;
    }
    switch (FindSection(keyword)) {
        case scLocale:
            if (const char* v = FindField("ACP:")) SetCodePage(ParseInt(v));
            return true;
        case scEditor:
            ReadEditor();
            return true;
        case scSongInfo:
            ReadSongInfo();
            return true;
        case scPgSetup:
            ReadPageSetup();
            return true;
        case scPgMargins:
            ReadPageMargins();
            return true;
        case scFont:
            ReadFont();
            return true;
        case scLyrics:
            ReadLyricSettings();
            return true;
        case scStaffProperties:
            ReadStaffProperties();
            return true;
        case scStaffInstrument:
            if (Staff != nullptr) {
                TStaffInstrument instrument;
                ParseInstrument(instrument);
                Staff->Instrument = instrument;
            }
            return true;
        case scAddStaff:
            ReadAddStaff();
            return true;
        default:
            return false;
    }
}

void TQSMFileTextImporter::ReadEditor() {
    TScoreSelection& s = Score->Selection;
    if (const char* v = FindField("ActiveStaff:")) s.ActiveStaff = ParseInt(v) - 1;
    if (const char* v = FindField("CaretIndex:")) s.CaretIndex = ParseInt(v);
    if (const char* v = FindField("SelectIndex:")) s.SelectIndex = ParseInt(v);
    if (const char* v = FindField("CaretPos:")) s.CaretPos = -ParseInt(v);
}

void TQSMFileTextImporter::ReadSongInfo() {
    TSongInfo& info = Score->SongInfo;
    struct Field {
        const char* name;
        char* text;
        size_t size;
    };
    const Field fields[] = {{"Title:", info.Title, sizeof info.Title},
                            {"Author:", info.Author, sizeof info.Author},
                            {"Lyricist:", info.Lyricist, sizeof info.Lyricist},
                            {"Copyright1:", info.Copyright1, sizeof info.Copyright1},
                            {"Copyright2:", info.Copyright2, sizeof info.Copyright2},
                            {"Comments:", info.Comments, sizeof info.Comments}};
    for (const Field& f : fields) {
        if (const char* v = FindField(f.name, std::strlen(f.name))) CopyText(f.text, f.size, UnescapeText(v));
    }
}

void TQSMFileTextImporter::ReadPageSetup() {
    TMusicScore& s = *Score;
    TMusicFontsData& fonts = *s.GetFontData();
    if (const char* v = FindField("StaffSize:")) fonts.StaffSize = ParseInt(v);
    if (const char* v = FindField("NtnTypeface:"))
        CopyText(fonts.MusicFontFace, sizeof fonts.MusicFontFace, v);
    if (const char* v = FindField("Zoom:")) {
        s.Zoom = static_cast<int32_t>(std::min<int64_t>(int64_t{AbsInt(ParseInt(v))} * 2, INT32_MAX));
    }
    if (const char* v = FindField("TitlePage:")) s.SetTitlePage(IsWholeValueYes(v));
    if (const char* v = FindField("JustifyVertically:")) s.SetJustifyVertically(IsWholeValueYes(v));
    if (const char* v = FindField("PrintSystemSepMark:")) s.SetPrintSystemSepMark(IsWholeValueYes(v));
    if (const char* v = FindField("ExtendLastSystem:")) s.SetExtendLastSystem(IsWholeValueYes(v));
    if (const char* v = FindField("DurationPadding:")) s.SetDurationPadding(IsWholeValueYes(v));
    if (const char* v = FindField("AllowLayering:")) s.SetAllowLayering(IsWholeValueYes(v));
    if (const char* v = FindField("PageNumbers:")) s.PageNumbers = ParseInt(v);
    if (const char* v = FindField("StaffLabels:")) s.StaffLabels = FindName(42, v, 0);
    if (const char* v = FindField("BarNumbers:")) s.BarNumbers = FindName(35, v, 0);
    if (const char* v = FindField("StartingBar:")) s.StartingBar = ParseInt(v);
}

void TQSMFileTextImporter::ReadPageMargins() {
    TPageMargins& m = Score->Margins;
    struct Field {
        const char* name;
        float* margin;
    };
    const Field fields[] = {
        {"Left:", &m.Left}, {"Top:", &m.Top}, {"Right:", &m.Right}, {"Bottom:", &m.Bottom}};
    for (const Field& f : fields) {
        double cm = 0;
        if (ParseFloat(FindField(f.name, std::strlen(f.name)), cm) && cm >= 0 && cm < 200) {
            *f.margin = static_cast<float>(cm * 0.393700787);
        }
    }
    if (const char* v = FindField("Mirror:")) m.Mirror = IsWholeValueYes(v) ? 1 : 0;
}

void TQSMFileTextImporter::ReadFont() {
    const char* style = FindField("Style:");
    int index = FindName(36, style, -1, false);
    if (index < 0) index = FindName(37, style, -1);
    if (index < 2) return;
    TQSFontSpec& font = Score->GetFontData()->Fonts[index - 2];
    if (const char* v = FindField("Typeface:")) font.SetFaceName(UnescapeText(v).c_str());
    if (const char* v = FindField("Size:")) font.SetPointSize(AbsInt(ParseInt(v)));
    if (const char* v = FindField("Bold:")) font.SetBold(IsWholeValueYes(v));
    if (const char* v = FindField("Italic:")) font.SetItalic(IsWholeValueYes(v));
    if (const char* v = FindField("CharSet:")) {
        font.SetCharSet(static_cast<BYTE>(AbsInt(ParseInt(v))));
    }
}

void TQSMFileTextImporter::ReadLyricSettings() {
    if (Staff == nullptr) return;
    TStaffLyrics& lyrics = LyricsOf(*Staff);
    if (const char* v = FindField("Placement:")) lyrics.Placement = FindName(38, v, 0);
    if (const char* v = FindField("Align:")) lyrics.Align = FindName(40, v, 0);
    if (const char* v = FindField("Offset:")) lyrics.Offset = ParseInt(v);
    if (const char* v = FindField("UnderscoreAsSpace:"))
        lyrics.UnderscoreAsSpace = IsWholeValueYes(v) ? 1 : 0;
}

void TQSMFileTextImporter::ReadLyricLine(int number) {
    if (Staff == nullptr || number < 1 || number > 8) return;
    TStaffLyrics& lyrics = LyricsOf(*Staff);
    while (lyrics.GetCount() < number)
        lyrics.Add(new TLyricText());
    const char* value = FindField("Text:");
    const std::string text = value != nullptr ? UnescapeText(value) : std::string();
    TQSRFlatRamStream ram(const_cast<char*>(text.data()), static_cast<DWORD>(text.size()),
                          static_cast<DWORD>(text.size()));
    lyrics.GetLine(number - 1)->ReadFromStream(ram, lyrics.UnderscoreAsSpace != 0);
}

void TQSMFileTextImporter::ReadStaffProperties() {
    if (Staff == nullptr) return;
    TMusicStaff& st = *Staff;
    if (const char* v = FindField("EndingBar:")) st.SetEndingBar(FindName(9, v, 0));
    if (const char* v = FindField("Visible:")) {
        Score->SetStaffVisible(Score->FindStaffIndex(Staff), IsWholeValueYes(v));
    }
    if (const char* v = FindField("Lines:")) {
        // A staff of more than 32 lines is read as five, as the compact score files do.
        const int32_t lines = AbsInt(ParseInt(v));
        st.SetLineCount(lines > 32 ? 5 : lines);
    }
    if (const char* v = FindField("Style:")) st.SetStyle(FindName(2, v, 0));
    if (const char* v = FindField("Layer:")) SetStaffFlag(st, STAFF_LAYER, IsWholeValueYes(v));
    if (const char* v = FindField("WithNextStaff:")) {
        static const char* const kWords[] = {"Bracket", "Brace", "ConnectBars", "Layer"};
        static const uint8_t kBits[] = {STAFF_BRACKET, STAFF_BRACE, STAFF_CONNECT_BARS, STAFF_LAYER};
        const int n = SplitValueList(v);
        for (int i = 0; i < n; ++i) {
            for (int bit = 0; bit < 4; ++bit) {
                if (SameWord(GetPart(i), kWords[bit])) SetStaffFlag(st, kBits[bit], true);
            }
        }
    }
    if (const char* v = FindField("MultiPartDotPlacement:"))
        SetStaffFlag(st, STAFF_MULTIPART_DOTS, IsWholeValueYes(v));
    if (const char* v = FindField("Color:")) st.SetColor(FindName(3, v, 0));
    const char* top = FindField("BoundaryTop:");
    const char* bottom = FindField("BoundaryBottom:");
    if (top != nullptr || bottom != nullptr) {
        const int32_t t = top != nullptr ? AbsInt(ParseInt(top)) : AbsInt(st.GetBoundaryTop());
        const int32_t b = bottom != nullptr ? AbsInt(ParseInt(bottom)) : AbsInt(st.GetBoundaryBottom());
        st.SetBoundaries(-t, b);
    }
    if (const char* v = FindField("Muted:")) st.Muted = IsWholeValueYes(v) ? 1 : 0;
    if (const char* v = FindField("Volume:")) st.Volume = ParseIntLimited(v, -1, 127);
    if (const char* v = FindField("StereoPan:")) st.StereoPan = ParseIntLimited(v, -1, 127);
    if (const char* v = FindField("Device:")) st.Device = ParseIntLimited(v, 0, 15);
    if (const char* v = FindField("Channel:")) st.Channel = ParseIntLimited(v, 1, 16) - 1;
}

void TQSMFileTextImporter::ReadAddStaff() {
    if (InitialStaffUnnamed) {
        InitialStaffUnnamed = false;
    } else if (Score->GetStaffCount() >= kMaxStaves) {
        // The score holds no more staves: the lines up to the next AddStaff are dropped.
        Staff = nullptr;
        return;
    } else {
        auto staff = std::make_unique<TMusicStaff>();
        if (!Score->AddStaff(staff.get())) {
            Staff = nullptr;
            return;
        }
        Staff = staff.release();
    }
    static const struct {
        const char* name;
        void (TMusicStaff::*set)(const char*);
    } kTexts[] = {{"Name:", &TMusicStaff::SetName},
                  {"Label:", &TMusicStaff::SetLabel},
                  {"LabelAbbr:", &TMusicStaff::SetLabelAbbr},
                  {"Group:", &TMusicStaff::SetGroup}};
    for (const auto& t : kTexts) {
        const std::string text = UnescapeText(FindField(t.name, std::strlen(t.name)));
        if (!text.empty()) (Staff->*t.set)(text.c_str());
    }
    Score->MakeUniqueStaffName(Staff);
}

TMusicScore* ImportTextScore(TQSRStream& stream, TScoreFileHeader* header, int mode) {
    auto importer = std::make_unique<TQSMFileTextImporter>();
    TMusicScore* score = importer->Import(stream, mode);
    if (score != nullptr && header != nullptr)
        header->CodePage = static_cast<uint32_t>(importer->GetCodePage());
    return score;
}
