// The early look at the printers: it runs on a thread of its own, the first ListPrinters takes its list, and
// later calls look again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/print/printers.h"
#include "platform/print/tests/print_test_util.h"

namespace qsm::print::testing {
namespace {

std::vector<std::string> Names(const std::vector<PrinterInfo>& list) {
    std::vector<std::string> names;
    for (const PrinterInfo& p : list)
        names.push_back(p.name + (p.isDefault ? "*" : "") + "/" + std::to_string(p.dpi));
    return names;
}

TEST(PrinterLookup, TheFirstListIsTheEarlyLookAndLaterListsLookAgain) {
    FakeCups cups;
    StartPrinterLookup();
    StartPrinterLookup();  // one look per process
    const std::vector<std::string> expected = {"PDF file/600", "Office*/1200", "Label/600"};
    EXPECT_EQ(Names(ListPrinters()), expected);
    cups.RemoveCups();
    EXPECT_EQ(Names(ListPrinters()), std::vector<std::string>{"PDF file*/600"});
    // Started again, it does not look again: the list is the one of now.
    StartPrinterLookup();
    EXPECT_EQ(Names(ListPrinters()), std::vector<std::string>{"PDF file*/600"});
}

}  // namespace
}  // namespace qsm::print::testing
