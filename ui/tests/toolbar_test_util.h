// A decorated frame with a client window and dockable toolbars of plain gadgets, on the headless display,
// with the settings store in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "core/tests/test_files.h"
#include "platform/wm/backend.h"
#include "ui/dock_station.h"
#include "ui/toolbar.h"
#include "ui/toolbar_frame.h"

namespace qsm_test {

// A button-like gadget: enabled ones take the mouse on a press.
class TTestButton : public TGadget {
public:
    explicit TTestButton(int id, int cx = 23, int cy = 22) : TGadget(id), Cx(cx), Cy(cy) {
        TrackMouse = true;
    }
    void GetDesiredSize(TSize& size) override { size = TSize(Cx, Cy); }
    void Paint(TDC& dc) override {
        TBrush b(TColor(0x40, 0x60, 0xA0));
        TRect r = Bounds.InflatedBy(-3, -3);
        dc.FillRect(r, b);
    }
    void LButtonDown(UINT, const TPoint&) override { Pressed = true; }
    void LButtonUp(UINT, const TPoint&) override {
        if (Pressed) ++Clicks;
        Pressed = false;
    }
    int Clicks = 0;
    bool Pressed = false;

private:
    int Cx, Cy;
};

class TTestFrame : public TDecoratedFrame {
public:
    TTestFrame() : TDecoratedFrame(nullptr, "Frame", new TWindow(nullptr, "Client")) {
        Attr.X = 100;
        Attr.Y = 80;
        Attr.W = 640;
        Attr.H = 400;
        Attr.Style |= WS_VISIBLE;
    }
    LRESULT EvCommand(UINT id, HWND ctl, UINT code) override {
        if (!ctl && id >= CM_TOOLBAR_FIRST && id <= CM_TOOLBAR_LAST && TToolbar::ToggleToolbarCommand(id))
            return 0;
        return TDecoratedFrame::EvCommand(id, ctl, code);
    }
    // The client area on the screen.
    TRect ClientOnScreen() const { return GetClientWindow()->GetWindowRect(); }
};

class ToolbarFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        SysInfo.SetNames("QuillStave Software", "Toolbar Test");
        saved_menu_ = ContextMenuId;
        // The application offers queued messages to the windows' pre-processing.
        app_ = std::make_unique<TApplication>("Toolbar Test");
    }
    void TearDown() override {
        Close();
        app_.reset();
        ContextMenuId = saved_menu_;
        SysInfo.SetNames(nullptr, nullptr);
        qsm::wm::ResetForTests();
    }
    // A frame with one toolbar of n buttons, a separator after every third.
    TToolbar* Open(uint16_t placement, uint16_t dockMask, int buttons = 6, const char* title = "Tools") {
        frame_ = std::make_unique<TTestFrame>();
        auto* tb = new TToolbar(frame_.get(), title, placement, 1, nullptr);
        tb->DockMask = dockMask;
        for (int i = 0; i < buttons; ++i) {
            if (i > 0 && i % 3 == 0) tb->Insert(*new TSeparatorGadget(6));
            tb->Insert(*new TTestButton(100 + i));
        }
        frame_->Create();
        qsm::wm::PumpMessages();
        return tb;
    }
    // Closes the frame the way the program does: windows cleaned up (states saved), then deleted.
    void Close() {
        if (!frame_) return;
        frame_->Destroy();
        frame_.reset();
        qsm::wm::PumpMessages();
    }
    static void MouseTo(const TPoint& p) {
        qsm::wm::InputMouseMove(p.x, p.y);
        qsm::wm::PumpMessages();
    }
    static void Button(bool down) {
        qsm::wm::InputMouseButton(0, down);
        qsm::wm::PumpMessages();
    }
    static TDockStation* Station(uint16_t side) { return TToolbar::StationOfSide(side); }

    TempDir dir_;
    std::unique_ptr<TApplication> app_;
    std::unique_ptr<TTestFrame> frame_;
    int saved_menu_ = 0;
};

}  // namespace qsm_test
