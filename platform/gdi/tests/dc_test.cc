#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

using namespace qsm::gdi;
namespace {

// A white memory DC of the given size.
struct Canvas {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    Canvas(int w, int h) {
        dc = CreateCompatibleDC(nullptr);
        bmp = CreateBitmap(w, h, 1, 32, nullptr);
        old = SelectObject(dc, bmp);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    bool Black(int x, int y) const { return GetPixel(dc, x, y) == RGB(0, 0, 0); }
    bool White(int x, int y) const { return GetPixel(dc, x, y) == RGB(255, 255, 255); }
};

TEST(GdiLines, CosmeticLineLeavesOutLastPoint) {
    Canvas c(20, 20);
    MoveToEx(c.dc, 2, 5, nullptr);
    LineTo(c.dc, 12, 5);
    for (int x = 2; x < 12; ++x)
        EXPECT_TRUE(c.Black(x, 5)) << x;
    EXPECT_TRUE(c.White(12, 5));
    EXPECT_TRUE(c.White(1, 5));
    EXPECT_TRUE(c.White(5, 4));
    EXPECT_TRUE(c.White(5, 6));
    MoveToEx(c.dc, 15, 2, nullptr);
    LineTo(c.dc, 15, 9);
    EXPECT_TRUE(c.Black(15, 2));
    EXPECT_TRUE(c.Black(15, 8));
    EXPECT_TRUE(c.White(15, 9));
    POINT cp;
    GetCurrentPositionEx(c.dc, &cp);
    EXPECT_EQ(cp.x, 15);
    EXPECT_EQ(cp.y, 9);
}

TEST(GdiShapes, RectangleCoversLeftTopToRightBottomExclusive) {
    Canvas c(20, 20);
    SelectObject(c.dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.dc, 2, 3, 9, 8);
    EXPECT_TRUE(c.Black(2, 3));
    EXPECT_TRUE(c.Black(8, 3));
    EXPECT_TRUE(c.Black(8, 7));
    EXPECT_TRUE(c.White(9, 5));
    EXPECT_TRUE(c.White(5, 8));
    EXPECT_TRUE(c.White(5, 5));  // hollow brush

    // Without a pen the fill stops one short on the right and bottom.
    Canvas d(20, 20);
    SelectObject(d.dc, GetStockObject(NULL_PEN));
    SelectObject(d.dc, GetStockObject(BLACK_BRUSH));
    Rectangle(d.dc, 2, 3, 9, 8);
    EXPECT_TRUE(d.Black(2, 3));
    EXPECT_TRUE(d.Black(7, 6));
    EXPECT_TRUE(d.White(8, 6));
    EXPECT_TRUE(d.White(7, 7));
}

TEST(GdiShapes, PolygonAndEllipseFillWithBrush) {
    Canvas c(40, 40);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ oldBrush = SelectObject(c.dc, red);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    POINT tri[3] = {{0, 0}, {20, 0}, {0, 20}};
    Polygon(c.dc, tri, 3);
    EXPECT_EQ(GetPixel(c.dc, 3, 3), RGB(255, 0, 0));
    EXPECT_TRUE(c.White(18, 18));
    Ellipse(c.dc, 20, 20, 40, 40);
    EXPECT_EQ(GetPixel(c.dc, 30, 30), RGB(255, 0, 0));
    EXPECT_TRUE(c.White(20, 20));
    SelectObject(c.dc, oldBrush);
    DeleteObject(red);
}

TEST(GdiShapes, GeometricFlatPenHasExactWidth) {
    Canvas c(40, 40);
    LOGBRUSH lb{BS_SOLID, RGB(0, 0, 0), 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, 4, &lb, 0, nullptr);
    ASSERT_NE(pen, nullptr);
    SelectObject(c.dc, pen);
    MoveToEx(c.dc, 12, 5, nullptr);  // a bar from x 10 to 13
    LineTo(c.dc, 12, 30);
    EXPECT_TRUE(c.White(9, 15));
    for (int x = 10; x < 14; ++x)
        EXPECT_TRUE(c.Black(x, 15)) << x;
    EXPECT_TRUE(c.White(14, 15));
    EXPECT_TRUE(c.White(12, 3));
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiPens, DottedCosmeticLineAlternatesThreeOnThreeOff) {
    Canvas c(40, 5);
    HPEN dot = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    SelectObject(c.dc, dot);
    MoveToEx(c.dc, 0, 2, nullptr);
    LineTo(c.dc, 36, 2);
    for (int x = 0; x < 36; ++x)
        EXPECT_EQ(c.Black(x, 2), (x / 3) % 2 == 0) << x;
    EXPECT_TRUE(c.White(10, 1));
    EXPECT_TRUE(c.White(10, 3));
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(dot);
}

TEST(GdiPens, MiterJoinsFillTheCornerRoundJoinsDoNot) {
    POINT corner[3] = {{10, 30}, {10, 10}, {30, 10}};
    LOGBRUSH lb{BS_SOLID, RGB(0, 0, 0), 0};
    Canvas miter(40, 40);
    HPEN m = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, 6, &lb, 0, nullptr);
    SelectObject(miter.dc, m);
    Polyline(miter.dc, corner, 3);
    EXPECT_TRUE(miter.Black(7, 7));  // the outer corner of the square join
    EXPECT_TRUE(miter.Black(12, 28));
    EXPECT_TRUE(miter.White(12, 31));  // flat cap: nothing past the end point
    Canvas round(40, 40);
    HPEN r = CreatePen(PS_SOLID, 6, RGB(0, 0, 0));  // wide CreatePen pens: round caps and joins
    SelectObject(round.dc, r);
    Polyline(round.dc, corner, 3);
    EXPECT_FALSE(round.Black(7, 7));  // at most touched by the arc
    EXPECT_TRUE(round.Black(10, 7));
    EXPECT_TRUE(round.Black(10, 31));  // the round cap reaches past the end point
    SelectObject(miter.dc, GetStockObject(BLACK_PEN));
    SelectObject(round.dc, GetStockObject(BLACK_PEN));
    DeleteObject(m);
    DeleteObject(r);
}

TEST(GdiShapes, PathWithBeziersIsFilledAndStroked) {
    Canvas c(60, 60);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(c.dc, blue);
    BeginPath(c.dc);
    POINT pts[7] = {{5, 30}, {5, 5}, {55, 5}, {55, 30}, {55, 55}, {5, 55}, {5, 30}};
    PolyBezier(c.dc, pts, 7);
    EndPath(c.dc);
    EXPECT_TRUE(c.White(30, 30));  // nothing until the path is used
    StrokeAndFillPath(c.dc);
    EXPECT_EQ(GetPixel(c.dc, 30, 30), RGB(0, 0, 255));
    EXPECT_TRUE(c.White(1, 1));
    EXPECT_FALSE(StrokeAndFillPath(c.dc));  // the path is used up
    SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(blue);
}

TEST(GdiRop, NotXorTwiceRestores) {
    Canvas c(20, 20);
    MoveToEx(c.dc, 0, 10, nullptr);
    LineTo(c.dc, 20, 10);
    SetROP2(c.dc, R2_NOTXORPEN);
    SelectObject(c.dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.dc, 5, 5, 15, 15);
    EXPECT_TRUE(c.Black(5, 7));   // not-xor of black pen over white inverts
    EXPECT_TRUE(c.White(5, 10));  // and over black gives white
    Rectangle(c.dc, 5, 5, 15, 15);
    EXPECT_TRUE(c.White(5, 7));
    EXPECT_TRUE(c.Black(5, 10));
    EXPECT_EQ(GetROP2(c.dc), R2_NOTXORPEN);
}

TEST(GdiClip, IntersectAndRestore) {
    Canvas c(20, 20);
    int saved = SaveDC(c.dc);
    EXPECT_EQ(IntersectClipRect(c.dc, 5, 5, 10, 10), SIMPLEREGION);
    RECT box;
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.bottom, 10);
    RECT all{0, 0, 20, 20};
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(c.Black(5, 5));
    EXPECT_TRUE(c.Black(9, 9));
    EXPECT_TRUE(c.White(10, 9));
    EXPECT_TRUE(c.White(4, 5));
    ExcludeClipRect(c.dc, 6, 6, 8, 8);
    RestoreDC(c.dc, saved);
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(c.Black(0, 0));
}

TEST(GdiClip, RegionsCombine) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
    RECT r;
    GetRgnBox(d, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(d, 14, 14));
    EXPECT_FALSE(PtInRegion(d, 14, 1));
    EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
}

TEST(GdiMapping, AnisotropicScalesGeometryButNotCosmeticPens) {
    Canvas c(100, 100);
    SetMapMode(c.dc, MM_ANISOTROPIC);
    SetWindowExtEx(c.dc, 200, 200, nullptr);
    SetViewportExtEx(c.dc, 100, 100, nullptr);
    SetWindowOrgEx(c.dc, 20, 0, nullptr);
    POINT p{120, 60};
    LPtoDP(c.dc, &p, 1);
    EXPECT_EQ(p.x, 50);
    EXPECT_EQ(p.y, 30);
    DPtoLP(c.dc, &p, 1);
    EXPECT_EQ(p.x, 120);
    MoveToEx(c.dc, 20, 100, nullptr);
    LineTo(c.dc, 220, 100);                 // device y 50, one pixel thick
    HPEN wide = CreatePen(PS_SOLID, 8, 0);  // 4 device pixels
    SelectObject(c.dc, wide);
    MoveToEx(c.dc, 120, 20, nullptr);
    LineTo(c.dc, 120, 80);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(wide);
    SetMapMode(c.dc, MM_TEXT);
    SetWindowOrgEx(c.dc, 0, 0, nullptr);
    EXPECT_TRUE(c.Black(10, 50));
    EXPECT_TRUE(c.White(10, 49));
    EXPECT_TRUE(c.White(10, 51));
    EXPECT_TRUE(c.Black(48, 20));
    EXPECT_TRUE(c.Black(51, 20));
    EXPECT_TRUE(c.White(47, 20));
    EXPECT_TRUE(c.White(52, 20));
    SIZE ext;
    GetWindowExtEx(c.dc, &ext);
    EXPECT_EQ(ext.cx, 1);
}

// Lines, outlines and fills set whole pixels, as GDI does: no pixel of a black shape on white is grey.
bool OnlyBlackAndWhite(const Canvas& c, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!c.Black(x, y) && !c.White(x, y)) return false;
    return true;
}

TEST(GdiLines, SlantedLinesSetOnePixelPerStepWithoutAntialiasing) {
    Canvas c(30, 30);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 20, 5);  // x steps: one pixel in each column 0..19
    for (int x = 0; x < 20; ++x) {
        int n = 0;
        for (int y = 0; y < 8; ++y)
            n += c.Black(x, y);
        EXPECT_EQ(n, 1) << x;
    }
    EXPECT_TRUE(c.Black(0, 0));
    EXPECT_TRUE(c.White(20, 5));     // the last point is left out
    MoveToEx(c.dc, 25, 2, nullptr);  // y steps, drawn upwards
    LineTo(c.dc, 22, 28);
    for (int y = 3; y <= 28; ++y) {
        int n = 0;
        for (int x = 20; x < 30; ++x)
            n += c.Black(x, y);
        EXPECT_EQ(n, y == 28 ? 0 : 1) << y;
    }
    EXPECT_TRUE(OnlyBlackAndWhite(c, 30, 30));
}

TEST(GdiShapes, CurvesAndFillsHaveNoGreyEdges) {
    Canvas c(60, 60);
    SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
    Ellipse(c.dc, 3, 3, 40, 27);
    POINT tri[3] = {{5, 55}, {55, 30}, {50, 58}};
    Polygon(c.dc, tri, 3);
    POINT curve[4] = {{0, 30}, {20, 0}, {40, 60}, {59, 30}};
    PolyBezier(c.dc, curve, 4);
    EXPECT_TRUE(c.Black(20, 15));
    EXPECT_TRUE(c.Black(45, 50));
    EXPECT_TRUE(OnlyBlackAndWhite(c, 60, 60));
    // A closed outline covers its corners.
    Canvas d(20, 20);
    SelectObject(d.dc, GetStockObject(NULL_BRUSH));
    POINT box[4] = {{2, 2}, {12, 2}, {12, 9}, {2, 9}};
    Polygon(d.dc, box, 4);
    for (POINT p : box)
        EXPECT_TRUE(d.Black(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_TRUE(d.White(7, 5));
}

TEST(GdiClip, LinesStopAtEachRectangleOfAClipRegion) {
    Canvas c(40, 10);
    HRGN a = CreateRectRgn(2, 0, 10, 10);
    HRGN b = CreateRectRgn(20, 0, 30, 10);
    CombineRgn(a, a, b, RGN_OR);
    SelectClipRgn(c.dc, a);
    MoveToEx(c.dc, 0, 4, nullptr);
    LineTo(c.dc, 40, 4);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 40, 8);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(c.Black(x, 4), (x >= 2 && x < 10) || (x >= 20 && x < 30)) << x;
    for (int y = 0; y < 10; ++y) {
        EXPECT_TRUE(c.White(1, y));
        EXPECT_TRUE(c.White(15, y));
        EXPECT_TRUE(c.White(35, y));
    }
    SelectClipRgn(c.dc, nullptr);
    DeleteObject(a);
    DeleteObject(b);
}

TEST(GdiRop, XorLineInvertsEachPixelOnce) {
    Canvas c(20, 20);
    SetROP2(c.dc, R2_XORPEN);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    SelectObject(c.dc, white);
    POINT zig[4] = {{1, 1}, {15, 1}, {15, 12}, {3, 18}};
    Polyline(c.dc, zig, 4);
    EXPECT_TRUE(c.Black(1, 1));
    EXPECT_TRUE(c.Black(15, 1));  // a shared corner is set once, not twice
    EXPECT_TRUE(c.Black(15, 12));
    EXPECT_TRUE(c.White(3, 18));
    Polyline(c.dc, zig, 4);
    EXPECT_TRUE(OnlyBlackAndWhite(c, 20, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_TRUE(c.White(x, y)) << x << "," << y;
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(white);
}

TEST(GdiRop, EveryMixModeCombinesPenAndScreenBitByBit) {
    const COLORREF screen = RGB(0x3C, 0xA5, 0x0F), pen_colour = RGB(0x55, 0x0F, 0xF0);
    const unsigned d = 0x3CA50F, p = 0x550FF0, all = 0xFFFFFF;
    struct Mode {
        int rop;
        unsigned want;
    };
    const Mode modes[] = {{R2_BLACK, 0},
                          {R2_NOTMERGEPEN, ~(p | d) & all},
                          {R2_MASKNOTPEN, ~p & d & all},
                          {R2_NOTCOPYPEN, ~p & all},
                          {R2_MASKPENNOT, p & ~d & all},
                          {R2_NOT, ~d & all},
                          {R2_XORPEN, p ^ d},
                          {R2_NOTMASKPEN, ~(p & d) & all},
                          {R2_MASKPEN, p & d},
                          {R2_NOTXORPEN, ~(p ^ d) & all},
                          {R2_NOP, d},
                          {R2_MERGENOTPEN, (~p | d) & all},
                          {R2_COPYPEN, p},
                          {R2_MERGEPENNOT, (p | ~d) & all},
                          {R2_MERGEPEN, p | d},
                          {R2_WHITE, all}};
    auto rgb = [](unsigned v) { return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); };
    HPEN pen = CreatePen(PS_SOLID, 1, pen_colour);
    HBRUSH brush = CreateSolidBrush(pen_colour);
    HBRUSH back = CreateSolidBrush(screen);
    for (const Mode& m : modes) {
        Canvas c(20, 20);
        RECT all_of_it{0, 0, 20, 20};
        FillRect(c.dc, &all_of_it, back);
        HGDIOBJ op = SelectObject(c.dc, pen);
        HGDIOBJ ob = SelectObject(c.dc, brush);
        SetROP2(c.dc, m.rop);
        MoveToEx(c.dc, 0, 2, nullptr);
        LineTo(c.dc, 20, 2);
        Ellipse(c.dc, 4, 6, 16, 18);
        EXPECT_EQ(GetPixel(c.dc, 5, 2), rgb(m.want)) << "line, mode " << m.rop;
        EXPECT_EQ(GetPixel(c.dc, 10, 12), rgb(m.want)) << "fill, mode " << m.rop;
        EXPECT_EQ(GetPixel(c.dc, 5, 0), screen) << "mode " << m.rop;
        SelectObject(c.dc, op);
        SelectObject(c.dc, ob);
    }
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(back);
}

TEST(GdiObjects, SelectionAndDeferredDeletion) {
    HDC dc = CreateRecordingDC();
    HPEN p = CreatePen(PS_DOT, 1, RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(dc, p);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetObjectType(p), static_cast<DWORD>(OBJ_PEN));
    EXPECT_TRUE(DeleteObject(p));  // still selected: deleted when let go
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), p);
    SelectObject(dc, old);
    EXPECT_EQ(GetObjectType(p), 0u);  // gone now
    EXPECT_FALSE(DeleteObject(p));
    EXPECT_EQ(SelectObject(dc, p), nullptr);
    LOGPEN lp;
    HPEN wide = CreatePen(PS_DASH, 3, 0);
    ASSERT_EQ(GetObjectA(wide, sizeof lp, &lp), static_cast<int>(sizeof lp));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnStyle & PS_TYPE_MASK, static_cast<UINT>(PS_GEOMETRIC));
    DeleteObject(wide);
    EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_SOLID, 3, nullptr, 0, nullptr), nullptr);
    DeleteDC(dc);
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiRecording, LogsCallsWithState) {
    HDC dc = CreateRecordingDC(96);
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(10, 20, 30));
    SelectObject(dc, pen);
    SetTextAlign(dc, TA_BASELINE);
    MoveToEx(dc, 1, 2, nullptr);
    LineTo(dc, 3, 4);
    POINT pts[3] = {{0, 0}, {5, 0}, {5, 5}};
    Polygon(dc, pts, 3);
    TextOutA(dc, 7, 8, "ab", 2);
    const auto& log = GetRecords(dc);
    ASSERT_GE(log.size(), 5u);
    const auto& line = log[log.size() - 3];
    EXPECT_EQ(line.op, "LineTo");
    EXPECT_EQ(line.args, (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(line.penWidth, 3);
    EXPECT_EQ(line.penColor, RGB(10, 20, 30));
    EXPECT_EQ(log[log.size() - 2].args, (std::vector<int32_t>{0, 0, 5, 0, 5, 5}));
    EXPECT_EQ(log.back().op, "TextOutA");
    EXPECT_EQ(log.back().text, "ab");
    EXPECT_EQ(log.back().textAlign, static_cast<UINT>(TA_BASELINE));
    EXPECT_NE(log.back().ToString().find("TextOutA(7,8) \"ab\""), std::string::npos);
    ClearRecords(dc);
    EXPECT_TRUE(GetRecords(dc).empty());
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
    DeleteDC(dc);
}

TEST(GdiDevice, CapsOfScreenAndPrinter) {
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    DeleteDC(screen);
    std::string path = std::string(::testing::TempDir()) + "/gdi_print_test.pdf";
    HDC pdf = qsm::gdi::CreatePdfDC(nullptr, 595.0, 842.0, 600);
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(GetDeviceCaps(pdf, LOGPIXELSX), 600);
    EXPECT_EQ(GetDeviceCaps(pdf, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(pdf, PHYSICALWIDTH), 4958);
    EXPECT_EQ(GetDeviceCaps(pdf, HORZSIZE), 210);
    EXPECT_EQ(StartPage(pdf), SP_ERROR);  // no document yet
    DOCINFOA di{sizeof(DOCINFOA), "test", path.c_str(), nullptr, 0};
    ASSERT_GT(StartDocA(pdf, &di), 0);
    for (int page = 0; page < 2; ++page) {
        ASSERT_GT(StartPage(pdf), 0);
        Rectangle(pdf, 600, 600, 1200, 1200);
        ASSERT_GT(EndPage(pdf), 0);
    }
    ASSERT_GT(EndDoc(pdf), 0);
    DeleteDC(pdf);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string data(1 << 16, '\0');
    data.resize(std::fread(data.data(), 1, data.size(), f));
    std::fclose(f);
    EXPECT_EQ(data.substr(0, 5), "%PDF-");
    EXPECT_NE(data.find("/Count 2"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace
