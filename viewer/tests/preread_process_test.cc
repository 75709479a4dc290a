// The real program started on a large compact score as a second instance, while this test holds the viewer's
// window: it hands the command line over and ends with exit code 1, dropping the score it began to read (the
// leak check runs as it ends), and a file it cannot take is the running viewer's to tell of.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "score/file/score_file.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"
#include "viewer/tests/process_fixture.h"

namespace {

class PrereadProcessTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        HoldViewerWindow();
    }
};

TEST_F(PrereadProcessTest, ASecondInstanceDropsTheScoreItBeganToRead) {
    std::string text = "!QuillStaveComposer(2.51)\n";
    for (int s = 0; s < 8; ++s) {
        text += "|AddStaff|Name:S" + std::to_string(s) + "\n|Clef|Type:Treble\n|TimeSig|Signature:4/4\n";
        for (int b = 0; b < 1500; ++b)
            text += "|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:2\n|Chord|Dur:Half|Pos:-2,0,2\n|Bar\n";
    }
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreText(text);
    ASSERT_TRUE(score);
    const std::string path = dir_ + "/large.qsm";
    ASSERT_TRUE(SaveScoreFile(path.c_str(), true, *score));

    // A leak found as the program ends is told by an exit code of its own, not the 1 of the hand-over.
    const char* options = getenv("ASAN_OPTIONS");
    const std::string saved = options ? options : "";
    setenv("ASAN_OPTIONS", (saved.empty() ? "exitcode=23" : saved + ":exitcode=23").c_str(), 1);
    EXPECT_EQ(RunServed({"/play", path}), 1);
    if (options)
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], "/play " + path + '\0');
}

}  // namespace
