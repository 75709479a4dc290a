// The print preview: zoom levels, page walks forward and back, goto page, keys, and the status text.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/framework/printer.h"
#include "platform/kernel/module.h"
#include "platform/print/tests/print_test_util.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "viewer/print_data.h"
#include "viewer/print_preview.h"
#include "viewer/tests/print_test_util.h"

namespace {

using qsm::print::testing::FakeCups;
using qsm::wm::PumpMessages;

TEST(PreviewZoom, LevelsAreFractionsOfTheDevicePageAThirdApart) {
    int w[TScorePreviewControl::kMaxZoomLevels] = {};
    int n = TScorePreviewControl::ZoomWidthsFor(5100, 400, 450, w);
    EXPECT_EQ(std::vector<int>(w, w + n), (std::vector<int>{400, 425, 850, 1275, 1700, 2550, 5100}));
    // A page that fits already wider than the device page has one level.
    EXPECT_EQ(TScorePreviewControl::ZoomWidthsFor(300, 400, 450, w), 1);
    // Never more than eight.
    EXPECT_LE(TScorePreviewControl::ZoomWidthsFor(720720, 10, 12, w), 8);
    EXPECT_EQ(PreviewStatusText(5, 0, 7, false), "Page 5, Zoom 1/7");
    EXPECT_EQ(PreviewStatusText(2, 3, 7, true), "Page 2, Zoom 4/7, Justify Disabled");
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::InstallScoreHooks();
        cups.RemoveCups();
        qsm::print::InstallPrinters();
        score = qsm::printtest::LongScore(1, 200);
        score->Margins.Top = score->Margins.Bottom = 3.5f;
        score->PageNumbers = 5;
        data = std::make_unique<TQSMPrintData>(
            new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr), score.get(), score.get(),
            &palette);
        data->lastPage = 20000;
        pages = data->CountPages();
        client = new TQSMPrintPreviewClient(nullptr, data.get(), 0);
        frame = std::make_unique<TQSMPrintPreviewFrame>(nullptr, "Print Preview", client);
        frame->Attr.W = 520;
        frame->Attr.H = 720;
        ASSERT_TRUE(frame->Create());
        frame->Show(SW_SHOW);
        PumpMessages();
        control = client->GetControl();
    }
    void TearDown() override {
        frame.reset();
        qsm::wm::ResetForTests();
    }
    FakeCups cups;
    TColorPalette palette;
    std::unique_ptr<TMusicScore> score;
    std::unique_ptr<TQSMPrintData> data;
    int pages = 0;
    TQSMPrintPreviewClient* client = nullptr;
    std::unique_ptr<TQSMPrintPreviewFrame> frame;
    TScorePreviewControl* control = nullptr;
};

TEST_F(PreviewTest, OpensOnTheFirstPageWholeAndCentred) {
    ASSERT_GE(pages, 5);
    EXPECT_FALSE(control->IsBusy());
    EXPECT_EQ(control->GetPageIndex(), 1);
    EXPECT_EQ(control->GetDisplayedPage(), 5);
    EXPECT_EQ(control->GetZoomLevel(), 0);
    EXPECT_GE(control->GetZoomCount(), 2);
    EXPECT_EQ(control->GetScrollMax().cx, 0);
    EXPECT_EQ(control->GetScrollMax().cy, 0);
    TRect r = control->GetClientRect();
    EXPECT_LE(control->GetPageSize().cy, r.Height());
    EXPECT_EQ(control->GetOrigin().x, (r.Width() - control->GetPageSize().cx) / 2);
    frame->UpdateStatus();
    EXPECT_EQ(frame->GetStatusText(), "Page 5, Zoom 1/" + std::to_string(control->GetZoomCount()));
}

TEST_F(PreviewTest, PagesWalkForwardBackAndToTheEnds) {
    client->SendMessage(WM_COMMAND, CM_PREVIEW_NEXT);
    client->SendMessage(WM_COMMAND, CM_PREVIEW_NEXT);
    EXPECT_EQ(control->GetPageIndex(), 3);
    client->SendMessage(WM_COMMAND, CM_PREVIEW_PREVIOUS);
    EXPECT_EQ(control->GetPageIndex(), 2);
    client->SendMessage(WM_COMMAND, CM_PREVIEW_LAST);
    EXPECT_EQ(control->GetPageIndex(), pages);
    EXPECT_FALSE(control->HasMorePages());
    control->NextPage();  // nothing after the last page
    EXPECT_EQ(control->GetPageIndex(), pages);
    control->GotoDisplayedPage(7);  // printed numbers start at 5
    EXPECT_EQ(control->GetPageIndex(), 3);
    EXPECT_EQ(control->GetDisplayedPage(), 7);
    client->SendMessage(WM_COMMAND, CM_PREVIEW_START);
    EXPECT_EQ(control->GetPageIndex(), 1);
    control->PreviousPage();  // nothing before page 1
    EXPECT_EQ(control->GetPageIndex(), 1);
    // A walk past the end stops on the last page.
    control->GotoPage(pages + 10);
    EXPECT_EQ(control->GetPageIndex(), pages);
}

TEST_F(PreviewTest, ZoomLevelsScrollAndClamp) {
    client->SendMessage(WM_COMMAND, CM_PREVIEW_ZOOMIN);
    EXPECT_EQ(control->GetZoomLevel(), 1);
    EXPECT_GT(control->GetScrollMax().cy, 0);
    EXPECT_GT(control->GetPageSize().cx, control->GetZoomWidth(0));
    control->SendMessage(WM_CHAR, '8');
    EXPECT_EQ(control->GetZoomLevel(), control->GetZoomCount() - 1);
    EXPECT_EQ(control->GetPageSize().cx, data->GetPhysWidth());  // the last level is 1:1 device pixels
    control->SendMessage(WM_KEYDOWN, VK_DOWN);
    EXPECT_GT(control->GetScrollOffset().y, 0);
    control->SendMessage(WM_CHAR, '-');
    EXPECT_EQ(control->GetZoomLevel(), control->GetZoomCount() - 2);
    control->SetZoom(-5);
    EXPECT_EQ(control->GetZoomLevel(), 0);
    EXPECT_EQ(control->GetScrollOffset().y, 0);
    // A window narrower than 20 pixels still lays the page out in 20.
    frame->MoveWindow(0, 0, 12, 12, true);
    PumpMessages();
    EXPECT_GT(control->GetPageSize().cx, 0);
    EXPECT_LE(control->GetPageSize().cy, 20);
}

TEST_F(PreviewTest, KeysTurnPagesAndResizeKeepsTheLevel) {
    control->SendMessage(WM_KEYDOWN, VK_NEXT);
    control->SendMessage(WM_KEYDOWN, VK_RIGHT);  // no horizontal range: next page
    EXPECT_EQ(control->GetPageIndex(), 3);
    control->SendMessage(WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(control->GetPageIndex(), 2);
    control->SendMessage(WM_CHAR, '2');
    frame->MoveWindow(0, 0, 600, 760, true);
    PumpMessages();
    EXPECT_EQ(control->GetZoomLevel(), 1);
    EXPECT_EQ(control->GetPageIndex(), 2);
    control->SendMessage(WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(control->GetPageIndex(), 1);
    EXPECT_EQ(control->GetZoomLevel(), 0);
}

}  // namespace

namespace {

// Page Down is greyed on the last page and Page Up on page 1; the margin outline is ticked while shown.
TEST_F(PreviewTest, CommandsGreyAtTheEndsAndTickTheOutline) {
    auto enabled = [&](UINT id) {
        TCommandEnabler ce(id);
        client->EvCommandEnable(ce);
        return ce.GetEnabled();
    };
    EXPECT_FALSE(enabled(CM_PREVIEW_PREVIOUS));
    EXPECT_TRUE(enabled(CM_PREVIEW_NEXT));
    control->GotoLastPage();
    EXPECT_TRUE(enabled(CM_PREVIEW_PREVIOUS));
    EXPECT_FALSE(enabled(CM_PREVIEW_NEXT));
    client->SendMessage(WM_COMMAND, CM_PREVIEW_MARGIN);
    TCommandEnabler ce(CM_PREVIEW_MARGIN);
    client->EvCommandEnable(ce);
    EXPECT_EQ(ce.GetCheck(), TCommandEnabler::Checked);
    EXPECT_TRUE(data->showPrintableArea);
}

// Ctrl with the wheel zooms in around the pointer; at the last level it changes nothing.
TEST_F(PreviewTest, CtrlWheelZoomsAroundThePointer) {
    TPoint at = control->ClientToScreen(TPoint(100, 150));
    control->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), MAKELPARAM(at.x, at.y));
    EXPECT_EQ(control->GetZoomLevel(), 1);
    control->SetZoom(control->GetZoomCount() - 1);
    POINT scroll = control->GetScrollOffset();
    control->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), MAKELPARAM(at.x, at.y));
    EXPECT_EQ(control->GetZoomLevel(), control->GetZoomCount() - 1);
    EXPECT_EQ(control->GetScrollOffset().x, scroll.x);
    EXPECT_EQ(control->GetScrollOffset().y, scroll.y);
    // Without Ctrl the wheel scrolls a line down.
    control->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(at.x, at.y));
    EXPECT_GT(control->GetScrollOffset().y, scroll.y);
}

// The preview opens on the page that holds the score view's place.
TEST_F(PreviewTest, OpensOnThePageOfTheStartIndex) {
    data->ResetPages();
    data->DrawPage(nullptr, 1, false);
    data->StartNextPage();
    data->DrawPage(nullptr, 2, false);
    int endOfPage2 = data->GetPageEndIndex();
    frame.reset();
    client = new TQSMPrintPreviewClient(nullptr, data.get(), endOfPage2 + 1);
    frame = std::make_unique<TQSMPrintPreviewFrame>(nullptr, "Print Preview", client);
    frame->Attr.W = 520;
    frame->Attr.H = 720;
    ASSERT_TRUE(frame->Create());
    PumpMessages();
    EXPECT_EQ(client->GetControl()->GetPageIndex(), 3);
}

}  // namespace

// Beside the page the pointer is a page-turn cursor of the program's own; on the page it is the arrow.
TEST_F(PreviewTest, ThePointerTurnsPagesBesideThePage) {
    auto cursorAt = [&](TPoint p) {
        TPoint s = control->ClientToScreen(p);
        qsm::wm::InputMouseMove(s.x, s.y);
        PumpMessages();
        return GetCursor();
    };
    HCURSOR left = LoadCursorA(GetModuleHandleA(nullptr), "PageTurnLeft");
    HCURSOR right = LoadCursorA(GetModuleHandleA(nullptr), "PageTurnRight");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    ASSERT_NE(left, right);
    TRect rc = control->GetClientRect();
    int y = rc.bottom / 2;
    TPoint before(-1, y), on(-1, y), after(-1, y);
    for (int x = 0; x < rc.right; ++x) {
        int hit = control->HitTest(POINT{x, y});
        TPoint& p = hit < 0 ? before : hit == 0 ? on : after;
        if (p.x < 0) p.x = x;
    }
    ASSERT_GE(before.x, 0);
    ASSERT_GE(on.x, 0);
    ASSERT_GE(after.x, 0);
    EXPECT_EQ(cursorAt(before), left);
    EXPECT_EQ(cursorAt(on), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(cursorAt(after), right);
    // Both are pictures of the program's own, mirror images of each other.
    qsm::wm::CursorImage l, r;
    ASSERT_TRUE(qsm::wm::GetCursorImage(left, &l));
    ASSERT_TRUE(qsm::wm::GetCursorImage(right, &r));
    ASSERT_EQ(l.width, 32);
    ASSERT_EQ(r.height, 32);
    EXPECT_EQ(l.hot_x, 31 - r.hot_x);
    EXPECT_EQ(r.pixels[static_cast<size_t>(r.hot_y * 32 + r.hot_x)] >> 24, 0xFFu);
    for (size_t y = 0; y < 32; ++y)
        for (size_t x = 0; x < 32; ++x)
            ASSERT_EQ(l.pixels[y * 32 + x], r.pixels[y * 32 + 31 - x]) << x << "," << y;
}
