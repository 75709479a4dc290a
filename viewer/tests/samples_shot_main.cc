// Renders the first page of every built-in sample song (title, author, copyright and as many systems as
// fit) and writes them side by side into one contact image, for review:
//   samples_shot <out.png> [page-prefix]
// With a page prefix each page is also written alone as <prefix><id>.png.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "viewer/samples.h"

namespace {

constexpr int kPageWidth = 620;
constexpr int kPageHeight = 800;
constexpr int kStaffSpace = 6;
constexpr int kColumns = 4;
constexpr int kGap = 16;

void Text(HDC dc, const char* text, int x, int y, int height, int weight, UINT align) {
    if (text[0] == '\0') return;
    HFONT font = CreateFontA(-height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
    HGDIOBJ old = SelectObject(dc, font);
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    SelectObject(dc, old);
    DeleteObject(font);
}

// Draws the first page of the score at (x, y) of the DC.
void DrawFirstPage(HDC dc, TMusicScore& score, int x, int y) {
    RECT page{x, y, x + kPageWidth, y + kPageHeight};
    FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &page, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    const TSongInfo& info = score.SongInfo;
    const int margin = 5 * kStaffSpace;
    Text(dc, info.Title, x + kPageWidth / 2, y + margin, 26, FW_BOLD, TA_CENTER | TA_TOP);
    Text(dc, info.Author, x + kPageWidth - margin, y + margin + 36, 13, FW_NORMAL, TA_RIGHT | TA_TOP);
    Text(dc, info.Copyright1, x + kPageWidth / 2, y + kPageHeight - margin, 11, FW_NORMAL,
         TA_CENTER | TA_BOTTOM);

    qsm::InstallScoreHooks();
    TColorPalette palette;
    TMusicFonts fonts(kStaffSpace, score.GetFontData(), &palette);
    TScoreDrawInfo system(&score, &fonts, 5, 3);
    for (int i = 0; i < score.GetStaffCount(); ++i)
        system.AddStaff(i);
    const int label = system.GetLabelWidth(true, true);
    const int left = x + margin + label + system.GetBracketWidth();
    const int usable = x + kPageWidth - margin - left;
    const int bottom = y + kPageHeight - margin - 20;
    int top = y + margin + 64;
    fonts.AttachDC(dc, dc);
    qsm::LayoutSystems(system, usable, 100, [&](TScoreDrawInfo& run, int index) {
        if (top + run.GetSystemHeight() > bottom) return false;
        TDrawExtent extent;
        extent.Init(usable);
        extent.Right = 0x7fffffff;
        run.DrawSystem(extent, left, top, -1);
        if (index == 0) run.DrawStaffLabels(x + margin, top, label);
        top += run.GetSystemHeight() + 3 * kStaffSpace;
        return true;
    });
    fonts.DetachDC();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [page-prefix]\n", argv[0]);
        return 2;
    }
    std::vector<std::unique_ptr<TMusicScore>> samples;
    for (int id = 1;; ++id) {
        std::unique_ptr<TMusicScore> score(ReadSampleScore(id));
        if (!score) break;
        samples.push_back(std::move(score));
    }
    if (samples.empty()) {
        std::fprintf(stderr, "no samples\n");
        return 1;
    }
    const int count = static_cast<int>(samples.size());
    const int rows = (count + kColumns - 1) / kColumns;
    const int width = kColumns * (kPageWidth + kGap) + kGap;
    const int height = rows * (kPageHeight + kGap) + kGap;
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC sheet = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(sheet, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH backdrop = CreateSolidBrush(RGB(224, 224, 224));
    FillRect(sheet, &all, backdrop);
    DeleteObject(backdrop);
    SetBkMode(sheet, TRANSPARENT);
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        const int x = kGap + (i % kColumns) * (kPageWidth + kGap);
        const int y = kGap + (i / kColumns) * (kPageHeight + kGap);
        DrawFirstPage(sheet, *samples[static_cast<size_t>(i)], x, y);
        if (argc > 2) {
            HDC one = CreateCompatibleDC(screen);
            HBITMAP page = CreateCompatibleBitmap(screen, kPageWidth, kPageHeight);
            HGDIOBJ old = SelectObject(one, page);
            BitBlt(one, 0, 0, kPageWidth, kPageHeight, sheet, x, y, SRCCOPY);
            const std::string path = std::string(argv[2]) + std::to_string(i + 1) + ".png";
            ok = qsm::gdi::WritePng(one, path.c_str()) && ok;
            SelectObject(one, old);
            DeleteObject(page);
            DeleteDC(one);
        }
    }
    ok = qsm::gdi::WritePng(sheet, argv[1]) && ok;
    SelectObject(sheet, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(sheet);
    DeleteDC(screen);
    return ok ? 0 : 1;
}
