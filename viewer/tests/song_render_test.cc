// Opening a score renders its song on a worker thread while the view is laid out and painted: the song, the
// play length and the total play time are those of a render on the spot, with one thread and with several;
// the render's end alone (its message) completes the open.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/parallel.h"
#include "midi/score_player.h"
#include "platform/framework/frame.h"
#include "platform/wm/backend.h"
#include "score/base/midi_file_buf.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

// A score long enough that its render is still under way while the view paints: slurs, ties, beams,
// chords, dynamics with a hairpin between them, on several staves.
std::string LongScoreText(int staves, int bars) {
    std::string t = "!QuillStaveComposer(2.51)\n";
    for (int s = 0; s < staves; ++s) {
        t += "|AddStaff|Name:S" + std::to_string(s) + "\n|Clef|Type:" + (s % 2 ? "Bass" : "Treble") +
             "\n|TimeSig|Signature:4/4\n|Dynamic|Style:p\n";
        for (int b = 0; b < bars; ++b) {
            switch ((b + s) % 4) {
                case 0:
                    t += "|Note|Dur:Half,Slur|Pos:0|Opts:Crescendo\n|Note|Dur:Half|Pos:-1^\n";
                    break;
                case 1:
                    for (int i = 0; i < 4; ++i)
                        t += "|Note|Dur:8th|Pos:" + std::to_string(i - 2) + "|Opts:Beam" +
                             (i == 0 ? "=First" : (i == 3 ? "=End" : "")) + "\n";
                    t += "|Chord|Dur:Half|Pos:-2,0,2\n";
                    break;
                case 2:
                    t += "|Dynamic|Style:" + std::string(b % 8 < 4 ? "f" : "mp") +
                         "\n|Note|Dur:Whole|Pos:-1\n";
                    break;
                default:
                    t += "|Rest|Dur:4th\n|Note|Dur:4th,Dotted|Pos:3\n|Note|Dur:8th|Pos:2\n|Note|Dur:Half|Pos:"
                         "1\n";
                    break;
            }
            t += "|Bar\n";
        }
    }
    return t;
}

class SongRenderTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        threads_ = qsm::GetParallelThreads();
        SetDefaultOptions(ViewerOptions);
        ViewerOptions.AutoWelcome = 0;
        ViewerOptions.AutoPlay = 0;
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        client_ = new TQSMViewerClient;
        frame_ = new TDecoratedFrame(nullptr, "test", client_);
        frame_->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame_->Attr.W = 800;
        frame_->Attr.H = 600;
        app_->SetMainWindow(frame_);
        frame_->Create();
        qsm::wm::PumpMessages();
        MakePianoAndQuartet(&piano_, &quartet_);
        long_ = dir_ + "/long.qsmtxt";
        std::ofstream(long_) << LongScoreText(8, 600);
    }
    void TearDown() override {
        qsm::SetParallelThreads(threads_);
        app_.reset();
        StoreTest::TearDown();
    }

    // The open score's song as the player renders it on this thread.
    void ExpectSongOfOpenScore() {
        TScoreMidiPlayer player;
        TMidiFileBuf expected;
        player.SetScore(app_->GetScore());
        player.RenderToBuffer(expected);
        expected.AppendEndPause(3);
        TMidiFileBuf& song = app_->GetSongBuffer();
        ASSERT_EQ(song.GetEventCount(), expected.GetEventCount());
        for (int i = 0; i < song.GetEventCount(); ++i)
            ASSERT_EQ(std::memcmp(song.GetEvent(i), expected.GetEvent(i), sizeof(TMidiEvent)), 0) << i;
        EXPECT_EQ(app_->GetScorePlayer().GetPlayLengthMs(), player.GetPlayLengthMs());
        EXPECT_EQ(app_->GetTotalPlayMs(), player.GetPlayLengthMs() + 600);
        EXPECT_EQ(app_->GetTimeIndex().GetIndex(), 0);
    }

    std::unique_ptr<TQSMViewerApp> app_;
    TQSMViewerClient* client_ = nullptr;
    TDecoratedFrame* frame_ = nullptr;
    std::string piano_, quartet_, long_;
    unsigned threads_ = 1;
};

TEST_F(SongRenderTest, TheSongRendersWhileTheViewPaintsAsARenderOnTheSpotGivesIt) {
    for (unsigned threads : {1u, 4u}) {
        qsm::SetParallelThreads(threads);
        for (const std::string& path : {long_, piano_, quartet_, long_}) {
            ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
            RedrawWindow(frame_->GetHandle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            ExpectSongOfOpenScore();
        }
    }
}

TEST_F(SongRenderTest, TheRendersMessageCompletesTheOpen) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    // Nothing has asked for the song yet: its render runs beside the rest of the open until its message.
    EXPECT_TRUE(app_->IsSongPending());
    MSG msg;
    while (app_->IsSongPending() && GetMessageA(&msg, nullptr, 0, 0)) {
        if (!app_->ProcessAppMsg(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_FALSE(app_->IsSongPending());
    ExpectSongOfOpenScore();
}

}  // namespace
