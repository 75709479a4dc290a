// Reading compact score files of every format version: the header checks, the score information with page
// and font settings, the staff records with their lyrics and the conversions that old versions need.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/parallel.h"
#include "core/ram_stream.h"
#include "core/small_pool.h"
#include "core/stream.h"
#include "core/zlib_stream.h"
#include "platform/kernel/text.h"
#include "score/base/fonts_data.h"
#include "score/expression_items.h"
#include "score/file/score_file.h"
#include "score/file/staff_scan.h"
#include "score/format/format.h"
#include "score/item_records.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

using qsm::ReadByte;
using qsm::ReadSByte;
using qsm::ReadSWord;
using qsm::ReadUWord;

namespace {

// A staff holds at most 32002 items with its two boundary bar lines.
constexpr int kMaxStaffItems = 32002;
constexpr int kMaxLyricLines = 8;

TLoadProgressSink g_progressSink = nullptr;

bool EqualsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

void ReadText(TQSRStream& in, char* dst, int limit) {
    in.ReadString(dst, limit);
}

void SkipText(TQSRStream& in, int limit) {
    std::vector<char> buffer(static_cast<size_t>(limit));
    in.ReadString(buffer.data(), limit);
}

// The staff size divides font heights and staff spaces: a size of 0 or less (or one the file's signed
// word cannot hold) takes the default.
int MendStaffSize(int size) {
    return size > 0 && size <= 0x7FFF ? size : 16;
}

// Scans up to four numbers as "%f" does, in the C locale, whatever the process locale is.
int ScanFloats(const char* text, float* out, int count) {
    int n = 0;
    const char* p = text;
    const char* end = text + std::strlen(text);
    while (n < count) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f'))
            ++p;
        if (p < end && *p == '+') ++p;
        float v = 0;
        auto [next, ec] = std::from_chars(p, end, v, std::chars_format::general);
        if (ec != std::errc()) break;
        out[n++] = v;
        p = next;
    }
    return n;
}

// The pitched part of a song note: a note or chord itself, a rest chord's part, nothing for a rest.
TMusicNote* GetPitchedPart(TNotatedItem* item) {
    if (!item) return nullptr;
    if (item->GetType() == ntNote || item->GetType() == ntChord) return static_cast<TMusicNote*>(item);
    if (item->GetType() == ntRestChord) return static_cast<TRestChord*>(item)->GetPart();
    return nullptr;
}

// Older files kept the slur of a grace note on the main note before it and gave notes after a slurred
// grace note a lyric.
void ConvertOldSlursAndLyrics(TMusicStaff& staff) {
    int b = 0;
    bool afterSlurredGrace = false;
    for (int a = 0; a < staff.GetItemCount(); ++a) {
        TNotatedItem* item = staff.GetItem(a);
        if (!item->IsSongNote()) continue;
        auto* note = static_cast<TSongNote*>(item);
        if (!note->IsGrace()) {
            b = note->HasAttribute(naSlur) ? a : 0;
        } else if (b != 0 && !note->HasAttribute(naSlur)) {
            static_cast<TSongNote*>(staff.GetItem(b))->ClearAttribute(naSlur);
        }
        if (afterSlurredGrace) {
            TMusicNote* part = GetPitchedPart(item);
            if (part && !part->IsGrace() && part->GetLyricMode() == lmDefault) part->SetLyricMode(lmNever);
        }
        afterSlurredGrace = note->IsGrace() && note->HasAttribute(naSlur);
    }
}

// Reads one item record that the staff does not keep; a record that cannot be read means the file is
// damaged from there on.
void SkipItem(const TScoreFileHeader& hdr, TQSRStream& in) {
    TNotatedItem* item = nullptr;
    if (ReadNotatedItem(hdr, in, item))
        delete item;
    else
        in.SetError();
}

}  // namespace

void SetLoadProgressSink(TLoadProgressSink sink) {
    g_progressSink = sink;
}

void ShowLoadProgress(TWindow* statusWindow, const char* format, ...) {
    if (!statusWindow) return;
    if (!format) {
        if (g_progressSink) g_progressSink(statusWindow, nullptr);
        return;
    }
    char text[257];
    text[0] = ' ';
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + 1, 256, format, args);
    va_end(args);
    if (g_progressSink) g_progressSink(statusWindow, text);
}

// ---- header ----

bool ReadScoreFileHeader(TQSRStream& in, TScoreFileHeader& hdr) {
    hdr.Init(StatusNotScoreFile);
    char text[128];
    ReadText(in, text, sizeof text);
    if (in.GetError()) return false;
    if (std::strcmp(text, "[QuillStave InkWork]") != 0 && !EqualsIgnoringCase(text, "[Quillstave Software]"))
        return false;
    if (ReadSWord(in) > 0) {
        hdr.Status = StatusBadMarker;
        return false;
    }
    ReadText(in, text, sizeof text);
    size_t length = std::strlen(text);
    if (length < 3 || length > 30 || text[0] != '[' || text[length - 1] != ']') return false;
    text[length - 1] = 0;
    std::snprintf(hdr.Product, sizeof hdr.Product, "%s", text + 1);
    hdr.ProductMajor = ReadSWord(in);
    hdr.ProductMinor = ReadSWord(in);
    hdr.ReservedWord = ReadSWord(in);
    SkipText(in, 128);
    ReadText(in, hdr.ReservedText, sizeof hdr.ReservedText);
    hdr.SavedDate = static_cast<uint16_t>(ReadUWord(in));
    hdr.CodePage = in.ReadLong();
    in.ReadWord();
    if (std::strcmp(hdr.Product, "QuillStave") != 0 && std::strcmp(hdr.Product, "QuillStave Composer") != 0) {
        hdr.Status = StatusWrongProduct;
        return false;
    }
    hdr.FormatVersion = ReadSWord(in);
    if (hdr.FormatVersion > kScoreFormatVersion) {
        hdr.Status = StatusNewerFormat;
        return false;
    }
    // A header cut short is no score file, not a damaged one.
    if (in.GetError()) return false;
    if (hdr.FormatVersion < 25) hdr.CodePage = GetACP();
    hdr.Status = hdr.FormatVersion > 24 ? StatusOk : StatusOldFormat;
    return true;
}

// ---- score information ----

void ReadScoreFonts(TMusicFontsData& fonts, int V, TQSRStream& in) {
    const int count = V >= 15 ? 12 : 10;
    char face[32] = "";
    if (V >= 24) ReadText(in, face, sizeof face);
    std::snprintf(fonts.MusicFontFace, sizeof fonts.MusicFontFace, "%s", face);
    fonts.StaffSize = MendStaffSize(ReadSWord(in));
    for (int i = 0; i < count; ++i) {
        ReadText(in, face, sizeof face);
        int style = ReadByte(in) & 3;
        int size = ReadUWord(in);
        int charset = ReadByte(in);
        if ((V < 17 && EqualsIgnoringCase(face, "QSMV15")) ||
            (V >= 17 && V < 19 && EqualsIgnoringCase(face, "QSM2STD"))) {
            std::strcpy(face, "QSM2STDA");
            charset = 2;
        }
        fonts.Fonts[i].Set(face, static_cast<uint8_t>(style), size, static_cast<uint8_t>(charset));
    }
}

void ReadScoreInfo(TMusicScore& score, const TScoreFileHeader& hdr, TQSRStream& in) {
    const int V = hdr.FormatVersion;
    TSongInfo& info = score.SongInfo;
    ReadText(in, info.Title, sizeof info.Title);
    ReadText(in, info.Author, sizeof info.Author);
    info.Lyricist[0] = 0;
    if (V >= 17) ReadText(in, info.Lyricist, sizeof info.Lyricist);
    ReadText(in, info.Copyright1, sizeof info.Copyright1);
    ReadText(in, info.Copyright2, sizeof info.Copyright2);
    ReadText(in, info.Comments, sizeof info.Comments);

    score.SetExtendLastSystem(true);
    score.SetDurationPadding(true);
    score.GetStaffVisibleBits().Fill(false);
    score.GetStaffVisibleBits().Set(0, true);
    score.SetAllowLayering(true);

    char text[128];
    ReadText(in, text, sizeof text);
    if (V >= 6 && text[0]) {
        if (text[0] == 'N') score.SetExtendLastSystem(false);
        if (text[1] == 'N') score.SetDurationPadding(false);
    }
    SkipText(in, 128);
    if (V >= 4) {
        score.BarNumbers = ReadSWord(in);
        score.StartingBar = ReadSWord(in);
    }
    if (V >= 6) {
        ReadText(in, text, sizeof text);
        float m[4];
        int n = ScanFloats(text, m, 4);
        float* fields[4] = {&score.Margins.Top, &score.Margins.Left, &score.Margins.Right,
                            &score.Margins.Bottom};
        // Margins that are no length in inches a page could have are left as they were.
        for (int i = 0; i < n; ++i)
            if (std::isfinite(m[i]) && m[i] >= 0 && m[i] < 100) *fields[i] = m[i];
        score.Margins.Mirror = ReadSByte(in);
        int zoom = ReadSWord(in);
        if (V < 15 && zoom > 5) zoom -= 1;
        score.Zoom = zoom;
        if (V >= 8) {
            TQSBoolArray& visible = score.GetStaffVisibleBits();
            BYTE* store = visible.GetStore();
            for (int i = 0; i < 32; ++i) {
                BYTE b = static_cast<BYTE>(ReadByte(in));
                if (i < visible.GetByteSize()) store[i] = b;
            }
            score.SetAllowLayering((ReadByte(in) & 1) != 0);
        }
        if (V >= 7)
            ReadScoreFonts(*score.GetFontData(), V, in);
        else
            score.GetFontData()->SetDefaultFonts(MendStaffSize(MulDiv(ReadSWord(in), 8, 5)));
        score.SetTitlePage((ReadByte(in) & 1) != 0);
        score.StaffLabels = ReadSByte(in);
        score.PageNumbers = ReadSWord(in);
    }
    if (V >= 23) score.SetJustifyVertically((ReadByte(in) & 1) != 0);
    if (V >= 31) score.SetPrintSystemSepMark((ReadByte(in) & 1) != 0);
}

// ---- staves ----

void ReadStaffHeader(TMusicStaff& staff, const TScoreFileHeader& hdr, TQSRStream& in) {
    const int V = hdr.FormatVersion;
    char text[48];
    ReadText(in, text, 32);
    staff.SetName(text);
    if (V >= 19) ReadText(in, text, 32);
    staff.SetLabel(text);
    text[0] = 0;
    if (V >= 29) ReadText(in, text, 12);
    staff.SetLabelAbbr(text);
    TStaffInstrument& ins = staff.Instrument;
    if (V >= 19) {
        ReadText(in, text, 48);
        ins.SetName(text);
    }
    ReadText(in, text, 16);
    staff.SetGroup(text);
    staff.SetEndingBar(V >= 9 ? ReadByte(in) : 0);
    staff.Muted = ReadSWord(in);
    staff.Channel = ReadSWord(in);
    staff.Device = ReadSWord(in);
    ins.BankFlag = static_cast<uint8_t>(ReadUWord(in));
    ins.Bank = static_cast<uint16_t>(ReadUWord(in));
    ins.PatchByte = static_cast<uint8_t>(ReadUWord(in));
    if (V >= 19)
        for (int i = 0; i < 8; ++i)
            ins.DynVel[i] = static_cast<uint8_t>(ReadByte(in));
    int connection = ReadUWord(in);
    uint8_t flags = 0;
    if (V >= 28)
        flags = static_cast<uint8_t>(connection & (STAFF_BRACKET | STAFF_BRACE | STAFF_CONNECT_BARS));
    else
        flags = static_cast<uint8_t>(ClampToRange(connection & 7, 4) << 5);
    int top = ReadSWord(in);
    int bottom = ReadSWord(in);
    int lines = V >= 16 ? ReadByte(in) : 5;
    staff.SetLineCount(lines > 32 ? 5 : lines);
    staff.SetBoundaries(top, bottom);
    int layer = V >= 8 ? ReadUWord(in) : 0;
    if (layer & 1) flags |= STAFF_LAYER;
    if (layer & 2) flags |= STAFF_MULTIPART_DOTS;
    staff.StaffFlags = flags;
    ins.Trans = static_cast<int8_t>(ReadUWord(in));
    staff.Volume = ReadSWord(in);
    staff.StereoPan = ReadSWord(in);
    // Staff colours beyond the seven highlights have no palette entry.
    staff.SetColor(V >= 10 ? ClampToRange(ReadSByte(in), 8) : 0);
}

void ReadLyricLine(TLyricText& line, const TScoreFileHeader& /*hdr*/, TQSRStream& in) {
    line.Clear();
    // Both words are taken unsigned: no valid file stores a size above 32767, and none can be negative.
    int size = ReadUWord(in);
    if (size == 0) return;
    int used = ReadUWord(in);
    // Two spare zero bytes after the stored ones end every syllable cursor inside the buffer.
    line.Resize(size + 2);
    char* bytes = line.GetWritableBuffer();
    in.ReadBlock(bytes, static_cast<DWORD>(size));
    // The first syllable's separator is always 1: a syllable cursor stepping back stops there.
    if (bytes[1] != 0) bytes[1] = 1;
    line.MendRawFill(used);
}

TStaffLyrics* ReadStaffLyrics(const TScoreFileHeader& hdr, TQSRStream& in) {
    const int V = hdr.FormatVersion;
    int count = ReadSWord(in);
    if (count < 0 || count > kMaxLyricLines) {
        in.SetError();
        return nullptr;
    }
    auto lyrics = std::make_unique<TStaffLyrics>();
    if (V >= 8) {
        int options = ReadUWord(in);
        if (V == 15 && options == 0xFFFF) options = 0;
        lyrics->Placement = options & 1;
        if (V >= 15) lyrics->Align = (options >> 1) & 1;
        if (V >= 17) lyrics->UnderscoreAsSpace = (options & 8) ? 0 : 1;
        lyrics->Offset = ReadSWord(in);
    }
    for (int i = 0; i < count && !in.GetError(); ++i) {
        auto line = std::make_unique<TLyricText>();
        ReadLyricLine(*line, hdr, in);
        lyrics->Add(line.release());
    }
    return lyrics.release();
}

namespace {

// The staff record; with format, the staff's derived marks are computed at once. The load road leaves that
// to the formatting of every staff that ends it, so that no staff is formatted twice. cut is set when the
// record holds more items than a staff can and the rest were dropped. With unfinished given (and no format),
// chords of a version 22 or later staff may be left to the caller to finish (FinishReadingChord) and are
// listed there; older versions read their chords while converting the staff.
TMusicStaff* ReadStaffRecord(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow, bool format,
                             bool& cut, std::vector<TChordData*>* unfinished = nullptr) {
    const int V = hdr.FormatVersion;
    auto staff = std::make_unique<TMusicStaff>();
    staff->Instrument.Reset();
    ReadStaffHeader(*staff, hdr, in);
    if (V >= 4 && ReadSWord(in) != 0) {
        TStaffLyrics* lyrics = ReadStaffLyrics(hdr, in);
        if (in.GetError()) {
            delete lyrics;
            lyrics = nullptr;
        }
        staff->SetLyrics(lyrics);
    }
    in.ReadWord();
    in.ReadWord();
    int count = ReadSWord(in);
    int stored = count >= 2 ? count - 2 : 0;  // records between the boundary bar lines
    int n = std::min(stored, kMaxStaffItems - 2);
    if (stored > n) cut = true;
    ShowLoadProgress(statusWindow, " Loading %s:%s (%d items)", staff->GetGroup(), staff->GetName(), n);
    staff->ReserveItems(((n + 2) / 100 + 1) * 100 + 1);
    // Versions up to 8 store the boundary bar lines; the staff has its own.
    if (V <= 8 && count >= 1 && !in.GetError()) SkipItem(hdr, in);
    const bool finishLater = unfinished && !format && V >= 22;
    while (n > 0 && !in.GetError()) {
        --n;
        --stored;
        TNotatedItem* item = nullptr;
        TChordData* chord = nullptr;
        if (!(finishLater ? ReadNotatedItemUnfinished(hdr, in, item, chord)
                          : ReadNotatedItem(hdr, in, item))) {
            in.SetError();
            break;
        }
        if (chord) unfinished->push_back(chord);
        staff->InsertBeforeLastItem(item);
    }
    // Records beyond the most a staff can hold are read and dropped, so that the next staff is found.
    while (stored > 0 && !in.GetError()) {
        --stored;
        SkipItem(hdr, in);
    }
    staff->SetEndingBar(staff->GetEndingBar());
    if (V <= 8 && count >= 2 && !in.GetError()) SkipItem(hdr, in);
    ShowLoadProgress(statusWindow, " Auditing %s", staff->GetName());
    if (V < 19) {
        for (int i = 0; i < staff->GetItemCount(); ++i) {
            TNotatedItem* item = staff->GetItem(i);
            if (item->GetType() == ntPatch)
                static_cast<TPatchData*>(item)->GetInstrument().Trans = staff->Instrument.Trans;
        }
    }
    if (V < 22) ConvertOldSlursAndLyrics(*staff);
    if (format) FormatStaff(*staff, -1, -1);
    return staff.release();
}

}  // namespace

TMusicStaff* ReadStaff(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow) {
    bool cut = false;
    return ReadStaffRecord(hdr, in, statusWindow, true, cut);
}

// ---- the body and the load road ----

namespace {

bool HasFlag(const TMusicStaff& s, uint8_t flag) {
    return (s.StaffFlags & flag) != 0;
}
void SetFlag(TMusicStaff& s, uint8_t flag) {
    s.StaffFlags = static_cast<uint8_t>(s.StaffFlags | flag);
}

}  // namespace

void FixStaffGroups(TMusicScore& score) {
    enum { kUpperGrand = 1, kLowerGrand = 2, kOrchestral = 3 };
    unsigned styles = 0;
    const int count = score.GetStaffCount();
    for (int i = 0; i < count; ++i) {
        TMusicStaff* s = score.GetStaff(i);
        if (HasFlag(*s, STAFF_BRACKET | STAFF_BRACE | STAFF_CONNECT_BARS)) return;
        if (score.GetStaffVisibleBits().Get(i) && s->GetStyle() != 0) styles |= 1u << s->GetStyle();
    }
    if (styles == 0) return;
    const bool orchestral = (styles & (1u << kOrchestral)) != 0;
    TMusicStaff* prev = nullptr;
    bool grand = false;
    for (int i = 0; i < count; ++i) {
        TMusicStaff* t = score.GetStaff(i);
        if (!score.GetStaffVisibleBits().Get(i)) {
            if (i == count - 1) continue;
            if (orchestral || t->GetStyle() == kOrchestral) SetFlag(*t, STAFF_BRACKET);
            if (grand || t->GetStyle() == kUpperGrand) SetFlag(*t, STAFF_BRACE);
            if (t->GetStyle() == kOrchestral || t->GetStyle() == kUpperGrand) SetFlag(*t, STAFF_CONNECT_BARS);
            continue;
        }
        if (prev) {
            if (prev->GetStyle() == kUpperGrand) grand = true;
            if (prev->GetStyle() == kLowerGrand) grand = false;
            if (grand) {
                SetFlag(*prev, STAFF_CONNECT_BARS);
                SetFlag(*prev, STAFF_BRACE);
            }
            if (orchestral) {
                if (std::strcmp(prev->GetGroup(), t->GetGroup()) == 0 || HasFlag(*prev, STAFF_BRACE))
                    SetFlag(*prev, STAFF_BRACKET);
                if (prev->GetStyle() == kOrchestral && prev->GetStyle() == t->GetStyle())
                    SetFlag(*prev, STAFF_CONNECT_BARS);
            }
        }
        prev = t;
    }
}

namespace {

// A staff read on the load road, with the chords its reading left unfinished.
struct TReadStaff {
    TMusicStaff* Staff = nullptr;
    std::vector<TChordData*> Unfinished;
};

// Staves (or staff records) handed from the reading thread to the threads that finish them. A staff is
// handed over whole: the reader touches it no more, and finishing and formatting one staff reads and writes
// that staff's items and settings only, nothing of another staff or of the score (which the reader goes on
// adding staves to).
template <class T>
class TStaffQueue {
public:
    void Push(T item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
    }
    // No item comes any more; the threads waiting for one go on with what is left.
    void Close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    // Takes the oldest item waiting when more than `most` wait: the reading thread does some of the work
    // itself, which bounds what waits and lets a run of every index in turn on one thread get through.
    bool TakeIfMoreThan(size_t most, T& item) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (items_.size() - taken_ <= most) return false;
        item = std::move(items_[taken_++]);
        return true;
    }
    // Works on the items as they come, until the queue is closed and empty.
    template <class Fn>
    void Work(const Fn& work) {
        for (;;) {
            T next;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [this] { return taken_ < items_.size() || closed_; });
                if (taken_ == items_.size()) return;
                next = std::move(items_[taken_++]);
            }
            work(next);
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<T> items_;
    size_t taken_ = 0;
    bool closed_ = false;
};

// Closes the queue however the reading ends, so that no thread waits for an item that will not come.
template <class T>
struct TCloseOnExit {
    TStaffQueue<T>& Queue;
    ~TCloseOnExit() { Queue.Close(); }
};

void FinishReadStaff(const TReadStaff& read, const TScoreFileHeader& hdr) {
    for (TChordData* chord : read.Unfinished)
        FinishReadingChord(*chord, hdr);
    FormatStaff(*read.Staff, -1, -1);
}

// A staff record taken out of the stream, and the staff read from it.
struct TStaffJob {
    qsm::TStaffBytes Bytes;
    std::unique_ptr<TMusicStaff> Staff;
    bool Cut = false;
};

// Reads the staff records side by side: the calling thread takes each record's bytes out of the stream
// whole (TStaffScanner), and every thread reads, finishes and formats the records taken into staves. Each
// record is read from its own bytes exactly as from the stream, so a record read without error that ends
// where the scanner said is the staff the reading in turn makes. False, with nothing made and the stream
// anywhere after the staff count, when the scanner cannot take a record or the reading of one fails or
// ends elsewhere: the caller then reads the staves in turn from the staff count on.
bool ReadStavesSideBySide(TMusicScore& score, const TScoreFileHeader& hdr, TQSRStream& in, bool& cut) {
    const int n = ReadSWord(in);
    if (in.GetError() || n > kMaxStaves) return false;
    if (n <= 0) return true;
    std::vector<TStaffJob> jobs(static_cast<size_t>(n));
    TStaffQueue<TStaffJob*> queue;
    std::atomic<bool> failed{false};
    const unsigned threads = qsm::GetParallelThreads();

    auto read = [&](TStaffJob* job) {
        if (failed.load(std::memory_order_relaxed)) return;
        TQSRByteView view(job->Bytes.Data.get(), static_cast<DWORD>(job->Bytes.Size));
        TReadStaff staff;
        staff.Staff = ReadStaffRecord(hdr, view, nullptr, false, job->Cut, &staff.Unfinished);
        job->Staff.reset(staff.Staff);
        if (view.GetError() || view.Tell() != job->Bytes.Size) {
            failed.store(true, std::memory_order_relaxed);
            return;
        }
        job->Bytes = {};
        FinishReadStaff(staff, hdr);
    };
    auto scan = [&] {
        TCloseOnExit<TStaffJob*> closing{queue};
        qsm::TStaffScanner scanner(hdr.FormatVersion, in);
        size_t last = 0;
        for (size_t i = 0; i < jobs.size() && !failed.load(std::memory_order_relaxed); ++i) {
            jobs[i].Bytes.Reserve(last + last / 8);
            if (!scanner.Take(jobs[i].Bytes)) {
                failed.store(true, std::memory_order_relaxed);
                break;
            }
            last = jobs[i].Bytes.Size;
            queue.Push(&jobs[i]);
            if (TStaffJob* own = nullptr; queue.TakeIfMoreThan(threads, own)) read(own);
        }
        // The stream goes on after the last record, as after reading the records in turn.
        if (!failed.load(std::memory_order_relaxed) && !scanner.GiveBack())
            failed.store(true, std::memory_order_relaxed);
    };
    // The calling thread scans on its first index, then reads what is left with the others.
    const std::thread::id scanner = std::this_thread::get_id();
    bool scanning = false;
    qsm::ParallelFor(std::max(threads, 1u), [&](size_t) {
        if (std::this_thread::get_id() == scanner && !scanning) {
            scanning = true;
            scan();
        }
        queue.Work(read);
    });
    if (failed.load()) return false;
    for (int i = 0; i < n; ++i) {
        TStaffJob& job = jobs[static_cast<size_t>(i)];
        bool visible = score.GetStaffVisibleBits().Get(i);
        score.AddStaff(job.Staff.release());
        score.GetStaffVisibleBits().Set(i, visible);
        if (job.Cut) cut = true;
    }
    return true;
}

// Reads the staff records into the score. With format, each staff is formatted as it is read. Without, each
// staff read is finished and formatted on another thread while the next one is read (the load road formats
// every staff once, when its record is complete); with sideBySide and more than one thread, the records are
// read side by side when they can be, else in turn.
void ReadStaves(TMusicScore& score, const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow,
                bool format, bool sideBySide, bool& cut) {
    // A stream that failed already is read on in turn: going back would clear its failure.
    if (!format && sideBySide && !statusWindow && !in.GetError() && qsm::GetParallelThreads() > 1) {
        const DWORD at = in.Tell();
        bool cutSideBySide = false;
        if (ReadStavesSideBySide(score, hdr, in, cutSideBySide)) {
            cut = cut || cutSideBySide;
            return;
        }
        in.Rewind();
        in.Seek(at);
    }
    const int n = ReadSWord(in);
    auto readAll = [&](TStaffQueue<TReadStaff>* queue) {
        for (int i = 0; i < n && !in.GetError(); ++i) {
            // A score has room for 255 staves; a file that claims more is damaged.
            if (i >= kMaxStaves) {
                in.SetError();
                break;
            }
            TReadStaff read;
            read.Staff =
                ReadStaffRecord(hdr, in, statusWindow, format, cut, queue ? &read.Unfinished : nullptr);
            bool visible = score.GetStaffVisibleBits().Get(i);
            score.AddStaff(read.Staff);
            score.GetStaffVisibleBits().Set(i, visible);
            if (queue) queue->Push(std::move(read));
        }
    };
    if (format) {
        readAll(nullptr);
        return;
    }
    // The calling thread reads (it may show progress in a window), on its first index: every other index,
    // and the caller's own once the reading is done, finishes and formats staves. With one thread, or when
    // no worker starts, the indexes run in order on the caller: it reads everything, then formats.
    TStaffQueue<TReadStaff> queue;
    const std::thread::id reader = std::this_thread::get_id();
    bool reading = false;
    qsm::ParallelFor(std::max(qsm::GetParallelThreads(), 1u), [&](size_t) {
        if (std::this_thread::get_id() == reader && !reading) {
            reading = true;
            {
                TCloseOnExit<TReadStaff> closing{queue};
                readAll(&queue);
            }
        }
        queue.Work([&hdr](const TReadStaff& read) { FinishReadStaff(read, hdr); });
    });
}

TMusicScore* ReadBody(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow, bool format,
                      bool sideBySide, bool& cut) {
    const int V = hdr.FormatVersion;
    auto score = std::make_unique<TMusicScore>(nullptr);
    ReadScoreInfo(*score, hdr, in);
    score->Selection.Reset();
    if (V >= 26) {
        score->Selection.ActiveStaff = ReadSWord(in);
        score->Selection.CaretIndex = static_cast<int32_t>(in.ReadLong());
        score->Selection.SelectIndex = static_cast<int32_t>(in.ReadLong());
        score->Selection.CaretPos = ReadSWord(in);
    }
    ReadStaves(*score, hdr, in, statusWindow, format, sideBySide, cut);
    if (in.GetError() || !score->GetStaffVisibleBits().AnySet() || V < 8) {
        if (score->GetStaffCount() > 0)
            score->SelectStavesByGroup(score->GetStaff(0)->GetGroup(), score->GetStaffVisibleBits());
        else
            score->GetStaffVisibleBits().Fill(false);
    }
    if (V < 28) FixStaffGroups(*score);
    if (score->AnyStaffMultiPartDotPlacement()) score->SetAnyMultiPartDotPlacement(true);
    return score.release();
}

}  // namespace

TMusicScore* ReadScoreBody(const TScoreFileHeader& hdr, TQSRStream& in, TWindow* statusWindow) {
    bool cut = false;
    return ReadBody(hdr, in, statusWindow, true, false, cut);
}

namespace {

// ReadScore; sideBySide when the stream can be read again from a position its Tell gave.
TMusicScore* ReadScoreFrom(TQSRStream& in, TScoreFileHeader& hdr, TWindow* statusWindow, bool sideBySide) {
    hdr.Init(StatusNotScoreFile);
    if (in.GetSize() < 2) {
        hdr.Status = StatusEmpty;
        auto* score = new TMusicScore(nullptr);
        score->AddStaff(new TMusicStaff());
        return score;
    }
    if (!ReadScoreFileHeader(in, hdr)) return nullptr;
    // Every staff is formatted once, when its record has been read.
    bool cut = false;
    TMusicScore* score = ReadBody(hdr, in, statusWindow, false, sideBySide, cut);
    score->SetFromOldFormat(hdr.Status == StatusOldFormat);
    score->Date = hdr.SavedDate;
    // Items dropped from a staff too full to hold them are lost data, as a cut file is.
    if (in.GetError() || cut) hdr.Status = StatusDamaged;
    if (score->GetStaffCount() == 0) {
        score->AddStaff(new TMusicStaff());
        FormatStaff(*score->GetStaff(0), -1, -1);
    }
    return score;
}

}  // namespace

TMusicScore* ReadScore(TQSRStream& in, TScoreFileHeader& hdr, TWindow* statusWindow) {
    return ReadScoreFrom(in, hdr, statusWindow, true);
}

TMusicScore* qsm::LoadScoreFromStream(TQSRStream& raw, TScoreFileHeader& hdr, TWindow* statusWindow) {
    hdr.Init(StatusNotScoreFile);
    // The inflating stream reads again from the start of the raw one when it goes back.
    const bool fromStart = raw.Tell() == 0 && !raw.GetError();
    TQSRZLibInStream in(1, &raw, false);
    TMusicScore* score = ReadScoreFrom(in, hdr, statusWindow, fromStart);
    if (score) score->SetCompressed(in.IsCompressed());
    // The body may be complete while the compressed data around it is not (a damaged last block, a wrong
    // check value): what was read is kept, as from a damaged file.
    if (score && (hdr.Status == StatusOk || hdr.Status == StatusOldFormat) && !in.EndsCleanly())
        hdr.Status = StatusDamaged;
    return score;
}

TMusicScore* LoadScoreFile(const char* path, TScoreFileHeader& hdr, TWindow* statusWindow) {
    TQSBusyCursor busy;
    TQSRFStream file(5, path);
    hdr.Init(StatusNotScoreFile);
    if (file.GetError()) return nullptr;
    return qsm::LoadScoreFromStream(file, hdr, statusWindow);
}

bool ReadScoreInfoOnly(TQSRStream& in, TScoreFileHeader& hdr, TSongInfo& info) {
    hdr.Init(StatusNotScoreFile);
    std::memset(&info, 0, sizeof info);
    if (in.GetSize() < 2) return false;
    if (!ReadScoreFileHeader(in, hdr)) return false;
    TMusicScore score(nullptr);
    ReadScoreInfo(score, hdr, in);
    info = score.SongInfo;
    return !in.GetError();
}

bool ReadScoreFileInfo(const char* path, TScoreFileHeader& hdr, TSongInfo& info) {
    TQSRFStream file(5, path);
    hdr.Init(StatusNotScoreFile);
    if (file.GetError()) return false;
    TQSRZLibInStream in(1, &file, false);
    return ReadScoreInfoOnly(in, hdr, info);
}

const char* GuessScoreFileExtension(const char* path) {
    TQSRFStream file(5, path);
    std::vector<char> text(4096, 0);
    if (!file.GetError()) {
        TQSRZLibInStream in(1, &file, false);
        in.ReadBlock(reinterpret_cast<uint8_t*>(text.data()), 4095);
    }
    // A clip header goes on with its version and kind after "(2", so only that much is compared.
    if (std::strstr(text.data(), "!QuillStaveComposer(2") ||
        std::strstr(text.data(), "!QuillStaveComposerClip(2"))
        return ".qsmtxt";
    return ".qsm";
}
