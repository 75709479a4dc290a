// A 32-staff, 2,000-bar score laid out into pages and printed to a finished PDF on the "PDF file" printer,
// and the same score only broken into pages (the layout every print job and preview starts from).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/framework/printer.h"
#include "platform/print/printers.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"
#include "viewer/tests/print_test_util.h"

namespace {

void BM_PrintLargeScoreToPdf(benchmark::State& state) {
    qsm::InstallScoreHooks();
    qsm::print::InstallPrinters();
    // The smoke run of the test suite prints a few bars only.
    const int bars = std::getenv("QSM_BENCH_SMOKE") ? 8 : static_cast<int>(state.range(0));
    auto score = qsm::printtest::LongScore(32, bars);
    TColorPalette palette;
    std::string out = "/tmp/qsm_print_bench_" + std::to_string(getpid()) + ".pdf";
    int pages = 0;
    for (auto _ : state) {
        TQSMPrintData data(new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr), score.get(),
                           score.get(), &palette);
        data.lastPage = INT_MAX;
        if (PrintJob(&data, "Bench", out.c_str()) != TPrintResult::Printed)
            state.SkipWithError("print failed");
        state.PauseTiming();
        pages = data.CountPages();
        std::remove(out.c_str());
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintLargeScoreToPdf)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PaginateLargeScore(benchmark::State& state) {
    qsm::InstallScoreHooks();
    qsm::print::InstallPrinters();
    const int bars = std::getenv("QSM_BENCH_SMOKE") ? 8 : static_cast<int>(state.range(0));
    auto score = qsm::printtest::LongScore(32, bars);
    TColorPalette palette;
    TQSMPrintData data(new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr), score.get(),
                       score.get(), &palette);
    data.lastPage = INT_MAX;
    int pages = 0;
    for (auto _ : state)
        pages = data.CountPages();
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PaginateLargeScore)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
