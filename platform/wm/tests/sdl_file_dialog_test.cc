// The file save dialog on a real display through the SDL backend: it shows what the window manager drew,
// and a name typed on the display's keyboard with Return ends it. With QSM_WM_FILE_DIALOG_SCREENSHOT set to
// a path, the dialog as the X server shows it is written there as PNG (docs/wm_file_dialog.png).
#include <cairo.h>
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/wm/backend.h"
#include "platform/wm/file_dialog.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"

cairo_surface_t* GrabScreen(const RECT& r);
bool XWindowOrigin(SDL_Window* win, int* x, int* y);

namespace qsm::wm {
namespace {

Uint32 SdlWindowOf(HWND hwnd) {
    for (Uint32 i = 1; i < 64; ++i)
        if (SDL_Window* sw = SDL_GetWindowFromID(i);
            sw != nullptr && SDL_GetWindowData(sw, "qsm.hwnd") == hwnd)
            return i;
    return 0;
}

class SdlFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr || !InstallSdlBackend()) GTEST_SKIP() << "no display";
        char tmpl[] = "/tmp/qsm-sdl-filedlg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        for (const char* f : {"Greensleeves.qsm", "Scarborough Fair.qsm", "notes.txt"})
            std::ofstream(dir_ + "/" + f) << "x";
        std::filesystem::create_directory(dir_ + "/Hymns");
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
        if (!SdlBackendActive()) return;
        ResetForTests();
        RemoveSdlBackend();
    }
    std::string dir_;
};

TEST_F(SdlFileDialogTest, TheSaveDialogIsOnTheScreenAndTakesTheDisplaysKeys) {
    char file[260] = "Song";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "Standard QSM File\0*.qsm\0qsmtxt File\0*.qsmtxt\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = dir_.c_str();
    ofn.lpstrDefExt = "qsm";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    long differing = -1;
    SetModalHook([&](HWND dlg) {
        RECT wr;
        GetWindowRect(dlg, &wr);
        int w = wr.right - wr.left, h = wr.bottom - wr.top;
        auto px = [](cairo_surface_t* s, int x, int y) {
            auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
            return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFFu;
        };
        // Until the X server shows what the window manager drew; the caret may differ.
        bool shown = RunUntil([&] {
            cairo_surface_t* screen = GrabScreen(wr);
            if (screen == nullptr) return true;
            cairo_surface_t* buffer = TopLevelSurface(dlg);
            cairo_surface_flush(buffer);
            differing = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    differing += px(screen, x, y) != px(buffer, x, y);
            if (const char* path = getenv("QSM_WM_FILE_DIALOG_SCREENSHOT");
                path != nullptr && differing < 64) {
                EXPECT_EQ(cairo_surface_write_to_png(screen, path), CAIRO_STATUS_SUCCESS);
            }
            cairo_surface_destroy(screen);
            return differing < 64;
        });
        if (!shown) {
            int x = 0, y = 0;
            XWindowOrigin(SDL_GetWindowFromID(SdlWindowOf(dlg)), &x, &y);
            ADD_FAILURE() << "placed at " << wr.left << "," << wr.top << " now " <<
                [&] {
                    RECT now;
                    GetWindowRect(dlg, &now);
                    return std::to_string(now.left) + "," + std::to_string(now.top);
                }() << ", on the display at "
                          << x << "," << y;
        }
        // The name field has the focus with its text selected: typing replaces it, Return saves.
        Uint32 id = SdlWindowOf(dlg);
        SDL_Event t{};
        t.type = SDL_TEXTINPUT;
        t.text.windowID = id;
        strcpy(t.text.text, "Carol");
        SDL_PushEvent(&t);
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event k{};
            k.type = type;
            k.key.windowID = id;
            k.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            k.key.keysym.sym = SDLK_RETURN;
            k.key.keysym.scancode = SDL_SCANCODE_RETURN;
            SDL_PushEvent(&k);
        }
    });
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_GE(differing, 0);
    EXPECT_LT(differing, 64);  // the caret may differ
    EXPECT_EQ(std::string(file), dir_ + "/Carol.qsm");
}

}  // namespace
}  // namespace qsm::wm
