// The playback controller in-process on the recording MIDI device under the manual clock: the device the
// "PlayDevice" option names, pause, seek and stop with nothing left sounding, and two controllers sharing
// the one manager and sequencer of the process.
#include "plugin/play_control.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/sys_info.h"
#include "midi/midi_manager.h"
#include "midi/score_player.h"
#include "midi/tests/demo_score.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "plugin/plugin.h"
#include "plugin/tests/test_env.h"
#include "score/music_score.h"

namespace {

using namespace qsm::plugin_test;

// The window that hears the sequencer of a controller, as the player client does: the end of the song
// stops, every other request goes to the controller.
TQSMMCIPlayer* g_owned[2] = {};
int g_ends = 0;

LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    static const UINT seq = RegisterWindowMessageA("QSMMidiSeq");
    if (msg == seq) {
        auto* player = g_owned[GetWindowLongPtrA(hwnd, GWLP_USERDATA)];
        if (player == nullptr) return 1;
        if (wp == 2) {
            ++g_ends;
            player->Stop();
        } else {
            player->OnSequencerMessage(wp);
        }
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class PlayControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeSettingsFolder("/tmp/qsm-play-control-XXXXXX");
        ASSERT_FALSE(dir_.empty());
        qsm::wm::ResetForTests();
        PlayOnRecorder();
        UseManualClockWithMessages();
        recorder_ = static_cast<int>(midiOutGetNumDevs()) - 1;
        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = "QsmPlayControlOwner";
        RegisterClassA(&wc);
        for (int i = 0; i < 2; ++i) {
            owners_[i] =
                CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            SetWindowLongPtrA(owners_[i], GWLP_USERDATA, i);
            scores_[i] = qsm::LoadPluginScoreFile(QSM_TESTDATA_DIR "/layout/piano.qsmtxt", true);
            ASSERT_NE(scores_[i], nullptr);
        }
        g_ends = 0;
    }
    void TearDown() override {
        for (int i = 0; i < 2; ++i) {
            players_[i].reset();
            g_owned[i] = nullptr;
            DestroyWindow(owners_[i]);
            delete scores_[i];
        }
        EXPECT_EQ(TQSMMCIPlayer::GetSharedManager(), nullptr);
        qsm::wm::PumpMessages();
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    TQSMMCIPlayer& Make(int i) {
        players_[i] = std::make_unique<TQSMMCIPlayer>(&scorePlayers_[i], scores_[i]);
        g_owned[i] = players_[i].get();
        return *players_[i];
    }
    bool Play(int i) { return players_[i]->Play(owners_[i]); }
    static void ExpectSilence() {
        auto sounding = qsm::mm::FindSoundingNotes(qsm::mm::GetRecording());
        EXPECT_TRUE(sounding.empty()) << sounding.size() << " notes or pedals left down";
    }
    static HMIDIOUT RecordedHandle() {
        auto log = qsm::mm::GetRecording();
        return log.empty() ? nullptr : log.back().handle;
    }
    static bool IsHandleOpen(HMIDIOUT handle) {
        UINT id = 0;
        return midiOutGetID(handle, &id) == MMSYSERR_NOERROR;
    }

    std::string dir_;
    int recorder_ = 0;
    HWND owners_[2] = {};
    TMusicScore* scores_[2] = {};
    TScoreMidiPlayer scorePlayers_[2];
    std::unique_ptr<TQSMMCIPlayer> players_[2];
};

TEST(PlayControlVolume, BalanceLowersTheOtherSide) {
    EXPECT_EQ(TQSMMCIPlayer::MakeVolumeWord(250, 0), (250u * 256) | (250u * 256) << 16);
    EXPECT_EQ(TQSMMCIPlayer::MakeVolumeWord(200, 64), (100u * 256) | (200u * 256) << 16);
    EXPECT_EQ(TQSMMCIPlayer::MakeVolumeWord(200, -64), (200u * 256) | (100u * 256) << 16);
    EXPECT_EQ(TQSMMCIPlayer::MakeVolumeWord(255, 128), (255u * 256) << 16);
    EXPECT_EQ(TQSMMCIPlayer::MakeVolumeWord(255, -128), 255u * 256);
}

TEST_F(PlayControlTest, PlayDeviceOptionPicksTheDeviceWhateverItsSign) {
    for (int value : {-3, 3}) {
        SysInfo.WriteInt("Options", "PlayDevice", value);
        TQSMMCIPlayer& p = Make(0);
        EXPECT_EQ(p.GetDeviceId(), 2);
        MIDIOUTCAPSA caps{};
        if (midiOutGetDevCapsA(2, &caps, sizeof caps) == MMSYSERR_NOERROR) {
            EXPECT_STREQ(TQSMMCIPlayer::GetSharedManager()->GetPortName(0), caps.szPname);
        }
        players_[0].reset();
    }
    SysInfo.WriteInt("Options", "PlayDevice", 0);
    EXPECT_EQ(Make(0).GetDeviceId(), -1);
    EXPECT_STREQ(TQSMMCIPlayer::GetSharedManager()->GetPortName(0), "MIDI Mapper");
}

TEST_F(PlayControlTest, PlaysThenPausesSeeksAndStopsWithNothingLeftSounding) {
    TQSMMCIPlayer& p = Make(0);
    EXPECT_GT(p.GetLength(), 1000u);
    EXPECT_FALSE(p.IsOpen());
    ASSERT_TRUE(Play(0));
    EXPECT_TRUE(p.IsOpen());
    qsm::mm::AdvanceClock(1500);
    const HMIDIOUT handle = RecordedHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_GT(NoteOns(qsm::mm::GetRecording()), 0);
    EXPECT_GT(p.GetCurrentTick(), 0u);
    EXPECT_GT(p.GetCurrentMs(), 0u);

    p.Pause();
    EXPECT_TRUE(p.IsPaused());
    ExpectSilence();
    // A seek while paused keeps the pause and sounds nothing.
    const size_t before = qsm::mm::GetRecording().size();
    p.SeekMs(p.GetLength() / 2);
    EXPECT_TRUE(p.IsPaused());
    EXPECT_TRUE(TQSMMCIPlayer::GetSharedManager()->IsPaused());
    qsm::mm::AdvanceClock(500);
    {
        auto log = qsm::mm::GetRecording();
        std::vector<qsm::mm::RecordedMessage> after(log.begin() + static_cast<long>(before), log.end());
        EXPECT_EQ(NoteOns(after), 0);
    }
    const DWORD seekTick = p.GetCurrentTick();
    EXPECT_GT(seekTick, 0u);
    p.Resume();
    EXPECT_FALSE(p.IsPaused());
    qsm::mm::AdvanceClock(1000);
    EXPECT_GE(p.GetCurrentTick(), seekTick);

    // A seek while playing goes on playing from there.
    p.SeekMs(200);
    EXPECT_FALSE(p.IsPaused());
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_LT(p.GetCurrentTick(), seekTick);
    qsm::mm::AdvanceClock(700);

    p.Stop();
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_FALSE(p.IsOpen());
    ExpectSilence();
    EXPECT_FALSE(IsHandleOpen(handle));
    // Stopping and closing again changes nothing.
    p.Stop();
    p.Close();
    EXPECT_FALSE(p.IsOpen());
}

TEST_F(PlayControlTest, SongOfManyBlocksPlaysWholeAndTheOwnerStopsAtItsEnd) {
    // A song longer than one block: the blocks after the first are asked for while it plays.
    delete scores_[0];
    scores_[0] = qsm::test::MakeDemoScore(40, 240, true).release();
    TQSMMCIPlayer& p = Make(0);
    ASSERT_GE(p.GetSong().GetHighestBlock(), 1);
    ASSERT_TRUE(Play(0));
    for (int i = 0; i < 20000 && g_ends == 0; ++i)
        qsm::mm::AdvanceClock(100);
    EXPECT_EQ(g_ends, 1);
    EXPECT_FALSE(p.IsPlaying());
    ExpectSilence();
    // Every note of the song was played: a whole performance.
    const auto& song = p.GetSong();
    int songNotes = 0;
    for (int i = 0; i < song.GetEventCount(); ++i) {
        const TMidiEvent* e = song.GetEvent(i);
        if (e->IsShortMsg() && (e->Status & 0xF0) == 0x90 && (e->Data2 & 0x7F) != 0) ++songNotes;
    }
    EXPECT_EQ(NoteOns(qsm::mm::GetRecording()), songNotes);
}

TEST_F(PlayControlTest, TwoControllersShareOneSequencerAndPlayOneAtATime) {
    TQSMMCIPlayer& a = Make(0);
    TQSMMCIPlayer& b = Make(1);
    TMidiManager* shared = TQSMMCIPlayer::GetSharedManager();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(TheMidiManager, shared);

    ASSERT_TRUE(Play(0));
    qsm::mm::AdvanceClock(1200);
    const HMIDIOUT handle = RecordedHandle();
    ASSERT_NE(handle, nullptr);
    // The second one's play stops the first: nothing of the first is left sounding.
    b.SeekMs(1000);
    ASSERT_TRUE(a.IsPlaying());
    g_ends = 0;
    ASSERT_TRUE(Play(1));
    EXPECT_EQ(g_ends, 1) << "the first one's window did not hear that its song ended";
    EXPECT_FALSE(a.IsPlaying());
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(b.IsPlaying());
    // A request that was meant for the first one queues nothing of the second one's song.
    a.OnSequencerMessage(1);
    a.Pause();
    EXPECT_FALSE(shared->IsPaused());
    qsm::mm::AdvanceClock(1200);
    EXPECT_TRUE(b.IsPlaying());
    EXPECT_GT(b.GetCurrentTick(), 0u);

    // The first one goes; the second plays on, through the same device.
    players_[0].reset();
    g_owned[0] = nullptr;
    EXPECT_EQ(TQSMMCIPlayer::GetSharedManager(), shared);
    const size_t before = qsm::mm::GetRecording().size();
    qsm::mm::AdvanceClock(2000);
    EXPECT_GT(qsm::mm::GetRecording().size(), before);
    EXPECT_TRUE(IsHandleOpen(RecordedHandle()));

    // The last one to go while playing leaves nothing sounding and closes the device.
    const HMIDIOUT last = RecordedHandle();
    players_[1].reset();
    g_owned[1] = nullptr;
    EXPECT_EQ(TQSMMCIPlayer::GetSharedManager(), nullptr);
    EXPECT_EQ(TheMidiManager, nullptr);
    ExpectSilence();
    EXPECT_FALSE(IsHandleOpen(last));
    EXPECT_FALSE(IsHandleOpen(handle));
}

TEST_F(PlayControlTest, PortsStayOpenWhileAnyControllerHasThemOpen) {
    TQSMMCIPlayer& a = Make(0);
    TQSMMCIPlayer& b = Make(1);
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(Play(1));
    qsm::mm::AdvanceClock(800);
    const HMIDIOUT handle = RecordedHandle();
    ASSERT_NE(handle, nullptr);
    // The first one's play stops the second, but the first keeps the device open.
    ASSERT_TRUE(Play(0));
    EXPECT_FALSE(b.IsOpen());
    qsm::mm::AdvanceClock(800);
    EXPECT_TRUE(IsHandleOpen(handle));
    a.Stop();
    EXPECT_FALSE(IsHandleOpen(handle));
    ExpectSilence();
}

}  // namespace
