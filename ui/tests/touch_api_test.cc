// The touch table: nothing found on this platform, the publication rule, wrappers of missing functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/touch_api.h"

namespace {

int g_calls = 0;
BOOL FakeRegister(HWND, ULONG flags) {
    ++g_calls;
    return static_cast<BOOL>(flags);
}
BOOL FakeInfo(HGESTUREINFO, GESTUREINFO* out) {
    ++g_calls;
    out->dwID = 3;
    return TRUE;
}
BOOL FakeAny() {
    ++g_calls;
    return TRUE;
}

bool g_withoutSetGestureConfig = false;
FARPROC FakeLookup(const char* name) {
    if (std::strcmp(name, "RegisterTouchWindow") == 0) return reinterpret_cast<FARPROC>(FakeRegister);
    if (std::strcmp(name, "GetGestureInfo") == 0) return reinterpret_cast<FARPROC>(FakeInfo);
    if (g_withoutSetGestureConfig && std::strcmp(name, "SetGestureConfig") == 0) return nullptr;
    return reinterpret_cast<FARPROC>(FakeAny);
}

TEST(TouchApi, ThisPlatformOffersNoneSoNothingIsPublished) {
    TouchApi api;
    EXPECT_FALSE(api.IsComplete());
    EXPECT_EQ(PublishedTouchApi, nullptr);
    GESTUREINFO gi{};
    EXPECT_EQ(api.GetGestureInfo(nullptr, &gi), 0);
    EXPECT_EQ(api.RegisterTouchWindow(nullptr, 1), 0);
    UINT count = 1;
    EXPECT_EQ(api.GetGestureConfig(nullptr, 0, 0, &count, nullptr, 0), 0);
    // The names end with the module they are looked for in.
    const char* p = TouchApi::kNames;
    std::string last;
    for (int i = 0; i < 8; ++i, p += std::strlen(p) + 1)
        last = p;
    EXPECT_EQ(last, "User32.dll");
}

TEST(TouchApi, OneMissingFunctionKeepsTheTableUnpublishedButTheOthersWork) {
    g_withoutSetGestureConfig = true;
    g_calls = 0;
    TouchApi api(FakeLookup);
    EXPECT_FALSE(api.IsComplete());
    EXPECT_EQ(PublishedTouchApi, nullptr);
    GESTURECONFIG gc{};
    EXPECT_EQ(api.SetGestureConfig(nullptr, 0, 1, &gc, sizeof gc), 0);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(api.RegisterTouchWindow(nullptr, 5), 5);
    GESTUREINFO gi{};
    EXPECT_TRUE(api.GetGestureInfo(nullptr, &gi));
    EXPECT_EQ(gi.dwID, 3u);
    EXPECT_EQ(g_calls, 2);
}

TEST(TouchApi, TheFirstCompleteTableStaysPublished) {
    g_withoutSetGestureConfig = false;
    {
        TouchApi first(FakeLookup);
        EXPECT_EQ(PublishedTouchApi, &first);
        TouchApi second(FakeLookup);
        EXPECT_TRUE(second.IsComplete());
        EXPECT_EQ(PublishedTouchApi, &first);
    }
    // Gone with the table: nothing points to it any more.
    EXPECT_EQ(PublishedTouchApi, nullptr);
}

}  // namespace
