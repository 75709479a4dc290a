// The version text, the debugger trace, the font record as a font description, font availability, fonts
// that fit a width, and clipboard text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"
#include "ui/ui_util.h"

namespace {

TEST(UiUtil, VersionTextsOfEveryReleaseKind) {
    char buf[40];
    FormatVersion(buf, sizeof buf, 0x0201, 1, 2);
    EXPECT_STREQ(buf, "2.1 Beta 3");
    FormatVersion(buf, sizeof buf, 0x0201, 2, 5);
    EXPECT_STREQ(buf, "2.1.5");
    FormatVersion(buf, sizeof buf, 0x0201, 2, 0);
    EXPECT_STREQ(buf, "2.1");
    FormatVersion(buf, sizeof buf, 0x0201, 0, 2);
    EXPECT_STREQ(buf, "2.1 Public Preview 3");
    // A short buffer gets a cut, terminated text and nothing past it.
    char small[8];
    std::memset(small, 'x', sizeof small);
    FormatVersion(small, 6, 0x0201, 0, 2);
    EXPECT_STREQ(small, "2.1 P");
    EXPECT_EQ(small[6], 'x');
}

std::string g_debug;
void Sink(const char* text) {
    g_debug += text;
}

TEST(UiUtil, DebugTraceIsBounded) {
    qsm::DebugSink old = qsm::SetDebugSink(Sink);
    g_debug.clear();
    DebugPrintf("bar %d of %s\n", 12, "song");
    EXPECT_EQ(g_debug, "bar 12 of song\n");
    g_debug.clear();
    std::string path(2000, 'p');
    DebugPrintf("open %s", path.c_str());
    EXPECT_EQ(g_debug.size(), 511u);
    EXPECT_EQ(g_debug.substr(0, 7), "open pp");
    qsm::SetDebugSink(old);
}

TEST(FontSpecUi, SizesAndTheLongFaceStayInTheRecord) {
    TQSFontSpec f;
    f.Set("Arial", 0xFF, 1, 0);
    EXPECT_EQ(f.GetPointSize(), 1);
    EXPECT_EQ(f.GetStyle(), 3);
    f.SetPointSize(1);
    EXPECT_EQ(f.GetPointSize(), 2);
    // A face of 32 characters or more is cut to 31 and terminated inside its field.
    std::string face(32, 'F');
    f.Set(face.c_str(), 0, 10, 0);
    EXPECT_EQ(std::strlen(f.GetFaceName()), 31u);
    EXPECT_EQ(f.GetPointSize(), 10);

    LOGFONTA lf;
    TQSFontSpec one("Arial", TQSFontSpec::kBold, 1, 0);
    one.ToLogFont(&lf, 72);
    EXPECT_EQ(lf.lfHeight, -2);
    EXPECT_EQ(lf.lfWeight, 700);
    TQSFontSpec font("Liberation Serif", TQSFontSpec::kItalic, 12, 238);
    font.ToLogFont(&lf, 96);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfCharSet, 238);
    EXPECT_STREQ(lf.lfFaceName, "Liberation Serif");

    TQSFontSpec back;
    lf.lfWeight = 699;
    back.FromLogFont(lf, 9);
    EXPECT_EQ(back, TQSFontSpec("Liberation Serif", TQSFontSpec::kItalic, 9, 238));
    lf.lfWeight = 700;
    lf.lfItalic = 0;
    HDC dc = CreateCompatibleDC(nullptr);
    back.FromLogFontForDC(dc, lf);  // 16 pixels at 96 per inch
    EXPECT_EQ(back, TQSFontSpec("Liberation Serif", TQSFontSpec::kBold, 12, 238));
    lf.lfHeight = 1;
    back.FromLogFontForDC(dc, lf);
    EXPECT_EQ(back.GetPointSize(), 2);
    EXPECT_EQ(PointsToPixels(dc, 12), 16u);
    EXPECT_EQ(PointsToPixels(dc, 1), 1u);
    DeleteDC(dc);
}

TEST(FontSpecUi, OnlyFacesTheEngineHasAreAvailable) {
    EXPECT_TRUE(IsFontFaceAvailable("liberation serif", 0));
    EXPECT_TRUE(TQSFontSpec("Liberation Serif", TQSFontSpec::kBold, 30, 0).IsAvailable());
    // The engine draws a missing face with a substitute, which does not count.
    EXPECT_FALSE(IsFontFaceAvailable("No Such Face Anywhere", 0));
}

TEST(FontSpecUi, FittingFontsShrinkByQuartersDownToFivePixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf;
    TQSFontSpec("Liberation Serif", 0, 30, 0).ToLogFont(&lf, 96);  // 40 pixels
    const char* text = "Symphony";
    HFONT big = CreateFontIndirectA(&lf);
    ASSERT_TRUE(big);
    SIZE size{};
    HGDIOBJ old = SelectObject(dc, big);
    GetTextExtentPointA(dc, text, 8, &size);
    SelectObject(dc, old);
    EXPECT_TRUE(TextFitsWidth(dc, big, text, size.cx + 1));
    EXPECT_FALSE(TextFitsWidth(dc, big, text, size.cx));
    DeleteObject(big);

    // Half the width needs two steps or more: 40 -> 30 -> 22 -> ...
    LOGFONTA fit = lf;
    HFONT f = MakeFittingFont(dc, fit, text, size.cx / 2);
    ASSERT_TRUE(f);
    EXPECT_TRUE(TextFitsWidth(dc, f, text, size.cx / 2));
    EXPECT_LE(fit.lfHeight, -5);
    EXPECT_GT(fit.lfHeight, -22);
    DeleteObject(f);
    // A width nothing fits: the loop stops once the height is below 5 pixels (-6 -> -4).
    fit = lf;
    fit.lfHeight = -6;
    f = MakeFittingFont(dc, fit, text, 1);
    EXPECT_EQ(fit.lfHeight, -4);
    DeleteObject(f);
    DeleteDC(dc);
}

TEST(UiUtil, TextGoesToTheClipboard) {
    CopyTextToClipboard("Bar 12");
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(CF_TEXT);
    ASSERT_TRUE(h);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(h)), "Bar 12");
    GlobalUnlock(h);
    EmptyClipboard();
    PutTextOnClipboard("second");
    h = GetClipboardData(CF_TEXT);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(h)), "second");
    GlobalUnlock(h);
    CloseClipboard();
}

}  // namespace
