// Built-in modules: found by name like loaded libraries, offering the functions their layer registered.
#include <gtest/gtest.h>

#include "platform/kernel/module.h"

namespace {

int Seven() {
    return 7;
}

TEST(BuiltinModules, SystemLibrariesArePartsOfTheProgram) {
    HMODULE user = GetModuleHandleA("User32.dll");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(LoadLibraryA("USER32"), user);
    EXPECT_EQ(GetModuleHandleA("user32.DLL"), user);
    HMODULE theme = LoadLibraryA("UxTheme.dll");
    ASSERT_NE(theme, nullptr);
    EXPECT_NE(theme, user);
    EXPECT_NE(LoadLibraryA("RichEd20.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("RichEd32.dll"), nullptr);
    // None of the touch and panning functions is there.
    EXPECT_EQ(GetProcAddress(user, "RegisterTouchWindow"), nullptr);
    EXPECT_EQ(GetProcAddress(theme, "BeginPanningFeedback"), nullptr);
    EXPECT_TRUE(FreeLibrary(theme));
    EXPECT_EQ(LoadLibraryA("UxTheme.dll"), theme);

    // What a layer (or a test) registers is found, and can be taken back.
    auto before =
        qsm::SetBuiltinModuleFunctions("User32.dll", {{"Seven", reinterpret_cast<FARPROC>(&Seven)}});
    FARPROC f = GetProcAddress(user, "Seven");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)()>(f)(), 7);
    EXPECT_EQ(GetProcAddress(user, "seven"), nullptr);  // function names keep their case
    qsm::SetBuiltinModuleFunctions("User32.dll", before);
    EXPECT_EQ(GetProcAddress(user, "Seven"), nullptr);
}

}  // namespace
