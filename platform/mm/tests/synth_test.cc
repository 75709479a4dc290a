#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"

namespace {

// Reads the 16-bit stereo samples of a WAV file written by the layer (44-byte header).
std::vector<int16_t> ReadWav(const std::string& path, int* rate) {
    std::vector<int16_t> samples;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return samples;
    unsigned char header[44];
    if (fread(header, 1, 44, f) == 44) {
        *rate = header[24] | (header[25] << 8) | (header[26] << 16) | (header[27] << 24);
        uint32_t bytes =
            header[40] | (header[41] << 8) | (header[42] << 16) | (static_cast<uint32_t>(header[43]) << 24);
        samples.resize(bytes / 2);
        samples.resize(fread(samples.data(), 2, samples.size(), f));
    }
    fclose(f);
    return samples;
}

double Rms(const std::vector<int16_t>& s, int rate, int from_ms, int to_ms) {
    size_t a = static_cast<size_t>(from_ms) * static_cast<size_t>(rate) / 1000 * 2;
    size_t b = static_cast<size_t>(to_ms) * static_cast<size_t>(rate) / 1000 * 2;
    if (b > s.size()) b = s.size();
    double sum = 0;
    for (size_t i = a; i < b; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

class Synth : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::mm::SetSynthAudio(false);
        qsm::mm::SetSoundFontPath("/usr/share/sounds/sf2/TimGM6mb.sf2");
        qsm::mm::UseManualClock(5000);
    }
    void TearDown() override { qsm::mm::UseRealClock(); }
};

// One test renders both the sounding note and the muted mixer, since the synthesizer is started once.
TEST_F(Synth, RendersNotesToWavAndTheMixerMutesIt) {
    std::string path = std::string(QSM_BINARY_DIR) + "/synth_test.wav";
    ASSERT_TRUE(qsm::mm::StartSynthRender(path, 22050));
    HMIDIOUT h = nullptr;
    ASSERT_EQ(midiOutOpen(&h, MIDI_MAPPER, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    qsm::mm::AdvanceClock(100);
    EXPECT_EQ(midiOutShortMsg(h, 0xC0), MMSYSERR_NOERROR);      // piano
    EXPECT_EQ(midiOutShortMsg(h, 0x7F3C90), MMSYSERR_NOERROR);  // note on at 100 ms
    qsm::mm::AdvanceClock(500);
    EXPECT_EQ(midiOutShortMsg(h, 0x003C80), MMSYSERR_NOERROR);  // note off at 600 ms
    qsm::mm::AdvanceClock(1400);

    HMIXER mixer = nullptr;
    ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_NOERROR);
    MIXERLINEA line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
    ASSERT_EQ(mixerGetLineInfoA(mixer, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE),
              MMSYSERR_NOERROR);
    MIXERCONTROLA volume{}, mute{};
    MIXERLINECONTROLSA lc{sizeof(lc), line.dwLineID,  MIXERCONTROL_CONTROLTYPE_VOLUME,
                          1,          sizeof(volume), &volume};
    ASSERT_EQ(mixerGetLineControlsA(mixer, &lc, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE),
              MMSYSERR_NOERROR);
    lc.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    lc.pamxctrl = &mute;
    ASSERT_EQ(mixerGetLineControlsA(mixer, &lc, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE),
              MMSYSERR_NOERROR);
    MIXERCONTROLDETAILS_UNSIGNED value{};
    MIXERCONTROLDETAILS details{sizeof(details), volume.dwControlID, 1, 0, sizeof(value), &value};
    ASSERT_EQ(mixerGetControlDetailsA(mixer, &details, MIXER_OBJECTF_HMIXER), MMSYSERR_NOERROR);
    EXPECT_EQ(value.dwValue, 65535u);
    value.dwValue = 70000;
    EXPECT_EQ(mixerSetControlDetails(mixer, &details, MIXER_OBJECTF_HMIXER), MIXERR_INVALVALUE);
    MIXERCONTROLDETAILS_BOOLEAN on{1};
    MIXERCONTROLDETAILS mute_details{sizeof(details), mute.dwControlID, 1, 0, sizeof(on), &on};
    ASSERT_EQ(mixerSetControlDetails(mixer, &mute_details, MIXER_OBJECTF_HMIXER), MMSYSERR_NOERROR);
    line.dwComponentType = 0x1234;
    EXPECT_EQ(mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE), MIXERR_INVALLINE);
    EXPECT_EQ(midiOutShortMsg(h, 0x7F3C90), MMSYSERR_NOERROR);  // muted note at 2000 ms
    qsm::mm::AdvanceClock(500);
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);  // closing silences the synthesizer
    on.fValue = 0;
    mixerSetControlDetails(mixer, &mute_details, MIXER_OBJECTF_HMIXER);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_INVALHANDLE);
    ASSERT_TRUE(qsm::mm::StopSynthRender(500));

    int rate = 0;
    std::vector<int16_t> samples = ReadWav(path, &rate);
    ASSERT_EQ(rate, 22050);
    ASSERT_EQ(samples.size(), static_cast<size_t>(3000 * 22050 / 1000 * 2));
    double before = Rms(samples, rate, 0, 95);
    double sounding = Rms(samples, rate, 150, 550);
    double after = Rms(samples, rate, 1700, 1990);
    double muted = Rms(samples, rate, 2050, 2450);
    EXPECT_LT(before, 1.0);
    EXPECT_GT(sounding, 300.0);
    EXPECT_LT(after, sounding / 100);
    EXPECT_LT(muted, 1.0);
}

}  // namespace
