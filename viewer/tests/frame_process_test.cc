// The real program as the running viewer: a second instance hands it a file to play and close after, and the
// placement of its main window is kept for the next start.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/tests/process_fixture.h"

namespace {

class FrameProcessTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        song_ = dir_ + "/short song.qsmtxt";
        std::ofstream(song_) << "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n"
                                "|Note|Dur:8th|Pos:0\n|Note|Dur:8th|Pos:1\n|Bar\n";
        SysInfo.WriteInt("Options", "AutoWelcome", 0);
        SysInfo.WriteInt("Options", "ReuseInst", 1);
        SysInfo.WriteInt("Options", "RecallSizePos", 1);
    }
    static pid_t Start(std::vector<std::string> args) { return Spawn(std::move(args)); }
    // Waits until the process ends; its exit code (-2 when it did not exit normally).
    static int Wait(pid_t pid) { return ExitCode(pid); }
    std::string song_;
};

// A MIDI file of one track: a quarter note of middle C at 120 beats a minute.
std::string ShortMidiFile() {
    const unsigned char bytes[] = {'M', 'T', 'h', 'd',  0,   0,   0, 6,    0,    0,  0, 1,
                                   0,   96,  'M', 'T',  'r', 'k', 0, 0,    0,    12, 0, 0x90,
                                   60,  100, 96,  0x80, 60,  0,   0, 0xFF, 0x2F, 0};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST_F(FrameProcessTest, EachKindOfFileOpenedByCommandLineIsPlayedAndTheProgramCloses) {
    // The same song as a compact file.
    std::string compact = dir_ + "/short song.qsm";
    {
        TQSRFStream in(TQSRFStream::kRead, song_.c_str());
        std::unique_ptr<TMusicScore> score(ImportTextScore(in, nullptr, -1));
        ASSERT_TRUE(score);
        ASSERT_TRUE(SaveScoreFile(compact.c_str(), true, *score));
    }
    std::string midi = dir_ + "/short.mid";
    std::ofstream(midi, std::ios::binary) << ShortMidiFile();

    for (const std::string& file : {compact, song_, midi}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(Wait(Start({"/play", file, "/close"})), 0);
        // The file opened is the newest of the recent views.
        std::vector<std::string> recent = RecentViews();
        ASSERT_FALSE(recent.empty());
        EXPECT_EQ(recent.front(), file);
    }
    EXPECT_EQ(RecentViews().size(), 3u);
    // From the cache, the recent views stay as they were.
    EXPECT_EQ(Wait(Start({"/cached", "/play", compact, "/close"})), 0);
    EXPECT_EQ(RecentViews().front(), midi);
}

TEST_F(FrameProcessTest, ASecondInstanceHandsOverAFileThatIsPlayedAndTheViewerCloses) {
    pid_t first = Start({});
    ASSERT_GT(first, 0);
    int pidfd = OpenPidFd(first);
    ASSERT_GE(pidfd, 0);
    // The running viewer's window appears; the process must not end before.
    while (FindWindowA("TQSMViewerFrame", nullptr) == nullptr) {
        pollfd p{pidfd, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10), 0) << "the viewer ended before its window showed";
    }
    close(pidfd);
    EXPECT_EQ(Wait(Start({"/play", song_, "/close"})), 1);
    // The first viewer plays the song and then closes by itself.
    EXPECT_EQ(Wait(first), 0);
    // Closing kept the window's placement and the toolbar's state.
    qsm::wm::ResetForTests();
    EXPECT_GE(SysInfo.ReadInt("Placement", "x1", -99), 0);
    EXPECT_GT(SysInfo.ReadInt("Placement", "x2", 0), SysInfo.ReadInt("Placement", "x1", 0));
    BYTE state[16];
    EXPECT_GE(SysInfo.ReadBlob("Toolbars", "Tools", nullptr, state, sizeof state), 10u);
}

TEST_F(FrameProcessTest, AMissingAndADamagedFileHandedOverLeaveTheViewerRunning) {
    // The running viewer answers its message boxes with OK and reports each in the log.
    std::string log = dir_ + "/modals";
    setenv("QSM_MODAL_LOG", log.c_str(), 1);
    setenv("QSM_MODAL_ANSWERS", "1,1,1,1", 1);
    pid_t first = Start({song_});
    unsetenv("QSM_MODAL_LOG");
    unsetenv("QSM_MODAL_ANSWERS");
    ASSERT_GT(first, 0);
    int pidfd = OpenPidFd(first);
    ASSERT_GE(pidfd, 0);
    while (FindWindowA("TQSMViewerFrame", nullptr) == nullptr) {
        pollfd p{pidfd, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10), 0) << "the viewer ended before its window showed";
    }
    std::string damaged = dir_ + "/damaged.qsm";
    std::ofstream(damaged, std::ios::binary) << "QSM\x1a\x02 not a score at all";
    // Each hand-over returns once the viewer has handled it, its message box answered.
    EXPECT_EQ(Wait(Start({dir_ + "/missing.qsm"})), 1);
    EXPECT_EQ(Wait(Start({damaged})), 1);
    pollfd p{pidfd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "the viewer ended";
    close(pidfd);
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Information\tFile Not Found  The file could not be opened.");
    EXPECT_EQ(lines[1], "Error - Could not open\t" + damaged);
    // Neither file joined the recent views: the song opened first is still the newest.
    std::vector<std::string> recent = RecentViews();
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent.front(), song_);
    // The viewer still plays its song and closes after it.
    EXPECT_EQ(Wait(Start({"/play", song_, "/close"})), 1);
    EXPECT_EQ(Wait(first), 0);
}

}  // namespace
