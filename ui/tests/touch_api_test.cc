// The touch table: nothing found on this platform, the publication rule, wrappers of missing functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
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

namespace {

BOOL FakeBegin(HWND) {
    return 11;
}
BOOL FakeEnd(HWND, BOOL animateBack) {
    return 20 + animateBack;
}
BOOL FakeUpdate(HWND, LONG x, LONG y, BOOL inertia) {
    return static_cast<BOOL>(x + y + inertia);
}

TEST(PanningApi, FoundOnlyWhenTheThemeLibraryOffersAllThree) {
    // This platform's theme library has none of them.
    {
        PanningApi api;
        EXPECT_FALSE(api.IsComplete());
        EXPECT_EQ(PublishedPanningApi, nullptr);
        EXPECT_EQ(api.BeginPanningFeedback(nullptr), 0);
        EXPECT_EQ(api.EndPanningFeedback(nullptr), 0);
        EXPECT_EQ(api.UpdatePanningFeedback(nullptr, 1, 2, 1), 0);
    }
    // A library that offers them is used, through the same run-time look-up.
    auto before = qsm::SetBuiltinModuleFunctions(
        "UxTheme.dll", {{"BeginPanningFeedback", reinterpret_cast<FARPROC>(FakeBegin)},
                        {"EndPanningFeedback", reinterpret_cast<FARPROC>(FakeEnd)},
                        {"UpdatePanningFeedback", reinterpret_cast<FARPROC>(FakeUpdate)}});
    {
        PanningApi api;
        EXPECT_EQ(PublishedPanningApi, &api);
        EXPECT_EQ(api.BeginPanningFeedback(nullptr), 11);
        EXPECT_EQ(api.EndPanningFeedback(nullptr), 21);  // always animated back
        EXPECT_EQ(api.UpdatePanningFeedback(nullptr, 3, 4, 1), 8);
        PanningApi second;
        EXPECT_EQ(PublishedPanningApi, &api);
    }
    EXPECT_EQ(PublishedPanningApi, nullptr);
    // Two of three: nothing published, the two still answer.
    qsm::SetBuiltinModuleFunctions("UxTheme.dll",
                                   {{"BeginPanningFeedback", reinterpret_cast<FARPROC>(FakeBegin)},
                                    {"EndPanningFeedback", reinterpret_cast<FARPROC>(FakeEnd)}});
    {
        PanningApi api;
        EXPECT_EQ(PublishedPanningApi, nullptr);
        EXPECT_EQ(api.BeginPanningFeedback(nullptr), 11);
        EXPECT_EQ(api.UpdatePanningFeedback(nullptr, 3, 4, 1), 0);
    }
    qsm::SetBuiltinModuleFunctions("UxTheme.dll", before);
}

TEST(TouchApi, TheUserLibraryIsSearchedWhenItOffersTheFunctions) {
    g_withoutSetGestureConfig = false;
    std::vector<qsm::BuiltinFunction> fakes;
    for (const char* name = TouchApi::kNames; std::strcmp(name, "User32.dll") != 0;
         name += std::strlen(name) + 1)
        fakes.push_back({name, FakeLookup(name)});
    auto before = qsm::SetBuiltinModuleFunctions("User32.dll", fakes);
    {
        TouchApi api;
        EXPECT_EQ(PublishedTouchApi, &api);
        EXPECT_EQ(api.RegisterTouchWindow(nullptr, 9), 9);
    }
    qsm::SetBuiltinModuleFunctions("User32.dll", before);
}

TEST(BuiltinModules, TheGraphicsLibraryOffersThePrivateFontFunctions) {
    HMODULE gdi = LoadLibraryA("gdi32.dll");
    ASSERT_NE(gdi, nullptr);
    EXPECT_EQ(GetProcAddress(gdi, "AddFontResourceExA"), reinterpret_cast<FARPROC>(&AddFontResourceExA));
    EXPECT_EQ(GetProcAddress(gdi, "RemoveFontResourceExA"),
              reinterpret_cast<FARPROC>(&RemoveFontResourceExA));
    EXPECT_EQ(GetProcAddress(gdi, "AddFontMemResourceEx"), nullptr);
    EXPECT_TRUE(FreeLibrary(gdi));
}

}  // namespace
