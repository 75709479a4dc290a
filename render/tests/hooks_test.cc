// The score hooks: every program installs them at its start; a score laid out while the notation drawing is
// missing stops a debug build with the hook's name instead of measuring every item as 0.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "render/hooks.h"
#include "render/layout/system_run.h"
#include "score/file/text_score_source.h"
#include "score/item_drawing.h"
#include "score/music_score.h"

namespace {

constexpr const char* kSong =
    "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Bar\n";

class ScoreHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qsm-hooks-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        score_ = qsm::ImportTextScoreText(kSong);
        ASSERT_TRUE(score_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
    std::unique_ptr<TMusicScore> score_;
};

TEST_F(ScoreHooksTest, InstalledOnceTheyLayOutAndDrawAScore) {
    qsm::InstallScoreHooks();
    qsm::InstallScoreHooks();
    ASSERT_NE(GetItemDrawing(), nullptr);
    EXPECT_TRUE(qsm::RenderScorePng(*score_, dir_ + "/tune.png", 600, 10, 1));
    EXPECT_GT(std::filesystem::file_size(dir_ + "/tune.png"), 0u);
}

#ifndef NDEBUG
TEST_F(ScoreHooksTest, ALayoutWithoutTheNotationDrawingStopsNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SetItemDrawing(nullptr);
            qsm::RenderScorePng(*score_, dir_ + "/tune.png", 600, 10, 1);
        },
        "item drawing \\(qsm::InstallScoreHooks\\) used before it was installed");
}
#endif

}  // namespace
