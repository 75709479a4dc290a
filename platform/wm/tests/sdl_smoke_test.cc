// The SDL backend on a real display (CTest runs it under Xvfb): a dialog with every standard control is
// shown in an SDL window, the pixels the X server holds are the window's back buffer, and SDL's events come
// back as the window manager's input. With QSM_WM_SCREENSHOT set to a path, the dialog as the X server
// shows it is written there as PNG (docs/wm_controls.png is made so).
#include <cairo.h>
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/wm/backend.h"
#include "platform/wm/dialog_template.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"
#include "platform/wm/tests/shot_util.h"
#include "platform/wm/winuser.h"
#include "platform/wm/x_image.h"

// Whether the X server has given the keyboard to the window (x11_grab.cc).
bool XHasKeyboardFocus(SDL_Window* win);
// Where the X server has the window's top-left corner (x11_grab.cc).
bool XWindowOrigin(SDL_Window* win, int* x, int* y);

namespace qsm::wm {
namespace {

const char kAllControls[] = R"(dialog 20 20 300 196 "Every standard control"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE
font 8 "MS Sans Serif"
ltext "&Name:" -1 7 9 30 8
edittext 101 40 7 110 12 ES_AUTOHSCROLL | WS_TABSTOP
groupbox "Side" -1 7 26 70 56
autoradiobutton "&Left" 102 14 38 50 10 WS_GROUP | WS_TABSTOP
autoradiobutton "&Right" 103 14 52 50 10
autoradiobutton "&Both" 104 14 66 50 10
autocheckbox "&Loud" 105 85 30 60 10 WS_TABSTOP
checkbox "&Quiet" 106 85 44 60 10 WS_TABSTOP
ctext "Centred text" -1 85 60 65 8
rtext "Right text" -1 85 72 65 8
listbox 107 160 7 133 60 LBS_NOTIFY | LBS_MULTIPLESEL | WS_VSCROLL | WS_BORDER | WS_TABSTOP
combobox 108 7 90 100 60 CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
combobox 109 115 90 100 60 CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP
edittext 110 160 72 133 14 ES_MULTILINE | WS_VSCROLL | WS_TABSTOP
scrollbar 111 7 110 208 10 SBS_HORZ
control "" 112 msctls_progress32 7 126 208 10 WS_BORDER
control "Song information in the rich-text view." 113 RichEdit20A 7 142 208 28 WS_BORDER | WS_VSCROLL
pushbutton "&More..." 114 222 110 70 14 WS_TABSTOP
defpushbutton "OK" 1 170 176 60 14 WS_TABSTOP
pushbutton "Cancel" 2 233 176 60 14 WS_TABSTOP
)";

INT_PTR DialogProc(HWND h, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            SetDlgItemTextA(h, 101, "Greensleeves");
            CheckRadioButton(h, 102, 104, 103);
            CheckDlgButton(h, 105, BST_CHECKED);
            for (const char* s : {"Soprano", "Alto", "Tenor", "Bass", "Organ", "Strings"})
                SendDlgItemMessageA(h, 107, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessageA(h, 107, LB_SETSEL, TRUE, 1);
            SendDlgItemMessageA(h, 107, LB_SETSEL, TRUE, 3);
            for (const char* s : {"Treble clef", "Bass clef"})
                SendDlgItemMessageA(h, 108, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessageA(h, 108, CB_SETCURSEL, 0, 0);
            SendDlgItemMessageA(h, 109, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("120"));
            SetDlgItemTextA(h, 109, "96");
            SetDlgItemTextA(h, 110, "First line\r\nSecond line");
            SCROLLINFO si{sizeof si, SIF_ALL, 0, 100, 20, 30, 0};
            SetScrollInfo(GetDlgItem(h, 111), SB_CTL, &si, TRUE);
            SendDlgItemMessageA(h, 112, PBM_SETPOS, 60, 0);
            SendDlgItemMessageA(h, 113, EM_AUTOURLDETECT, TRUE, 0);
            SetDlgItemTextA(h, 113,
                            "{\\rtf1{\\colortbl;\\red160\\green0\\blue0;}Song {\\b information} in the "
                            "{\\i rich-text} view, {\\cf1 in colour}, {\\ul underlined} and with a link: "
                            "http://example.org\\par Second paragraph.}");
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(h, LOWORD(wparam));
            return TRUE;
        default:
            return FALSE;
    }
}

uint32_t Pixel(cairo_surface_t* s, int x, int y) {
    auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFFu;
}

SDL_Window* SdlWindowOf(HWND top) {
    for (Uint32 i = 1; i < 64; ++i)
        if (SDL_Window* sw = SDL_GetWindowFromID(i);
            sw != nullptr && SDL_GetWindowData(sw, "qsm.hwnd") == top)
            return sw;
    return nullptr;
}

class SdlSmokeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr || !InstallSdlBackend()) GTEST_SKIP() << "no display";
    }
    void TearDown() override {
        if (!SdlBackendActive()) return;
        ResetForTests();
        RemoveSdlBackend();
    }
};

TEST_F(SdlSmokeTest, ADialogOfEveryControlIsOnTheScreenAndTakesInput) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(kAllControls, sizeof kAllControls - 1, &t, &error)) << error;
    HWND dlg = CreateDialogFromTemplate(t, nullptr, DialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    RECT wr;
    GetWindowRect(dlg, &wr);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;

    // The X server comes to show what the window manager drew, caption and frame included. The caret of
    // the focused edit may differ.
    long differing = -1;
    EXPECT_TRUE(RunUntil([&] {
        differing = qsm::shot::DifferingOnScreen(dlg);
        return differing >= 0 && differing < 64;
    })) << differing
        << " of " << w * h << " pixels differ";
    if (const char* path = getenv("QSM_WM_SCREENSHOT")) {
        cairo_surface_t* screen = GrabScreen(wr);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(cairo_surface_write_to_png(screen, path), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(screen);
    }

    // The desktop moves the dialog by its caption; the frame of a fixed dialog does not size it.
    EXPECT_EQ(DesktopHitTest(dlg, POINT{w / 2, GetSystemMetrics(SM_CYDLGFRAME) + 4}), SDL_HITTEST_DRAGGABLE);
    EXPECT_EQ(DesktopHitTest(dlg, POINT{w / 2, h / 2}), SDL_HITTEST_NORMAL);

    // Events of the display become input: typed text reaches the focused edit, a click the check box.
    HWND edit = GetDlgItem(dlg, 101);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    Uint32 id = 0;
    for (Uint32 i = 1; i < 64 && id == 0; ++i)
        if (SDL_Window* sw = SDL_GetWindowFromID(i);
            sw != nullptr && SDL_GetWindowData(sw, "qsm.hwnd") == dlg)
            id = i;
    ASSERT_NE(id, 0u);
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = id;
    strcpy(e.text.text, "Caf\xc3\xa9");  // UTF-8 from the display, code page 1252 for the program
    SDL_PushEvent(&e);
    char text[32] = "";
    EXPECT_TRUE(RunUntil([&] {
        GetDlgItemTextA(dlg, 101, text, sizeof text);
        return strcmp(text, "Caf\xe9") == 0;
    })) << text;

    RECT cr;
    GetWindowRect(GetDlgItem(dlg, 105), &cr);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event b{};
        b.type = type;
        b.button.windowID = id;
        b.button.button = SDL_BUTTON_LEFT;
        b.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        b.button.x = cr.left - wr.left + 4;
        b.button.y = (cr.top + cr.bottom) / 2 - wr.top;
        SDL_PushEvent(&b);
    }
    EXPECT_TRUE(RunUntil([&] { return IsDlgButtonChecked(dlg, 105) == BST_UNCHECKED; }));

    // A post from another thread wakes the loop waiting on the display.
    std::atomic<bool> got{false};
    UINT ping = RegisterWindowMessageA("SdlSmokePing");
    std::thread poster([&] {
        SDL_Delay(50);
        PostMessageA(dlg, ping, 7, 0);
    });
    // The loop waits for the post itself; a timer ends it only should the wake-up never come.
    constexpr UINT_PTR kSafetyNet = 77;
    SetTimer(dlg, kSafetyNet, 30000, nullptr);
    MSG m;
    bool gave_up = false;
    while (!got && !gave_up && GetMessageA(&m, nullptr, 0, 0)) {
        got = m.message == ping;
        gave_up = m.message == WM_TIMER && m.wParam == kSafetyNet;
        DispatchMessageA(&m);
    }
    KillTimer(dlg, kSafetyNet);
    poster.join();
    EXPECT_TRUE(got);

    // When the desktop gives the keyboard to another program the dialog is no longer active and its
    // caption is drawn inactive; given the keyboard back, it is active again.
    auto caption = [&] {
        cairo_surface_t* b = TopLevelSurface(dlg);
        cairo_surface_flush(b);
        return Pixel(b, GetSystemMetrics(SM_CXDLGFRAME) + 2, GetSystemMetrics(SM_CYDLGFRAME) + 3);
    };
    auto rgb = [](COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
    SDL_Window* win = SDL_GetWindowFromID(id);
    SDL_SetWindowInputFocus(win);
    // SDL may call the window focused already (from its first showing) before the X server has taken the
    // request: the focus is dropped only after that, or the request would give it back.
    if (RunUntil([&] {
            return XHasKeyboardFocus(win) && SDL_GetKeyboardFocus() == win && GetActiveWindow() == dlg;
        })) {
        EXPECT_EQ(GetActiveWindow(), dlg);
        EXPECT_EQ(caption(), rgb(GetSysColor(COLOR_ACTIVECAPTION)));
        HWND had = GetFocus();
        ASSERT_TRUE(IsChild(dlg, had));
        ASSERT_TRUE(DropKeyboardFocus());
        EXPECT_TRUE(
            RunUntil([&] { return SDL_GetKeyboardFocus() == nullptr && GetActiveWindow() == nullptr; }));
        EXPECT_EQ(GetActiveWindow(), nullptr);
        EXPECT_EQ(caption(), rgb(GetSysColor(COLOR_INACTIVECAPTION)));
        SDL_SetWindowInputFocus(win);
        EXPECT_TRUE(RunUntil([&] { return GetActiveWindow() == dlg; }));
        EXPECT_EQ(GetFocus(), had);  // the dialog gives the keyboard back to the control that had it
        EXPECT_EQ(caption(), rgb(GetSysColor(COLOR_ACTIVECAPTION)));
    } else {
        ADD_FAILURE() << "the display gave no keyboard focus to the dialog";
    }

    // The desktop's close request cancels the dialog.
    SDL_Event c{};
    c.type = SDL_WINDOWEVENT;
    c.window.windowID = id;
    c.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&c);
    EXPECT_TRUE(RunUntil([&] { return !IsWindowVisible(dlg); }));
}

TEST_F(SdlSmokeTest, AWindowPlacedAndSizedWhileHiddenShowsWhereItWasPlaced) {
    // A dialog is centred while it is set up, before it shows.
    const char kSmall[] = R"(dialog 0 0 120 60 "Placed"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
font 8 "MS Sans Serif"
defpushbutton "OK" 1 35 35 50 14 WS_TABSTOP
)";
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(kSmall, sizeof kSmall - 1, &t, &error)) << error;
    HWND dlg = CreateDialogFromTemplate(t, nullptr, DialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    // A window gets its window on the display only when it first shows.
    EXPECT_EQ(SdlWindowOf(dlg), nullptr);
    RECT made;
    GetWindowRect(dlg, &made);
    SetWindowPos(dlg, nullptr, 301, 203, made.right - made.left + 40, made.bottom - made.top + 20,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    int x = -1, y = -1;
    ShowWindow(dlg, SW_SHOW);
    // It goes on the display once it is painted, whole.
    EXPECT_EQ(SdlWindowOf(dlg), nullptr);
    UpdateWindow(dlg);
    SDL_Window* win = SdlWindowOf(dlg);
    ASSERT_NE(win, nullptr);

    long differing = -1;
    bool there = RunUntil([&] {
        differing = qsm::shot::DifferingOnScreen(dlg);
        return XWindowOrigin(win, &x, &y) && x == 301 && y == 203 && differing == 0;
    });
    EXPECT_TRUE(there) << "shown at " << x << "," << y << " with " << differing << " pixels differing";
    RECT wr;
    GetWindowRect(dlg, &wr);
    EXPECT_EQ(wr.left, 301);
    EXPECT_EQ(wr.top, 203);
    // Moved while it shows, it goes there too.
    SetWindowPos(dlg, nullptr, 150, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(RunUntil([&] { return XWindowOrigin(win, &x, &y) && x == 150 && y == 120; }))
        << "shown at " << x << "," << y;
    GetWindowRect(dlg, &wr);
    EXPECT_EQ(wr.left, 150);
    DestroyWindow(dlg);
}

// The window's pixels go to the X server from its back buffer: first as an image sent whole, then, once the
// program waited for input, read by the server in place. What is drawn on the screen DC shows over it and
// leaves the buffer as the window drew it.
TEST_F(SdlSmokeTest, RepaintsAndScreenMarksShowAsDrawnAndLeaveTheBufferAlone) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg != WM_PAINT) return DefWindowProcA(h, msg, wp, lp);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(h, GWLP_USERDATA)));
        RECT r{0, 0, 200, 120};
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(h, &ps);
        return 0;
    };
    wc.lpszClassName = "SdlPainted";
    RegisterClassA(&wc);
    HWND top = CreateWindowExA(0, "SdlPainted", "Painted", WS_POPUP, 120, 110, 200, 120, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    SetWindowLongPtrA(top, GWLP_USERDATA, RGB(0x20, 0x60, 0xA0));
    ShowWindow(top, SW_SHOWNA);
    UpdateWindow(top);
    ASSERT_NE(SdlWindowOf(top), nullptr);
    EXPECT_TRUE(RunUntil([&] { return qsm::shot::DifferingOnScreen(top) == 0; }));

    cairo_surface_t* buffer = TopLevelSurface(top);
    CurrentBackend().Wait(1);
    EXPECT_TRUE(ximage::Shared(cairo_image_surface_get_data(buffer)));
    SetWindowLongPtrA(top, GWLP_USERDATA, RGB(0xC0, 0x40, 0x10));
    InvalidateRect(top, nullptr, FALSE);
    UpdateWindow(top);
    EXPECT_TRUE(RunUntil([&] { return qsm::shot::DifferingOnScreen(top) == 0; }));

    // A frame drawn on the screen DC (as a drag draws it) inverts what it covers, and drawn again is gone.
    auto mark = [] {
        HDC screen = GetDC(nullptr);
        PatBlt(screen, 150, 130, 60, 40, DSTINVERT);
        ReleaseDC(nullptr, screen);
    };
    auto shown = [](int x, int y) {
        RECT r{x, y, x + 1, y + 1};
        cairo_surface_t* s = GrabScreen(r);
        uint32_t p = s != nullptr ? Pixel(s, 0, 0) : 0;
        if (s != nullptr) cairo_surface_destroy(s);
        return p;
    };
    mark();
    EXPECT_TRUE(RunUntil([&] { return shown(160, 140) == (0xC04010u ^ 0xFFFFFFu); }))
        << std::hex << shown(160, 140);
    EXPECT_EQ(shown(140, 120), 0xC04010u);
    cairo_surface_flush(buffer);
    EXPECT_EQ(Pixel(buffer, 40, 30), 0xC04010u);
    mark();
    EXPECT_TRUE(RunUntil([&] { return qsm::shot::DifferingOnScreen(top) == 0; }));
    DestroyWindow(top);
}

TEST_F(SdlSmokeTest, FilesDroppedOnTheWindowArriveAsOneDrop) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_DROPFILES) {
            auto drop = reinterpret_cast<HDROP>(wp);
            SetPropA(h, "count",
                     reinterpret_cast<HANDLE>(
                         static_cast<uintptr_t>(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0))));
            DragFinish(drop);
            return 0;
        }
        return DefWindowProcA(h, msg, wp, lp);
    };
    wc.lpszClassName = "SdlDropTarget";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    RegisterClassA(&wc);
    HWND top =
        CreateWindowExA(WS_EX_ACCEPTFILES, "SdlDropTarget", "Drop here", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                        50, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    UpdateWindow(top);
    Uint32 id = 0;
    for (Uint32 i = 1; i < 64 && id == 0; ++i)
        if (SDL_Window* sw = SDL_GetWindowFromID(i);
            sw != nullptr && SDL_GetWindowData(sw, "qsm.hwnd") == top)
            id = i;
    ASSERT_NE(id, 0u);
    // A sizable frame is sized from its corner by the desktop.
    RECT wr;
    GetWindowRect(top, &wr);
    EXPECT_EQ(DesktopHitTest(top, POINT{wr.right - wr.left - 1, wr.bottom - wr.top - 1}),
              SDL_HITTEST_RESIZE_BOTTOMRIGHT);
    SDL_Event e{};
    e.type = SDL_DROPBEGIN;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    for (const char* f : {"/tmp/a.qsm", "/tmp/b.qsm"}) {
        SDL_Event d{};
        d.type = SDL_DROPFILE;
        d.drop.windowID = id;
        d.drop.file = SDL_strdup(f);
        SDL_PushEvent(&d);
    }
    SDL_Event c{};
    c.type = SDL_DROPCOMPLETE;
    c.drop.windowID = id;
    SDL_PushEvent(&c);
    EXPECT_TRUE(RunUntil([&] { return reinterpret_cast<uintptr_t>(GetPropA(top, "count")) == 2u; }));
    DestroyWindow(top);
    UnregisterClassA("SdlDropTarget", nullptr);
}

}  // namespace
}  // namespace qsm::wm
