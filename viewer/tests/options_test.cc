#include "viewer/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/sys_info.h"
#include "render/music_fonts.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

using qsm::viewer_test::StoreTest;

class OptionsTest : public StoreTest {};

TEST_F(OptionsTest, DefaultsLoadAndSaveThroughTheStore) {
    TViewerOptions o{};
    SetDefaultOptions(o);
    TViewerOptions defaults = o;
    EXPECT_EQ(o.PlayDelay, 1);
    EXPECT_EQ(o.ReuseInst, 1);
    EXPECT_EQ(o.ToolSize, 16);
    // Nothing stored: the defaults stay.
    LoadOptions(o);
    EXPECT_EQ(0, std::memcmp(&o, &defaults, sizeof(o)));

    // Negative counts by absolute value, flags as 0/1, the tool size within 5..32.
    SysInfo.WriteInt("Options", "PlayDelay", -5);
    SysInfo.WriteInt("Options", "PlayDevice", INT_MIN);
    SysInfo.WriteInt("Options", "RecallSizePos", 7);
    SysInfo.WriteInt("Options", "ReuseInst", 0);
    SysInfo.WriteInt("Options", "AutoPlay", -1);
    SysInfo.WriteInt("Options", "ToolSize", 100000);
    LoadOptions(o);
    EXPECT_EQ(o.PlayDelay, 5);
    EXPECT_EQ(o.PlayDevice, INT_MAX);
    EXPECT_EQ(o.RecallSizePos, 1);
    EXPECT_EQ(o.ReuseInst, 0);
    EXPECT_EQ(o.AutoPlay, 1);
    EXPECT_EQ(o.ToolSize, 32);
    SysInfo.WriteInt("Options", "ToolSize", -2);
    LoadOptions(o);
    EXPECT_EQ(o.ToolSize, 5);

    // Saved and read back into another record.
    TViewerOptions saved{0, 3, 1, 0, 1, 0, 0, 0, 20};
    SaveOptions(saved);
    TViewerOptions back{};
    SetDefaultOptions(back);
    LoadOptions(back);
    EXPECT_EQ(0, std::memcmp(&saved, &back, sizeof(saved)));
    EXPECT_EQ(SysInfo.ReadInt("Options", "AutoWelcome", 9), 0);

    // The drawing option is read, never written.
    bool wide = GetUseWideTextForSymbols();
    SysInfo.WriteInt("Options", "UseWideTextForSymbols", wide ? 0 : 1);
    LoadOptions(back);
    EXPECT_EQ(GetUseWideTextForSymbols(), !wide);
    SetUseWideTextForSymbols(wide);
}

TEST_F(OptionsTest, DeviceIdAndOpenRequest) {
    TViewerOptions o{};
    SetDefaultOptions(o);
    EXPECT_EQ(GetPlayDeviceId(o), -1);
    o.PlayDevice = 3;
    EXPECT_EQ(GetPlayDeviceId(o), 2);

    TViewerOptions keep = ViewerOptions;
    ViewerOptions.AutoPlay = 1;
    TOpenRequest r{0, 1, 1};
    ResetOpenRequest(r);
    EXPECT_EQ(r.PlayAfterOpen, 1);
    EXPECT_EQ(r.CloseAfterPlay, 0);
    EXPECT_EQ(r.FromCache, 0);
    ViewerOptions = keep;

    TQSMultiField devices = BuildPlayDeviceList();
    ASSERT_GE(devices.GetFieldCount(), 1);
    EXPECT_STREQ(devices.GetField(0), "Default (Midi Mapper)");
    EXPECT_STRNE(devices.GetField(1), "");  // the built-in synthesizer
}

TEST_F(OptionsTest, EditorsAreFoundByTheirUninstallKeys) {
    SysInfo.WriteInt("Options", "RepeatPlay", 5);
    TSessionOptions s{0, 9, 9, 9};
    DetectEditors(s);
    EXPECT_EQ(s.RepeatPlay, 1);
    EXPECT_EQ(s.Editor1Installed, 0);
    EXPECT_EQ(s.Editor2Installed, 0);
    EXPECT_EQ(s.NewestEditor, 0);
    MachineKey(kEditor2UninstallKey);
    DetectEditors(s);
    EXPECT_EQ(s.Editor2Installed, 1);
    EXPECT_EQ(s.NewestEditor, 2);
    MachineKey(kEditor1UninstallKey);
    DetectEditors(s);
    EXPECT_EQ(s.Editor1Installed, 1);
    EXPECT_EQ(s.NewestEditor, 2);

    // Before the store has its names nothing is read.
    SysInfo.SetNames(nullptr, nullptr);
    DetectEditors(s);
    EXPECT_EQ(s.RepeatPlay, 0);
}

TEST_F(OptionsTest, SynthesizerVolumeAndMute) {
    TSynthMixerValues start{};
    ASSERT_TRUE(ReadSynthMixer(start));
    ASSERT_TRUE(WriteSynthMixer({1234, 1}));
    TSynthMixerValues v{};
    ASSERT_TRUE(ReadSynthMixer(v));
    EXPECT_EQ(v.Volume, 1234u);
    EXPECT_EQ(v.Mute, 1);
    ASSERT_TRUE(WriteSynthMixer({70000, 0}));
    ASSERT_TRUE(ReadSynthMixer(v));
    EXPECT_EQ(v.Volume, 65535u);
    EXPECT_EQ(v.Mute, 0);
    WriteSynthMixer(start);
}

}  // namespace
