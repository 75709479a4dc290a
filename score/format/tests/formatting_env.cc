// Every test program over the formatting passes starts as the programs do: with the passes installed in the
// hooks through which staff edits reformat. The library adds this file to each test program that links it
// (score/format/CMakeLists.txt).
#include <gtest/gtest.h>

#include "score/format/format.h"

namespace {

class StaffFormattingEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InstallStaffFormatting(); }
};

[[maybe_unused]] ::testing::Environment* const kStaffFormatting =
    ::testing::AddGlobalTestEnvironment(new StaffFormattingEnvironment);

}  // namespace
