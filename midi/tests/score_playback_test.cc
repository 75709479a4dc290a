// A score from a score file rendered and played end to end into the recording device on the real timer
// thread, and through the built-in synthesizer into a WAV file.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "midi/score_player.h"
#include "midi/tests/demo_score.h"
#include "midi/tests/playback_fixture.h"
#include "platform/mm/mmsystem.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

namespace qsm::test {
namespace {

// Saves the score and loads it again, so that what plays is what a file holds.
std::unique_ptr<TMusicScore> ThroughFile(TMusicScore& score, const std::string& name) {
    const std::string path = std::string(QSM_BINARY_DIR) + "/" + name;
    EXPECT_TRUE(SaveScoreFile(path.c_str(), true, score));
    TScoreFileHeader header;
    std::unique_ptr<TMusicScore> loaded(LoadScoreFile(path.c_str(), header, nullptr));
    std::remove(path.c_str());
    return loaded;
}

class ScorePlayback : public PlaybackTest {
protected:
    // Renders the score as the viewer does when it opens a file: the whole score, then 3 silent seconds.
    void Render(TMusicScore& score, int endSeconds = 3) {
        player_.SetScore(&score);
        player_.RenderToBuffer(song_);
        song_.AppendEndPause(endSeconds);
    }

    TScoreMidiPlayer player_;
};

class RealTimeScorePlayback : public ScorePlayback {
protected:
    void SetUp() override { SetUpPlayback(false); }
};

TEST_F(RealTimeScorePlayback, ScoreFilePlaysEveryEventOnceInOrderAcrossBlocks) {
    auto built = MakeDemoScore(40, 4800, true);
    auto score = ThroughFile(*built, "realtime_score.qsm");
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaffCount(), 4);
    Render(*score, 0);
    ASSERT_GE(song_.GetHighestBlock(), 3);  // several refills
    EXPECT_FALSE(song_.HasOverflowed());
    ASSERT_TRUE(Play());
    RunUntilEnded(60000);
    EXPECT_EQ(ended_.load(), 1);
    const std::vector<DWORD> played = RecordedMessages();  // the stop adds its releases
    manager_->Stop();
    std::vector<DWORD> expected;
    for (const auto& m : ShortMessages(song_))
        expected.push_back(m.msg & 0x00FFFFFF);
    EXPECT_EQ(played, expected);
    EXPECT_GE(refills_.load(), song_.GetHighestBlock());
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), 0);
}

TEST_F(RealTimeScorePlayback, PauseResumeRepositionSpeedAndStopLeaveNoNoteSounding) {
    auto built = MakeDemoScore(30, 1200, false);
    auto score = ThroughFile(*built, "controls_score.qsm");
    ASSERT_NE(score, nullptr);
    Render(*score, 1);
    const DWORD lastTick = song_.GetLastTick();
    std::mt19937 rng(4242);
    for (int round = 0; round < 6; ++round) {
        qsm::mm::ClearRecording();
        ended_ = 0;
        const DWORD start = static_cast<DWORD>(rng() % (lastTick / 2));
        ASSERT_TRUE(Play(start));
        player_.SetScore(score.get());
        player_.SeekTick(start);
        for (int step = 0; step < 12 && ended_.load() == 0; ++step) {
            Pump(static_cast<int>(rng() % 60));
            player_.SeekTick(manager_->GetPlayTick());
            switch (rng() % 4) {
                case 0:
                    manager_->TogglePause();
                    if (manager_->IsPaused()) {
                        EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty()) << round;
                    }
                    break;
                case 1:
                    manager_->SetPlaySpeed(0.5f + static_cast<float>(rng() % 6) * 0.25f);
                    break;
                case 2:
                    if (manager_->IsPaused()) {
                        const DWORD tick = static_cast<DWORD>(rng() % lastTick);
                        manager_->SetPausedPosition(tick);
                        player_.SeekTickWithRestart(tick);
                    }
                    break;
                default:
                    break;
            }
        }
        manager_->Stop();
        auto log = qsm::mm::GetRecording();
        EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty()) << "round " << round;
        const size_t count = log.size();
        Pump(10);
        EXPECT_EQ(qsm::mm::GetRecording().size(), count);  // nothing after the stop
    }
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), 0);
}

// ---- the built-in synthesizer ----

class SynthScorePlayback : public ScorePlayback {
protected:
    void SetUp() override {
        qsm::mm::SetSoundFontPath("/usr/share/sounds/sf2/TimGM6mb.sf2");
        SetUpPlayback(true, 50000);
    }
};

TEST_F(SynthScorePlayback, ScoreSoundsWhereItsNotesAreAndIsSilentInItsRests) {
    // 120 bpm: two bars of notes on a piano and a string staff, two bars of rests, two bars of notes.
    TMusicScore built;
    for (int s = 0; s < 2; ++s) {
        TMusicStaff* staff = NewDemoStaff(s == 0 ? "Piano" : "Strings", s, s == 0 ? 0 : 48, 120);
        for (int bar = 0; bar < 6; ++bar) {
            for (int beat = 0; beat < 4; ++beat) {
                if (bar == 2 || bar == 3)
                    AppendItem(*staff, new TRestNote(dcQuarter));
                else
                    AppendItem(*staff, new TMusicNote(beat - 2 * s, dcQuarter));
            }
            if (bar < 5) AppendItem(*staff, new TBarLineData());
        }
        built.AddStaff(staff);
    }
    auto score = ThroughFile(built, "synth_score.qsm");
    ASSERT_NE(score, nullptr);
    Render(*score, 1);

    constexpr int kRate = 22050;
    const std::string path = std::string(QSM_BINARY_DIR) + "/score_synth_test.wav";
    ASSERT_TRUE(qsm::mm::StartSynthRender(path, kRate));
    const char* names[] = {"Internal Synth"};
    manager_->OpenPorts(false);
    manager_->SetOutPortNames(names, 1);
    manager_->OpenPorts(true);
    ASSERT_NE(manager_->GetOutPortHandle(0), nullptr);
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    ASSERT_TRUE(Play());
    Run(14000);
    EXPECT_EQ(ended_.load(), 1);
    manager_->Stop();
    manager_->OpenPorts(false);
    ASSERT_TRUE(qsm::mm::StopSynthRender(1000));

    const std::vector<int16_t> samples = ReadWavSamples(path);
    ASSERT_GE(samples.size(), static_cast<size_t>(kRate) * 2 * 12);
    const double first = Rms(samples, kRate, 100, 3900);   // bars 1-2
    const double rests = Rms(samples, kRate, 5600, 7900);  // late in bars 3-4, after the release
    const double last = Rms(samples, kRate, 8100, 11900);  // bars 5-6
    const double after = Rms(samples, kRate, 13500, 14000);
    EXPECT_GT(first, 300.0);
    EXPECT_GT(last, 300.0);
    EXPECT_LT(rests, first / 30);
    EXPECT_LT(after, last / 30);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace qsm::test
