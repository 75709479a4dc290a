// What a PDF device context writes into the page: curves and ellipses as curves, strokes without a
// transformation of their own, a filled and outlined shape written once, shapes of one pen gathered into
// one path, and everything in the order it was drawn.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

namespace {

// The page's content: the streams of the file that are plain text or inflate to it (fonts are binary).
std::string PageContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string data = ss.str();
    std::string content;
    for (size_t at = data.find("stream\n"); at != std::string::npos; at = data.find("stream\n", at + 1)) {
        if (at >= 3 && data.compare(at - 3, 3, "end") == 0) continue;
        size_t begin = at + 7, end = data.find("endstream", begin);
        if (end == std::string::npos) break;
        std::vector<unsigned char> out(1 << 20);
        uLongf size = out.size();
        std::string text;
        if (uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(data.data() + begin), end - begin) ==
            Z_OK)
            text.assign(out.begin(), out.begin() + static_cast<long>(size));
        else
            text = data.substr(begin, end - begin);  // small streams are not compressed
        bool plain = true;
        for (unsigned char c : text)
            plain = plain && (c == '\n' || c == '\r' || (c >= 32 && c < 127));
        if (plain) content += text + "\n";
    }
    return content;
}

std::vector<std::string> Operators(const std::string& content) {
    std::vector<std::string> ops;
    std::istringstream words(content);
    std::string w;
    while (words >> w)
        if (std::isalpha(static_cast<unsigned char>(w[0])) || w == "B*" || w == "f*" || w == "b*")
            ops.push_back(w);
        else if (w.ends_with("Tj") || w.ends_with("TJ"))  // a string and its operator: <0102>Tj
            ops.push_back(w.substr(w.size() - 2));
    return ops;
}

int Count(const std::vector<std::string>& ops, const std::string& op) {
    return static_cast<int>(std::count(ops.begin(), ops.end(), op));
}

// One A4 page at 600 dpi drawn by `draw`; its content.
std::string DrawPageContent(const std::function<void(HDC)>& draw) {
    std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_output_" + std::to_string(getpid()) + ".pdf";
    HDC dc = qsm::gdi::CreatePdfDC(nullptr, 595.0, 842.0, 600);
    DOCINFOA di{sizeof(DOCINFOA), "test", path.c_str(), nullptr, 0};
    EXPECT_GT(StartDocA(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    draw(dc);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
    std::string content = PageContent(path);
    std::remove(path.c_str());
    return content;
}

// The operators of the content of such a page.
std::vector<std::string> DrawPage(const std::function<void(HDC)>& draw) {
    return Operators(DrawPageContent(draw));
}

TEST(GdiPdf, CurvesAndEllipsesAreWrittenAsCurves) {
    auto ops = DrawPage([](HDC dc) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Ellipse(dc, 100, 100, 2900, 1700);  // four quarter arcs
        POINT slur[7] = {{100, 3000},  {800, 2000}, {2000, 2000}, {2800, 3000},
                         {2000, 2200}, {800, 2200}, {100, 3000}};
        BeginPath(dc);
        PolyBezier(dc, slur, 7);
        EndPath(dc);
        StrokeAndFillPath(dc);  // two cubics
        HPEN wide = CreatePen(PS_SOLID, 5, RGB(0, 0, 0));
        HGDIOBJ old = SelectObject(dc, wide);
        POINT arc[4] = {{100, 4000}, {1000, 3000}, {2000, 5000}, {2900, 4000}};
        PolyBezier(dc, arc, 4);  // one cubic
        SelectObject(dc, old);
        DeleteObject(wide);
    });
    EXPECT_EQ(Count(ops, "c"), 4 + 2 + 1);
    EXPECT_EQ(Count(ops, "l"), 0);
}

TEST(GdiPdf, StrokesCarryNoScaleOfTheirOwn) {
    std::string content = DrawPageContent([](HDC dc) {
        HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
        for (int i = 0; i < 10; ++i) {
            HGDIOBJ old = SelectObject(dc, i % 2 ? wide : GetStockObject(BLACK_PEN));
            MoveToEx(dc, 100, 100 + 50 * i, nullptr);
            LineTo(dc, 2000 + 10 * i, 100 + 50 * i);
            SelectObject(dc, old);
        }
        DeleteObject(wide);
    });
    // The page's own flip of its coordinates; each stroke at most moved to its first point, in a save and
    // restore of its own, its pen as wide as drawn.
    auto ops = Operators(content);
    EXPECT_EQ(Count(ops, "S"), 10);
    EXPECT_EQ(Count(ops, "q"), Count(ops, "Q"));
    EXPECT_EQ(Count(ops, "cm"), 1 + Count(ops, "q") - 1);
    size_t moves = 0;
    for (size_t at = content.find("q 1 0 0 1 "); at != std::string::npos;
         at = content.find("q 1 0 0 1 ", at + 1))
        ++moves;
    EXPECT_EQ(moves + 1, static_cast<size_t>(Count(ops, "q")));
    std::vector<double> widths;
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);)
        if (line.ends_with(" w")) widths.push_back(std::atof(line.c_str()));
    ASSERT_EQ(widths.size(), 10u);  // one pixel and three taking turns
    for (size_t i = 1; i < widths.size(); ++i)
        EXPECT_DOUBLE_EQ(widths[i], i % 2 ? 3 * widths[0] : widths[0]);
}

TEST(GdiPdf, AShapeDrawnInManyPlacesIsWrittenAlikeFromItsFirstPoint) {
    std::string content = DrawPageContent([](HDC dc) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        for (int i = 0; i < 3; ++i) {  // one tie shape in three places, one of them between pixels
            HGDIOBJ pen = SelectObject(dc, i == 1 ? GetStockObject(WHITE_PEN) : GetStockObject(BLACK_PEN));
            POINT tie[7] = {{100, 300}, {150, 250}, {250, 250}, {300, 300},
                            {250, 270}, {150, 270}, {100, 300}};
            for (POINT& p : tie)
                p.x += 1000 * i, p.y += 777 * i;
            BeginPath(dc);
            PolyBezier(dc, tie, 7);
            EndPath(dc);
            StrokeAndFillPath(dc);
            SelectObject(dc, pen);
        }
    });
    // Each shape after its move: the same path, from the same first point.
    std::vector<std::string> shapes, moves;
    for (size_t at = content.find("q 1 0 0 1 "); at != std::string::npos;
         at = content.find("q 1 0 0 1 ", at + 1)) {
        const size_t cm = content.find(" cm\n", at), end = content.find("Q\n", cm);
        ASSERT_NE(end, std::string::npos);
        moves.push_back(content.substr(at + 10, cm - at - 10));
        shapes.push_back(content.substr(cm + 4, end - cm - 4));
    }
    ASSERT_EQ(shapes.size(), 3u);
    EXPECT_EQ(shapes[0], shapes[1]);
    EXPECT_EQ(shapes[0], shapes[2]);
    EXPECT_EQ(shapes[0].compare(0, 6, "0 0 m\n"), 0);
    // Where the shapes go: 1000 and 777 pixels apart, in device units of the page.
    auto number = [](const std::string& s, int index) {
        std::istringstream in(s);
        double v = 0;
        for (int i = 0; i <= index; ++i)
            in >> v;
        return v;
    };
    const double dx = number(moves[1], 0) - number(moves[0], 0),
                 dy = number(moves[1], 1) - number(moves[0], 1);
    EXPECT_GT(dx, 0);
    EXPECT_NEAR(dy / dx, 0.777, 1e-9);
    EXPECT_DOUBLE_EQ(number(moves[2], 0) - number(moves[0], 0), 2 * dx);
    EXPECT_DOUBLE_EQ(number(moves[2], 1) - number(moves[0], 1), 2 * dy);
}

TEST(GdiPdf, FilledAndOutlinedShapeIsWrittenOnce) {
    auto ops = DrawPage([](HDC dc) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        POINT beam[4] = {{100, 100}, {900, 60}, {900, 110}, {100, 150}};
        Polygon(dc, beam, 4);
        HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ old = SelectObject(dc, red);
        POINT other[3] = {{100, 500}, {900, 500}, {500, 900}};
        Polygon(dc, other, 3);  // another colour of outline: still one operation
        SelectObject(dc, old);
        DeleteObject(red);
    });
    EXPECT_EQ(Count(ops, "B*"), 2);
    EXPECT_EQ(Count(ops, "f*"), 0);
    EXPECT_EQ(Count(ops, "S"), 0);
    EXPECT_EQ(Count(ops, "h"), 2);  // each outline closed once
}

TEST(GdiPdf, ShapesOfOnePenShareAPathAndKeepTheirOrder) {
    auto ops = DrawPage([](HDC dc) {
        SetBkMode(dc, TRANSPARENT);
        for (int i = 0; i < 5; ++i) {  // a staff
            MoveToEx(dc, 100, 1000 + 50 * i, nullptr);
            LineTo(dc, 3000, 1000 + 50 * i);
        }
        TextOutA(dc, 200, 1100, "Staff", 5);
        MoveToEx(dc, 100, 1000, nullptr);  // a bar line after the text
        LineTo(dc, 100, 1200);
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        POINT a[3] = {{100, 2000}, {500, 2000}, {300, 2300}};
        POINT b[3] = {{600, 2000}, {900, 2000}, {750, 2300}};   // beside a: one path
        POINT c[3] = {{700, 2100}, {1000, 2100}, {850, 2400}};  // over b: a path of its own
        Polygon(dc, a, 3);
        Polygon(dc, b, 3);
        Polygon(dc, c, 3);
    });
    ASSERT_EQ(Count(ops, "S"), 2);
    auto firstS = std::find(ops.begin(), ops.end(), "S");
    auto text = std::find(ops.begin(), ops.end(), "BT");
    auto lastS = std::find(firstS + 1, ops.end(), "S");
    EXPECT_LT(firstS, text);
    EXPECT_LT(text, lastS);
    EXPECT_EQ(std::count(ops.begin(), firstS, "m"), 5);
    EXPECT_EQ(Count(ops, "B*"), 2);
}

TEST(GdiPdf, ColourAndLineStateAreWrittenOnlyWhenTheyChange) {
    auto ops = DrawPage([](HDC dc) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
        for (int i = 0; i < 6; ++i) {  // lines and filled shapes taking turns, all black
            MoveToEx(dc, 100, 100 + 100 * i, nullptr);
            LineTo(dc, 2000, 100 + 100 * i);
            Rectangle(dc, 2100, 100 + 100 * i, 2200 + 10 * i, 150 + 100 * i);
        }
        SelectObject(dc, wide);
        MoveToEx(dc, 100, 1000, nullptr);
        LineTo(dc, 2000, 1000);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        DeleteObject(wide);
    });
    EXPECT_EQ(Count(ops, "rg"), 1);
    EXPECT_EQ(Count(ops, "RG"), 1);
    EXPECT_EQ(Count(ops, "w"), 2);  // one pixel, then three
    EXPECT_EQ(Count(ops, "J"), 2);  // the lines' flat ends, then round ones: the shapes have no ends
}

TEST(GdiPdf, GlyphsDrawnTogetherShareOneTextObjectAndTheirFont) {
    auto ops = DrawPage([](HDC dc) {
        SetBkMode(dc, TRANSPARENT);
        for (int i = 0; i < 8; ++i)  // one glyph at a time, as note heads are drawn
            TextOutA(dc, 100 + 120 * i, 500 + 40 * (i % 3), "o", 1);
        TextOutA(dc, 100, 1000, "a word", 6);
        MoveToEx(dc, 100, 1100, nullptr);
        LineTo(dc, 900, 1100);
        TextOutA(dc, 100, 1200, "o", 1);
    });
    EXPECT_EQ(Count(ops, "BT"), 2);
    EXPECT_EQ(Count(ops, "Tf"), 1);  // the font stays selected from one text object to the next
    EXPECT_EQ(Count(ops, "Tj") + Count(ops, "TJ"), 10);
}

TEST(GdiPdf, BitmapsAndPatternBrushesBecomeImages) {
    auto ops = DrawPage([](HDC dc) {
        HDC mem = CreateCompatibleDC(nullptr);
        HBITMAP bmp = CreateBitmap(16, 8, 1, 32, nullptr);
        HGDIOBJ old = SelectObject(mem, bmp);
        RECT all{0, 0, 16, 8};
        FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        BitBlt(dc, 100, 100, 16, 8, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        HBRUSH pattern = CreatePatternBrush(bmp);
        RECT area{200, 200, 600, 400};
        FillRect(dc, &area, pattern);
        DeleteObject(pattern);
        DeleteObject(bmp);
        DeleteDC(mem);
    });
    EXPECT_EQ(Count(ops, "Do"), 2);   // the copied bitmap, and the pattern's tile
    EXPECT_EQ(Count(ops, "scn"), 1);  // the fill in the pattern
    EXPECT_EQ(Count(ops, "W"), 2);    // the copy kept to its rectangle, the pattern to the shape
}

TEST(GdiPdf, DocumentNameInTheAnsiCodePageBecomesTheTitle) {
    std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_title_" + std::to_string(getpid()) + ".pdf";
    HDC dc = qsm::gdi::CreatePdfDC(nullptr, 595.0, 842.0, 600);
    DOCINFOA di{sizeof(DOCINFOA), "Caf\xE9 n\xE4", path.c_str(), nullptr, 0};  // not UTF-8
    ASSERT_GT(StartDocA(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    Rectangle(dc, 100, 100, 500, 500);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_NE(ss.str().find("/Title<feff00430061006600e90020006e00e4>"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace

TEST(GdiPdf, PathsWithoutSegmentsLeaveNoOpenPath) {
    auto ops = DrawPage([](HDC dc) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        BeginPath(dc);
        MoveToEx(dc, 100, 100, nullptr);
        CloseFigure(dc);
        EndPath(dc);
        StrokeAndFillPath(dc);
        BeginPath(dc);
        MoveToEx(dc, 200, 200, nullptr);
        EndPath(dc);
        StrokePath(dc);
        TextOutA(dc, 100, 500, "o", 1);
    });
    // Every path that is begun is painted or ended before anything else comes.
    const std::vector<std::string> pathOps = {"m", "l", "c", "h", "re"};
    const std::vector<std::string> ends = {"S", "s", "f", "f*", "B", "B*", "b", "b*", "n"};
    bool open = false;
    for (const std::string& op : ops) {
        if (std::find(pathOps.begin(), pathOps.end(), op) != pathOps.end())
            open = true;
        else if (std::find(ends.begin(), ends.end(), op) != ends.end())
            open = false;
        else
            EXPECT_FALSE(open) << op << " inside an open path";
    }
    EXPECT_FALSE(open);
}
