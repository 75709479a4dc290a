// The rich-text view: its reader of rich text, streaming in, links reported to the parent, selection,
// character formats, margins, scrolling and painting.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wm/rtf_reader.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

RichText Read(const std::string& rtf, size_t limit = 100000) {
    RichText t;
    t.formats.push_back(RichFormat{});
    ReadRtf(rtf, limit, &t);
    return t;
}

const RichFormat& FormatAt(const RichText& t, size_t i) {
    return t.formats[t.format[i]];
}

TEST(RtfReader, GroupsTablesAndCharacterFormats) {
    RichText t = Read(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern\\fprq1\\fcharset0 Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;}Plain \\b bold\\b0 {\\i it}\\par\n"
        "\\f1\\fs28\\cf1 red\\'e9\\tab\\ul u\\ulnone n\\plain p}");
    EXPECT_EQ(t.text, "Plain boldit\rred\xe9\tunp");  // a control word takes one blank after it
    EXPECT_FALSE(FormatAt(t, 0).bold);
    EXPECT_TRUE(FormatAt(t, 6).bold);
    EXPECT_TRUE(FormatAt(t, 10).italic);
    EXPECT_FALSE(FormatAt(t, 10).bold);
    const RichFormat& red = FormatAt(t, 13);
    EXPECT_EQ(red.face, "Courier New");
    EXPECT_EQ(red.pitch_family, 0x31);
    EXPECT_EQ(red.size_twips, 280);
    EXPECT_FALSE(red.auto_color);
    EXPECT_EQ(red.color, RGB(255, 0, 0));
    EXPECT_TRUE(FormatAt(t, 18).underline);
    EXPECT_FALSE(FormatAt(t, 19).underline);
    // \plain returns to the control's default.
    EXPECT_EQ(t.format[20], 0);
    // After the group the italic is gone again; the paragraph mark carries its format.
    EXPECT_EQ(t.text[12], '\r');
    EXPECT_FALSE(FormatAt(t, 12).italic);
}

TEST(RtfReader, SkipsWhatItDoesNotShow) {
    RichText t = Read(
        "{\\rtf1{\\*\\generator Writer;}{\\info{\\title Secret}}{\\stylesheet{\\s1 Heading;}}"
        "\\foo123 a\\bin5 {{{{}b\\{c\\}\\\\ \\uc1\\u233e\\u8212\\'97\\u-3913?\\~\\_\\-d"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\ldblquote q\\rdblquote}");
    EXPECT_EQ(t.text, "ab{c}\\ \xe9\x97?\xa0-dlink\x93q\x94");
}

TEST(RtfReader, HostileInputStaysBounded) {
    // Deep nesting, unbalanced groups, cut escapes and numbers, huge parameters.
    std::string deep(100000, '{');
    RichText t = Read("{\\rtf1 " + deep + "x" + std::string(50000, '}') + "y\\'4");
    EXPECT_EQ(t.text, "xy");  // the cut escape is dropped
    t = Read("{\\rtf1\\fs99999999999999999999 a\\fs-5 b\\cf99 c\\f77 d\\bin99999999999}");
    EXPECT_EQ(t.text, "abcd");
    EXPECT_EQ(FormatAt(t, 0).size_twips, 200);
    EXPECT_TRUE(FormatAt(t, 2).auto_color);
    t = Read("{\\rtf1 " + std::string(5000, 'z') + "}", 100);
    EXPECT_EQ(t.text.size(), 100u);
    std::string many = "{\\rtf1 ";
    for (int i = 1; i < 6000; ++i)
        many += "\\fs" + std::to_string(i) + " a";
    t = Read(many);
    EXPECT_EQ(t.text.size(), 5999u);
    EXPECT_LE(t.formats.size(), 4096u);
    t = Read("");
    EXPECT_TRUE(t.text.empty());
}

TEST(RtfReader, PlainTextKeepsItsBytesAndEndsParagraphs) {
    RichText t;
    t.formats.push_back(RichFormat{});
    ReadPlainText(std::string("a\r\nb\nc\rd{\\b e}\0f", 16), 1000, &t);
    EXPECT_EQ(t.text, "a\rb\rc\rd{\\b e}f");
    EXPECT_TRUE(LooksLikeRtf("{\\rtf1 x}"));
    EXPECT_FALSE(LooksLikeRtf("{\\rt"));
}

// ---- the control ----

struct Source {
    std::string data;
    size_t pos = 0;
    size_t chunk = 7;
    DWORD fail_at_call = 0;
    DWORD calls = 0;
};

DWORD ReadSource(DWORD_PTR cookie, LPBYTE buf, LONG cb, LONG* pcb) {
    auto* s = reinterpret_cast<Source*>(cookie);
    if (++s->calls == s->fail_at_call) return 5;
    size_t n = std::min({s->data.size() - s->pos, static_cast<size_t>(cb), s->chunk});
    memcpy(buf, s->data.data() + s->pos, n);
    s->pos += n;
    *pcb = static_cast<LONG>(n);
    return 0;
}

class RichEditTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        parent = MakeTop(0, 0, 400, 300, WS_POPUP | WS_VISIBLE);
        PumpMessages();
        Rec().Clear();
        Rec().only = {WM_NOTIFY};
    }
    HWND Make(DWORD style, int w = 300, int h = 120) {
        HWND c = CreateWindowExA(0, RICHEDIT_CLASSA, "", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(104)), nullptr, nullptr);
        PumpMessages();
        return c;
    }
    static LRESULT Stream(HWND r, const std::string& data, WPARAM format, Source* s = nullptr) {
        Source local;
        if (s == nullptr) s = &local;
        s->data = data;
        EDITSTREAM es{reinterpret_cast<DWORD_PTR>(s), 0, ReadSource};
        LRESULT n = SendMessageA(r, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
        last_error = es.dwError;
        return n;
    }
    static std::string Text(HWND h) {
        char buf[512];
        GetWindowTextA(h, buf, sizeof buf);
        return buf;
    }
    static std::string SelText(HWND r) {
        CHARRANGE cr{};
        SendMessageA(r, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
        std::string buf(static_cast<size_t>(cr.cpMax - cr.cpMin) + 16, '\0');
        LRESULT n = SendMessageA(r, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<size_t>(n));
        return buf;
    }
    // Pixels of the control near colour c (text edges are smoothed).
    static int CountColour(HWND h, COLORREF c) {
        RECT r;
        GetClientRect(h, &r);
        HDC dc = GetDC(h);
        int n = 0;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x)
                n += Near(GetPixel(dc, x, y), c);
        ReleaseDC(h, dc);
        return n;
    }
    static bool Near(COLORREF a, COLORREF b) {
        return abs(GetRValue(a) - GetRValue(b)) < 40 && abs(GetGValue(a) - GetGValue(b)) < 40 &&
               abs(GetBValue(a) - GetBValue(b)) < 40;
    }
    HWND parent = nullptr;
    static inline DWORD last_error = 0;
};

TEST_F(RichEditTest, StreamsRichTextOrPlainText) {
    HWND r = Make(WS_BORDER);
    ASSERT_NE(r, nullptr);
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}Hello \\b World\\b0\\par Second}";
    Source s;
    EXPECT_EQ(Stream(r, rtf, SF_TEXT, &s), static_cast<LRESULT>(rtf.size()));
    EXPECT_GT(s.calls, 5u);  // many small reads, until one reads nothing
    EXPECT_EQ(Text(r), rtf);
    EXPECT_EQ(Stream(r, rtf, SF_RTF), 18);
    EXPECT_EQ(Text(r), "Hello World\r\nSecond");
    EXPECT_EQ(SendMessageA(r, WM_GETTEXTLENGTH, 0, 0), 19);
    // Data that is not rich text shows as it is.
    Stream(r, "just text", SF_RTF);
    EXPECT_EQ(Text(r), "just text");
    // A callback's error ends the stream and is handed back.
    Source bad;
    bad.fail_at_call = 2;
    Stream(r, "0123456789abcdef", SF_TEXT, &bad);
    EXPECT_EQ(last_error, 5u);
    EXPECT_EQ(Text(r), "0123456");
    // The text limit holds for streams; WM_SETTEXT takes rich text too.
    SendMessageA(r, EM_LIMITTEXT, 4, 0);
    Stream(r, "abcdefgh", SF_TEXT);
    EXPECT_EQ(Text(r), "abcd");
    SendMessageA(r, EM_EXLIMITTEXT, 0, 1000);
    SetWindowTextA(r, "{\\rtf1 a\\par b}");
    EXPECT_EQ(Text(r), "a\r\nb");
    EXPECT_EQ(SendMessageA(r, WM_GETDLGCODE, 0, 0) & (DLGC_WANTALLKEYS | DLGC_HASSETSEL),
              DLGC_WANTALLKEYS | DLGC_HASSETSEL);
}

TEST_F(RichEditTest, SelectionByRangeAndItsText) {
    HWND r = Make(WS_BORDER);
    SetWindowTextA(r, "one two\r\nthree");
    CHARRANGE cr{4, 7};
    EXPECT_EQ(SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr)), 7);
    EXPECT_EQ(SelText(r), "two");
    cr = CHARRANGE{0, -1};
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    EXPECT_EQ(SelText(r), "one two\rthree");  // paragraph marks are one character inside
    cr = CHARRANGE{-1, 0};
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    EXPECT_EQ(SelText(r), "");
    cr = CHARRANGE{50, 90};  // beyond the end: clamped
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    CHARRANGE got{};
    SendMessageA(r, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got.cpMin, 13);
    EXPECT_EQ(got.cpMax, 13);
}

TEST_F(RichEditTest, LinksAreReportedToTheParentWhoMayTakeTheClick) {
    HWND r = Make(WS_BORDER);
    LRESULT mask = SendMessageA(r, EM_GETEVENTMASK, 0, 0);
    EXPECT_EQ(SendMessageA(r, EM_SETEVENTMASK, 0, mask | ENM_LINK), mask);
    SendMessageA(r, EM_AUTOURLDETECT, TRUE, 0);
    SetWindowTextA(r, "Visit http://example.org/a. or www.x.org");
    std::string opened;
    std::vector<UINT> link_msgs;
    Rec().answer = [&](HWND, UINT m, WPARAM, LPARAM lp, LRESULT* res) {
        if (m != WM_NOTIFY) return false;
        auto* link = reinterpret_cast<ENLINK*>(lp);
        if (link->nmhdr.code != EN_LINK || link->nmhdr.hwndFrom != r || link->nmhdr.idFrom != 104)
            return false;
        link_msgs.push_back(link->msg);
        if (link->msg == WM_LBUTTONDOWN) {
            SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&link->chrg));
            opened = SelText(r);
            *res = 1;
            return true;
        }
        *res = link->msg == WM_LBUTTONUP ? 1 : 0;
        return true;
    };
    // Along the first line: only the pointer over a link is reported.
    int first_x = -1;
    for (int x = 0; x < 290 && first_x < 0; ++x) {
        SendMessageA(r, WM_MOUSEMOVE, 0, MAKELPARAM(x, 5));
        if (!link_msgs.empty()) first_x = x;
    }
    ASSERT_GT(first_x, 10);
    link_msgs.clear();
    SendMessageA(r, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first_x + 2, 5));
    SendMessageA(r, WM_LBUTTONUP, 0, MAKELPARAM(first_x + 2, 5));
    EXPECT_EQ(opened, "http://example.org/a");  // the full stop after it is not part of the link
    EXPECT_EQ(link_msgs, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // The handled click left the selection the parent made.
    EXPECT_EQ(SelText(r), "http://example.org/a");
    // A click elsewhere is the control's own: no report, the caret moves.
    link_msgs.clear();
    SendMessageA(r, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 5));
    SendMessageA(r, WM_LBUTTONUP, 0, MAKELPARAM(2, 5));
    EXPECT_TRUE(link_msgs.empty());
    EXPECT_EQ(SelText(r), "");
    // Without the event mask bit nothing is reported; without detection there are no links.
    SendMessageA(r, EM_SETEVENTMASK, 0, 0);
    SendMessageA(r, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first_x + 2, 5));
    SendMessageA(r, WM_LBUTTONUP, 0, MAKELPARAM(first_x + 2, 5));
    EXPECT_TRUE(link_msgs.empty());
    PumpMessages();
    EXPECT_GT(CountColour(r, GetSysColor(COLOR_HOTLIGHT)), 20);
    SendMessageA(r, EM_AUTOURLDETECT, FALSE, 0);
    PumpMessages();
    EXPECT_EQ(CountColour(r, GetSysColor(COLOR_HOTLIGHT)), 0);
}

TEST_F(RichEditTest, DefaultAndSelectionCharacterFormats) {
    HWND r = Make(WS_BORDER);
    // A fixed font as the default: read, change, write back.
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    EXPECT_NE(SendMessageA(r, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)), 0);
    cf.bCharSet = 0;
    cf.bPitchAndFamily = 0x31;
    strcpy(cf.szFaceName, "Courier New");
    cf.dwMask = CFM_CHARSET | CFM_FACE;
    EXPECT_TRUE(SendMessageA(r, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)));
    SetWindowTextA(r, "{\\rtf1 plain \\b bold}");
    CHARRANGE all{0, -1};
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    CHARFORMAT2A c2{};
    c2.cbSize = sizeof c2;
    DWORD mask =
        static_cast<DWORD>(SendMessageA(r, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&c2)));
    EXPECT_STREQ(c2.szFaceName, "Courier New");
    EXPECT_EQ(c2.bPitchAndFamily, 0x31);
    EXPECT_TRUE(mask & CFM_FACE);
    EXPECT_FALSE(mask & CFM_BOLD);  // mixed
    // Bold and red for the first word only.
    CHARRANGE first{0, 5};
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
    c2 = CHARFORMAT2A{};
    c2.cbSize = sizeof c2;
    c2.dwMask = CFM_BOLD | CFM_COLOR | CFM_SIZE;
    c2.dwEffects = CFE_BOLD;
    c2.crTextColor = RGB(255, 0, 0);
    c2.yHeight = 360;
    SendMessageA(r, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&c2));
    c2 = CHARFORMAT2A{};
    c2.cbSize = sizeof c2;
    mask =
        static_cast<DWORD>(SendMessageA(r, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&c2)));
    EXPECT_TRUE(mask & CFM_BOLD);
    EXPECT_TRUE(c2.dwEffects & CFE_BOLD);
    EXPECT_EQ(c2.wWeight, FW_BOLD);
    EXPECT_EQ(c2.yHeight, 360);
    EXPECT_EQ(c2.crTextColor, RGB(255, 0, 0));
    // Painted in its colour.
    CHARRANGE none{-1, 0};
    SendMessageA(r, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
    PumpMessages();
    EXPECT_GT(CountColour(r, RGB(255, 0, 0)), 20);
    // The default stays as it was.
    cf = CHARFORMATA{};
    cf.cbSize = sizeof cf;
    SendMessageA(r, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    EXPECT_FALSE(cf.dwEffects & CFE_BOLD);
    EXPECT_TRUE(cf.dwEffects & CFE_AUTOCOLOR);
    // Other structure sizes are refused.
    cf.cbSize = 20;
    EXPECT_EQ(SendMessageA(r, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)), 0);
    EXPECT_EQ(SendMessageA(r, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)), 0);
}

TEST_F(RichEditTest, MarginsWrapScrollAndReadOnly) {
    HWND r = Make(WS_BORDER | WS_VSCROLL, 200, 60);
    PostMessageA(r, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(16, 8));
    PumpMessages();
    EXPECT_EQ(SendMessageA(r, EM_GETMARGINS, 0, 0), MAKELONG(16, 8));
    SetWindowTextA(r, "short");
    EXPECT_FALSE(GetWindowLongA(r, GWL_STYLE) & WS_VSCROLL);  // no bar while everything shows
    std::string words;
    for (int i = 0; i < 60; ++i)
        words += "word" + std::to_string(i) + " ";
    SetWindowTextA(r, words.c_str());
    EXPECT_TRUE(GetWindowLongA(r, GWL_STYLE) & WS_VSCROLL);
    LRESULT lines = SendMessageA(r, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(lines, 5);
    // Wider margins make more lines.
    SendMessageA(r, EM_SETMARGINS, EC_LEFTMARGIN, MAKELONG(60, 0));
    EXPECT_GT(SendMessageA(r, EM_GETLINECOUNT, 0, 0), lines);
    EXPECT_EQ(SendMessageA(r, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageA(r, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(SendMessageA(r, EM_GETFIRSTVISIBLELINE, 0, 0), 1);
    EXPECT_GT(GetScrollPos(r, SB_VERT), 0);
    SendMessageA(r, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(SendMessageA(r, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // Every line break falls after a blank.
    for (LRESULT i = 1; i < SendMessageA(r, EM_GETLINECOUNT, 0, 0); ++i) {
        LRESULT at = SendMessageA(r, EM_LINEINDEX, static_cast<WPARAM>(i), 0);
        EXPECT_EQ(words[static_cast<size_t>(at) - 1], ' ') << i;
    }
    // Typing edits unless the view is read-only.
    SetWindowTextA(r, "ab");
    SetFocus(r);
    SendMessageA(r, EM_SETSEL, 2, 2);
    SendMessageA(r, WM_CHAR, 'c', 0);
    SendMessageA(r, WM_CHAR, '\r', 0);
    SendMessageA(r, WM_CHAR, 'd', 0);
    EXPECT_EQ(Text(r), "abc\r\nd");
    SendMessageA(r, WM_CHAR, 8, 0);
    EXPECT_EQ(Text(r), "abc\r\n");
    SendMessageA(r, EM_SETREADONLY, TRUE, 0);
    SendMessageA(r, WM_CHAR, 'x', 0);
    SendMessageA(r, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Text(r), "abc\r\n");
}

}  // namespace
}  // namespace qsm::wm::testing
