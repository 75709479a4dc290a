// Painting: update regions, the paint cycle, background erasing into the back buffer, clipping of
// children, scrolling window contents, the screen DC.
#include <cairo.h>

#include <string>

#include "platform/wm/surface.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

class PaintTest : public WmTest {};

COLORREF PixelAt(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

TEST_F(PaintTest, InvalidAreasAccumulateUntilPainted) {
    HWND top = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    RECT r{10, 10, 20, 20};
    InvalidateRect(top, &r, FALSE);
    RECT s{50, 60, 70, 80};
    InvalidateRect(top, &s, FALSE);
    RECT u;
    EXPECT_TRUE(GetUpdateRect(top, &u, FALSE));
    EXPECT_EQ(u.left, 10);
    EXPECT_EQ(u.bottom, 80);
    PAINTSTRUCT ps;
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* res) {
        if (m != WM_PAINT) return false;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        *res = 0;
        return true;
    };
    PumpMessages();
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.right, 70);
    EXPECT_FALSE(ps.fErase);
    EXPECT_FALSE(GetUpdateRect(top, &u, FALSE));
    // Validated areas are not painted.
    InvalidateRect(top, nullptr, FALSE);
    ValidateRect(top, nullptr);
    Rec().Clear();
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_PAINT), 0);
    // Hidden windows keep no update region.
    ShowWindow(top, SW_HIDE);
    InvalidateRect(top, nullptr, TRUE);
    EXPECT_FALSE(GetUpdateRect(top, &u, FALSE));
}

TEST_F(PaintTest, ErasingFillsTheClassBackgroundAndParentsPaintBeforeChildren) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    HWND child = MakeChild(top, 1, 10, 10, 30, 30);
    Rec().Clear();
    Rec().only = {WM_PAINT};
    PumpMessages();
    ASSERT_EQ(Rec().log.size(), 2u);
    EXPECT_EQ(Rec().log[0].hwnd, top);
    EXPECT_EQ(Rec().log[1].hwnd, child);
    EXPECT_EQ(PixelAt(top, 5, 5), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelAt(child, 5, 5), GetSysColor(COLOR_WINDOW));
}

TEST_F(PaintTest, ChildrenAreClippedOutOfAParentWithClipChildren) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    MakeChild(top, 1, 10, 10, 30, 30);
    PumpMessages();
    HDC dc = GetDC(top);
    RECT all{0, 0, 100, 100};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    ReleaseDC(top, dc);
    DeleteObject(red);
    EXPECT_EQ(PixelAt(top, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(top, 20, 20), GetSysColor(COLOR_WINDOW));  // the child's pixels stay
}

TEST_F(PaintTest, ScrollingMovesPixelsAndInvalidatesTheUncoveredStrip) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    HDC dc = GetDC(top);
    RECT band{0, 40, 100, 50};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &band, blue);
    ReleaseDC(top, dc);
    DeleteObject(blue);
    RECT updated;
    ScrollWindowEx(top, 0, -10, nullptr, nullptr, nullptr, &updated, SW_INVALIDATE);
    EXPECT_EQ(PixelAt(top, 50, 35), RGB(0, 0, 255));
    EXPECT_EQ(PixelAt(top, 50, 45), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(updated.top, 90);
    EXPECT_EQ(updated.bottom, 100);
    RECT u;
    EXPECT_TRUE(GetUpdateRect(top, &u, FALSE));
    EXPECT_EQ(u.top, 90);
}

TEST_F(PaintTest, FocusRectangleAndScreenFramesUndoThemselves) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    HDC dc = GetDC(top);
    RECT r{10, 10, 50, 30};
    DrawFocusRect(dc, &r);
    COLORREF once = GetPixel(dc, 10, 10);
    DrawFocusRect(dc, &r);
    COLORREF twice = GetPixel(dc, 10, 10);
    ReleaseDC(top, dc);
    EXPECT_NE(once, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(twice, GetSysColor(COLOR_WINDOW));
    // Drawing on the screen DC goes to the overlay above every window.
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    SetROP2(screen, R2_NOT);
    MoveToEx(screen, 0, 5, nullptr);
    LineTo(screen, 50, 5);
    ReleaseDC(nullptr, screen);
}

TEST_F(PaintTest, TheScreenDcXorsOverTheWindowsAndAFrameDrawnTwiceLeavesNoTrace) {
    HWND top = MakeTop(20, 30, 100, 100, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    COLORREF under = PixelAt(top, 10, 10);
    uint32_t xrgb = (GetRValue(under) << 16) | (GetGValue(under) << 8) | GetBValue(under);
    // A screen DC taken only to measure leaves the overlay empty.
    HDC screen = GetDC(nullptr);
    EXPECT_GT(GetDeviceCaps(screen, LOGPIXELSY), 0);
    ReleaseDC(nullptr, screen);
    RECT bounds = ScreenOverlayBounds();
    EXPECT_TRUE(IsRectEmpty(&bounds));
    screen = GetDC(nullptr);
    RECT r{30, 40, 80, 70};  // window point (10, 10) is its top-left corner
    DrawFocusRect(screen, &r);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(XorScreenOverlay(xrgb, 30, 40), ~xrgb & 0xFFFFFFu);
    EXPECT_EQ(XorScreenOverlay(xrgb, 31, 40), xrgb);  // the dots skip every other pixel
    bounds = ScreenOverlayBounds();
    EXPECT_TRUE(EqualRect(&bounds, &r));
    screen = GetDC(nullptr);
    DrawFocusRect(screen, &r);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(XorScreenOverlay(xrgb, 30, 40), xrgb);
    bounds = ScreenOverlayBounds();
    EXPECT_TRUE(IsRectEmpty(&bounds));
    // The screen as shown: the window's own pixels again.
    std::string png = ::testing::TempDir() + "xor_screen.png";
    ASSERT_TRUE(SaveScreenPng(png.c_str()));
    cairo_surface_t* shot = cairo_image_surface_create_from_png(png.c_str());
    auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(shot) +
                                            40 * cairo_image_surface_get_stride(shot));
    EXPECT_EQ(row[30] & 0xFFFFFFu, xrgb);
    cairo_surface_destroy(shot);
}

TEST_F(PaintTest, AWidenedChildRepaintsAllOfItselfOnlyWhenItsClassAsks) {
    HWND top = MakeTop(0, 0, 300, 200, WS_POPUP | WS_VISIBLE);
    HWND plain = MakeChild(top, 1, 0, 0, 100, 50);
    HWND redraw = MakeChild(top, 2, 0, 100, 100, 50, WS_CHILD | WS_VISIBLE, CS_HREDRAW | CS_VREDRAW);
    PumpMessages();
    RECT u{};
    SetWindowPos(plain, nullptr, 0, 0, 150, 50, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(redraw, nullptr, 0, 0, 150, 50, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(GetUpdateRect(plain, &u, FALSE));
    EXPECT_EQ(u.left, 100);  // only the new strip
    EXPECT_EQ(u.right, 150);
    ASSERT_TRUE(GetUpdateRect(redraw, &u, FALSE));
    EXPECT_EQ(u.left, 0);
    EXPECT_EQ(u.right, 150);
    PumpMessages();
    // A taller window of a class with CS_HREDRAW only keeps its pixels above the new strip.
    HWND wide_only = MakeChild(top, 3, 200, 0, 50, 50, WS_CHILD | WS_VISIBLE, CS_HREDRAW);
    PumpMessages();
    SetWindowPos(wide_only, nullptr, 0, 0, 50, 80, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(GetUpdateRect(wide_only, &u, FALSE));
    EXPECT_EQ(u.top, 50);
    EXPECT_EQ(u.bottom, 80);
}

}  // namespace
}  // namespace qsm::wm::testing
