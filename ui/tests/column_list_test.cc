// The column list under its header, end to end on the headless window system: tab-separated rows and cells
// asked of the owner, cells cut to their columns, the header laid over the list, divider double clicks
// and sizing to contents, and captions that scroll with the cells.
#include "ui/column_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "ui/tests/column_dialog.h"

namespace {

using qsm::wm::PumpMessages;

TEST(ColumnCellTest, ARowSplitsAtTabsAndMissingPiecesAreEmpty) {
    char buf[64];
    EXPECT_STREQ(qsm::SplitColumnCell("a\tb\tc", 0, buf, sizeof buf), "a");
    EXPECT_STREQ(qsm::SplitColumnCell("a\tb\tc", 1, buf, sizeof buf), "b");
    EXPECT_STREQ(qsm::SplitColumnCell("a\tb\tc", 2, buf, sizeof buf), "c");
    EXPECT_STREQ(qsm::SplitColumnCell("a", 1, buf, sizeof buf), "");
    EXPECT_STREQ(qsm::SplitColumnCell("a", 2, buf, sizeof buf), "");
    EXPECT_STREQ(qsm::SplitColumnCell("\t\tc", 0, buf, sizeof buf), "");
    EXPECT_STREQ(qsm::SplitColumnCell("\t\tc", 2, buf, sizeof buf), "c");
    EXPECT_STREQ(qsm::SplitColumnCell("a\t", 1, buf, sizeof buf), "");
    EXPECT_STREQ(qsm::SplitColumnCell(nullptr, 0, buf, sizeof buf), "");
    // The buffer holds at most size - 1 characters of the row.
    char small[5];
    EXPECT_STREQ(qsm::SplitColumnCell("ab\tcdef", 1, small, sizeof small), "c");
    EXPECT_STREQ(qsm::SplitColumnCell("abcdefgh", 0, small, sizeof small), "abcd");
    EXPECT_STREQ(qsm::SplitColumnCell("abcd\tx", 1, small, sizeof small), "");
}

struct TRequestLog {
    DWORD_PTR data;
    int row, column, size;
    bool emptyOnEntry;
    HWND list;
};

// The dialog-like owner of a header and a list: answers the cell-text request and logs notifications.
class TListOwner : public TWindow {
public:
    TListOwner() : TWindow(static_cast<TWindow*>(nullptr), "owner") {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 400;
        Attr.H = 300;
    }
    LRESULT GetColText(WPARAM wp, LPARAM lp) {
        auto& r = *reinterpret_cast<TQSColumnTextRequest*>(lp);
        Requests.push_back(
            {r.ItemData, r.Row, r.Column, r.Size, r.Text[0] == '\0', reinterpret_cast<HWND>(wp)});
        if (FillAll) {
            std::memset(r.Text, 'x', static_cast<size_t>(r.Size));
            return 0;
        }
        std::string text = r.Column == 0 ? "Row " + std::to_string(r.Row) : Cells[r.ItemData % Cells.size()];
        snprintf(r.Text, static_cast<size_t>(r.Size), "%s", text.c_str());
        return 0;
    }
    LRESULT EvNotify(UINT, NMHDR& hdr) override {
        Notified.push_back(hdr.code);
        return 0;
    }
    std::vector<std::string> Cells = {"", "short", "a somewhat longer cell"};
    std::vector<TRequestLog> Requests;
    bool FillAll = false;  // fills the whole buffer, leaving no terminator
    std::vector<UINT> Notified;
    DECLARE_RESPONSE_TABLE(TListOwner);
};
DEFINE_RESPONSE_TABLE1(TListOwner, TWindow)
EV_REGISTERED("QSSW_GETCOLTEXT", GetColText), END_RESPONSE_TABLE;

constexpr COLORREF kWhite = RGB(255, 255, 255);

class ColumnListTest : public ::testing::Test {
protected:
    void SetUp() override { qsm::wm::ResetForTests(); }
    void TearDown() override {
        delete owner;
        qsm::wm::ResetForTests();
    }
    // A header with two columns over a list at (10, 10), 300 x 200; the list has strings unless told.
    void Make(int w0, int w1, bool strings = true, DWORD extraStyle = 0) {
        owner = new TListOwner;
        header = new TQSColumnHeader(owner, 100, 10, 10, 300, 20);
        header->SetOption(TQSColumnHeader::OptionPlaceOverList);
        header->AddItem(new TQSHdrItem("Name", nullptr, w0));
        header->AddItem(new TQSHdrItem("Location", nullptr, w1));
        list = new TQSColumnListBox(header, 101, 10, 10, 300, 200);
        if (!strings) list->Attr.Style &= ~LBS_HASSTRINGS;
        list->Attr.Style |= extraStyle;
        ASSERT_TRUE(owner->Create());
        PumpMessages();
    }
    int ItemHeight() const { return static_cast<int>(list->SendMessage(LB_GETITEMHEIGHT, 0)); }
    // The leftmost and rightmost x of non-white pixels of a row of the list within [from, to); -1 none.
    struct Ink {
        int first, last;
    };
    Ink InkOfRow(int row, int from = 0, int to = 280) {
        UpdateWindow(*owner);
        HDC dc = GetDC(*list);
        int top = row * ItemHeight();
        int first = -1, last = -1;
        for (int x = from; x < to; ++x)
            for (int y = top + 1; y < top + ItemHeight() - 1; ++y)
                if (GetPixel(dc, x, y) != kWhite) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        ReleaseDC(*list, dc);
        return Ink{first, last};
    }
    int AveCharWidth(HFONT font) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return tm.tmAveCharWidth;
    }
    int TextWidth(HFONT font, const char* text) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE s{};
        GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &s);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return s.cx;
    }
    HFONT ListFont() { return static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

    TListOwner* owner = nullptr;
    TQSColumnHeader* header = nullptr;
    TQSColumnListBox* list = nullptr;
};

TEST_F(ColumnListTest, TheHeaderSitsOverTheListWithAOnePixelGap) {
    Make(120, 250);
    int h = header->GetHeaderHeight();
    EXPECT_GT(h, 4);
    TRect hr = header->GetWindowRect(), lr = list->GetWindowRect();
    TPoint origin = owner->ClientToScreen(TPoint(0, 0));
    EXPECT_EQ(hr, TRect(10, 10, 310, 10 + h).OffsetBy(origin.x, origin.y));
    EXPECT_EQ(lr, TRect(10, 10 + h + 1, 310, 210).OffsetBy(origin.x, origin.y));
    EXPECT_EQ(list->SendMessage(LB_GETHORIZONTALEXTENT), 370);
    // Widths set later keep the extent.
    header->SetColumnWidth(1, 30);
    EXPECT_EQ(list->SendMessage(LB_GETHORIZONTALEXTENT), 150);
}

TEST_F(ColumnListTest, TabSeparatedPiecesStandInTheirColumnsAndLongCellsAreCut) {
    Make(100, 100);
    list->AddString("Alpha\tBeta");
    list->AddString("Gamma");
    list->AddString("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    int a = AveCharWidth(ListFont());
    auto first = InkOfRow(0, 0, 100), second = InkOfRow(0, 100, 200);
    EXPECT_GE(first.first, a);
    EXPECT_GE(second.first, 100 + a);
    EXPECT_LT(second.last, 200 - a);
    EXPECT_EQ(InkOfRow(1, 100, 280).first, -1);
    // The long text is cut with "..." inside its own column and leaves the next one alone.
    auto cut = InkOfRow(2, 0, 280);
    EXPECT_GE(cut.first, a);
    EXPECT_LT(cut.last, 100 - a);
    EXPECT_GT(cut.last, 100 - 3 * a);
}

TEST_F(ColumnListTest, ANarrowColumnDrawsNothingNotEvenItsGridLine) {
    Make(100, 1);
    header->AddItem(new TQSHdrItem("Third", nullptr, 100));
    list->AddString("a\tWWWW\tb");
    list->SetGridLines(true);
    UpdateWindow(*owner);
    HDC dc = GetDC(*list);
    int y = ItemHeight() / 2;
    EXPECT_NE(GetPixel(dc, 97, y), kWhite);  // the first column's grid line
    EXPECT_EQ(GetPixel(dc, 98, y), kWhite);  // none for the column of width 1
    EXPECT_EQ(GetPixel(dc, 100, y), kWhite);
    EXPECT_NE(GetPixel(dc, 198, y), kWhite);
    // A line closes the last row.
    EXPECT_NE(GetPixel(dc, 50, ItemHeight() - 1), kWhite);
    ReleaseDC(*list, dc);
}

TEST_F(ColumnListTest, AListWithoutStringsAsksItsOwnerForEveryCell) {
    Make(80, 80, false);
    for (DWORD_PTR data : {1u, 2u, 0u})
        list->SendMessage(LB_ADDSTRING, 0, static_cast<LPARAM>(data));
    owner->Requests.clear();
    int widest = list->GetWidestCell(1);
    int a = AveCharWidth(ListFont());
    EXPECT_EQ(widest, TextWidth(ListFont(), "a somewhat longer cell") + 2 * a);
    ASSERT_EQ(owner->Requests.size(), 3u);
    // Rows are asked from the last to the first.
    EXPECT_EQ(owner->Requests[0].row, 2);
    EXPECT_EQ(owner->Requests[0].data, 0u);
    EXPECT_EQ(owner->Requests[2].row, 0);
    EXPECT_EQ(owner->Requests[2].data, 1u);
    for (const TRequestLog& r : owner->Requests) {
        EXPECT_EQ(r.column, 1);
        EXPECT_EQ(r.size, 8192);
        EXPECT_TRUE(r.emptyOnEntry);
        EXPECT_EQ(r.list, list->GetHandle());
    }
    // An owner that fills the whole buffer gets a cell of 8191 characters, not a read past its end.
    owner->FillAll = true;
    EXPECT_EQ(list->GetWidestCell(1), 8191 * TextWidth(ListFont(), "x") + 2 * a);
    owner->FillAll = false;
    // Drawn cells come from the owner too: row 2's second cell is empty.
    EXPECT_NE(InkOfRow(1, 80, 160).first, -1);
    EXPECT_EQ(InkOfRow(2, 80, 160).first, -1);
    EXPECT_NE(InkOfRow(2, 0, 80).first, -1);
}

TEST_F(ColumnListTest, ADividerDoubleClickFitsTheContentsThenTheCaption) {
    Make(60, 60);
    list->AddString("A rather long first cell\tx");
    list->AddString("short\ty");
    int best = TextWidth(ListFont(), "A rather long first cell") + 2 * AveCharWidth(ListFont());
    int caption = header->GetHeaderTextWidth(0);
    ASSERT_GT(best, caption);
    header->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(59, 5));
    EXPECT_EQ(header->GetColumnWidth(0), best);
    EXPECT_EQ(list->SendMessage(LB_GETHORIZONTALEXTENT), best + 60);
    header->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(best - 1, 5));
    EXPECT_EQ(header->GetColumnWidth(0), caption);
    // The list took the double clicks; the owner heard of none.
    EXPECT_TRUE(owner->Notified.empty());
    // Other notifications still reach the owner.
    header->SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(caption - 1, 5));
    header->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(caption - 1, 5));
    std::vector<UINT> want = {HDN_BEGINTRACK, HDN_ENDTRACK};
    EXPECT_EQ(owner->Notified, want);
}

TEST_F(ColumnListTest, AutoSizeTakesTheCaptionTheContentsOrTheLargerOfBoth) {
    Make(200, 200);
    list->AddString("ab\tThe widest of them all");
    list->AddString("c\td");
    int a = AveCharWidth(ListFont());
    list->AutoSizeColumn(0, 0);
    EXPECT_EQ(header->GetColumnWidth(0), header->GetHeaderTextWidth(0));
    list->AutoSizeColumn(0, 1);
    EXPECT_EQ(header->GetColumnWidth(0), TextWidth(ListFont(), "ab") + 2 * a);
    list->AutoSizeColumns(2);
    EXPECT_EQ(header->GetColumnWidth(0), header->GetHeaderTextWidth(0));
    EXPECT_EQ(header->GetColumnWidth(1), TextWidth(ListFont(), "The widest of them all") + 2 * a);
}

TEST_F(ColumnListTest, ScrollingTheListScrollsTheCaptionsByTheSameAmount) {
    Make(150, 250);
    list->AddString("Left\tRight");
    // The first black pixel of the captions right of x (the second caption's text).
    auto captionInk = [&](int from) {
        UpdateWindow(*owner);
        HDC dc = GetDC(*header);
        int first = -1;
        for (int x = from; x < 300 && first < 0; ++x)
            for (int y = 3; y < header->GetHeaderHeight() - 3; ++y)
                if (GetPixel(dc, x, y) == RGB(0, 0, 0)) {
                    first = x;
                    break;
                }
        ReleaseDC(*header, dc);
        return first;
    };
    int cellBefore = InkOfRow(0, 100).first, captionBefore = captionInk(151);
    ASSERT_GT(cellBefore, 150);
    list->SendMessage(WM_HSCROLL, SB_LINERIGHT);
    list->SendMessage(WM_HSCROLL, SB_LINERIGHT);
    int pos = list->GetScrollPos(SB_HORZ);
    ASSERT_GT(pos, 0);
    EXPECT_EQ(header->GetScrollOffset(), pos);
    EXPECT_EQ(InkOfRow(0, 100).first, cellBefore - pos);
    EXPECT_EQ(captionInk(151 - pos), captionBefore - pos);
    // The hit zones follow: column 0's divider is now at 150 - pos.
    HD_HITTESTINFO info{};
    info.pt = POINT{150 - pos - 1, 5};
    header->HitTest(info);
    EXPECT_EQ(info.flags, HHT_ONDIVIDER);
}

TEST_F(ColumnListTest, RowsAreSelectedOnlyWhenTheirStateDiffers) {
    Make(100, 100, true, LBS_MULTIPLESEL);
    for (const char* s : {"a", "b", "c"})
        list->AddString(s);
    EXPECT_FALSE(list->HasSelection());
    list->SetRowSelected(2, 1);
    EXPECT_TRUE(list->HasSelection());
    list->SetRowSelected(2, 1);
    EXPECT_GT(list->SendMessage(LB_GETSEL, 2), 0);
    list->SetRowSelected(2, 0);
    EXPECT_FALSE(list->HasSelection());
}

TEST_F(ColumnListTest, InitialItemsBecomeRowsAtSetUp) {
    owner = new TListOwner;
    header = new TQSColumnHeader(owner, 100, 10, 10, 300, 20);
    list = new TQSColumnListBox(header, 101, 10, 40, 300, 200);
    list->SetInitialItems("one\t1\0two\t2\0");
    ASSERT_TRUE(owner->Create());
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetString(1), "two\t2");
    EXPECT_EQ(header->GetListBox(), list);
    EXPECT_TRUE(list->HasStrings());
    // Focus given to the header goes on to the list.
    header->SetFocus();
    EXPECT_EQ(GetFocus(), list->GetHandle());
}

TEST(ColumnDialogTest, TheDialogsHeaderSitsOverItsListAndTakesTheDialogsFont) {
    qsm::wm::ResetForTests();
    {
        TColumnDemoDialog dialog(nullptr);
        ASSERT_TRUE(dialog.Create());
        PumpMessages();
        TQSColumnHeader& header = *dialog.Header;
        TQSColumnListBox& list = *dialog.List;
        EXPECT_EQ(list.GetCount(), 5);
        EXPECT_TRUE(header.GetStyle() & HDS_BUTTONS);
        EXPECT_EQ(header.GetFont(), reinterpret_cast<HFONT>(dialog.SendMessage(WM_GETFONT)));
        TRect hr = header.GetWindowRect(), lr = list.GetWindowRect();
        EXPECT_EQ(hr.Height(), header.GetHeaderHeight());
        EXPECT_EQ(lr.top, hr.bottom + 1);
        EXPECT_EQ(lr.left, hr.left);
        EXPECT_EQ(lr.right, hr.right);
        EXPECT_EQ(list.SendMessage(LB_GETHORIZONTALEXTENT), 310);
        // Sized to their contents, the columns are wider than the list: it scrolls, and so do the captions.
        list.AutoSizeColumns(2);
        EXPECT_GT(header.GetTotalWidth(), list.GetClientRect().Width());
        list.SendMessage(WM_HSCROLL, SB_PAGERIGHT);
        EXPECT_GT(header.GetScrollOffset(), 0);
        EXPECT_EQ(header.GetScrollOffset(), list.GetScrollPos(SB_HORZ));
    }
    qsm::wm::ResetForTests();
}

}  // namespace
