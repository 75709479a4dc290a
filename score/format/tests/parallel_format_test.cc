// The staffs of a score formatted side by side give what formatting them one after the other gives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/parallel.h"
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

std::string FormatOn(unsigned threads) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(threads);
    auto score = MakeScore();
    FormatAllStaffs(score.get(), true);
    qsm::SetParallelThreads(before);
    std::string all;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        EXPECT_EQ(score->GetStaff(i)->NeedsFormat, 0);
        all += Snapshot(*score->GetStaff(i)) + "--\n";
    }
    return all;
}

TEST(ParallelFormat, SeveralThreadsGiveTheOneThreadResult) {
    const std::string serial = FormatOn(1);
    for (unsigned threads : {2u, 8u})
        EXPECT_EQ(FirstDifference(FormatOn(threads), serial), "") << threads << " threads";
}

}  // namespace
