#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/reg_key.h"
#include "core/sys_info.h"
#include "platform/registry/registry.h"
#include "score/base/color_palette.h"

namespace {

// Each test keeps its registry in a folder of its own.
class PaletteStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qsm-palette-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    }
    void TearDown() override {
        SysInfo.SetNames(nullptr, nullptr);
        std::filesystem::remove_all(dir_);
    }

    std::string dir_;
};

TEST_F(PaletteStoreTest, MissingKeyKeepsTheDefaults) {
    TColorPalette palette;
    TKeyReadOnly key(HKEY_CURRENT_USER, STAFF_COLORS_KEY);
    EXPECT_FALSE(key.IsOpen());
    palette.Load(key);
    EXPECT_EQ(palette.GetColor(8), RGB(255, 0, 0));
    EXPECT_EQ(palette.GetColor(9), RGB(255, 0, 0));
    EXPECT_EQ(palette.GetColor(4), RGB(0, 0, 192));
}

TEST_F(PaletteStoreTest, LoadReadsTheValuesNamedAfterTheEntries) {
    {
        TKey key(HKEY_CURRENT_USER, STAFF_COLORS_KEY, true);
        ASSERT_TRUE(key.IsOpen());
        key.SetString("RGB(10,20,30)", "Active Staff");
        key.SetString("RGB(1,2)", "Play Highlight");
        key.SetString("RGB(256,0,0)", "Highlight 7");
        key.SetDWord(5, "Highlight 1");
    }
    TColorPalette palette;
    TKeyReadOnly key(HKEY_CURRENT_USER, STAFF_COLORS_KEY);
    ASSERT_TRUE(key.IsOpen());
    palette.Load(key);
    EXPECT_EQ(palette.GetColor(4), RGB(10, 20, 30));
    EXPECT_EQ(palette.GetColor(8), RGB(255, 0, 0));  // two numbers: unchanged
    EXPECT_EQ(palette.GetColor(15), RGB(0, 0, 0));   // 256 keeps its low 8 bits
    EXPECT_EQ(palette.GetColor(9), RGB(255, 0, 0));  // not a text value
    HPEN pen = palette.GetPen(4);
    palette.Load(key);  // the same colours again keep their pens
    EXPECT_EQ(palette.GetPen(4), pen);
}

TEST_F(PaletteStoreTest, SettingsFormRoundTrips) {
    TColorPalette saved;
    saved.SetColor(2, RGB(12, 34, 56));
    saved.SaveSettings(SysInfo, "Colors");
    char text[32];
    EXPECT_TRUE(SysInfo.ReadString("Colors", "Editor Background", "", text, sizeof(text)));
    EXPECT_STREQ(text, "RGB(12,34,56)");
    EXPECT_TRUE(SysInfo.ReadString("Colors", "Highlight 7", "", text, sizeof(text)));
    EXPECT_STREQ(text, "RGB(255,208,64)");

    TColorPalette loaded;
    loaded.SetColor(5, RGB(9, 9, 9));
    loaded.LoadSettings(SysInfo, "Colors");
    for (int i = 0; i < PALETTE_SIZE; ++i)
        EXPECT_EQ(loaded.GetColor(i), saved.GetColor(i)) << i;

    EXPECT_TRUE(TColorPalette::WriteColor(SysInfo, "Colors", "Active Staff", RGB(1, 2, 3)));
    loaded.LoadSettings(SysInfo, "Other");  // an empty section changes nothing
    EXPECT_EQ(loaded.GetColor(2), RGB(12, 34, 56));
    loaded.LoadSettings(SysInfo, "Colors");
    EXPECT_EQ(loaded.GetColor(4), RGB(1, 2, 3));
}

}  // namespace
