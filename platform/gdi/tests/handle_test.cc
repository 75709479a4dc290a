// Handles of drawing objects: found while the object lives, refused once it is deleted or when they never
// named one, also while other threads make and delete objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <memory>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"

namespace {

bool Alive(HGDIOBJ h) {
    LOGPEN lp{};
    return GetObjectA(h, sizeof lp, &lp) == static_cast<int>(sizeof lp);
}

TEST(GdiHandles, LiveObjectsAreFoundDeletedAndForeignOnesRefused) {
    std::vector<HPEN> pens;
    for (int i = 0; i < 5000; ++i)
        pens.push_back(CreatePen(PS_SOLID, 1, RGB(i & 255, 0, 0)));
    for (size_t i = 0; i < pens.size(); i += 2)
        ASSERT_TRUE(DeleteObject(pens[i]));
    for (size_t i = 0; i < pens.size(); ++i) {
        LOGPEN lp{};
        if (i % 2) {
            ASSERT_EQ(GetObjectA(pens[i], sizeof lp, &lp), static_cast<int>(sizeof lp));
            EXPECT_EQ(lp.lopnColor, RGB(i & 255, 0, 0));
        }
    }
    int local = 0;
    for (HGDIOBJ foreign : {static_cast<HGDIOBJ>(nullptr), reinterpret_cast<HGDIOBJ>(uintptr_t{1}),
                            reinterpret_cast<HGDIOBJ>(uintptr_t{6}), static_cast<HGDIOBJ>(&local)}) {
        EXPECT_FALSE(Alive(foreign));
        EXPECT_FALSE(DeleteObject(foreign));
    }
    for (size_t i = 1; i < pens.size(); i += 2)
        ASSERT_TRUE(DeleteObject(pens[i]));
    // Deleted ones stay refused after the table has been rebuilt by more objects.
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 3000; ++i)
        brushes.push_back(CreateSolidBrush(RGB(0, i & 255, 0)));
    for (HBRUSH b : brushes) {
        LOGBRUSH lb{};
        EXPECT_EQ(GetObjectA(b, sizeof lb, &lb), static_cast<int>(sizeof lb));
        DeleteObject(b);
    }
    EXPECT_TRUE(Alive(GetStockObject(BLACK_PEN)));
}

TEST(GdiHandles, ObjectsOfOtherThreadsComeAndGoWithoutDisturbingOnesInUse) {
    HPEN kept = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    std::atomic<bool> lost{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&lost, kept] {
            for (int i = 0; i < 2000; ++i) {
                HPEN p = CreatePen(PS_SOLID, 1, RGB(i & 255, 0, 0));
                if (!Alive(p) || !Alive(kept)) lost = true;
                DeleteObject(p);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_FALSE(lost);
    EXPECT_TRUE(Alive(kept));
    DeleteObject(kept);
}

// A long session makes and deletes objects by the million, at addresses that drift: the table must not grow
// with them.
TEST(GdiHandles, ObjectsThatComeAndGoLeaveTheTableItsSize) {
    std::vector<HPEN> window;
    std::vector<std::unique_ptr<char[]>> drift;
    for (int i = 0; i < 40; ++i)
        window.push_back(CreatePen(PS_SOLID, 1, RGB(i, 0, 0)));
    const size_t before = qsm::gdi::ObjectTableSlots();
    for (int i = 0; i < 300000; ++i) {
        if (i % 7 == 0) drift.push_back(std::make_unique<char[]>(48 + i % 200));
        if (drift.size() > 500) drift.erase(drift.begin(), drift.begin() + 250);
        ASSERT_TRUE(DeleteObject(window[i % window.size()]));
        window[i % window.size()] = CreatePen(PS_SOLID, 1, RGB(0, i & 255, 0));
    }
    EXPECT_LE(qsm::gdi::ObjectTableSlots(), std::max<size_t>(before, 1024));
    for (HPEN p : window)
        EXPECT_TRUE(DeleteObject(p));
}

}  // namespace
