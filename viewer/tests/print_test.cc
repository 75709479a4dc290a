// Printed pages: page breaking, page numbers and footers in the PDF a job writes, print ranges, the
// spooler's failures, scores with nothing to print, and the preview drawing the same pages.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"
#include "platform/framework/printer.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/print/print_dialog.h"
#include "platform/print/tests/print_test_util.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"
#include "viewer/tests/print_test_util.h"
#include "viewer/tests/viewer_test_env.h"

using qsm::print::testing::FakeCups;
using qsm::print::testing::FileExists;
using qsm::print::testing::PdfPages;

namespace {

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::InstallScoreHooks();
        cups.RemoveCups();
        qsm::print::InstallPrinters();
    }
    TPrintDC* PdfDC() { return new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr); }
    std::string Text(const std::string& pdf) {
        std::string out;
        qsm::print::RunProgram({"/usr/bin/pdftotext", "-layout", pdf, "-"}, &out);
        return out;
    }
    FakeCups cups;
    TColorPalette palette;
};

// Tall margins leave room for a few systems a page, so the long score runs over several pages.
void NarrowPage(TMusicScore& score) {
    score.Margins.Top = 3.5f;
    score.Margins.Bottom = 3.5f;
}

TEST_F(PrintTest, JobWritesEveryPageWithNumbersTitleAndFooter) {
    auto score = qsm::printtest::LongScore(2, 120);
    ASSERT_TRUE(score);
    NarrowPage(*score);
    score->PageNumbers = 1;
    score->SetTitlePage(true);
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    ASSERT_TRUE(data.HasStaves());
    data.lastPage = INT_MAX;
    int pages = data.CountPages();
    ASSERT_GE(pages, 3);

    std::string out = cups.Home() + "/long.pdf";
    EXPECT_EQ(PrintJob(&data, "Long Study", out.c_str()), TPrintResult::Printed);
    int n = 0;
    double w = 0, h = 0;
    ASSERT_TRUE(PdfPages(out, cups.OldPath(), &n, &w, &h));
    EXPECT_EQ(n, pages);
    std::string text = Text(out);
    EXPECT_NE(text.find("Long Study"), std::string::npos);
    EXPECT_NE(text.find("A. Writer"), std::string::npos);
    EXPECT_NE(text.find("Footer line one"), std::string::npos);
    // Page 1 carries no number; the later ones theirs, one per page break.
    EXPECT_NE(text.find("\f"), std::string::npos);
    EXPECT_NE(text.find(std::to_string(pages)), std::string::npos);
}

// A score imported from a MIDI file (a melody of 240 quarter notes named by its track) prints like any other.
TEST_F(PrintTest, ImportedMidiFilePrints) {
    qsm::test::TrackBuilder track;
    track.Text(0, 0x03, "Imported Tune").Tempo(0, 500000);
    for (int i = 0; i < 240; ++i)
        track.Event(0, {0x90, 60 + (i * 5) % 12, 90}).Event(192, {0x80, 60 + (i * 5) % 12, 0});
    track.End();
    qsm::test::Bytes bytes = qsm::test::MakeFile(0, 192, {track});
    TQSRFlatRamStream in(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TSMFData smf;
    TSMFImport::Run(&smf, &in, nullptr);
    TSMFImportList list;
    BuildImportInstructions(&smf, list, true, 16);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, list, 1));
    ASSERT_TRUE(score);
    NarrowPage(*score);
    score->PageNumbers = 1;
    std::snprintf(score->SongInfo.Title, sizeof score->SongInfo.Title, "%s", "Imported Tune");
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    data.lastPage = 50;
    int pages = data.CountPages();
    EXPECT_GE(pages, 2);
    std::string out = cups.Home() + "/midi.pdf";
    EXPECT_EQ(PrintJob(&data, score->SongInfo.Title, out.c_str()), TPrintResult::Printed);
    int n = 0;
    double w = 0, h = 0;
    ASSERT_TRUE(PdfPages(out, cups.OldPath(), &n, &w, &h));
    EXPECT_EQ(n, pages);
    EXPECT_NE(Text(out).find("2"), std::string::npos);
}

TEST_F(PrintTest, RangeSkipsEarlierPagesAndStopsAtTheLast) {
    auto score = qsm::printtest::LongScore(1, 150);
    NarrowPage(*score);
    score->PageNumbers = 3;
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    data.lastPage = INT_MAX;
    ASSERT_GE(data.CountPages(), 3);
    // Printed pages 4 to 5 of a score numbered from 3 are page indexes 2 to 3.
    data.firstPage = 4 - 3 + 1;
    data.lastPage = 5 - 3 + 1;
    std::string out = cups.Home() + "/range.pdf";
    EXPECT_EQ(PrintJob(&data, "Range", out.c_str()), TPrintResult::Printed);
    int n = 0;
    double w = 0, h = 0;
    ASSERT_TRUE(PdfPages(out, cups.OldPath(), &n, &w, &h));
    EXPECT_EQ(n, 2);
    std::string text = Text(out);
    EXPECT_NE(text.find('4'), std::string::npos);
    EXPECT_NE(text.find('5'), std::string::npos);
}

TEST_F(PrintTest, ScoreWithoutStavesPrintsNothingAndEnds) {
    TMusicScore empty;
    TQSMPrintData data(PdfDC(), &empty, &empty, &palette);
    data.lastPage = INT_MAX;
    EXPECT_FALSE(data.DrawPage(nullptr, 1, false));
    EXPECT_EQ(data.CountPages(), 1);
    std::string out = cups.Home() + "/empty.pdf";
    EXPECT_EQ(PrintJob(&data, "Empty", out.c_str()), TPrintResult::NothingToPrint);
    EXPECT_FALSE(FileExists(out));
}

TEST(PrintSpooler, FailingSpoolerAbortsTheJobAndSaysSo) {
    qsm::InstallScoreHooks();
    FakeCups office;  // "Office" is a CUPS queue whose lp fails
    office.SetLpExit(3);
    TColorPalette palette;
    auto score = qsm::printtest::LongScore(1, 8);
    TQSMPrintData data(new TPrintDC("winspool", "Office", "", nullptr), score.get(), score.get(), &palette);
    data.lastPage = 50;
    EXPECT_EQ(PrintJob(&data, "Fails", nullptr), TPrintResult::Failed);
    EXPECT_EQ(office.SpoolFiles(), 0u);
    EXPECT_FALSE(PrintScore(&data, "Fails", nullptr, true));

    // The same queue with a working lp gets the whole document at its end.
    office.SetLpExit(0);
    EXPECT_EQ(PrintJob(&data, "Works", nullptr), TPrintResult::Printed);
    EXPECT_TRUE(FileExists(office.Dir() + "/job.pdf"));
}

TEST_F(PrintTest, AbortProcedureFollowsTheCancelFlagAndAJobResetsIt) {
    auto score = qsm::printtest::LongScore(1, 8);
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    std::string out = cups.Home() + "/cancel.pdf";
    // The abort procedure answers FALSE once the flag is set.
    SetPrintCancelFlag(1);
    EXPECT_FALSE(QSMPrintAbortProc(nullptr, 0));
    SetPrintCancelFlag(0);
    EXPECT_TRUE(QSMPrintAbortProc(nullptr, 0));
    // A Cancel left over from before does not stop the next job: each job starts with the flag clear.
    SetPrintCancelFlag(1);
    EXPECT_EQ(PrintJob(&data, "Cancel", out.c_str()), TPrintResult::Printed);
    EXPECT_TRUE(FileExists(out));
    EXPECT_EQ(GetPrintCancelFlag(), 0);
}

TEST_F(PrintTest, PageAreaMarginsMirrorAndFallback) {
    auto score = qsm::printtest::LongScore(1, 4);
    score->Margins = {1.0f, 1.0f, 2.0f, 1.0f, 1};
    score->PageNumbers = 1;
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);  // A4 at 600 dpi, no border
    EXPECT_EQ(data.GetUsableLeft(), 600);
    EXPECT_EQ(data.GetUsableWidth(), 4961 - 600 - 1200);
    EXPECT_EQ(data.GetPageLeft(1), 600);
    EXPECT_EQ(data.GetPageLeft(2), 1200);  // even pages swap the side margins
    EXPECT_EQ(data.GetPageLeft(3), 600);

    score->Margins = {10.0f, 10.0f, 10.0f, 10.0f, 0};
    TQSMPrintData fallback(PdfDC(), score.get(), score.get(), &palette);
    EXPECT_EQ(fallback.GetUsableLeft(), 300);
    EXPECT_EQ(fallback.GetUsableTop(), 300);
    EXPECT_FLOAT_EQ(score->Margins.Left, 0.5f);
    EXPECT_FLOAT_EQ(score->Margins.Bottom, 0.5f);
}

TEST_F(PrintTest, PreviewGeometryRoundTrips) {
    auto score = qsm::printtest::LongScore(1, 4);
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    SIZE fit = data.FitPageInto(10000, 701);
    EXPECT_EQ(fit.cy, 701);
    EXPECT_EQ(fit.cx, MulDiv(701, 4961, 7016));
    SIZE narrow = data.FitPageInto(200, 701);
    EXPECT_EQ(narrow.cx, 200);
    EXPECT_LT(narrow.cy, 701);
    POINT s = data.PageToScreen(fit, POINT{10, 20}, POINT{4961, 7016});
    EXPECT_EQ(s.x, 10 + fit.cx);
    POINT back = data.ScreenToPage(fit, POINT{10, 20}, s);
    EXPECT_EQ(back.x, 4961);
    EXPECT_EQ(back.y, 7016);
}

TEST_F(PrintTest, PreviewPagesBreakLikeThePrintedOnes) {
    auto score = qsm::printtest::LongScore(2, 60);
    NarrowPage(*score);
    score->PageNumbers = 1;
    TQSMPrintData printed(PdfDC(), score.get(), score.get(), &palette);
    printed.lastPage = INT_MAX;
    TQSMPrintData shown(PdfDC(), score.get(), score.get(), &palette);
    shown.lastPage = INT_MAX;

    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC mem = CreateCompatibleDC(screen);
    SIZE page = shown.FitPageInto(600, 840);
    HBITMAP bmp = CreateCompatibleBitmap(screen, page.cx + 40, page.cy + 40);
    HGDIOBJ old = SelectObject(mem, bmp);
    TDC dc(mem);
    printed.ResetPages();
    shown.ResetPages();
    bool more = true;
    for (int p = 1; more && p < 100; ++p) {
        bool a = printed.DrawPage(nullptr, p, false);
        more = shown.DrawPreviewPage(&dc, page, POINT{20, 20}, page, POINT{0, 0}, p);
        EXPECT_EQ(a, more) << "page " << p;
        EXPECT_EQ(printed.GetLastSystemCount(), shown.GetLastSystemCount()) << "page " << p;
        EXPECT_EQ(printed.GetPageEndIndex(), shown.GetPageEndIndex()) << "page " << p;
        if (p == 1) {
            // Grey around the paper, white paper, and ink on the page.
            EXPECT_EQ(GetPixel(mem, 5, 5), RGB(160, 160, 160));
            EXPECT_EQ(GetPixel(mem, 20 + page.cx / 2, 22), RGB(255, 255, 255));
            if (const char* shot = std::getenv("QSM_PREVIEW_PNG")) qsm::gdi::WritePng(mem, shot);
        }
        printed.StartNextPage();
        shown.StartNextPage();
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    DeleteDC(screen);
}

// A word of a PDF and where it stands (points from the page's top-left corner).
struct PdfWord {
    int page;
    std::string text;
    double x0, y0, x1, y1;
};
std::vector<PdfWord> Words(const std::string& pdf) {
    std::string html;
    qsm::print::RunProgram({"/usr/bin/pdftotext", "-bbox", pdf, "-"}, &html);
    std::vector<PdfWord> words;
    int page = 0;
    for (size_t at = 0; (at = html.find('<', at)) != std::string::npos; ++at) {
        if (html.compare(at, 6, "<page ") == 0) ++page;
        if (html.compare(at, 6, "<word ") != 0) continue;
        PdfWord w{page, "", 0, 0, 0, 0};
        if (std::sscanf(html.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">",
                        &w.x0, &w.y0, &w.x1, &w.y1) != 4)
            continue;
        size_t open = html.find('>', at) + 1, close = html.find("</word>", open);
        w.text = html.substr(open, close - open);
        words.push_back(w);
    }
    return words;
}
int CountOn(const std::vector<PdfWord>& words, int page, const std::string& text) {
    int n = 0;
    for (const PdfWord& w : words)
        n += w.page == page && w.text == text;
    return n;
}
const PdfWord* Find(const std::vector<PdfWord>& words, int page, const std::string& text) {
    for (const PdfWord& w : words)
        if (w.page == page && w.text == text) return &w;
    return nullptr;
}

// Two labelled staves over several pages of two or three systems.
std::unique_ptr<TMusicScore> LabelledScore() {
    auto score = qsm::printtest::LongScore(2, 100);
    NarrowPage(*score);
    score->GetStaff(0)->SetLabel("Violin");
    score->GetStaff(0)->SetLabelAbbr("Vln");
    score->GetStaff(1)->SetLabel("Cello");
    score->GetStaff(1)->SetLabelAbbr("Vcl");
    return score;
}

TEST_F(PrintTest, StaffLabelsFollowTheScoresLabelMode) {
    // Per mode: label words on page 1 and on page 2 (full names or abbreviations) of the Violin staff.
    for (int mode = 0; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        auto score = LabelledScore();
        score->StaffLabels = mode;
        TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
        data.lastPage = 2;
        std::string out = cups.Home() + "/labels" + std::to_string(mode) + ".pdf";
        ASSERT_EQ(PrintJob(&data, "Labels", out.c_str()), TPrintResult::Printed);
        // The systems of page 2, for "every system".
        data.ResetPages();
        data.DrawPage(nullptr, 1, false);
        data.StartNextPage();
        data.DrawPage(nullptr, 2, false);
        const int systems2 = data.GetLastSystemCount();
        ASSERT_GE(systems2, 2);
        std::vector<PdfWord> words = Words(out);
        const int page1 = CountOn(words, 1, "Violin") + CountOn(words, 1, "Vln");
        const int page2 = CountOn(words, 2, "Violin") + CountOn(words, 2, "Vln");
        const int want1[] = {0, 1, 1, -1}, want2[] = {0, 0, 1, systems2};
        EXPECT_EQ(page2, want2[mode]);
        if (mode < 3)
            EXPECT_EQ(page1, want1[mode]);
        else
            EXPECT_GE(page1, 2);
        // The first system of the score carries the full name.
        EXPECT_EQ(CountOn(words, 1, "Violin"), mode == 0 ? 0 : 1);
    }
}

TEST_F(PrintTest, PageNumbersFollowTheBaseAndMirroredPagesNumberOnTheOutsideEdge) {
    auto numbers = [&](int base, bool mirror, const char* name) {
        auto score = qsm::printtest::LongScore(2, 100);
        NarrowPage(*score);
        score->PageNumbers = base;
        score->Margins.Left = 1.5f;
        score->Margins.Right = 0.5f;
        score->Margins.Mirror = mirror ? 1 : 0;
        TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
        data.lastPage = 3;
        std::string out = cups.Home() + "/" + name + ".pdf";
        EXPECT_EQ(PrintJob(&data, name, out.c_str()), TPrintResult::Printed);
        return Words(out);
    };
    // The number stands on the top line of the usable area, above the music.
    auto numberOn = [](const std::vector<PdfWord>& words, int page, int n) -> const PdfWord* {
        const PdfWord* w = Find(words, page, std::to_string(n));
        return w && w->y0 < 3.5 * 72 + 20 && w->y0 > 3.5 * 72 - 5 ? w : nullptr;
    };
    std::vector<PdfWord> none = numbers(0, false, "none");
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(numberOn(none, p, p), nullptr) << p;
    std::vector<PdfWord> fromOne = numbers(1, false, "one");
    EXPECT_EQ(numberOn(fromOne, 1, 1), nullptr);  // the first page carries no number
    EXPECT_NE(numberOn(fromOne, 2, 2), nullptr);
    std::vector<PdfWord> fromFive = numbers(5, false, "five");
    EXPECT_NE(numberOn(fromFive, 1, 5), nullptr);
    EXPECT_NE(numberOn(fromFive, 3, 7), nullptr);

    // Mirrored: the even page's number at its left edge (its left margin the right one, half an inch), the
    // odd page's at the right edge (half an inch in).
    std::vector<PdfWord> mirrored = numbers(1, true, "mirror");
    const PdfWord* two = numberOn(mirrored, 2, 2);
    const PdfWord* three = numberOn(mirrored, 3, 3);
    ASSERT_NE(two, nullptr);
    ASSERT_NE(three, nullptr);
    EXPECT_NEAR(two->x0, 36, 3);
    EXPECT_NEAR(three->x1, 595.3 - 36, 3);
    // Unmirrored, page 2 keeps the right-hand place.
    EXPECT_NEAR(numberOn(fromOne, 2, 2)->x1, 595.3 - 36, 3);
}

TEST_F(PrintTest, AFooterOfOnlyTheSecondCopyrightLineStandsOnTheBottomLine) {
    auto score = qsm::printtest::LongScore(1, 8);
    score->SetTitlePage(true);
    score->SongInfo.Copyright1[0] = '\0';
    std::snprintf(score->SongInfo.Copyright2, sizeof score->SongInfo.Copyright2, "%s", "Engraved-here");
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    EXPECT_EQ(data.GetFooterLineCount(), 1);
    std::string out = cups.Home() + "/footer.pdf";
    ASSERT_EQ(PrintJob(&data, "Footer", out.c_str()), TPrintResult::Printed);
    std::vector<PdfWord> words = Words(out);
    const PdfWord* footer = Find(words, 1, "Engraved-here");
    ASSERT_NE(footer, nullptr);
    // One line height above the bottom of the usable area (0.5 inch margins).
    const double bottom = 841.9 - 36;
    EXPECT_LT(footer->y1, bottom + 3);
    EXPECT_GT(footer->y0, bottom - 2 * 8 * 1.3);
    EXPECT_EQ(Find(words, 1, "Footer"), nullptr);
}

TEST_F(PrintTest, APageCopiedAsAnImageHasItsNotationAndNoPageNumber) {
    auto score = qsm::printtest::LongScore(2, 40);
    score->PageNumbers = 5;
    score->SetTitlePage(true);
    TQSMPrintData data(PdfDC(), score.get(), score.get(), &palette);
    data.lastPage = 3;
    const std::string png = cups.Home() + "/page.png";
    ASSERT_EQ(data.CopyPageToClipboard(1, png.c_str()), 1);
    EXPECT_TRUE(FileExists(png));
    if (const char* shot = std::getenv("QSM_COPY_PAGE_PNG")) data.CopyPageToClipboard(1, shot);

    ASSERT_EQ(data.CopyPageToClipboard(1, nullptr), 1);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE block = GetClipboardData(CF_DIB);
    ASSERT_NE(block, nullptr);
    const auto* dib = static_cast<const BYTE*>(GlobalLock(block));
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    // The usable area and half an inch (A4 with 0.5-inch margins at 600 dpi) at the screen's 96 dpi.
    const int usableWidth = 4961 - 600, usableHeight = 7016 - 600;
    EXPECT_EQ(header.biWidth, MulDiv(usableWidth + 300, 96, 600));
    EXPECT_EQ(header.biHeight, MulDiv(usableHeight + 300, 96, 600));
    EXPECT_EQ(header.biBitCount, 32);
    // Ink inside, and a white quarter-inch border (rows are stored from the bottom).
    const auto* pixels = reinterpret_cast<const uint32_t*>(dib + sizeof header);
    int ink = 0, borderInk = 0;
    for (int y = 0; y < header.biHeight; ++y)
        for (int x = 0; x < header.biWidth; ++x) {
            const bool dark = (pixels[y * header.biWidth + x] & 0xFFFFFF) != 0xFFFFFF;
            const bool border = x < 16 || y < 16 || x >= header.biWidth - 16 || y >= header.biHeight - 16;
            (border ? borderInk : ink) += dark;
        }
    GlobalUnlock(block);
    CloseClipboard();
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(borderInk, 0);
}

class SavedPrinterTest : public qsm::viewer_test::StoreTest {
protected:
    FakeCups cups;  // "Office" (the default) and "Label"
};

TEST_F(SavedPrinterTest, SavedPrinterComesBackAndAVanishedOneIsForgotten) {
    char device[64] = "";
    SysInfo.WriteString("Printer", "Device", "Gone Away");
    TQSPrinter first;
    first.RestoreSavedPrinter();
    EXPECT_FALSE(SysInfo.ReadString("Printer", "Device", "", device, sizeof device));
    EXPECT_STREQ(first.GetSetup().GetDeviceName(), "Office");  // the default stays

    first.SetPrinter("winspool", "Label", "");
    first.SaveSelectedPrinter();
    EXPECT_TRUE(SysInfo.ReadString("Printer", "Device", "", device, sizeof device));
    EXPECT_STREQ(device, "Label");
    TQSPrinter second;
    second.RestoreSavedPrinter();
    EXPECT_STREQ(second.GetSetup().GetDeviceName(), "Label");
    std::unique_ptr<TPrintDC> dc(second.CreateDefaultPrintDC());
    EXPECT_NE(dc, nullptr);
    second.ClearDevice();
    EXPECT_EQ(second.CreateDefaultPrintDC(), nullptr);
}

// Print direct (199) on the main window prints the current score on the chosen printer without a dialog
// and then ends the program.
TEST_F(SavedPrinterTest, PrintDirectPrintsThenExits) {
    cups.RemoveCups();
    qsm::print::InstallPrinters();
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.AutoWelcome = 0;  // as under "/xprint": no Welcome dialog waits on a user
    auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
    app->InitInstance();
    HWND frame = app->GetMainWindow()->GetHandle();
    ASSERT_NE(frame, nullptr);
    SendMessageA(frame, WM_COMMAND, 199, 0);
    // No file open: the PDF printer names the file after the score's title in the user's folder.
    EXPECT_TRUE(FileExists(cups.Home() + "/QuillStave Composer 2 Viewer.pdf"));
    qsm::wm::PumpMessages();  // the Exit that follows
    EXPECT_FALSE(IsWindow(frame));
}

// The real frame over a long score of one staff whose pages are numbered from 3.
class PrintCommandTest : public SavedPrinterTest {
protected:
    void SetUp() override {
        SavedPrinterTest::SetUp();
        qsm::InstallScoreHooks();
        SetDefaultOptions(ViewerOptions);
        ViewerOptions.AutoWelcome = 0;
        score_ = dir_ + "/long.qsmtxt";
        std::ofstream(score_) << qsm::printtest::LongScoreText(1, 150);
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app_->InitInstance();
        ASSERT_TRUE(app_->GetClient()->OpenFile(score_.c_str(), 0));
        TMusicScore* score = app_->GetScore();
        NarrowPage(*score);
        score->PageNumbers = 3;
        frame_ = app_->GetMainWindow()->GetHandle();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        app_.reset();
        SavedPrinterTest::TearDown();
    }
    // Answers the print dialog: the "PDF file" printer, and printed pages from..to when given.
    void AnswerPrintDialog(int from = 0, int to = 0) {
        qsm::wm::SetModalHook([this, from, to](HWND dlg) {
            ++dialogs_;
            SendDlgItemMessageA(dlg, qsm::print::kPrinterCombo, CB_SETCURSEL, 0, 0);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(qsm::print::kPrinterCombo, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, qsm::print::kPrinterCombo)));
            if (from > 0) {
                SendDlgItemMessageA(dlg, qsm::print::kPageRange, BM_CLICK, 0, 0);
                SetDlgItemInt(dlg, qsm::print::kFromPage, static_cast<UINT>(from), FALSE);
                SetDlgItemInt(dlg, qsm::print::kToPage, static_cast<UINT>(to), FALSE);
            }
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
    }
    int Pages(const std::string& pdf) {
        int n = 0;
        double w = 0, h = 0;
        return PdfPages(pdf, cups.OldPath(), &n, &w, &h) ? n : -1;
    }
    std::string score_;
    std::unique_ptr<TQSMViewerApp> app_;
    HWND frame_ = nullptr;
    int dialogs_ = 0;
};

TEST_F(PrintCommandTest, ThePrintDialogsRangeIsInPrintedPageNumbers) {
    AnswerPrintDialog(4, 5);
    SendMessageA(frame_, WM_COMMAND, 113, 0);
    EXPECT_EQ(dialogs_, 1);
    // Printed pages 4 and 5 of a score numbered from 3: its second and third pages.
    const std::string pdf = cups.Home() + "/Long Study.pdf";
    ASSERT_EQ(Pages(pdf), 2);
    std::vector<PdfWord> words = Words(pdf);
    EXPECT_NE(Find(words, 1, "4"), nullptr);
    EXPECT_NE(Find(words, 2, "5"), nullptr);
    EXPECT_EQ(Find(words, 1, "Long"), nullptr);  // not the title page
    // Cancelled, the dialog prints nothing.
    qsm::wm::SetModalHook([](HWND dlg) { PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
    std::filesystem::remove(pdf);
    SendMessageA(frame_, WM_COMMAND, 113, 0);
    EXPECT_FALSE(FileExists(pdf));
}

TEST_F(PrintCommandTest, APrinterThatIsNoLongerTheDefaultIsForgottenAndTheDialogRunsAgain) {
    // The printer object took "Office", the default, at its making; then CUPS goes away.
    ASSERT_STREQ(GetViewerPrinter().GetSetup().GetDeviceName(), "Office");
    cups.RemoveCups();
    AnswerPrintDialog();
    SendMessageA(frame_, WM_COMMAND, 113, 0);
    EXPECT_EQ(dialogs_, 1);  // the first run failed without showing itself
    EXPECT_GE(Pages(cups.Home() + "/Long Study.pdf"), 3);
}

// Set on the status text of a page: the user presses the print window's Cancel.
int g_cancelAtPage = 0;
void CancelAtPage(const char* text, bool) {
    if (g_cancelAtPage == 0 || text == nullptr) return;
    if (std::string(text) != "Printing Page " + std::to_string(g_cancelAtPage)) return;
    if (HWND window = FindWindowA(nullptr, "Score Print")) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(PrintCommandTest, CancelInTheMiddleOfAJobEndsItAfterThatPageAndKeepsNothing) {
    AnswerPrintDialog();
    g_cancelAtPage = 2;
    qsm::SetStatusTextSink(CancelAtPage);
    SendMessageA(frame_, WM_COMMAND, 113, 0);
    qsm::SetStatusTextSink(nullptr);
    g_cancelAtPage = 0;
    EXPECT_EQ(dialogs_, 1);
    EXPECT_FALSE(FileExists(cups.Home() + "/Long Study.pdf"));
    EXPECT_EQ(GetPrintCancelFlag(), 0);
    EXPECT_TRUE(IsWindowEnabled(frame_));
    EXPECT_EQ(FindWindowA(nullptr, "Score Print"), nullptr);
}

TEST(PrintNames, DocumentNameAndDirectOutput) {
    EXPECT_EQ(PrintDocumentName("Sonata No. 5"), "Sonata No");
    EXPECT_EQ(PrintDocumentName(""), "Untitled");
    EXPECT_EQ(PrintDocumentName(nullptr), "Untitled");
    EXPECT_EQ(DirectPrintOutput("/songs/piece.qsm", ""), "/songs/piece.pdf");
    EXPECT_EQ(DirectPrintOutput("/songs/tune.mid", "/out"), "/out/tune.pdf");
    EXPECT_EQ(DirectPrintOutput("", "/out"), "");
}

}  // namespace
