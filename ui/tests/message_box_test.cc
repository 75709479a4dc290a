// Message boxes on the headless window system (each box answered through the modal hook) and the window
// helpers: centring, cursor hit tests, class background, child fonts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "ui/message_box.h"

namespace {

using qsm::wm::PressKey;
using qsm::wm::PumpMessages;
using qsm::wm::SetModalHook;

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        frame.Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame.Attr.X = 100;
        frame.Attr.Y = 80;
        frame.Attr.W = 400;
        frame.Attr.H = 300;
        // A modeless dialog over the frame, holding a plain panel with a control in it.
        dialog = new TWindow(&frame, "Options");
        dialog->Attr.Style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
        dialog->Attr.X = 150;
        dialog->Attr.Y = 120;
        dialog->Attr.W = 200;
        dialog->Attr.H = 150;
        panel = new TWindow(dialog, "panel");
        panel->Attr.W = 150;
        panel->Attr.H = 100;
        control = new TWindow(panel, "control");
        control->Attr.W = 40;
        control->Attr.H = 20;
        ASSERT_TRUE(frame.Create());
        PumpMessages();
    }
    void TearDown() override {
        SetModalHook(nullptr);
        qsm::wm::ResetForTests();
    }

    // Answers the next box with Enter and records its owner, caption and text.
    void AnswerWithEnter() {
        SetModalHook([this](HWND box) {
            owner = GetWindow(box, GW_OWNER);
            char buf[4096] = {};
            GetWindowTextA(box, buf, sizeof buf);
            caption = buf;
            GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
            text = buf;
            frameEnabled = IsWindowEnabled(frame) != 0;
            PressKey(VK_RETURN);
        });
    }

    TWindow frame{static_cast<TWindow*>(nullptr), "frame"};
    TWindow* dialog = nullptr;
    TWindow* panel = nullptr;
    TWindow* control = nullptr;
    HWND owner = nullptr;
    std::string caption, text;
    bool frameEnabled = true;
};

TEST_F(MessageBoxTest, OwnerIsTheNearestAncestorWithBorderOrCaption) {
    EXPECT_EQ(FindMessageBoxOwner(control), dialog);
    EXPECT_EQ(FindMessageBoxOwner(control->GetHandle()), dialog->GetHandle());
    EXPECT_EQ(FindMessageBoxOwner(&frame), &frame);
    // A bordered panel is owner enough; a window without any framed ancestor owns its own box.
    SetWindowLongA(*panel, GWL_STYLE, static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_BORDER));
    EXPECT_EQ(FindMessageBoxOwner(control), panel);
    TWindow lone(static_cast<TWindow*>(nullptr), "lone");
    lone.Attr.Style = WS_POPUP;
    EXPECT_EQ(FindMessageBoxOwner(&lone), &lone);
    EXPECT_EQ(FindMessageBoxOwner(static_cast<TWindow*>(nullptr)), nullptr);

    AnswerWithEnter();
    EXPECT_EQ(FormatMessageBox(control, MB_OKCANCEL | MB_ICONQUESTION, "Question", "Remove %s from %d lists?",
                               "song.qsm", 2),
              IDOK);
    // The box belongs to the dialog (the panel's frame is not a window of its own on the desktop).
    EXPECT_EQ(owner, dialog->GetHandle());
    EXPECT_EQ(caption, "Question");
    EXPECT_EQ(text, "Remove song.qsm from 2 lists?");
    EXPECT_TRUE(frameEnabled);

    EXPECT_EQ(InfoBox(control, "%d files", 3), IDOK);
    EXPECT_EQ(caption, "Information");
    EXPECT_EQ(text, "3 files");
}

TEST_F(MessageBoxTest, WithoutOwnerTheBoxIsTaskModalAndLongTextsAreCut) {
    AnswerWithEnter();
    std::string path = "/home/user/" + std::string(5000, 'p') + ".qsm";
    EXPECT_EQ(FormatMessageBox(nullptr, MB_OK, "Error", "Cannot open %s.", path.c_str()), IDOK);
    EXPECT_EQ(owner, nullptr);
    EXPECT_FALSE(frameEnabled);
    EXPECT_TRUE(IsWindowEnabled(frame));
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_EQ(text.substr(0, 25), "Cannot open /home/user/pp");

    // No application object: the application box has no owner either.
    frameEnabled = true;
    EXPECT_EQ(AppInfoBox("First try failed."), IDOK);
    EXPECT_EQ(owner, nullptr);
    EXPECT_FALSE(frameEnabled);
    EXPECT_EQ(caption, "Information");
}

TEST_F(MessageBoxTest, CentringKeepsTheSizeAndTheScreen) {
    TRect f = frame.GetWindowRect();
    CenterWindowOver(*dialog, frame, false);
    TRect d = dialog->GetWindowRect();
    EXPECT_EQ(d.Size(), TSize(200, 150));
    EXPECT_EQ(d.left, f.left + (f.Width() - 200) / 2);
    EXPECT_EQ(d.top, f.top + (f.Height() - 150) / 2);

    // Over a window at the screen's corner the left and top edges stay at 0.
    frame.MoveWindow(-100, -100, 150, 100);
    CenterWindowOver(*dialog, frame, false);
    EXPECT_EQ(dialog->GetWindowRect(), TRect(0, 0, 200, 150));

    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    CenterWindow(*dialog, false);
    EXPECT_EQ(dialog->GetWindowRect(),
              TRect((sw - 200) / 2, (sh - 150) / 2, (sw - 200) / 2 + 200, (sh - 150) / 2 + 150));
    dialog->MoveWindow(0, 0, 200, 150);
    CenterOnScreenNoSize(*dialog);
    EXPECT_EQ(dialog->GetWindowRect().TopLeft(), TPoint((sw - 200) / 2, (sh - 150) / 2));
}

TEST_F(MessageBoxTest, CursorHitTestsChildFontsAndClassBackground) {
    TRect client = frame.GetClientRect();
    TPoint inside = frame.ClientToScreen(TPoint(client.right - 5, client.bottom - 5));
    SetCursorPos(inside.x, inside.y);
    EXPECT_TRUE(IsCursorInClient(frame));
    EXPECT_FALSE(IsCursorOnHScrollBar(frame));
    TRect outer = frame.GetWindowRect();
    SetCursorPos(outer.left + 1, outer.top + 1);
    EXPECT_FALSE(IsCursorInClient(frame));

    HGDIOBJ ansi = GetStockObject(ANSI_VAR_FONT);
    // Children at every depth get the font: a static two levels down keeps it.
    HWND label = CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 10, 10, *panel, nullptr, nullptr, nullptr);
    SetChildrenFont(*dialog);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)), ansi);

    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    SetClassBackground(frame, brush);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrA(frame, GCLP_HBRBACKGROUND)), brush);
    SetClassBackground(frame, nullptr);
    DeleteObject(brush);
}

}  // namespace
