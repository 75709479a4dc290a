// The long-task dialog on the headless window system: a task polls it while the user presses Cancel and
// answers the confirmation; texts and gauges; the parent gets its input back on every way out.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"
#include "ui/long_task.h"

namespace {

using qsm::wm::InputKey;
using qsm::wm::PressKey;
using qsm::wm::PumpMessages;

// Two text lines and two gauges.
const char kTwoGauges[] = R"(dialog 0 0 200 80 "Two"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE
ltext "a" 101 8 4 180 9
ltext "b" 102 8 16 180 9
ltext "" 110 8 30 180 10
ltext "" 111 8 44 180 10
pushbutton "Cancel" 2 75 60 50 14 WS_TABSTOP
)";
constexpr int kTwoGaugesId = 516;

std::string Text(HWND h) {
    char buf[1200] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string ItemText(const TWindow& dlg, int id) {
    return Text(GetDlgItem(dlg.GetHandle(), id));
}

class LongTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kTwoGaugesId), kTwoGauges,
                              sizeof kTwoGauges - 1);
        app = std::make_unique<TApplication>("long task test");
        owner = new TWindow(static_cast<TWindow*>(nullptr), "owner");
        owner->Attr.X = owner->Attr.Y = 10;
        owner->Attr.W = 500;
        owner->Attr.H = 400;
        app->SetMainWindow(owner);
        ASSERT_TRUE(owner->Create());
        owner->Show(SW_SHOW);
        PumpMessages();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        app.reset();
        qsm::wm::ResetForTests();
    }
    // Answers every message box with the next of `answers` (Alt and the button's letter; 'C' is Esc for
    // Cancel), logging captions.
    void Answer(std::vector<char> answers) {
        boxes.clear();
        qsm::wm::SetModalHook([this, answers](HWND box) {
            boxes.push_back(Text(box));
            size_t i = boxes.size() - 1;
            ASSERT_LT(i, answers.size());
            if (answers[i] == 'C') {
                PressKey(VK_ESCAPE);
                return;
            }
            InputKey(VK_MENU, true);
            PressKey(answers[i], answers[i] + ('a' - 'A'));
            InputKey(VK_MENU, false);
        });
    }
    // Presses the dialog's Cancel button with the mouse.
    static void ClickCancel(const TWindow& dlg) {
        RECT r;
        GetWindowRect(GetDlgItem(dlg.GetHandle(), IDCANCEL), &r);
        qsm::wm::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    std::unique_ptr<TApplication> app;
    TWindow* owner = nullptr;
    std::vector<std::string> boxes;
};

TEST_F(LongTaskTest, CancelThenNoGoesOnCancelThenYesStops) {
    TLongTaskDlg dlg(owner, IDD_WORKING, 1, 1);
    dlg.SetGaugeLed(3, 85);
    ASSERT_TRUE(dlg.Create());
    PumpMessages();
    EXPECT_EQ(ActiveLongTaskDlg, &dlg);
    EXPECT_FALSE(owner->IsWindowEnabled());
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(dlg.GetCaption(), "Working");
    EXPECT_EQ(ItemText(dlg, 101), "Initializing...");
    // Centred on the screen; the gauge lies on its placeholder.
    TRect wr = dlg.GetWindowRect();
    EXPECT_NEAR(wr.left + wr.Width() / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR(wr.top + wr.Height() / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    ASSERT_NE(dlg.Gauge1, nullptr);
    EXPECT_EQ(dlg.Gauge2, nullptr);
    EXPECT_EQ(dlg.Gauge1->GetWindowRect(), dlg.Label1->GetWindowRect());
    int lo = -1, hi = -1;
    dlg.Gauge1->GetRange(lo, hi);
    EXPECT_EQ(hi, 100);

    // The task: 10 steps; the user presses Cancel at step 3 and says No, at step 6 (by Esc) and says Yes.
    Answer({'N', 'Y'});
    int step = 0;
    for (; step < 10; ++step) {
        ActiveLongTaskDlg->SetTextPrintf("Step %d of %d", step + 1, 10);
        qsm::LongTaskSetGauge(step * 10);  // the model's road
        if (step == 3) ClickCancel(dlg);
        if (step == 6) PressKey(VK_ESCAPE);
        if (IsLongTaskCancelled()) break;
        if (step == 3) {
            // The box asked and the focus came back to the dialog.
            EXPECT_EQ(boxes.size(), 1u);
            EXPECT_TRUE(GetFocus() == dlg.GetHandle() || IsChild(dlg.GetHandle(), GetFocus()));
        }
    }
    EXPECT_EQ(step, 6);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Cancel Confirmation", "Cancel Confirmation"}));
    EXPECT_EQ(ItemText(dlg, 101), "Step 7 of 10");
    EXPECT_EQ(dlg.Gauge1->GetValue(), 60);

    // Cancel after Yes asks nothing.
    ClickCancel(dlg);
    EXPECT_EQ(dlg.PollCancel(), 1);
    EXPECT_EQ(boxes.size(), 2u);

    dlg.CloseDialog();
    EXPECT_FALSE(dlg.GetHandle());
    EXPECT_EQ(ActiveLongTaskDlg, nullptr);
    EXPECT_TRUE(owner->IsWindowEnabled());
    EXPECT_FALSE(IsLongTaskCancelled());
}

TEST_F(LongTaskTest, NoDialogNoPollAndTheQueueIsLeftAlone) {
    {
        TLongTaskDlg dlg(owner, IDD_WORKING, 1, 1);
        ASSERT_TRUE(dlg.Create());
        dlg.CloseDialog();
    }
    PumpMessages();
    owner->PostMessage(WM_USER + 5);
    EXPECT_FALSE(IsLongTaskCancelled());
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, owner->GetHandle(), WM_USER + 5, WM_USER + 5, PM_NOREMOVE));
    // Progress without a dialog goes nowhere.
    qsm::LongTaskSetText("nobody");
    qsm::LongTaskResetGauge(5);
}

TEST_F(LongTaskTest, TextsStayInTheirLinesAndBuffers) {
    TLongTaskDlg dlg(owner, kTwoGaugesId, 1, 2);
    ASSERT_TRUE(dlg.Create());
    // Line 1 exists in the template, but the dialog shows one line.
    dlg.SetLineTextPrintf(1, "%s", "second");
    dlg.SetLineText(1, "second");
    dlg.SetLineText(-1, "none");
    EXPECT_EQ(ItemText(dlg, 102), "b");
    // A path longer than the text buffer is cut, never written past it.
    std::string path = "/home/" + std::string(2000, 'p') + "/song.mid";
    dlg.SetTextPrintf("Reading %s", path.c_str());
    std::string shown = ItemText(dlg, 101);
    EXPECT_EQ(shown.size(), 259u);
    EXPECT_EQ(shown.rfind("Reading /home/ppp", 0), 0u);
    // A long warning, answered Cancel, leads to the confirmation.
    Answer({'C', 'Y'});
    dlg.Warn("Track %s is damaged", path.c_str());
    EXPECT_EQ(boxes, (std::vector<std::string>{"Warning", "Cancel Confirmation"}));
    EXPECT_EQ(dlg.Cancelled, 1);
    dlg.ResetCancelled();
    EXPECT_EQ(dlg.PollCancel(), 0);

    TLongTaskDlg two(owner, kTwoGaugesId, 2, 2);
    ASSERT_TRUE(two.Create());
    two.SetLineTextPrintf(1, "%d files", 3);
    EXPECT_EQ(ItemText(two, 102), "3 files");
    TLongTaskDlg none(owner, IDD_WORKING, 0, 0);
    ASSERT_TRUE(none.Create());
    none.SetTextPrintf("x");
    none.ResetGauge(5);
    EXPECT_EQ(ItemText(none, 101), "Initializing...");
}

TEST_F(LongTaskTest, TwoGaugesTakeTheirPlaceholders) {
    TLongTaskDlg dlg(owner, kTwoGaugesId, 2, 2);
    ASSERT_TRUE(dlg.Create());
    ASSERT_NE(dlg.Gauge2, nullptr);
    EXPECT_EQ(dlg.Gauge1->GetWindowRect(), dlg.Label1->GetWindowRect());
    EXPECT_EQ(dlg.Gauge2->GetWindowRect(), dlg.Label2->GetWindowRect());
    EXPECT_NE(dlg.Gauge1->GetWindowRect(), dlg.Gauge2->GetWindowRect());
    dlg.ResetGauge2(50);
    dlg.SetGauge2Value(25);
    int lo = -1, hi = -1;
    dlg.Gauge2->GetRange(lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 50);
    EXPECT_EQ(dlg.Gauge2->GetValue(), 25);
    // The second gauge is cut into blocks: two units of the range apart, 90 percent of that step long.
    TRect box(0, 0, 104, 14);  // 100 pixels inside the edges and margins
    EXPECT_EQ(dlg.Gauge2->BarRects(box).size(), 13u);
    EXPECT_EQ(dlg.Gauge1->BarRects(box).size(), 0u);
    // The model reaches the first gauge and line 0 through the hooks.
    qsm::LongTaskResetGauge(200);
    qsm::LongTaskSetGauge(50);
    qsm::LongTaskSetText("Converting");
    dlg.Gauge1->GetRange(lo, hi);
    EXPECT_EQ(hi, 200);
    EXPECT_EQ(dlg.Gauge1->GetValue(), 50);
    EXPECT_EQ(ItemText(dlg, 101), "Converting");
}

TEST_F(LongTaskTest, TheParentGetsItsInputBackOnEveryWayOut) {
    // The task ends by an exception before the dialog is closed.
    try {
        TLongTaskDlg dlg(owner, IDD_WORKING, 1, 1);
        ASSERT_TRUE(dlg.Create());
        EXPECT_FALSE(owner->IsWindowEnabled());
        throw std::runtime_error("Bad Notation");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(owner->IsWindowEnabled());
    EXPECT_EQ(ActiveLongTaskDlg, nullptr);
    EXPECT_FALSE(IsLongTaskCancelled());

    // The window system destroys the window under the object.
    TLongTaskDlg dlg(owner, IDD_WORKING, 1, 1);
    ASSERT_TRUE(dlg.Create());
    DestroyWindow(dlg.GetHandle());
    EXPECT_TRUE(owner->IsWindowEnabled());
    EXPECT_EQ(ActiveLongTaskDlg, nullptr);
    dlg.CloseDialog();

    // A parent that was disabled already stays so.
    owner->EnableWindow(false);
    {
        TLongTaskDlg again(owner, IDD_WORKING, 1, 1);
        ASSERT_TRUE(again.Create());
        again.CloseDialog();
    }
    EXPECT_FALSE(owner->IsWindowEnabled());
    owner->EnableWindow(true);

    // A close request of the desktop asks, like Cancel, and leaves the dialog up.
    TLongTaskDlg asked(owner, IDD_WORKING, 1, 1);
    ASSERT_TRUE(asked.Create());
    Answer({'N'});
    qsm::wm::InputClose(asked.GetHandle());
    EXPECT_EQ(asked.PollCancel(), 0);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(asked.GetHandle());
    EXPECT_EQ(ActiveLongTaskDlg, &asked);
}

}  // namespace
