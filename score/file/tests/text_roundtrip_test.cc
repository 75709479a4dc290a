// Text score -> model -> compact score file -> model: the second model must write the same compact file as
// the first, and formatting an imported score again must change nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "score/file/score_file.h"
#include "score/file/tests/text_import_fixture.h"
#include "score/format/format.h"

namespace {

using qsm::test::ImportFile;

// The compact file of a score, as bytes.
std::string CompactBytes(TMusicScore& score) {
    TQSRFlatRamStream out(4096, 1 << 20);
    EXPECT_TRUE(WriteScoreFileHeader(out, score));
    return std::string(reinterpret_cast<const char*>(out.GetData()), out.GetSize());
}

std::unique_ptr<TMusicScore> ReadCompact(const std::string& bytes) {
    TQSRFlatRamStream in(const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                         static_cast<DWORD>(bytes.size()));
    TScoreFileHeader header;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(in, header, nullptr));
    EXPECT_EQ(header.Status, StatusOk);
    return score;
}

// Names the first item that differs, to make a failure readable.
void ExplainDifference(const TMusicScore& a, const TMusicScore& b) {
    ASSERT_EQ(a.GetStaffCount(), b.GetStaffCount());
    for (int s = 0; s < a.GetStaffCount(); ++s) {
        ASSERT_EQ(a.GetStaff(s)->GetItemCount(), b.GetStaff(s)->GetItemCount()) << "staff " << s;
        for (int i = 0; i < a.GetStaff(s)->GetItemCount(); ++i) {
            EXPECT_EQ(CompareNotatedItems(*a.GetStaff(s)->GetItem(i), *b.GetStaff(s)->GetItem(i)), 0)
                << "staff " << s << " item " << i << " type " << a.GetStaff(s)->GetItem(i)->GetType();
        }
    }
}

class TextRoundTrip : public testing::TestWithParam<const char*> {};

// What the compact form cannot hold: mark numbers above 7 read back as 0.
void DropCompactLosses(TMusicScore& score) {
    for (int s = 0; s < score.GetStaffCount(); ++s) {
        for (int i = 0; i < score.GetStaff(s)->GetItemCount(); ++i) {
            TNotatedItem* item = score.GetStaff(s)->GetItem(i);
            for (int n = 0; n < item->GetNoteCount(); ++n) {
                TMusicNote* note = item->GetNote(n);
                if (note->GetMarkNumber() > 7) note->SetMarkNumber(0);
            }
            if (item->GetType() == ntNote || item->GetType() == ntChord) {
                auto* note = static_cast<TMusicNote*>(item);
                if (note->GetMarkNumber() > 7) note->SetMarkNumber(0);
            }
        }
    }
}

TEST_P(TextRoundTrip, CompactFileGivesBackTheSameModel) {
    auto imported = ImportFile(GetParam());
    ASSERT_NE(imported, nullptr);
    auto back = ReadCompact(CompactBytes(*imported));
    ASSERT_NE(back, nullptr);
    back->Date = imported->Date;
    DropCompactLosses(*imported);
    const std::string expected = CompactBytes(*imported);
    const std::string second = CompactBytes(*back);
    EXPECT_TRUE(expected == second) << GetParam();
    if (expected != second) ExplainDifference(*imported, *back);
}

TEST_P(TextRoundTrip, FormattingAgainChangesNothing) {
    auto imported = ImportFile(GetParam());
    ASSERT_NE(imported, nullptr);
    const std::string before = CompactBytes(*imported);
    FormatAllStaffs(imported.get(), true);
    EXPECT_TRUE(before == CompactBytes(*imported)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Corpus, TextRoundTrip,
                         testing::Values("sections.qsmtxt", "staves.qsmtxt", "signatures.qsmtxt",
                                         "expressions.qsmtxt", "notes.qsmtxt", "lenient.qsmtxt",
                                         "clip.qsmtxt", "sample.qsmtxt"));

}  // namespace
