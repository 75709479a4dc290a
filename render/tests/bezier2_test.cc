#include "render/bezier2.h"

#include <gtest/gtest.h>

namespace {

TEST(Bezier2, SafeDivideKeepsTheSignOfTinyDivisors) {
    EXPECT_FLOAT_EQ(SafeDivide(1, 0), 1000);
    EXPECT_FLOAT_EQ(SafeDivide(1, -0.0005f), -1000);
    EXPECT_FLOAT_EQ(SafeDivide(1, 0.5f), 2);
    EXPECT_TRUE(IsUnitParameter(0));
    EXPECT_TRUE(IsUnitParameter(1));
    EXPECT_FALSE(IsUnitParameter(-0.01f));
}

TEST(Bezier2, ToCubicUsesTheTwoThirdsRule) {
    POINT c[4];
    Bezier2(0, 0, 30, 30, 60, 0).ToCubic(c);
    EXPECT_EQ(c[0].x, 0);
    EXPECT_EQ(c[1].x, 20);
    EXPECT_EQ(c[1].y, 20);
    EXPECT_EQ(c[2].x, 40);
    EXPECT_EQ(c[2].y, 20);
    EXPECT_EQ(c[3].x, 60);
    EXPECT_EQ(c[3].y, 0);
    // Negative differences truncate toward zero after the multiplication.
    Bezier2(0, 0, -10, -10, -20, 0).ToCubic(c);
    EXPECT_EQ(c[1].x, -6);
    EXPECT_EQ(c[2].x, -13);
}

TEST(Bezier2, SolvingForX) {
    Bezier2 straight(0, 0, 50, 20, 100, 0);  // control at the midpoint: A = 0
    float t = -1;
    EXPECT_EQ(straight.TForX(25, &t), 1);
    EXPECT_FLOAT_EQ(t, 0.25f);
    EXPECT_EQ(straight.TForX(-5, &t), 0);
    EXPECT_EQ(straight.YForX(-5), 0);
    Bezier2 falling(0, 10, 50, 20, 100, 40);
    EXPECT_EQ(falling.YForX(200), 40);
    EXPECT_EQ(falling.YForX(50), falling.PointAt(0.5f).y);
    EXPECT_TRUE(falling.ContainsX(100));
    EXPECT_FALSE(falling.ContainsX(101));

    // An x that runs back on itself: 0 -> 100 -> 20.
    Bezier2 back(0, 0, 100, 50, 20, 0);
    float t1 = -1, t2 = -1;
    EXPECT_EQ(back.TForX(40, &t1, &t2), 2);
    EXPECT_NEAR(back.PointAt(t1).x, 40, 1);
    EXPECT_NEAR(back.PointAt(t2).x, 40, 1);
    // Past the end point only one root lies in [0, 1].
    EXPECT_EQ(back.TForX(10, &t1, &t2), 1);
    // t1 past the end while t2 lies inside: none reported.
    Bezier2 hook(0, 0, -50, 0, -10, 0);
    EXPECT_EQ(hook.TForX(-5, &t1, &t2), 0);
}

TEST(Bezier2, WideCurvesDoNotOverflow) {
    // B*B alone exceeds 32 bits here.
    Bezier2 wide(0, 0, 30000, 500, 90000, 0);
    float t = -1;
    ASSERT_EQ(wide.TForX(45000, &t), 1);
    EXPECT_NEAR(wide.PointAt(t).x, 45000, 30);
}

TEST(Bezier2, ExtremeCoordinatesStayDefined) {
    // Values near the ends of the 32-bit range: the arithmetic must neither overflow nor convert an
    // out-of-range float; results saturate.
    Bezier2 huge(-2000000000, -2000000000, 0, 2000000000, 2000000000, -2000000000);
    float t = -1;
    EXPECT_EQ(huge.TForX(0, &t), 1);
    EXPECT_NEAR(t, 0.5f, 1e-3f);
    POINT c[4];
    huge.ToCubic(c);
    EXPECT_EQ(c[1].x, -2000000000 + 2000000000 / 3 * 2 + 1);
    EXPECT_EQ(c[2].y, 2000000000 - 4000000000LL / 3);
    // Fitting a point next to the start divides by almost nothing.
    Bezier2 steep(0, 0, 1000, 0, 2000000000, 0);
    EXPECT_EQ(steep.FitThroughPoint({1, -2000000000}, 1), 1);
    EXPECT_EQ(steep.y1, INT32_MIN);
    POINT pts[3] = {{0, 2000000000}, {0, -2000000000}, {2000000000, 2000000000}};
    Bezier2 fit;
    fit.FitOverPoints(3, pts, 2000000000, 1);
    EXPECT_EQ(fit.x0, 0);
    EXPECT_EQ(fit.x2, 2000000000);
}

TEST(Bezier2, Fitting) {
    Bezier2 back(0, 0, 100, 50, 20, 0);
    Bezier2 copy = back;
    EXPECT_EQ(back.FitThroughPoint({40, -100}, 1), 0);  // two solutions: unchanged
    EXPECT_EQ(back.y1, copy.y1);

    Bezier2 flat(0, 0, 50, 0, 100, 0);
    EXPECT_EQ(flat.FitThroughPoint({50, -20}, 1), 1);
    EXPECT_EQ(flat.y1, -40);
    EXPECT_EQ(flat.YForX(50), -20);
    // A point the curve already clears leaves it as it is.
    EXPECT_EQ(flat.FitThroughPoint({50, -5}, 1), 1);
    EXPECT_EQ(flat.y1, -40);

    POINT two[2] = {{0, 100}, {200, 100}};
    Bezier2 arch;
    arch.FitOverPoints(2, two, 30, 1);
    EXPECT_EQ(arch.x0, 0);
    EXPECT_EQ(arch.x2, 200);
    EXPECT_NEAR(arch.YForX(100), 70, 1);

    POINT three[3] = {{0, 100}, {40, 60}, {200, 100}};
    Bezier2 over;
    over.FitOverPoints(3, three, 10, 1);
    EXPECT_LE(over.YForX(40), 60);  // the curve clears the inner point
    EXPECT_LT(over.x1, 100);        // and its peak moves toward it
    Bezier2 under;
    POINT low[3] = {{0, 100}, {150, 150}, {200, 100}};
    under.FitOverPoints(3, low, 10, -1);
    EXPECT_GE(under.YForX(150), 149);  // through the point, to the truncated pixel
}

}  // namespace
