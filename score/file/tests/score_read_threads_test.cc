// The load road finishes the chords of every staff side by side once all staves are read: the score it
// gives is the one the reading on one thread gives, and a chord finished after its reading equals one
// finished while it is read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/parallel.h"
#include "core/ram_stream.h"
#include "score/file/score_file.h"
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
