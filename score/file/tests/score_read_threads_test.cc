// The load road finishes the chords of every staff side by side once all staves are read, and with more
// than one thread reads the staff records themselves side by side after taking their bytes out whole: the
// score, the status and the stream's position are those the reading on one thread gives, for every format
// version and for damaged files; a chord finished after its reading equals one finished while it is read.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/parallel.h"
#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "score/file/score_file.h"
#include "score/file/staff_scan.h"
#include "score/file/tests/file_gen.h"
#include "score/file/tests/saved_bytes.h"
#include "score/item_records.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

// Chords of every shape the sync handles: seconds, dotted and tied members, stems set on both sides with
// members of two lengths, grace chords.
std::unique_ptr<TMusicScore> ChordScore(int staves, int bars) {
    auto score = std::make_unique<TMusicScore>();
    for (int s = 0; s < staves; ++s) {
        auto* staff = new TMusicStaff();
        auto insert = [staff](TNotatedItem* item) { staff->InsertItem(item, staff->GetItemCount() - 1); };
        insert(new TClefData(s % 2 ? ctBass : ctTreble));
        insert(new TTimeSignatureData(4, 2, tsStandard));
        for (int b = 0; b < bars; ++b) {
            const int p = (b * 3 + s) % 11 - 5;
            const int kind = (b + s) % 5;
            uint16_t attributes = 0;
            if (kind == 1) attributes = AttributeBit(naTie);
            if (kind == 2) attributes = AttributeBit(naDotted) | AttributeBit(naTie);
            if (kind == 4) attributes = AttributeBit(naGrace);
            auto* chord =
                new TChordData(new TMusicNote(p, dcQuarter, attributes), new TMusicNote(p - 1, dcQuarter));
            auto* third =
                new TMusicNote(p + 3, kind == 3 ? dcEighth : dcQuarter, kind == 1 ? AttributeBit(naTie) : 0);
            if (kind == 3) third->SetStem(TStemSetting::Up);
            if (!chord->AddNote(third)) delete third;
            // A unison on the other stem side: two members on one position, which the reader finishes at
            // once.
            if (kind == 0) {
                auto* unison = new TMusicNote(p - 1, dcHalf);
                unison->SetStem(TStemSetting::Up);
                if (!chord->AddNote(unison)) delete unison;
            }
            if (b % 2) chord->SetStem(TStemSetting::Down);
            insert(chord);
            insert(new TMusicNote(p, dcQuarter));
            insert(new TBarLineData(bsSingle, 1));
        }
        score->AddStaff(staff);
    }
    return score;
}

// What a sync sets, of a note and (for a chord) of its members; the record does not hold all of it.
std::string NoteFields(const TMusicNote& n) {
    std::string s = std::to_string(n.GetStaffPos()) + "/" + std::to_string(n.GetDur()) + "/" +
                    std::to_string(n.GetAttributes()) + "/" + std::to_string(n.GetStemSetting()) + "/" +
                    std::to_string(n.GetHeadColumn()) + "/" + std::to_string(n.IsTieDownward()) +
                    std::to_string(n.IsTieContinued()) + std::to_string(n.IsSlurContinued()) +
                    std::to_string(n.GetBeamState()) + std::to_string(n.GetVisibility()) +
                    std::to_string(n.GetStemLengthField()) + std::to_string(n.HasArticulationsOnStem());
    if (n.GetType() == ntChord) {
        const auto& chord = static_cast<const TChordData&>(n);
        s += " w" + std::to_string(chord.GetWideFlags()) + " [";
        for (int i = 0; i < chord.GetNoteCount(); ++i)
            s += NoteFields(*chord.GetNote(i)) + " ";
        s += "]";
    }
    return s;
}

std::string Chords(const TMusicScore& score) {
    std::string s;
    for (int i = 0; i < score.GetStaffCount(); ++i) {
        const TMusicStaff& staff = *score.GetStaff(i);
        for (int k = 0; k < staff.GetItemCount(); ++k) {
            const TNotatedItem* item = staff.GetItem(k);
            if (item->GetType() == ntChord) s += NoteFields(*static_cast<const TMusicNote*>(item)) + "\n";
        }
    }
    return s;
}

struct Loaded {
    std::unique_ptr<TMusicScore> score;
    TScoreFileHeader hdr;
};

Loaded LoadWithThreads(const std::vector<uint8_t>& bytes, unsigned threads) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(threads);
    Loaded l;
    TQSRFlatRamStream raw(const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                          static_cast<DWORD>(bytes.size()));
    l.score.reset(qsm::LoadScoreFromStream(raw, l.hdr, nullptr));
    qsm::SetParallelThreads(before);
    return l;
}

TEST(ScoreReadThreads, ChordsFinishedOnSeveralThreadsEqualThoseFinishedOnOne) {
    const std::vector<uint8_t> file = SavedBytes(*ChordScore(16, 40));
    Loaded one = LoadWithThreads(file, 1);
    Loaded many = LoadWithThreads(file, 8);
    ASSERT_TRUE(one.score && many.score);
    EXPECT_EQ(one.hdr.Status, StatusOk);
    EXPECT_EQ(many.hdr.Status, StatusOk);
    EXPECT_EQ(Chords(*many.score), Chords(*one.score));
    many.score->Date = one.score->Date;
    EXPECT_EQ(SavedBytes(*many.score), SavedBytes(*one.score));
    // Several threads again on a damaged copy: the staves read before the damage are finished all the same.
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
    Loaded cutOne = LoadWithThreads(cut, 1);
    Loaded cutMany = LoadWithThreads(cut, 8);
    ASSERT_TRUE(cutOne.score && cutMany.score);
    EXPECT_EQ(cutMany.hdr.Status, StatusDamaged);
    EXPECT_EQ(Chords(*cutMany.score), Chords(*cutOne.score));
}

// A file of version V whose staves hold a record of every kind and the variants whose sizes differ: mark
// and stem length bytes, every staff sizer style, a chord in a rest chord, long texts, lyrics.
qsm::gen::File VariedFile(int V) {
    using namespace qsm::gen;
    File f = SampleFile(V);
    Staff third;
    third.name = std::string(40, 'n');
    third.group = "Strings";
    third.lyrics = Lyrics{.lines = {MakeLyricLine({{1, "la"}}), LyricLine{}, MakeLyricLine({{1, "lo"}})}};
    for (int style = 0; style <= 6; ++style)
        third.items.push_back(Sizer{.style = style}.Encode(V));
    third.items.push_back(Note{.song = {.mark = 3}, .pos = 2, .stemFlag = 1, .stemByte = 9}.Encode(V));
    third.items.push_back(Text{.code = 17, .text = std::string(300, 't')}.Encode(V));
    const Bytes inner =
        Chord{.note = {.pos = 1}, .members = {Note{.pos = 1}.Encode(V), Note{.pos = 3}.Encode(V)}}.Encode(V);
    third.items.push_back(RestChord{.part = inner}.Encode(V));
    // A chord of one member is read as that note.
    third.items.push_back(Chord{.note = {.pos = 0}, .members = {Note{.pos = 5}.Encode(V)}}.Encode(V));
    third.items.push_back(Rest{.vertOffset = -2001}.Encode(V));
    f.staves.push_back(third);
    return f;
}

// Takes every staff record of the plain file out of the stream with the scanner: each must come whole, as
// long as the reading of the same staff takes it.
void ExpectScannerTakesWhatTheReaderReads(const std::vector<uint8_t>& plain, TQSRStream& in) {
    std::vector<uint8_t> copy = plain;
    TQSRFlatRamStream ref(copy.data(), static_cast<DWORD>(copy.size()), static_cast<DWORD>(copy.size()));
    TScoreFileHeader hdr;
    TScoreFileHeader refHdr;
    ASSERT_TRUE(ReadScoreFileHeader(in, hdr));
    ASSERT_TRUE(ReadScoreFileHeader(ref, refHdr));
    TMusicScore info(nullptr);
    ReadScoreInfo(info, hdr, in);
    ReadScoreInfo(info, refHdr, ref);
    const int skip = hdr.FormatVersion >= 26 ? 12 : 0;
    for (int i = 0; i < skip; ++i) {
        in.GetByte();
        ref.GetByte();
    }
    const int staves = static_cast<int16_t>(in.ReadWord());
    ASSERT_EQ(static_cast<int16_t>(ref.ReadWord()), staves);
    qsm::TStaffScanner scanner(hdr.FormatVersion, in);
    for (int i = 0; i < staves; ++i) {
        const DWORD start = ref.Tell();
        std::unique_ptr<TMusicStaff> staff(ReadStaff(refHdr, ref, nullptr));
        ASSERT_FALSE(ref.GetError());
        qsm::TStaffBytes bytes;
        ASSERT_TRUE(scanner.Take(bytes)) << "staff " << i;
        ASSERT_EQ(bytes.Size, ref.Tell() - start) << "staff " << i;
        EXPECT_EQ(std::memcmp(bytes.Data.get(), plain.data() + start, bytes.Size), 0);
    }
    EXPECT_TRUE(scanner.GiveBack());
    EXPECT_EQ(in.Tell(), ref.Tell());
}

TEST(ScoreReadThreads, TheScannerTakesEveryStaffRecordOfEveryVersionWhole) {
    for (int V = 0; V <= kScoreFormatVersion; ++V) {
        SCOPED_TRACE(V);
        const std::vector<uint8_t> plain = VariedFile(V).Encode().data;
        // Through the inflating stream's window, and from a stream without one.
        std::vector<uint8_t> packed = qsm::gen::Compress(plain);
        TQSRFlatRamStream raw(packed.data(), static_cast<DWORD>(packed.size()),
                              static_cast<DWORD>(packed.size()));
        TQSRZLibInStream inflating(1, &raw, false);
        ExpectScannerTakesWhatTheReaderReads(plain, inflating);
        std::vector<uint8_t> copy = plain;
        TQSRFlatRamStream flat(copy.data(), static_cast<DWORD>(copy.size()), static_cast<DWORD>(copy.size()));
        ExpectScannerTakesWhatTheReaderReads(plain, flat);
    }
}

// Loads the bytes with one thread and with eight: the same status, score and stream position.
void ExpectOneAndManyThreadsAgree(const std::vector<uint8_t>& bytes) {
    Loaded one = LoadWithThreads(bytes, 1);
    Loaded many = LoadWithThreads(bytes, 8);
    ASSERT_EQ(one.score == nullptr, many.score == nullptr);
    EXPECT_EQ(many.hdr.Status, one.hdr.Status);
    if (!one.score) return;
    ASSERT_EQ(many.score->GetStaffCount(), one.score->GetStaffCount());
    EXPECT_EQ(Chords(*many.score), Chords(*one.score));
    EXPECT_EQ(SavedBytes(*many.score), SavedBytes(*one.score));
}

TEST(ScoreReadThreads, StavesReadSideBySideEqualStavesReadInTurn) {
    for (int V = 0; V <= kScoreFormatVersion; ++V) {
        SCOPED_TRACE(V);
        ExpectOneAndManyThreadsAgree(qsm::gen::Compress(VariedFile(V).Encode().data));
    }
    // Many staves, more than the records taken ahead of their reading.
    const std::vector<uint8_t> file = SavedBytes(*ChordScore(40, 30));
    ExpectOneAndManyThreadsAgree(file);
    ExpectOneAndManyThreadsAgree(qsm::gen::Compress(file));
    // Damage: cut anywhere, an unknown kind or a member that is no note in a later staff, more staves or
    // items claimed than stored. The first fault in file order decides, as when reading in turn.
    for (size_t cut : {60u, 200u, 400u}) {
        SCOPED_TRACE(cut);
        ExpectOneAndManyThreadsAgree(std::vector<uint8_t>(file.begin(), file.begin() + cut));
    }
    for (size_t cut = 1; cut < 16; ++cut) {
        SCOPED_TRACE(cut);
        ExpectOneAndManyThreadsAgree(std::vector<uint8_t>(
            file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() * cut / 16)));
    }
    qsm::gen::File bad = VariedFile(32);
    bad.staves[1].items.push_back(qsm::gen::RawItem(40, qsm::gen::Bytes().W(1)));
    ExpectOneAndManyThreadsAgree(bad.Encode().data);
    bad = VariedFile(32);
    bad.staves[2].items.push_back(
        qsm::gen::Chord{.members = {qsm::gen::Bar{}.Encode(32), qsm::gen::Note{}.Encode(32)}}.Encode(32));
    ExpectOneAndManyThreadsAgree(bad.Encode().data);
    bad = VariedFile(32);
    bad.staffCount = 5;
    ExpectOneAndManyThreadsAgree(bad.Encode().data);
    bad = VariedFile(32);
    bad.staves[1].count = 9;
    ExpectOneAndManyThreadsAgree(bad.Encode().data);
    bad = VariedFile(32);
    bad.staves[2].lyrics->count = 9;
    ExpectOneAndManyThreadsAgree(bad.Encode().data);
}

// The stream goes on after the last staff record, as after reading the records in turn, also when the
// records were taken through an inflating stream's window.
TEST(ScoreReadThreads, TheStreamGoesOnAfterTheLastStaffRecord) {
    std::vector<uint8_t> plain = SavedBytes(*ChordScore(12, 20));
    const size_t size = plain.size();
    plain.resize(size + 100, 7);
    std::vector<uint8_t> packed = qsm::gen::Compress(plain);
    for (unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        const unsigned before = qsm::GetParallelThreads();
        qsm::SetParallelThreads(threads);
        TQSRFlatRamStream flat(plain.data(), static_cast<DWORD>(plain.size()),
                               static_cast<DWORD>(plain.size()));
        TQSRFlatRamStream raw(packed.data(), static_cast<DWORD>(packed.size()),
                              static_cast<DWORD>(packed.size()));
        TQSRZLibInStream inflating(1, &raw, false);
        for (TQSRStream* in : {static_cast<TQSRStream*>(&flat), static_cast<TQSRStream*>(&inflating)}) {
            TScoreFileHeader hdr;
            std::unique_ptr<TMusicScore> score(ReadScore(*in, hdr, nullptr));
            EXPECT_EQ(hdr.Status, StatusOk);
            EXPECT_EQ(in->Tell(), size);
            EXPECT_EQ(in->GetByte(), 7);
        }
        qsm::SetParallelThreads(before);
    }
}

// Reads one item record both ways: finished while read, and finished afterwards when the reader left it;
// whether it did.
bool ExpectFinishLaterEqualsFinishNow(const TScoreFileHeader& hdr, const std::vector<uint8_t>& record) {
    std::vector<uint8_t> bytes = record;
    TQSRFlatRamStream a(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TQSRFlatRamStream b(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TNotatedItem* now = nullptr;
    TNotatedItem* later = nullptr;
    EXPECT_TRUE(ReadNotatedItem(hdr, a, now));
    TChordData* unfinished = nullptr;
    EXPECT_TRUE(ReadNotatedItemUnfinished(hdr, b, later, unfinished));
    std::unique_ptr<TNotatedItem> keepNow(now), keepLater(later);
    if (!now || !later || later->GetType() != now->GetType()) {
        ADD_FAILURE() << "the record reads differently";
        return false;
    }
    EXPECT_EQ(b.Tell(), a.Tell());
    if (unfinished) {
        EXPECT_EQ(unfinished, later);
        FinishReadingChord(*unfinished, hdr);
    }
    if (now->GetType() == ntChord || now->GetType() == ntNote) {
        EXPECT_EQ(NoteFields(*static_cast<TMusicNote*>(later)), NoteFields(*static_cast<TMusicNote*>(now)));
    }
    EXPECT_EQ(CompareNotatedItems(*later, *now), 0);
    return unfinished != nullptr;
}

TEST(ScoreReadThreads, AChordFinishedAfterItsReadingEqualsOneFinishedWhileRead) {
    // The chords of the generated score, as the writer stores them.
    std::unique_ptr<TMusicScore> score = ChordScore(2, 20);
    int chords = 0;
    int left = 0;
    for (int s = 0; s < score->GetStaffCount(); ++s) {
        TMusicStaff* staff = score->GetStaff(s);
        for (int k = 0; k < staff->GetItemCount(); ++k) {
            if (staff->GetItem(k)->GetType() != ntChord) continue;
            TQSRSegRamStream out(256);
            WriteNotatedItem(out, *staff->GetItem(k));
            std::vector<uint8_t> record(out.GetSize());
            out.Seek(0);
            out.ReadBlock(record.data(), static_cast<DWORD>(record.size()));
            if (ExpectFinishLaterEqualsFinishNow(CurrentVersionHeader(), record)) ++left;
            ++chords;
        }
    }
    EXPECT_GT(chords, 30);
    // Most are left for later; those with a unison are finished at once.
    EXPECT_GT(left, chords / 2);
    EXPECT_LT(left, chords);
    // The generator's items of every version, chords of one member and of none included.
    for (int V = 0; V <= kScoreFormatVersion; ++V) {
        SCOPED_TRACE(V);
        TScoreFileHeader hdr(StatusOk);
        hdr.FormatVersion = V;
        for (const qsm::gen::Bytes& item : qsm::gen::AllItems(V))
            ExpectFinishLaterEqualsFinishNow(hdr, item.data);
    }
}

}  // namespace
