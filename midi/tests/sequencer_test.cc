#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "midi/tests/playback_fixture.h"
#include "platform/mm/mmsystem.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace qsm::test {
namespace {

class ManualPlayback : public PlaybackTest {
protected:
    void SetUp() override { SetUpPlayback(true); }
};

std::vector<DWORD> Expected(const TMidiFileBuf& song) {
    std::vector<DWORD> list;
    for (const auto& m : ShortMessages(song))
        list.push_back(m.msg & 0x00FFFFFF);
    return list;
}

TEST_F(ManualPlayback, EventsGoOutOnTimeAcrossTempoChangesAndPauses) {
    // 120 bpm: 192 ticks = 500 ms. A tempo change to 60 bpm at tick 384, a pause of 4 units (192 ticks at
    // 60 bpm = 1 s) at tick 576.
    AddNotes(song_, 0, 0, {0, 192, 384, 576, 768}, 96);
    song_.AddTempo(384, 60);
    song_.AddPause(576, 4);
    song_.AppendEndPause(1);
    DWORD start = timeGetTime();
    ASSERT_TRUE(Play());
    Run(6000);
    auto log = qsm::mm::GetRecording();
    std::vector<DWORD> noteOns;
    for (const auto& m : log) {
        if ((m.msg & 0xF0) == 0x90) noteOns.push_back(static_cast<DWORD>(m.time_us / 1000) - start);
    }
    // 0, 500, 1000 (tempo 60 from here: 192 ticks = 1 s), 2000 + 1 s of pause, 3000 + 1000.
    std::vector<DWORD> due = {0, 500, 1000, 3000, 4000};
    ASSERT_EQ(noteOns.size(), due.size());
    for (size_t i = 0; i < due.size(); ++i) {
        EXPECT_GE(noteOns[i], due[i]) << i;
        EXPECT_LE(noteOns[i], due[i] + 2) << i;  // within one timer period
    }
    EXPECT_EQ(RecordedMessages(), Expected(song_));
    EXPECT_EQ(ended_.load(), 1);
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty());
}

TEST_F(ManualPlayback, ManyBlocksPlayEveryEventOnceInOrderDespiteStaleRequests) {
    std::vector<DWORD> ticks;
    for (DWORD t = 0; t < 4000 * 2; t += 2)
        ticks.push_back(t);  // 8000 events: four blocks
    AddNotes(song_, 0, 1, ticks, 1);
    song_.AppendEndPause(1);
    ASSERT_GE(song_.GetHighestBlock(), 3);
    ASSERT_TRUE(Play());
    for (int i = 0; i < 40; ++i) {
        Run(300);
        // A request left over from earlier must not make the manager skip a block.
        PostMessageA(owner_, manager_->GetSequencer()->GetMessageId(), 1, 0);
    }
    Run(12000);
    EXPECT_EQ(ended_.load(), 1);
    EXPECT_EQ(RecordedMessages(), Expected(song_));
    EXPECT_GE(refills_.load(), 4);
}

TEST_F(ManualPlayback, PauseSilencesAndResumeRestoresStatesThenNotes) {
    song_.AddEvent(Short(0, 0, 0x0500B2));   // bank select
    song_.AddEvent(Short(0, 0, 0x0013C2));   // program 19
    song_.AddEvent(Short(0, 0, 0x7F40B2));   // pedal down
    song_.AddEvent(Short(0, 0, 0x0003C2));   // program 3 replaces 19
    song_.AddEvent(Short(10, 0, 0x643C92));  // note on 60
    song_.AddEvent(Short(1000, 0, 0x003C82));
    song_.AddEvent(Short(1000, 0, 0x0040B2));
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(200);
    qsm::mm::ClearRecording();
    manager_->TogglePause();
    EXPECT_TRUE(manager_->IsPaused());
    // Pedal up, the held note released, then all notes off on the channel that sounded.
    EXPECT_EQ(RecordedMessages(), (std::vector<DWORD>{0x0040B2, 0x003C92, 0x007BB2}));
    qsm::mm::ClearRecording();
    Run(1000);  // nothing is sent while paused
    EXPECT_TRUE(RecordedMessages().empty());
    manager_->TogglePause();
    // Controller states in the order they were set (a program change set again moves to the end), then the
    // sounding note.
    EXPECT_EQ(RecordedMessages(), (std::vector<DWORD>{0x0500B2, 0x0003C2, 0x7F40B2, 0x643C92}));
    EXPECT_GE(manager_->GetTotalPausedMs(), 1000u);
    Run(5000);
    EXPECT_EQ(ended_.load(), 1);
}

TEST_F(ManualPlayback, StartInsideTheSongChasesStateWithoutSendingEarlierEvents) {
    song_.AddEvent(Short(0, 0, 0x0005C0));    // program 5
    song_.AddEvent(Short(100, 0, 0x5007B0));  // volume 80
    AddNotes(song_, 0, 0, {50, 500, 900}, 40);
    song_.AddTempo(300, 60);
    song_.AppendEndPause(1);
    DWORD start = timeGetTime();
    ASSERT_TRUE(Play(480));
    // The chased state goes out at once, before the first timer tick; the note at 500 follows 20 ticks later
    // at 60 bpm (104 ms).
    EXPECT_EQ(RecordedMessages(), (std::vector<DWORD>{0x0005C0, 0x5007B0}));
    Run(3000);
    auto log = qsm::mm::GetRecording();
    std::vector<DWORD> msgs = RecordedMessages();
    ASSERT_EQ(msgs.size(), 6u);
    EXPECT_EQ(msgs[2], 0x642990u);  // key 41 at tick 500
    EXPECT_NEAR(static_cast<double>(log[2].time_us / 1000 - start), 104.0, 2.0);
    // Start position: 300 ticks at 120 bpm (781 ms) and 180 at 60 bpm (937 ms).
    EXPECT_EQ(manager_->GetStartPositionMs(), 781u + 937u);
}

TEST_F(ManualPlayback, SpeedFactorsScaleTheTimeAndOneOrZeroKeepIt) {
    AddNotes(song_, 0, 0, {0, 192, 384}, 10);
    song_.AppendEndPause(1);
    auto noteOnTimes = [&](float factor) {
        qsm::mm::ClearRecording();
        ended_ = 0;
        manager_->SetPlaySpeed(factor);
        DWORD start = timeGetTime();
        EXPECT_TRUE(Play());
        Run(3000);
        manager_->Stop();
        std::vector<DWORD> times;
        for (const auto& m : qsm::mm::GetRecording()) {
            if ((m.msg & 0xF0) == 0x90) times.push_back(static_cast<DWORD>(m.time_us / 1000) - start);
        }
        return times;
    };
    std::vector<DWORD> normal = noteOnTimes(1.0f);
    EXPECT_EQ(noteOnTimes(0.0f), normal);
    std::vector<DWORD> fast = noteOnTimes(0.5f);  // 200 %
    ASSERT_EQ(normal.size(), 3u);
    ASSERT_EQ(fast.size(), 3u);
    EXPECT_NEAR(static_cast<double>(normal[2]), 1000.0, 2.0);
    EXPECT_NEAR(static_cast<double>(fast[2]), 500.0, 2.0);
}

TEST_F(ManualPlayback, DeviceNotReadyIsRetriedWithoutLoss) {
    AddNotes(song_, 0, 0, {0, 10, 20, 30}, 5);
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    qsm::mm::FailNextRecorderSends(3);
    Run(1500);
    EXPECT_EQ(RecordedMessages(), Expected(song_));
}

TEST_F(ManualPlayback, StopReleasesEveryPortEvenWhenTheFirstIsMissing) {
    const char* names[] = {"No Such Device", "Test Recorder"};
    manager_->OpenPorts(false);
    manager_->SetOutPortNames(names, 2);
    manager_->OpenPorts(true);
    EXPECT_EQ(manager_->GetOutPortHandle(0), nullptr);
    song_.AddEvent(Short(0, 1, 0x7F40B3));  // pedal on port 1
    AddNotes(song_, 1, 3, {0, 10}, 5000);
    AddNotes(song_, 0, 3, {0}, 5000);  // port 0's events are dropped
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(300);
    EXPECT_FALSE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    manager_->Stop();
    EXPECT_FALSE(manager_->IsPlaying());
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    size_t count = qsm::mm::GetRecording().size();
    Run(1000);
    EXPECT_EQ(qsm::mm::GetRecording().size(), count);  // no callback after the stop
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), 0);
}

TEST_F(ManualPlayback, PauseAndStopReleaseNotesOfEveryKind) {
    // 300 drum hits that are never released; then 150 held notes on two channels.
    for (DWORD i = 0; i < 300; ++i)
        song_.AddEvent(Short(i / 10, 0, 0x640099 | ((35 + i % 47) << 8)));
    std::vector<DWORD> at(75, 40);
    AddNotes(song_, 0, 0, at, 5000, 20);
    AddNotes(song_, 0, 1, at, 5000, 20);
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(300);
    ASSERT_GT(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).size(), 128u);

    // Pause while the device answers "not ready" to the first releases: they are sent again.
    qsm::mm::FailNextRecorderSends(3);
    manager_->TogglePause();
    auto log = qsm::mm::GetRecording();
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty());
    std::vector<DWORD> tail;
    for (size_t i = log.size() - 6; i < log.size(); ++i)
        tail.push_back(log[i].msg & 0x00FFFFFF);
    // All notes off, with sustain off, on each channel that sounded.
    EXPECT_EQ(tail, (std::vector<DWORD>{0x007BB0, 0x0040B0, 0x007BB1, 0x0040B1, 0x007BB9, 0x0040B9}));

    manager_->TogglePause();
    Run(100);
    EXPECT_FALSE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    qsm::mm::FailNextRecorderSends(5);
    manager_->Stop();
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
}

TEST_F(ManualPlayback, ResumeStrikesAgainEveryHeldNote) {
    // A chord of 300 notes on four channels, one key struck twice, and drum hits that are never released.
    std::vector<DWORD> at(75, 0);
    for (int channel = 0; channel < 4; ++channel)
        AddNotes(song_, 0, channel, at, 5000, 20);
    song_.AddEvent(Short(10, 0, 0x501490));  // key 20 of channel 0 again, softer
    for (DWORD i = 0; i < 200; ++i)
        song_.AddEvent(Short(i / 10, 0, 0x640099 | ((35 + i % 47) << 8)));
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(300);
    manager_->TogglePause();
    ASSERT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    qsm::mm::ClearRecording();
    qsm::mm::FailNextRecorderSends(3);  // a device that is not ready at first takes them on the next try
    manager_->TogglePause();
    std::vector<DWORD> struck;
    for (DWORD m : RecordedMessages())
        if ((m & 0xF0) == 0x90) struck.push_back(m);
    EXPECT_EQ(struck.size(), 300u + 47u);
    EXPECT_EQ(std::count(struck.begin(), struck.end(), 0x501490u), 1);  // once, as last struck
    EXPECT_EQ(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).size(), 300u + 47u);
    manager_->Stop();
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
}

TEST_F(ManualPlayback, RepositionWhilePausedPlaysFromTheNewTick) {
    AddNotes(song_, 0, 0, {0, 192, 384, 576, 768, 960}, 96);
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(600);  // two notes
    manager_->TogglePause();
    manager_->SetPausedPosition(576);
    EXPECT_EQ(manager_->GetPlayTick(), 576u);
    qsm::mm::ClearRecording();
    manager_->TogglePause();
    Run(3000);
    std::vector<DWORD> msgs = RecordedMessages();
    ASSERT_EQ(msgs.size(), 6u);
    EXPECT_EQ(msgs[0], 0x642B90u);  // key 43 at tick 576
    EXPECT_EQ(ended_.load(), 1);
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
}

TEST_F(ManualPlayback, SongRebuiltWhilePausedPlaysOnFromTheSameTick) {
    // Two staves interleaved over three blocks; the second is muted while paused, which rebuilds the song.
    std::vector<DWORD> ticks;
    for (DWORD t = 0; t < 12000; t += 4)
        ticks.push_back(t);
    AddNotes(song_, 0, 0, ticks, 2, 40);
    AddNotes(song_, 0, 1, ticks, 3, 70);
    song_.AppendEndPause(1);
    ASSERT_GE(song_.GetHighestBlock(), 2);
    ASSERT_TRUE(Play());
    Run(12000);  // well into the second block
    manager_->TogglePause();
    const DWORD tick = manager_->GetPlayTick();
    ASSERT_GT(tick, 2000u);

    song_.Clear();
    AddNotes(song_, 0, 0, ticks, 2, 40);
    song_.AppendEndPause(1);
    manager_->SongChanged();
    qsm::mm::ClearRecording();
    manager_->TogglePause();
    Run(60000);
    EXPECT_EQ(ended_.load(), 1);
    auto log = qsm::mm::GetRecording();
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty());
    for (const auto& m : log)
        EXPECT_EQ(m.msg & 0x0F, 0u) << std::hex << m.msg;  // nothing of the muted staff
    // The new song from the first note at or after the pause tick, every event once and in order.
    std::vector<DWORD> tail;
    bool started = false;
    for (const auto& m : ShortMessages(song_)) {
        started = started || (m.tick >= tick && (m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0);
        if (started) tail.push_back(m.msg & 0x00FFFFFF);
    }
    std::vector<DWORD> got = RecordedMessages();
    ASSERT_GE(got.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), got.end() - static_cast<long>(tail.size())));
    EXPECT_LE(got.size(), tail.size() + 4);  // at most the notes that sounded at the pause, again
}

TEST_F(ManualPlayback, ClockWrapDoesNotStallOrBurst) {
    manager_.reset();
    qsm::mm::UseManualClock(0xFFFFFFFFu - 700);
    manager_ = std::make_unique<TMidiManager>();
    const char* names[] = {"Test Recorder"};
    manager_->SetOutPortNames(names, 1);
    manager_->SetStartDelay(0);
    manager_->OpenPorts(true);
    AddNotes(song_, 0, 0, {0, 192, 384, 576}, 96);
    song_.AppendEndPause(1);
    DWORD start = timeGetTime();
    ASSERT_TRUE(Play());
    Run(2500);
    std::vector<DWORD> times;
    for (const auto& m : qsm::mm::GetRecording()) {
        if ((m.msg & 0xF0) == 0x90) times.push_back(static_cast<DWORD>(m.time_us / 1000) - start);
    }
    ASSERT_EQ(times.size(), 4u);
    EXPECT_NEAR(static_cast<double>(times[1]), 500.0, 2.0);
    EXPECT_NEAR(static_cast<double>(times[2]), 1000.0, 2.0);  // after the wrap
    EXPECT_NEAR(static_cast<double>(times[3]), 1500.0, 2.0);
}

TEST_F(ManualPlayback, QueueNextBlockPastTheLastBlockQueuesNothing) {
    AddNotes(song_, 0, 0, {0}, 10);
    EXPECT_FALSE(manager_->QueueNextBlock());  // nothing being fed
    ASSERT_TRUE(Play());
    EXPECT_TRUE(manager_->QueueNextBlock());
    Run(500);
    EXPECT_EQ(ended_.load(), 1);
    EXPECT_FALSE(Play());  // still playing until the owner stops
    manager_->Stop();
    TMidiFileBuf empty(0);
    EXPECT_FALSE(manager_->Play(owner_, &empty, 0));
}

TEST_F(ManualPlayback, FullResetSendsControllersBendAndNoteOffs) {
    manager_->ResetPorts(true);
    std::vector<DWORD> msgs = RecordedMessages();
    ASSERT_EQ(msgs.size(), 16u * 134u);
    EXPECT_EQ(msgs[0], 0x0001B0u);
    EXPECT_EQ(msgs[1], 0x7F07B0u);
    EXPECT_EQ(msgs[5], 0x4000E0u);
    EXPECT_EQ(msgs[6], 0x000080u);
    EXPECT_EQ(msgs[133], 0x007F80u);
    EXPECT_EQ(msgs[134], 0x0001B1u);
}

// ---- input ----

struct InputWindowLog {
    std::vector<std::pair<WPARAM, LPARAM>> posts;
};
InputWindowLog* input_log = nullptr;

LRESULT InputProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == MM_MIM_DATA && input_log != nullptr) {
        input_log->posts.emplace_back(wparam, lparam);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

TEST_F(ManualPlayback, InputIsEchoedPostedOrRecorded) {
    const char* names[] = {"Test Recorder"};
    manager_->OpenPorts(false);
    manager_->SetOutPortNames(names, 1);
    manager_->SetInPortName("Test Recorder In");
    manager_->SetEcho(0, 5);  // force channel 4
    manager_->OpenPorts(true);
    EXPECT_FALSE(manager_->IsInPortMissing());

    InputWindowLog log;
    input_log = &log;
    WNDCLASSA wc{};
    wc.lpfnWndProc = InputProc;
    wc.lpszClassName = "QsmInputTestWindow";
    RegisterClassA(&wc);
    HWND window =
        CreateWindowExA(0, "QsmInputTestWindow", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    manager_->SetInputWindow(window);
    qsm::mm::SendRecorderInput(0x403C90);
    qsm::mm::SendRecorderInput(0x0040D0);  // channel pressure: echoed, not posted
    qsm::mm::SendRecorderInput(0x0000FE);  // active sensing: echoed as it is
    qsm::mm::FlushRecorderInput();
    qsm::wm::PumpMessages();
    EXPECT_EQ(RecordedMessages(), (std::vector<DWORD>{0x403C94, 0x0040D4, 0x0000FE}));
    ASSERT_EQ(log.posts.size(), 1u);
    EXPECT_EQ(log.posts[0].second, 0x403C90);

    // Recording: stamped input in a ring that drops what does not fit.
    manager_->ClearEcho();
    manager_->StartRecording();
    for (int i = 0; i < 300; ++i)
        qsm::mm::SendRecorderInput(0x400090 | (static_cast<DWORD>(i & 0x7F) << 8));
    qsm::mm::SendRecorderInput(0x0000F8);  // system messages are not kept
    qsm::mm::FlushRecorderInput();
    TMidiEvent ev;
    int count = 0;
    while (manager_->ReadInputEvent(ev)) {
        EXPECT_EQ(ev.Data1, count & 0x7F);
        EXPECT_EQ(ev.Tick, 0xFFFFFFFFu);  // not playing
        ++count;
    }
    EXPECT_EQ(count, 255);
    manager_->StopRecording();
    EXPECT_FALSE(manager_->ReadInputEvent(ev));
    input_log = nullptr;
    DestroyWindow(window);
    manager_->OpenPorts(false);
}

}  // namespace
}  // namespace qsm::test
