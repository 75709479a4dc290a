// Prints a text score on the "PDF file" printer and draws page 1 of its preview into a PNG, for review:
//   print_shot <score.qsmtxt> <out.pdf> <preview.png>
// Compare the preview with the printed page: pdftoppm -f 1 -l 1 -png -r 72 out.pdf page
#include <climits>
#include <cstdio>

#include "platform/framework/printer.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/print/printers.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "score/file/text_score_source.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s score.qsmtxt out.pdf preview.png\n", argv[0]);
        return 2;
    }
    qsm::InstallScoreHooks();
    qsm::print::InstallPrinters();
    auto score = qsm::ImportTextScoreFile(argv[1]);
    if (!score) return 1;
    score->SetTitlePage(true);
    score->PageNumbers = 1;
    if (!score->SongInfo.Copyright1[0])
        std::snprintf(score->SongInfo.Copyright1, sizeof score->SongInfo.Copyright1, "%s",
                      "Printed by QSM2View");
    TColorPalette palette;
    auto dc = [] { return new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr); };
    TQSMPrintData printed(dc(), score.get(), score.get(), &palette);
    printed.lastPage = INT_MAX;
    if (PrintJob(&printed, score->SongInfo.Title, argv[2]) != TPrintResult::Printed) return 1;

    TQSMPrintData shown(dc(), score.get(), score.get(), &palette);
    shown.lastPage = INT_MAX;
    SIZE page = shown.FitPageInto(900, 842);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, page.cx + 24, page.cy + 24);
    HGDIOBJ old = SelectObject(mem, bmp);
    TDC out(mem);
    shown.DrawPreviewPage(&out, page, POINT{12, 12}, page, POINT{0, 0}, 1);
    bool ok = qsm::gdi::WritePng(mem, argv[3]);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    DeleteDC(screen);
    return ok ? 0 : 1;
}
