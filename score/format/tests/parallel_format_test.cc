// The staffs of a score formatted side by side give what formatting them one after the other gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/parallel.h"
#include "core/ram_stream.h"
#include "score/file/score_file.h"
#include "score/file/tests/saved_bytes.h"
#include "score/file/text_score_source.h"
#include "score/format/format.h"
#include "score/format/tests/format_fixture.h"
#include "score/music_score.h"

using namespace format_fixture;

namespace {

// Staffs of random marks (whose passes settle beam groups and extend themselves to the ends of tempo
// ramps on the way) between staffs of plain music, some long and some short.
std::unique_ptr<TMusicScore> MakeScore() {
    auto score = std::make_unique<TMusicScore>();
    for (unsigned s = 0; s < 24; ++s) {
        auto* staff = new TMusicStaff();
        if (s % 3 == 0) {
            FillMusic(*staff, 20 + static_cast<int>(s) * 10);
        } else {
            FillRandom(*staff, s, 100 + static_cast<int>(s % 5) * 150);
        }
        EXPECT_TRUE(score->AddStaff(staff));
    }
    return score;
}

std::string Describe(const TMusicScore* score) {
    std::string all;
    if (!score) return all;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        EXPECT_EQ(score->GetStaff(i)->NeedsFormat, 0);
        all += Snapshot(*score->GetStaff(i)) + "--\n";
    }
    return all;
}

std::string FormatOn(unsigned threads) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(threads);
    auto score = MakeScore();
    FormatAllStaffs(score.get(), true);
    qsm::SetParallelThreads(before);
    return Describe(score.get());
}

// The importer formats the staffs it made in one call, as the reader of score files does.
std::string ImportOn(unsigned threads, const std::filesystem::path& path) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(threads);
    auto score = qsm::ImportTextScoreFile(path.string());
    qsm::SetParallelThreads(before);
    return Describe(score.get());
}

// The reader of score files formats each staff on another thread while it reads the next.
std::string LoadOn(unsigned threads, std::vector<uint8_t> bytes) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(threads);
    TQSRFlatRamStream raw(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
    qsm::SetParallelThreads(before);
    EXPECT_EQ(hdr.Status, StatusOk);
    return Describe(score.get());
}

TEST(ParallelFormat, SeveralThreadsGiveTheOneThreadResult) {
    const std::string serial = FormatOn(1);
    for (unsigned threads : {2u, 8u})
        EXPECT_EQ(FirstDifference(FormatOn(threads), serial), "") << threads << " threads";
}

TEST(ParallelFormat, ScoresLoadedOnSeveralThreadsAreFormattedAsOnOne) {
    const std::vector<uint8_t> file = SavedBytes(*MakeScore());
    const std::string serial = LoadOn(1, file);
    EXPECT_NE(serial, "");
    for (unsigned threads : {2u, 8u})
        EXPECT_EQ(FirstDifference(LoadOn(threads, file), serial), "") << threads << " threads";
}

TEST(ParallelFormat, ImportedScoresAreFormattedAlikeOnOneThreadAndOnSeveral) {
    int scores = 0;
    for (const char* folder : {"/textscore", "/layout"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(QSM_TESTDATA_DIR) + folder)) {
            if (entry.path().extension() != ".qsmtxt") continue;
            const std::string serial = ImportOn(1, entry.path());
            if (serial.empty()) continue;  // files that are no score, kept for the importer's own tests
            ++scores;
            EXPECT_EQ(FirstDifference(ImportOn(8, entry.path()), serial), "") << entry.path().filename();
        }
    }
    EXPECT_GE(scores, 8);
}

}  // namespace
