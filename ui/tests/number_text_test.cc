// Reading the numbers of the numeric controls and the step rules of their arrows, at their bounds.
#include "ui/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>

namespace {

using qsm::ClampInt;
using qsm::ReadIntText;
using qsm::ReadRealText;
using qsm::StepIntValue;
using qsm::StepRealValue;

TEST(NumberTextTest, IntegersReadLikeTheCLibraryButNeverOverflow) {
    EXPECT_EQ(ReadIntText(" \t-12x4"), -12);
    EXPECT_EQ(ReadIntText("+3"), 3);
    EXPECT_EQ(ReadIntText("abc"), 0);
    EXPECT_EQ(ReadIntText("-"), 0);
    EXPECT_EQ(ReadIntText(""), 0);
    EXPECT_EQ(ReadIntText(nullptr), 0);
    EXPECT_EQ(ReadIntText("2147483647"), INT32_MAX);
    EXPECT_EQ(ReadIntText("2147483648"), INT32_MAX);
    EXPECT_EQ(ReadIntText("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadIntText("-99999999999999999999999"), INT32_MIN);
}

TEST(NumberTextTest, RealsTakeOnePointAndNoExponent) {
    EXPECT_FLOAT_EQ(ReadRealText("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(ReadRealText("  -0.25abc"), -0.25f);
    EXPECT_FLOAT_EQ(ReadRealText("1.2.3"), 1.2f);
    EXPECT_FLOAT_EQ(ReadRealText("1e5"), 1.0f);
    EXPECT_FLOAT_EQ(ReadRealText(".5"), 0.5f);
    EXPECT_EQ(ReadRealText("."), 0.0f);
    EXPECT_FALSE(std::signbit(ReadRealText("-0.0")));
    EXPECT_EQ(ReadRealText(std::string(400, '9').c_str()), FLT_MAX);
    EXPECT_EQ(ReadRealText(("-" + std::string(400, '9')).c_str()), -FLT_MAX);
}

TEST(NumberTextTest, ClampingLetsTheMinimumWinWhenTheBoundsCross) {
    EXPECT_EQ(ClampInt(50, 1, 10), 10);
    EXPECT_EQ(ClampInt(-50, 1, 10), 1);
    EXPECT_EQ(ClampInt(4, 5, 3), 5);
    EXPECT_EQ(ClampInt(int64_t{1} << 40, INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(qsm::ClampReal(NAN, -1, 1), -1);
}

TEST(NumberTextTest, IntegerStepsLandOnTheNextGridValueOnBothSidesOfZero) {
    // Step 5: a value off the grid goes to the grid value next to it, one on the grid a whole step.
    EXPECT_EQ(StepIntValue(7, +1, 5, -100, 100), 10);
    EXPECT_EQ(StepIntValue(7, -1, 5, -100, 100), 5);
    EXPECT_EQ(StepIntValue(10, -1, 5, -100, 100), 5);
    EXPECT_EQ(StepIntValue(10, +1, 5, -100, 100), 15);
    EXPECT_EQ(StepIntValue(-7, +1, 5, -100, 100), -5);
    EXPECT_EQ(StepIntValue(-7, -1, 5, -100, 100), -10);
    EXPECT_EQ(StepIntValue(-10, +1, 5, -100, 100), -5);
    EXPECT_EQ(StepIntValue(-10, -1, 5, -100, 100), -15);
    EXPECT_EQ(StepIntValue(-1, +1, 5, -100, 100), 0);
    // Bounds hold, and steps below 1 count as 1.
    EXPECT_EQ(StepIntValue(30000, +1, 1, 1, 30000), 30000);
    EXPECT_EQ(StepIntValue(1, -1, 1, 1, 30000), 1);
    EXPECT_EQ(StepIntValue(0, +1, 1, 1, 30000), 1);
    EXPECT_EQ(StepIntValue(3, +1, 0, -10, 10), 4);
    EXPECT_EQ(StepIntValue(3, -1, -4, -10, 10), 2);
    // No overflow at the ends of the type.
    EXPECT_EQ(StepIntValue(INT32_MAX, +1, 7, INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(StepIntValue(INT32_MIN, -1, 7, INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(StepIntValue(INT32_MIN + 2, +1, 1, 3, 10), 3);
}

TEST(NumberTextTest, RealStepsMoveToTheNeighbouringMultipleOfTheStep) {
    EXPECT_NEAR(StepRealValue(0.3f, +1, 0.1f, -10, 10), 0.4f, 1e-6);
    EXPECT_NEAR(StepRealValue(0.3f, -1, 0.1f, -10, 10), 0.2f, 1e-6);
    EXPECT_NEAR(StepRealValue(0.25f, +1, 0.1f, -10, 10), 0.3f, 1e-6);
    EXPECT_NEAR(StepRealValue(0.25f, -1, 0.1f, -10, 10), 0.2f, 1e-6);
    EXPECT_NEAR(StepRealValue(-0.25f, +1, 0.1f, -10, 10), -0.2f, 1e-6);
    EXPECT_NEAR(StepRealValue(-0.25f, -1, 0.1f, -10, 10), -0.3f, 1e-6);
    EXPECT_NEAR(StepRealValue(7.0f, +1, 2.5f, -10, 10), 7.5f, 1e-6);
    EXPECT_NEAR(StepRealValue(7.5f, +1, 2.5f, -10, 10), 10.0f, 1e-6);
    EXPECT_NEAR(StepRealValue(9.9f, +1, 2.5f, -10, 10), 10.0f, 1e-6);
    EXPECT_EQ(StepRealValue(1.25f, +1, 0.0f, -10, 10), 1.25f);
    EXPECT_EQ(StepRealValue(FLT_MAX, +1, 1e30f, -FLT_MAX, FLT_MAX), FLT_MAX);
}

}  // namespace
