// Pattern brushes, and printer DCs with a printable area, job hooks and an abort procedure.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

namespace {

// An 8 x 8 one-bit DIB of the given rows (bit 7 is the left pixel) in colours {zero, one}.
HBITMAP PatternDib(const BYTE rows[8], COLORREF zero, COLORREF one) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[2];
    } bi{};
    bi.h.biSize = sizeof(BITMAPINFOHEADER);
    bi.h.biWidth = 8;
    bi.h.biHeight = -8;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = 1;
    bi.colors[0] = {GetBValue(zero), GetGValue(zero), GetRValue(zero), 0};
    bi.colors[1] = {GetBValue(one), GetGValue(one), GetRValue(one), 0};
    void* bits = nullptr;
    HBITMAP bmp =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    for (int y = 0; y < 8; ++y)
        static_cast<BYTE*>(bits)[y * 4] = rows[y];
    return bmp;
}

struct MemoryDC {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp;
    HGDIOBJ old;
    MemoryDC(int w, int h) : bmp(CreateBitmap(w, h, 1, 32, nullptr)), old(SelectObject(dc, bmp)) {}
    ~MemoryDC() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

TEST(GdiPatternBrush, CheckerRepeatsFromTheDeviceOrigin) {
    const BYTE checker[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    const COLORREF face = RGB(192, 192, 192), light = RGB(255, 255, 255);
    HBITMAP dib = PatternDib(checker, light, face);
    HBRUSH brush = CreatePatternBrush(dib);
    DeleteObject(dib);  // the brush keeps its own copy
    ASSERT_NE(brush, nullptr);
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectA(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_PATTERN));

    MemoryDC m(40, 40);
    RECT r{3, 5, 35, 37};  // starts off the pattern's grid
    FillRect(m.dc, &r, brush);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 3 && x < 35 && y >= 5 && y < 37;
            COLORREF want = !inside ? RGB(0, 0, 0) : ((x + y) % 2 == 0 ? face : light);
            ASSERT_EQ(GetPixel(m.dc, x, y), want) << x << "," << y;
        }
    // Shapes fill with the selected pattern brush too, under a moved window origin the pattern stays on
    // the device grid.
    SetWindowOrgEx(m.dc, 1, 0, nullptr);
    HGDIOBJ oldBrush = SelectObject(m.dc, brush);
    HGDIOBJ oldPen = SelectObject(m.dc, GetStockObject(NULL_PEN));
    Rectangle(m.dc, 1, 0, 11, 10);
    EXPECT_EQ(GetPixel(m.dc, 1, 0), face);   // device (0, 0)
    EXPECT_EQ(GetPixel(m.dc, 2, 0), light);  // device (1, 0)
    SelectObject(m.dc, oldPen);
    SelectObject(m.dc, oldBrush);
    DeleteObject(brush);
}

TEST(GdiPatternBrush, MonochromeBitmapTakesTheTextAndBackgroundColoursOfTheDC) {
    // Rows padded to 16 bits: one black column at the left of white.
    const BYTE rows[16] = {0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0};
    HBITMAP mono = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(mono);
    DeleteObject(mono);
    MemoryDC m(16, 2);
    SetTextColor(m.dc, RGB(255, 0, 0));
    SetBkColor(m.dc, RGB(0, 0, 255));
    RECT r{0, 0, 16, 2};
    FillRect(m.dc, &r, brush);
    EXPECT_EQ(GetPixel(m.dc, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 8, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 1, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(m.dc, 15, 1), RGB(0, 0, 255));
    DeleteObject(brush);
}

std::string TempDir() {
    char tmpl[] = "/tmp/qsm_gdi_print_XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

int g_abortCalls = 0;
int g_abortAfter = 0;
BOOL CountingAbort(HDC, int) {
    return ++g_abortCalls <= g_abortAfter;
}

TEST(GdiPrinterDC, PrintableAreaMovesTheOriginAndAnswersTheDeviceCaps) {
    // Letter at 600 dpi with a sixth of an inch all round.
    HDC dc = qsm::gdi::CreatePdfDC(nullptr, 612, 792, 600);
    qsm::gdi::SetPrinterArea(dc, {100, 100, 5100 - 200, 6600 - 200});
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 5100);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 6600);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4900);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 6400);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 100);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETY), 100);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
    EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 207);  // 4900 / 600 inch in millimetres
    DeleteDC(dc);
}

TEST(GdiPrinterDC, HooksNameTheFileHandTheJobOnAndHearOfAnAbort) {
    std::string dir = TempDir();
    std::vector<std::string> events;
    auto hooks = [&](bool handOn) {
        qsm::gdi::PrinterJobHooks h;
        h.outputPath = [&, dir](const DOCINFOA* info) {
            events.push_back(std::string("start ") + (info && info->lpszDocName ? info->lpszDocName : ""));
            return dir + "/job.pdf";
        };
        h.finished = [&, handOn](const std::string& path) {
            events.push_back("finished " + std::to_string(Exists(path)));
            return handOn;
        };
        h.aborted = [&](const std::string& path) {
            events.push_back("aborted " + std::to_string(Exists(path)));
        };
        return h;
    };
    DOCINFOA di{sizeof(DOCINFOA), "Score", nullptr, nullptr, 0};

    // A finished job is handed on; a hand-on that fails makes EndDoc fail.
    for (bool handOn : {true, false}) {
        events.clear();
        HDC dc = qsm::gdi::CreatePdfDC(nullptr, 612, 792, 300);
        qsm::gdi::SetPrinterJobHooks(dc, hooks(handOn));
        ASSERT_GT(StartDocA(dc, &di), 0);
        EXPECT_EQ(StartPage(dc), 1);
        Rectangle(dc, 10, 10, 100, 100);
        EXPECT_EQ(EndPage(dc), 1);
        EXPECT_EQ(EndDoc(dc), handOn ? 1 : SP_ERROR);
        EXPECT_EQ(events, (std::vector<std::string>{"start Score", "finished 1"}));
        DeleteDC(dc);
    }

    // The abort procedure is asked at every StartPage and EndPage; its FALSE discards the job.
    events.clear();
    g_abortCalls = 0;
    g_abortAfter = 3;  // page 1 both times, page 2 at its start, then no
    HDC dc = qsm::gdi::CreatePdfDC(nullptr, 612, 792, 300);
    qsm::gdi::SetPrinterJobHooks(dc, hooks(true));
    EXPECT_EQ(SetAbortProc(dc, CountingAbort), 1);
    ASSERT_GT(StartDocA(dc, &di), 0);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(EndPage(dc), 1);
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(EndPage(dc), SP_APPABORT);
    EXPECT_EQ(g_abortCalls, 4);
    EXPECT_EQ(StartPage(dc), SP_ERROR);  // the job is gone
    EXPECT_EQ(EndDoc(dc), SP_ERROR);
    EXPECT_EQ(events, (std::vector<std::string>{"start Score", "aborted 0"}));
    EXPECT_FALSE(Exists(dir + "/job.pdf"));
    DeleteDC(dc);
    rmdir(dir.c_str());
}

TEST(GdiPrinterDC, PrinterDriversGoToTheInstalledFactory) {
    EXPECT_EQ(CreateDCA("winspool", "Nothing", nullptr, nullptr), nullptr);
    static bool lastInfo = false;
    qsm::gdi::SetPrinterDCFactory([](LPCSTR, LPCSTR, LPCSTR, const void*, bool info) -> HDC {
        lastInfo = info;
        return qsm::gdi::CreatePdfDC(nullptr, 100, 100, 72);
    });
    HDC ic = CreateICA("winspool", "Any", nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_TRUE(lastInfo);
    DeleteDC(ic);
    HDC dc = CreateDCA("winspool", "Any", nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_FALSE(lastInfo);
    DeleteDC(dc);
    qsm::gdi::SetPrinterDCFactory(nullptr);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_NE(screen, nullptr);
    DeleteDC(screen);
}

}  // namespace
