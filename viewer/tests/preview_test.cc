// The print preview: zoom levels, page walks forward and back, goto page, keys, and the status text.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/framework/printer.h"
#include "platform/kernel/module.h"
#include "platform/print/tests/print_test_util.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "ui/long_task.h"
#include "viewer/app.h"
#include "viewer/print_data.h"
#include "viewer/print_preview.h"
#include "viewer/printer.h"
#include "viewer/tests/print_test_util.h"
#include "viewer/tests/viewer_test_env.h"

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

// Goto Page asks for a printed page number: it offers the page shown, refuses one before the score's first
// printed number and goes to the one given.
TEST_F(PreviewTest, GotoPageOffersTheShownPageRefusesOneBeforeTheFirstAndGoesToTheGivenOne) {
    ASSERT_GE(pages, 5);
    client->SendMessage(WM_COMMAND, CM_PREVIEW_NEXT);
    std::string offered;
    std::vector<qsm::viewer_test::ShownBox> boxes;
    qsm::wm::SetModalHook([&](HWND modal) {
        HWND edit = GetDlgItem(modal, 101);
        if (edit == nullptr) {  // the box that refuses the value
            boxes.push_back(qsm::viewer_test::ShownBoxOf(modal));
            PostMessageA(modal, WM_COMMAND, IDOK, 0);
            return;
        }
        offered = qsm::viewer_test::Text(edit);
        SetWindowTextA(edit, "4");
        SendMessageA(modal, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(IsWindow(modal));
        SetWindowTextA(edit, "8");
        PostMessageA(modal, WM_COMMAND, IDOK, 0);
    });
    client->SendMessage(WM_COMMAND, CM_PREVIEW_GOTO);
    qsm::wm::SetModalHook(nullptr);
    EXPECT_EQ(offered, "6");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Value is out of range");
    EXPECT_EQ(control->GetDisplayedPage(), 8);
    EXPECT_EQ(control->GetPageIndex(), 4);
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

namespace {

// A window of the test's own that runs `Probe` when a message posted to it is handled: posted before a
// command that runs a loop of its own, it runs inside that loop.
std::function<void()> Probe;

LRESULT ProbeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER && Probe) {
        auto probe = std::move(Probe);
        Probe = nullptr;
        probe();
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

HWND MakeProbe() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.lpszClassName = "PreviewTestProbe";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "PreviewTestProbe", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                           nullptr);
}

// The long walks of the page view show the progress box: it is up while a probe posted before the walk runs
// (the box lets waiting messages through), or the probe runs only after the walk.
class PreviewWalkTest : public PreviewTest {
protected:
    // Whether the progress box was up during `walk`.
    bool BoxDuring(const std::function<void()>& walk) {
        bool up = false;
        Probe = [&] { up = ActiveLongTaskDlg != nullptr; };
        PostMessageA(probe_, WM_USER, 0, 0);
        walk();
        PumpMessages();
        return up;
    }
    void SetUp() override {
        PreviewTest::SetUp();
        probe_ = MakeProbe();
    }
    // The progress box belongs to a running application.
    TApplication app_{"preview test"};
    HWND probe_ = nullptr;
};

TEST_F(PreviewWalkTest, TheProgressBoxShowsFromPage31AndForTheEndOfALongScoreOnly) {
    auto longScore = qsm::printtest::LongScore(5, 800);
    TQSMPrintData longData(new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr),
                           longScore.get(), longScore.get(), &palette);
    longData.lastPage = 20000;
    ASSERT_GT(longData.CountPages(), 31);
    frame.reset();
    client = new TQSMPrintPreviewClient(nullptr, &longData, 0);
    frame = std::make_unique<TQSMPrintPreviewFrame>(nullptr, "Print Preview", client);
    ASSERT_TRUE(frame->Create());
    PumpMessages();
    control = client->GetControl();
    EXPECT_FALSE(BoxDuring([&] { control->GotoPage(30); }));
    EXPECT_EQ(control->GetPageIndex(), 30);
    EXPECT_TRUE(BoxDuring([&] { control->GotoPage(31); }));
    EXPECT_EQ(control->GetPageIndex(), 31);
    EXPECT_TRUE(BoxDuring([&] { control->GotoLastPage(); }));
    EXPECT_FALSE(control->HasMorePages());
    frame.reset();

    // End on a score of fewer ticks than the long walk's limit finds the last page without the box.
    auto shortScore = qsm::printtest::LongScore(2, 60);
    TQSMPrintData shortData(new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr),
                            shortScore.get(), shortScore.get(), &palette);
    shortData.lastPage = 20000;
    int shortPages = shortData.CountPages();
    ASSERT_GT(shortPages, 1);
    client = new TQSMPrintPreviewClient(nullptr, &shortData, 0);
    frame = std::make_unique<TQSMPrintPreviewFrame>(nullptr, "Print Preview", client);
    ASSERT_TRUE(frame->Create());
    PumpMessages();
    control = client->GetControl();
    EXPECT_FALSE(BoxDuring([&] { client->SendMessage(WM_COMMAND, CM_PREVIEW_LAST); }));
    EXPECT_EQ(control->GetPageIndex(), shortPages);
    frame.reset();
}

// A right click on the page offers zooming to there or back to the whole page, each greyed where it would
// change nothing; beside the page it shows the preview's own menu. A drag on a zoomed page scrolls it.
TEST_F(PreviewTest, TheRightClickMenusAndDraggingThePage) {
    int menus = 0;
    std::vector<UINT> keys;
    qsm::wm::SetModalHook([&](HWND menu) {
        ++menus;
        for (UINT key : keys)
            PostMessageA(menu, WM_KEYDOWN, key, 0);
    });
    TRect rc = control->GetClientRect();
    TPoint middle = control->ClientToScreen(TPoint(rc.Width() / 2, rc.Height() / 2));
    ASSERT_EQ(control->HitTest(control->ScreenToClient(middle)), 0);
    // The first item not greyed: at the whole page, "Zoom to here".
    keys = {VK_DOWN, VK_RETURN};
    qsm::wm::Click(middle.x, middle.y, 1);
    PumpMessages();
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(control->GetZoomLevel(), control->GetZoomCount() - 1);
    // At the last level only "Show full page" is left.
    qsm::wm::Click(middle.x, middle.y, 1);
    PumpMessages();
    EXPECT_EQ(menus, 2);
    EXPECT_EQ(control->GetZoomLevel(), 0);

    // Beside the page: the preview menu; its second item jumps to the last page.
    TPoint beside = control->ClientToScreen(TPoint(2, rc.Height() / 2));
    ASSERT_NE(control->HitTest(control->ScreenToClient(beside)), 0);
    keys = {VK_DOWN, VK_DOWN, VK_RETURN};
    qsm::wm::Click(beside.x, beside.y, 1);
    PumpMessages();
    EXPECT_EQ(menus, 3);
    EXPECT_EQ(control->GetPageIndex(), pages);
    EXPECT_EQ(control->GetZoomLevel(), 0);
    qsm::wm::SetModalHook(nullptr);

    // Dragging a zoomed page moves it with the pointer; the drag ends with the button.
    control->SetZoom(2);
    PumpMessages();
    POINT before = control->GetScrollOffset();
    ASSERT_GT(control->GetScrollMax().cx, 60);
    ASSERT_GT(control->GetScrollMax().cy, 60);
    qsm::wm::InputMouseMove(middle.x, middle.y);
    qsm::wm::InputMouseButton(0, true);
    PumpMessages();
    EXPECT_EQ(GetCapture(), control->GetHandle());
    qsm::wm::InputMouseMove(middle.x - 50, middle.y - 40);
    PumpMessages();
    EXPECT_EQ(control->GetScrollOffset().x, std::min<LONG>(before.x + 50, control->GetScrollMax().cx));
    EXPECT_EQ(control->GetScrollOffset().y, std::min<LONG>(before.y + 40, control->GetScrollMax().cy));
    qsm::wm::InputMouseButton(0, false);
    PumpMessages();
    EXPECT_EQ(GetCapture(), nullptr);
    POINT after = control->GetScrollOffset();
    qsm::wm::InputMouseMove(middle.x - 90, middle.y - 90);
    PumpMessages();
    EXPECT_EQ(control->GetScrollOffset().x, after.x);
    EXPECT_EQ(control->GetScrollOffset().y, after.y);
}

// The Print Preview command: with no printer the "Print Error" box and no window; else the preview over the
// main window, which waits (disabled) until Esc closes the preview; the preview opens at the system's default
// size the first time and as it was left after that.
class PreviewCommandTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        qsm::InstallScoreHooks();
        cups.RemoveCups();
        qsm::print::InstallPrinters();
        app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app->SetScore(qsm::printtest::LongScore(1, 40).release());
        owner = std::make_unique<TFrameWindow>(nullptr, "Owner", nullptr);
        ASSERT_TRUE(owner->Create());
        owner->Show(SW_SHOW);
        PumpMessages();
        probe_ = MakeProbe();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        owner.reset();
        app.reset();
        StoreTest::TearDown();
    }
    struct Seen {
        HWND preview = nullptr;
        RECT rect{};
        std::string caption, clientTitle, controlClass, controlTitle;
        bool hasIcon = false;
        bool ownerEnabled = true;
    };
    // Runs the command; the probe looks at the preview, moves it to `moveTo` when given and closes it by
    // its key.
    Seen Run(const RECT* moveTo = nullptr) {
        Seen seen;
        Probe = [&] {
            seen.preview = FindWindowA("QSMPrintPreview", nullptr);
            if (!seen.preview) return;
            GetWindowRect(seen.preview, &seen.rect);
            seen.caption = qsm::viewer_test::Text(seen.preview);
            auto* frame = dynamic_cast<TFrameWindow*>(TWindow::FromHandle(seen.preview));
            seen.hasIcon = frame != nullptr && frame->GetIcon() != nullptr;
            HWND client = GetWindow(seen.preview, GW_CHILD);
            while (client) {
                char cls[64] = "";
                GetClassNameA(client, cls, sizeof cls);
                if (std::string(cls) == "QSMPrintPreviewClient") break;
                client = GetWindow(client, GW_HWNDNEXT);
            }
            seen.clientTitle = client ? qsm::viewer_test::Text(client) : "";
            HWND control = client ? GetDlgItem(client, 101) : nullptr;
            char cls[64] = "";
            if (control) GetClassNameA(control, cls, sizeof cls);
            seen.controlClass = cls;
            seen.controlTitle = control ? qsm::viewer_test::Text(control) : "";
            seen.ownerEnabled = IsWindowEnabled(owner->GetHandle()) != FALSE;
            if (moveTo)
                MoveWindow(seen.preview, moveTo->left, moveTo->top, moveTo->right - moveTo->left,
                           moveTo->bottom - moveTo->top, TRUE);
            qsm::wm::PressKey(VK_ESCAPE);
        };
        PostMessageA(probe_, WM_USER, 0, 0);
        CmPrintPreview(owner.get(), 0);
        return seen;
    }
    FakeCups cups;
    std::unique_ptr<TQSMViewerApp> app;
    std::unique_ptr<TFrameWindow> owner;
    HWND probe_ = nullptr;
};

TEST_F(PreviewCommandTest, OpensOverTheWaitingMainWindowAndClosesByEsc) {
    RECT moved{100, 80, 600, 480};
    Seen first = Run(&moved);
    ASSERT_NE(first.preview, nullptr);
    EXPECT_FALSE(IsWindow(first.preview));
    EXPECT_EQ(first.caption, "Print Preview");
    EXPECT_EQ(first.clientTitle, "Preview Cient");
    EXPECT_EQ(first.controlClass, "QSMScorePreviewCtl2");
    EXPECT_EQ(first.controlTitle, "qsmpreview");
    EXPECT_TRUE(first.hasIcon);
    EXPECT_FALSE(first.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner->GetHandle()));
    // The system's default size for a new top-level window: no strip in a corner.
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_GE(first.rect.right - first.rect.left, screen.right / 2);
    EXPECT_GE(first.rect.bottom - first.rect.top, screen.bottom / 2);

    Seen second = Run();
    EXPECT_EQ(second.rect.left, moved.left);
    EXPECT_EQ(second.rect.top, moved.top);
    EXPECT_EQ(second.rect.right, moved.right);
    EXPECT_EQ(second.rect.bottom, moved.bottom);
    EXPECT_TRUE(IsWindowEnabled(owner->GetHandle()));
}

TEST_F(PreviewCommandTest, WithoutAPrinterItShowsThePrintError) {
    std::vector<qsm::viewer_test::ShownBox> boxes;
    qsm::wm::SetModalHook([&](HWND box) {
        boxes.push_back(qsm::viewer_test::ShownBoxOf(box));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    GetViewerPrinter().ClearDevice();
    CmPrintPreview(owner.get(), 0);
    GetViewerPrinter().SetPrinter("winspool", qsm::print::kPdfPrinterName, "");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Print Error");
    EXPECT_EQ(boxes[0].text,
              "There is no default printer.\n\nA printer must be installed before this operation can be "
              "performed.");
    EXPECT_EQ(FindWindowA("QSMPrintPreview", nullptr), nullptr);
}

}  // namespace
