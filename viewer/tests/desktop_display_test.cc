// The viewer's windows as a window manager handles them on the real display (CTest runs this under Xvfb with
// openbox): the main window starts as its stored placement says (maximized unless it says otherwise), is
// decorated, maximized, minimized, restored and sized by the window manager and by the status bar's size
// grip, and the score is laid out anew at each size; the placement is kept at the end; a dialog, the floating
// toolbar and a tip are typed and owned so that the window manager keeps them over the main window. Every
// wait is for an X event (a property, a configure, a drawing of the window) or the program's end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/tests/display_fixture.h"

namespace {

using qsm::viewer_test::kProgramTitle;

const std::string kPiano = std::string(QSM_TESTDATA_DIR) + "/layout/piano.qsmtxt";

bool SameBox(const XBox& a, const XBox& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

std::string Show(const XBox& b) {
    return std::to_string(b.x) + "," + std::to_string(b.y) + " " + std::to_string(b.w) + "x" +
           std::to_string(b.h);
}

bool Dark(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) < 0x60 && ((rgb >> 8) & 0xFF) < 0x60 && (rgb & 0xFF) < 0x60;
}

// The screen's pixels of a window, taken at once.
struct Picture {
    explicit Picture(const XBox& b) : box(b), pixels(XPixels(b)) {}
    uint32_t At(int x, int y) const {
        if (x < box.x || y < box.y || x >= box.Right() || y >= box.Bottom() || pixels.empty()) return 0;
        return pixels[static_cast<size_t>(y - box.y) * static_cast<size_t>(box.w) +
                      static_cast<size_t>(x - box.x)];
    }
    // The part of row y between x0 and x1 (screen coordinates) that is dark, from 0 to 1.
    double DarkShare(int y, int x0, int x1) const {
        if (x1 <= x0) return 0;
        int dark = 0;
        for (int x = x0; x < x1; ++x)
            dark += Dark(At(x, y)) ? 1 : 0;
        return static_cast<double>(dark) / (x1 - x0);
    }
    XBox box;
    std::vector<uint32_t> pixels;
};

// The rows that a staff line crosses from x0 to x1.
std::vector<int> StaffRows(const Picture& p, int x0, int x1) {
    std::vector<int> rows;
    for (int y = p.box.y; y < p.box.Bottom(); ++y)
        if (p.DarkShare(y, x0, x1) > 0.9) rows.push_back(y);
    return rows;
}

// Whether the staff lines of `rows` run on from x0 to x1 over the white of the page: the score was laid out
// over that width (a part of the window not drawn yet is black).
bool StavesRunOn(const Picture& p, const std::vector<int>& rows, int x0, int x1) {
    if (rows.empty()) return false;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (p.DarkShare(rows[i], x0, x1) < 0.9) return false;
        // Between two lines of a staff the page shows through the notes.
        int gap = i > 0 ? rows[i] - rows[i - 1] : 0;
        if (gap > 3 && gap < 16 && p.DarkShare((rows[i] + rows[i - 1]) / 2, x0, x1) > 0.5) return false;
    }
    return true;
}

// Whether the score view's scroll bar (grey) shows in column x on the staff rows (but for the thumb's edge):
// the view was laid out and drawn with its right edge there (before that the column shows the score, or
// nothing).
bool ScrollBarAt(const Picture& p, int x, const std::vector<int>& rows) {
    size_t grey = 0;
    for (int y : rows) {
        uint32_t c = p.At(x, y);
        uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        grey += r == g && g == b && r >= 0xA0 && r <= 0xF0 ? 1 : 0;
    }
    return !rows.empty() && grey * 5 >= rows.size() * 4;
}

// Waits until the main window is drawn at its present size: the staves across its view and the view's
// scroll bar at its right edge. The staff rows, empty when that never came.
std::vector<int> WaitUntilDrawn(unsigned long frame) {
    std::vector<int> rows;
    bool drawn = WaitForX(frame, [&] {
        Picture p(XWindowBox(frame));
        rows = StaffRows(p, p.box.x + 180, p.box.Right() - 40);
        return rows.size() >= 10 && ScrollBarAt(p, p.box.Right() - 8, rows);
    });
    return drawn ? rows : std::vector<int>{};
}

// Drags the window manager's frame at (x, y) by (dx, dy); true once the window manager sized the window from
// its size `before`. On a loaded machine openbox at times lets such a drag go without sizing anything: after
// the release and a round trip through the window manager the window has a new size, or the drag is made
// again.
bool DragFrameCorner(unsigned long frame, int x, int y, int dx, int dy, const XBox& before) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!BeginWindowManagerDrag(x, y, 20, 0, frame)) return false;
        MoveAndRelease(x + dx, y + dy);
        if (!WindowManagerBarrier()) return false;
        XBox now = XWindowBox(frame);
        if (now.w != before.w || now.h != before.h) return true;
    }
    return false;
}

class DesktopDisplayTest : public qsm::viewer_test::DisplayProcessTest {
protected:
    // The placement the main window restores at its start; show 0 stores only the left edge (the rest takes
    // its defaults).
    static void StorePlacement(int show, const XBox& normal) {
        SysInfo.WriteInt("Options", "RecallSizePos", 1);
        SysInfo.WriteInt("Placement", "x1", normal.x);
        if (show == 0) return;
        SysInfo.WriteInt("Placement", "showCmd", show);
        SysInfo.WriteInt("Placement", "y1", normal.y);
        SysInfo.WriteInt("Placement", "x2", normal.Right());
        SysInfo.WriteInt("Placement", "y2", normal.Bottom());
    }
    // The placement the viewer kept when it closed, as a box, and its show command.
    static XBox StoredPlacement(int* show) {
        qsm::wm::ResetForTests();
        *show = SysInfo.ReadInt("Placement", "showCmd", -1);
        int x1 = SysInfo.ReadInt("Placement", "x1", -1), y1 = SysInfo.ReadInt("Placement", "y1", -1);
        return XBox{x1, y1, SysInfo.ReadInt("Placement", "x2", -1) - x1,
                    SysInfo.ReadInt("Placement", "y2", -1) - y1};
    }
    unsigned long StartOnPiano() {
        unsigned long frame = StartViewer({kPiano});
        if (frame == 0 || !WaitForXTitle(frame, [](const std::string& t) {
                return t == "piano" + std::string(kProgramTitle);
            }))
            return 0;
        return frame;
    }
};

TEST_F(DesktopDisplayTest, TheMainWindowStartsMaximizedAndComesBackToItsNormalRectangle) {
    // Only the left edge stored: maximized, over a normal rectangle from the screen's size.
    StorePlacement(0, XBox{100, 0, 0, 0});
    unsigned long frame = StartOnPiano();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";
    XBox screen = XScreenBox();
    ASSERT_TRUE(WaitForX(frame, [&] { return XWindowMaximized(frame) && SameBox(XFrameBox(frame), screen); }))
        << Show(XFrameBox(frame));
    // A normal window of the desktop, decorated, with the program's icon and no owner.
    EXPECT_EQ(XWindowType(frame), "_NET_WM_WINDOW_TYPE_NORMAL");
    EXPECT_GT(XFrameExtents(frame).y, 0) << "no caption from the window manager";
    EXPECT_EQ(XTransientFor(frame), 0u);
    int icon_w = 0, icon_h = 0;
    EXPECT_TRUE(XWindowIcon(frame, &icon_w, &icon_h));
    EXPECT_EQ(icon_w, 32);
    XSizeLimits limits = XWindowSizeLimits(frame);
    EXPECT_GT(limits.min_w, 0);
    EXPECT_EQ(limits.max_w, 0) << "the window procedure sets no maximum";
    EXPECT_FALSE(WaitUntilDrawn(frame).empty()) << "not drawn maximized";
    SaveShot("viewer-maximized");

    // Restored by the window manager: the normal rectangle (top at a fifth of the screen, as wide as the
    // left edge leaves on both sides).
    const int top = screen.h / 5;
    const XBox normal{100, top, screen.w - 200, screen.h - 2 * top};
    RequestMaximize(frame, false);
    EXPECT_TRUE(WaitForX(frame, [&] {
        return !XWindowMaximized(frame) && SameBox(XFrameBox(frame), normal);
    })) << Show(XFrameBox(frame));
    EXPECT_FALSE(WaitUntilDrawn(frame).empty()) << "not drawn at the normal size";
    SaveShot("viewer-restored");

    // Minimized and brought back.
    RequestMinimize(frame);
    EXPECT_TRUE(WaitForX(frame, [&] { return XHasState(frame, "_NET_WM_STATE_HIDDEN"); }));
    RequestActivate(frame);
    EXPECT_TRUE(WaitForX(frame, [&] { return !XHasState(frame, "_NET_WM_STATE_HIDDEN"); }));
    EXPECT_FALSE(WaitUntilDrawn(frame).empty()) << "not drawn when brought back";
    // Back at its normal size; where it comes back is the window manager's choice (openbox at times places
    // it anew), and that place is the one the program keeps.
    XBox back = XFrameBox(frame);
    EXPECT_EQ(back.w, normal.w);
    EXPECT_EQ(back.h, normal.h);

    // Maximized again; closing keeps the state and the normal rectangle.
    RequestMaximize(frame, true);
    EXPECT_TRUE(
        WaitForX(frame, [&] { return XWindowMaximized(frame) && SameBox(XFrameBox(frame), screen); }));
    EXPECT_FALSE(WaitUntilDrawn(frame).empty()) << "not drawn maximized";
    EXPECT_EQ(CloseViewer(frame), 0);
    int show = 0;
    XBox kept = StoredPlacement(&show);
    EXPECT_EQ(show, 3);
    // The normal size is kept; the place is wherever openbox put the window last, which it may still change
    // after the window is drawn again (there is no event that says it is done).
    EXPECT_EQ(kept.w, back.w) << Show(kept) << " kept, the window was " << Show(back);
    EXPECT_EQ(kept.h, back.h) << Show(kept) << " kept, the window was " << Show(back);
}

TEST_F(DesktopDisplayTest, SizedByTheWindowManagerAndByTheSizeGripTheScoreIsLaidOutAnew) {
    const XBox normal{40, 30, 620, 480};
    StorePlacement(1, normal);
    unsigned long frame = StartOnPiano();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";
    ASSERT_TRUE(WaitForX(frame, [&] { return SameBox(XFrameBox(frame), normal); })) << Show(XFrameBox(frame));
    EXPECT_FALSE(XWindowMaximized(frame));
    // The staves as first drawn.
    XBox client = XWindowBox(frame);
    std::vector<int> rows = WaitUntilDrawn(frame);
    ASSERT_FALSE(rows.empty()) << "no staves drawn";

    // The window manager's frame corner dragged 300 to the right and 60 down.
    XBox outer = XFrameBox(frame);
    ASSERT_TRUE(DragFrameCorner(frame, outer.Right() - 2, outer.Bottom() - 2, 300, 60, client))
        << "the window manager did not take the drag of its frame";
    ASSERT_TRUE(WaitForX(frame, [&] { return XWindowBox(frame).w == client.w + 300; }))
        << Show(XWindowBox(frame));
    XBox wide = XWindowBox(frame);
    EXPECT_EQ(wide.h, client.h + 60);
    // The score laid out over the new width: its staves run on to the view's new scroll bar.
    EXPECT_EQ(WaitUntilDrawn(frame), rows);
    EXPECT_TRUE(StavesRunOn(Picture(wide), rows, client.Right() - 40, wide.Right() - 40));
    SaveShot("viewer-sized-by-window-manager");

    // The status bar's size grip dragged 200 to the left and 100 up: the window manager sizes the window.
    ASSERT_TRUE(BeginWindowManagerDrag(wide.Right() - 4, wide.Bottom() - 4, 0, 0, frame))
        << "the window manager did not take the pointer from the size grip";
    MoveAndRelease(wide.Right() - 204, wide.Bottom() - 104);
    ASSERT_TRUE(WaitForX(frame, [&] { return XWindowBox(frame).w == wide.w - 200; }))
        << Show(XWindowBox(frame));
    XBox narrow = XWindowBox(frame);
    EXPECT_EQ(narrow.h, wide.h - 100);
    EXPECT_EQ(WaitUntilDrawn(frame), rows);
    SaveShot("viewer-sized-by-grip");

    // Maximized and restored by the window manager: back to the size the grip gave.
    RequestMaximize(frame, true);
    EXPECT_TRUE(WaitForX(frame, [&] { return XWindowMaximized(frame) && XWindowBox(frame).w > narrow.w; }));
    EXPECT_FALSE(WaitUntilDrawn(frame).empty()) << "not drawn maximized";
    RequestMaximize(frame, false);
    EXPECT_TRUE(WaitForX(frame, [&] {
        return !XWindowMaximized(frame) && SameBox(XWindowBox(frame), narrow);
    })) << Show(XWindowBox(frame));
    EXPECT_EQ(WaitUntilDrawn(frame), rows);
    XBox last = XFrameBox(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
    int show = 0;
    XBox kept = StoredPlacement(&show);
    EXPECT_EQ(show, 1);
    EXPECT_TRUE(SameBox(kept, last)) << Show(kept) << " kept, the window was " << Show(last);
}

TEST_F(DesktopDisplayTest, ADialogTheFloatingToolbarAndATipAreTypedAndOwned) {
    // The toolbar stored floating (placement word with the floating bit) at 300, 320.
    const unsigned char floating[10] = {0x10, 0x28, 0x2C, 0x01, 0x40, 0x01, 0, 0, 0, 0};
    SysInfo.WriteBlob("Toolbars", "Tools", floating, sizeof floating);
    unsigned long frame = StartOnPiano();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";

    // The floating toolbar: a utility window of the main window, with its own small caption.
    unsigned long tools = WaitForTitled("Tools");
    ASSERT_NE(tools, 0u) << "no floating toolbar";
    EXPECT_EQ(XWindowType(tools), "_NET_WM_WINDOW_TYPE_UTILITY");
    EXPECT_EQ(XTransientFor(tools), frame);
    // Shown before the main window, it stays over it: the screen shows its grey face, not the score.
    const XBox face = XWindowBox(tools);
    EXPECT_TRUE(WaitForX(tools, [&] {
        size_t grey = 0;
        const std::vector<uint32_t> pixels = XPixels(face);
        for (uint32_t p : pixels) {
            const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            grey += r == g && g == b && r >= 0xA0 && r <= 0xE0;
        }
        return grey * 2 > pixels.size();
    })) << "the floating toolbar is not seen";
    // Its first button's tip: a tooltip window, owned by nobody.
    XBox bar = XWindowBox(tools);
    MovePointer(bar.x + 14, bar.Bottom() - 12);
    unsigned long tip = WaitForMappedXWindow("Open a file (Ctrl+O)");
    ASSERT_NE(tip, 0u) << "no tip over the Open button";
    EXPECT_EQ(XWindowType(tip), "_NET_WM_WINDOW_TYPE_TOOLTIP");
    SaveShot("viewer-floating-toolbar-and-tip");

    // A dialog (Transpose, key T) belongs to the main window and shows over it.
    ASSERT_TRUE(WaitUntilActive(frame));
    MovePointer(0, 0);
    PressKey("t", false);
    unsigned long dialog = WaitForTitled("Transpose");
    ASSERT_NE(dialog, 0u) << "no Transpose dialog";
    EXPECT_EQ(XWindowType(dialog), "_NET_WM_WINDOW_TYPE_DIALOG");
    EXPECT_EQ(XTransientFor(dialog), frame);
    ASSERT_TRUE(WaitUntilActive(dialog));
    XBox over = XFrameBox(frame), box = XFrameBox(dialog);
    EXPECT_TRUE(box.x >= over.x && box.y >= over.y && box.Right() <= over.Right() &&
                box.Bottom() <= over.Bottom())
        << Show(box) << " not over " << Show(over);
    EXPECT_GT(XFrameExtents(dialog).y, 0) << "the dialog has no caption from the window manager";
    // Drawn: mostly the dialog's grey face, with its buttons' dark edges in the lower half.
    EXPECT_TRUE(WaitForX(dialog, [&] {
        Picture p(XWindowBox(dialog));
        size_t face = 0, dark_below = 0;
        for (size_t i = 0; i < p.pixels.size(); ++i) {
            face += p.pixels[i] == 0xC0C0C0 ? 1 : 0;
            dark_below += i >= p.pixels.size() / 2 && Dark(p.pixels[i]) ? 1 : 0;
        }
        return face * 5 > p.pixels.size() * 3 && dark_below > 100;
    }));
    SaveShot("viewer-dialog");
    PressKey("Escape", false);
    EXPECT_TRUE(WaitUntilActive(frame));
    EXPECT_EQ(CloseViewer(frame), 0);
}

}  // namespace
