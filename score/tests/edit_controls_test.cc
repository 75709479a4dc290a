// Lyric lines through a multi-line edit control and the staff group list through a list box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/score_file_header.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { qsm::wm::ResetForTests(); }

    HWND Make(const char* cls, DWORD style) {
        HWND h = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 10, 10, 300, 200, parent,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(100)), nullptr, nullptr);
        qsm::wm::PumpMessages();
        return h;
    }
    static std::string Text(HWND h) {
        std::vector<char> buf(static_cast<size_t>(GetWindowTextLengthA(h)) + 1);
        GetWindowTextA(h, buf.data(), static_cast<int>(buf.size()));
        return buf.data();
    }
    static std::vector<std::string> Syllables(const TLyricText& line) {
        std::vector<std::string> out;
        TLyric cursor;
        cursor.SetLine(line, 0);
        for (; cursor.IsValid(); cursor.Next())
            out.push_back(std::string(1, cursor.GetSeparator()) + cursor.GetText());
        return out;
    }

    HWND parent = nullptr;
};

TEST_F(ControlsTest, LyricLinesGoThroughAnEditControl) {
    HWND edit = Make("EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN);
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "Hap-py birth-day\r\n\r\nto New_York");
    TLyricText line;
    line.ReadEditLines(edit, true);
    const std::vector<std::string> expected = {"\x01Hap", "-py", " birth", "-day", "\nto", " New York"};
    EXPECT_EQ(Syllables(line), expected);

    HWND back = Make("EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN);
    line.SetEditText(back);
    EXPECT_EQ(Text(back), "Hap-py birth-day\r\n\r\nto New_York\r\n");

    // An empty line gives just the line end; reading an empty control leaves an empty line.
    TLyricText empty;
    empty.SetEditText(back);
    EXPECT_EQ(Text(back), "\r\n");
    SetWindowTextA(edit, "");
    line.ReadEditLines(edit, true);
    EXPECT_EQ(line.GetUsed(), 1);
}

std::string gSetText;

// A window that keeps the last text it was given, whatever its length.
LRESULT TextSink(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_SETTEXT) {
        gSetText = reinterpret_cast<const char*>(lparam);
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

TEST_F(ControlsTest, LongLyricsStopBeforeTheEditLimit) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TextSink;
    wc.lpszClassName = "LyricTextSink";
    RegisterClassA(&wc);
    HWND sink = Make("LyricTextSink", 0);
    ASSERT_NE(sink, nullptr);
    TLyricText line;
    char word[] = "syllable";
    for (int i = 0; i < 5000; ++i)
        line.AppendSyllable(' ', word, false);
    line.SetEditText(sink);
    // Each further syllable takes 9 bytes with its blank; none starts when the bytes written and the
    // syllable's would pass 32752.
    const size_t syllables = (gSetText.size() - 2 + 1) / 9;
    EXPECT_EQ(gSetText.size(), syllables * 9 - 1 + 2);
    EXPECT_LE((syllables - 1) * 9 - 1 + 8 + 1, 32752u);
    EXPECT_GT(syllables * 9 - 1 + 8 + 1, 32752u);
    EXPECT_EQ(gSetText.substr(gSetText.size() - 2), "\r\n");
    EXPECT_EQ(gSetText.substr(0, 17), "syllable syllable");
}

TEST_F(ControlsTest, GroupListHoldsEachGroupOnceInScoreOrder) {
    HWND list = Make("LISTBOX", LBS_HASSTRINGS);
    ASSERT_NE(list, nullptr);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("old entry"));
    TMusicScore score;
    const char* groups[] = {"Strings", "Winds", "strings", "Strings", "Winds"};
    for (const char* g : groups) {
        auto* staff = new TMusicStaff;
        staff->SetGroup(g);
        score.AddStaff(staff);
    }
    score.FillGroupList(list);
    ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
    const char* expected[] = {"Strings", "Winds", "strings"};
    for (int i = 0; i < 3; ++i) {
        char text[32] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, expected[i]);
    }
    TMusicScore empty;
    empty.FillGroupList(list);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
}

TEST(DefaultFileHeader, IsInitialisedAgainOnEveryCall) {
    TScoreFileHeader& header = TMusicScore::GetDefaultFileHeader();
    EXPECT_STREQ(header.Product, "QuillStave Composer");
    EXPECT_EQ(header.FormatVersion, 32);
    EXPECT_EQ(header.ProductMajor, 2);
    EXPECT_EQ(header.ProductMinor, 5);
    header.FormatVersion = 7;
    header.Status = StatusDamaged;
    TScoreFileHeader& again = TMusicScore::GetDefaultFileHeader();
    EXPECT_EQ(&again, &header);
    EXPECT_EQ(again.FormatVersion, 32);
    EXPECT_NE(again.SavedDate, 0);
}

}  // namespace
