// Playback on the real timer thread while this thread runs the window's queue: what ThreadSanitizer checks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "midi/tests/playback_fixture.h"
#include "platform/mm/mmsystem.h"

namespace qsm::test {
namespace {

class RealTimePlayback : public PlaybackTest {
protected:
    void SetUp() override { SetUpPlayback(false); }
};

TEST_F(RealTimePlayback, SongOfManyBlocksPlaysEveryEventOnceInOrder) {
    // 6000 events over four blocks in 1.5 s (a fast tempo keeps the test short).
    song_.AddTempo(0, 960);
    std::vector<DWORD> ticks;
    for (DWORD t = 0; t < 3000 * 2; t += 2)
        ticks.push_back(t);
    AddNotes(song_, 0, 2, ticks, 1);
    song_.AddPause(6000, 0);
    ASSERT_TRUE(Play());
    RunUntilEnded(20000);
    EXPECT_EQ(ended_.load(), 1);
    const std::vector<DWORD> played = RecordedMessages();  // the stop adds its releases
    manager_->Stop();
    std::vector<DWORD> expected;
    for (const auto& m : ShortMessages(song_))
        expected.push_back(m.msg & 0x00FFFFFF);
    EXPECT_EQ(played, expected);
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), 0);
}

TEST_F(RealTimePlayback, RandomPauseResumeSpeedRepositionAndStopLeaveNoNoteSounding) {
    song_.AddTempo(0, 480);
    song_.AddEvent(Short(0, 0, 0x7F40B0));  // pedal down for the whole song
    std::vector<DWORD> ticks;
    for (DWORD t = 0; t < 2500 * 4; t += 4)
        ticks.push_back(t);
    AddNotes(song_, 0, 0, ticks, 30);  // overlapping notes
    AddNotes(song_, 0, 9, ticks, 3, 36);
    song_.AppendEndPause(1);
    std::mt19937 rng(12345);
    for (int round = 0; round < 6; ++round) {
        qsm::mm::ClearRecording();
        ended_ = 0;
        ASSERT_TRUE(Play(static_cast<DWORD>(rng() % 4000)));
        for (int step = 0; step < 12 && ended_.load() == 0; ++step) {
            Pump(static_cast<int>(rng() % 40));
            switch (rng() % 4) {
                case 0:
                    manager_->TogglePause();
                    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty() ||
                                !manager_->IsPaused());
                    break;
                case 1:
                    manager_->SetPlaySpeed(0.25f + static_cast<float>(rng() % 8) * 0.25f);
                    break;
                case 2:
                    if (manager_->IsPaused()) manager_->SetPausedPosition(static_cast<DWORD>(rng() % 9000));
                    break;
                default:
                    break;
            }
        }
        manager_->Stop();
        auto log = qsm::mm::GetRecording();
        EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty()) << "round " << round;
        size_t count = log.size();
        Pump(10);
        EXPECT_EQ(qsm::mm::GetRecording().size(), count);  // nothing after the stop
    }
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), 0);
}

}  // namespace
}  // namespace qsm::test
