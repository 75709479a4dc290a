// A performance played through the built-in synthesizer, rendered to a WAV file on the manual clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "midi/tests/playback_fixture.h"
#include "platform/mm/mmsystem.h"

namespace qsm::test {
namespace {

class SynthPlayback : public PlaybackTest {
protected:
    void SetUp() override {
        qsm::mm::SetSoundFontPath("/usr/share/sounds/sf2/TimGM6mb.sf2");
        SetUpPlayback(true, 50000);
    }
};

TEST_F(SynthPlayback, RenderedSongSoundsWhereItsNotesAreAndIsSilentBetween) {
    constexpr int kRate = 22050;
    std::string path = std::string(QSM_BINARY_DIR) + "/synth_playback_test.wav";
    ASSERT_TRUE(qsm::mm::StartSynthRender(path, kRate));
    const char* names[] = {"Internal Synth"};
    manager_->OpenPorts(false);
    manager_->SetOutPortNames(names, 1);
    manager_->OpenPorts(true);
    ASSERT_NE(manager_->GetOutPortHandle(0), nullptr);
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    // 120 bpm: two phrases of four notes (piano, then strings) with two silent seconds between them.
    song_.AddEvent(Short(0, 0, 0x0000C0));
    song_.AddEvent(Short(0, 0, 0x0030C1));
    AddNotes(song_, 0, 0, {0, 96, 192, 288}, 90, 60);
    AddNotes(song_, 0, 1, {1152, 1248, 1344, 1440}, 90, 64);
    song_.AppendEndPause(1);
    ASSERT_TRUE(Play());
    Run(5000);
    EXPECT_EQ(ended_.load(), 1);
    manager_->Stop();
    manager_->OpenPorts(false);
    ASSERT_TRUE(qsm::mm::StopSynthRender(1000));

    std::vector<int16_t> samples = ReadWavSamples(path);
    ASSERT_GE(samples.size(), static_cast<size_t>(kRate) * 2 * 4);
    DWORD offset = 0;  // the render began at the clock's time of the start
    double phrase1 = Rms(samples, kRate, offset + 50, offset + 950);     // ticks 0-378
    double gap = Rms(samples, kRate, offset + 2200, offset + 2950);      // well after the release
    double phrase2 = Rms(samples, kRate, offset + 3050, offset + 3950);  // ticks 1152-1530
    double after = Rms(samples, kRate, offset + 5500, offset + 6000);    // after the stop
    EXPECT_GT(phrase1, 300.0);
    EXPECT_GT(phrase2, 300.0);
    EXPECT_LT(gap, phrase1 / 30);
    EXPECT_LT(after, phrase2 / 30);
}

}  // namespace
}  // namespace qsm::test
