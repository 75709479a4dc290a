// Input routing: activation by click, capture, double clicks, keys and characters, disabled windows under a
// modal one, transparent hit codes, dropped files, the caret, cursors and their pictures.
#include <cstdint>
#include <vector>

#include "platform/kernel/module.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

using Msgs = std::vector<UINT>;
class InputTest : public WmTest {};

TEST_F(InputTest, AClickActivatesTheWindowUnlessItSaysNo) {
    HWND a = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND b = MakeTop(300, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    ASSERT_EQ(GetActiveWindow(), b);
    PumpMessages();
    Rec().Clear();
    Rec().only = {WM_MOUSEACTIVATE, WM_NCACTIVATE, WM_ACTIVATE,  WM_SETCURSOR,
                  WM_LBUTTONDOWN,   WM_LBUTTONUP,  WM_KILLFOCUS, WM_SETFOCUS};
    Click(50, 50);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    std::vector<std::pair<HWND, UINT>> got;
    for (auto& l : Rec().log)
        if (l.msg != WM_SETCURSOR) got.push_back({l.hwnd, l.msg});
    std::vector<std::pair<HWND, UINT>> want{{a, WM_MOUSEACTIVATE}, {b, WM_NCACTIVATE},  {b, WM_ACTIVATE},
                                            {a, WM_NCACTIVATE},    {a, WM_ACTIVATE},    {b, WM_KILLFOCUS},
                                            {a, WM_SETFOCUS},      {a, WM_LBUTTONDOWN}, {a, WM_LBUTTONUP}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(Rec().log[5].wparam, MAKEWPARAM(WA_CLICKACTIVE, 0));

    // A window answering MA_NOACTIVATEANDEAT neither activates nor sees the press.
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h != b || m != WM_MOUSEACTIVATE) return false;
        *r = MA_NOACTIVATEANDEAT;
        return true;
    };
    Rec().Clear();
    Click(350, 50);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(Rec().Count(WM_LBUTTONDOWN, b), 0);
    EXPECT_EQ(Rec().Count(WM_LBUTTONUP, b), 1);
}

TEST_F(InputTest, CaptureSendsEveryPointerMoveToTheCapturingWindow) {
    HWND top = MakeTop(100, 100, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND child = MakeChild(top, 1, 10, 10, 50, 50);
    PumpMessages();
    SetCapture(child);
    Rec().Clear();
    Rec().only = {WM_MOUSEMOVE, WM_CAPTURECHANGED};
    InputMouseMove(5, 7);  // outside every window
    PumpMessages();
    ASSERT_EQ(Rec().log.size(), 1u);
    EXPECT_EQ(Rec().log[0].hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(Rec().log[0].lparam), 5 - 110);
    EXPECT_EQ(GET_Y_LPARAM(Rec().log[0].lparam), 7 - 110);
    HWND other = MakeChild(top, 2, 100, 100, 20, 20);
    Rec().Clear();
    SetCapture(other);
    EXPECT_EQ(Rec().Messages(), (Msgs{WM_CAPTURECHANGED}));
    EXPECT_EQ(Rec().log[0].hwnd, child);
    EXPECT_EQ(Rec().log[0].lparam, reinterpret_cast<LPARAM>(other));
    Rec().Clear();
    ReleaseCapture();
    EXPECT_EQ(Rec().Messages(other), (Msgs{WM_CAPTURECHANGED}));
    EXPECT_EQ(GetCapture(), nullptr);
    // Destroying the capturing window ends the capture.
    SetCapture(child);
    DestroyWindow(child);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, DoubleClicksOnlyForClassesThatAskForThem) {
    SetManualClock(true, 1000);
    HWND top = MakeTop(0, 0, 300, 100, WS_POPUP | WS_VISIBLE);
    HWND plain = MakeChild(top, 1, 0, 0, 100, 100);
    HWND dbl = MakeChild(top, 2, 100, 0, 100, 100, WS_CHILD | WS_VISIBLE, CS_DBLCLKS);
    PumpMessages();
    Rec().Clear();
    Rec().only = {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK};
    Click(10, 10);
    AdvanceClock(100);
    Click(11, 10);
    Click(150, 10);
    AdvanceClock(100);
    Click(150, 11);
    AdvanceClock(600);
    Click(150, 11);  // too late: a new first click
    PumpMessages();
    EXPECT_EQ(Rec().Messages(plain), (Msgs{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
    EXPECT_EQ(Rec().Messages(dbl), (Msgs{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(InputTest, KeysGoToTheFocusAndTranslateIntoCharacters) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    HWND child = MakeChild(top, 1, 0, 0, 50, 50);
    SetFocus(child);
    PumpMessages();
    Rec().Clear();
    Rec().only = {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSCHAR};
    PressKey('A');
    InputKey(VK_SHIFT, true);
    PressKey('B');
    PressKey('2');
    InputKey(VK_SHIFT, false);
    InputKey(VK_CONTROL, true);
    PressKey('C');
    InputKey(VK_CONTROL, false);
    PumpMessages();
    std::string chars;
    for (auto& l : Rec().log)
        if (l.msg == WM_CHAR) chars += static_cast<char>(l.wparam);
    EXPECT_EQ(chars, std::string("aB@\x03"));
    for (auto& l : Rec().log)
        EXPECT_EQ(l.hwnd, child);
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
    // Holding a key repeats with the previous-state bit.
    Rec().Clear();
    InputKey(VK_RIGHT, true);
    InputKey(VK_RIGHT, true);
    InputKey(VK_RIGHT, false);
    PumpMessages();
    ASSERT_EQ(Rec().log.size(), 3u);
    EXPECT_EQ(Rec().log[0].lparam & (1 << 30), 0);
    EXPECT_NE(Rec().log[1].lparam & (1 << 30), 0);
    // Alt makes system keys.
    Rec().Clear();
    InputKey(VK_MENU, true);
    PressKey('X');
    InputKey(VK_MENU, false);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_SYSKEYDOWN), 2);
    EXPECT_EQ(Rec().Count(WM_SYSCHAR), 1);
    // Keys typed ahead go to the window that has the focus when they are taken.
    HWND other = MakeChild(top, 2, 50, 0, 50, 50);
    Rec().Clear();
    PressKey('D');
    SetFocus(other);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_CHAR), 1);
    for (auto& l : Rec().log)
        EXPECT_EQ(l.hwnd, other);
}

TEST_F(InputTest, WindowsUnderADisabledOwnerGetNoPressAndBringTheModalForward) {
    HWND owner = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND modal = MakeTop(300, 0, 100, 100, WS_POPUP | WS_VISIBLE, 0, owner);
    EnableWindow(owner, FALSE);
    SetActiveWindow(owner);
    EXPECT_EQ(GetActiveWindow(), modal);  // a disabled window cannot become active
    PumpMessages();
    Rec().Clear();
    Rec().only = {WM_LBUTTONDOWN};
    Click(50, 50);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(GetActiveWindow(), modal);
    EXPECT_EQ(GetLastActivePopup(owner), modal);
}

TEST_F(InputTest, TransparentWindowsLetThePointerThroughAndDisabledChildrenToo) {
    HWND top = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND glass = MakeChild(top, 1, 0, 0, 100, 100);
    HWND off = MakeChild(top, 2, 100, 0, 100, 100);
    EnableWindow(off, FALSE);
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h != glass || m != WM_NCHITTEST) return false;
        *r = HTTRANSPARENT;
        return true;
    };
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), top);
    EXPECT_EQ(WindowFromPoint(POINT{150, 10}), top);
    EXPECT_EQ(WindowFromPoint(POINT{500, 500}), nullptr);
}

TEST_F(InputTest, AClickOnAGroupBoxGoesToTheControlBeneathIt) {
    // A group box is made before the buttons it frames, so it lies above them.
    HWND dlg = MakeTop(0, 0, 300, 200, WS_POPUP | WS_VISIBLE);
    HWND group = CreateWindowExA(0, "BUTTON", "Side", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 10, 150, 100,
                                 dlg, reinterpret_cast<HMENU>(1), nullptr, nullptr);
    HWND check = CreateWindowExA(0, "BUTTON", "Loud", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 20, 30, 100,
                                 20, dlg, reinterpret_cast<HMENU>(2), nullptr, nullptr);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(WindowFromPoint(POINT{30, 40}), check);
    EXPECT_EQ(WindowFromPoint(POINT{30, 80}), dlg);  // inside the frame, over no control
    Click(30, 40);
    PumpMessages();
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(InputTest, DroppedFilesReachAWindowThatAcceptsThem) {
    HWND top = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND child = MakeChild(top, 1, 10, 10, 50, 50);
    DragAcceptFiles(top, TRUE);
    std::vector<std::string> got;
    POINT at{};
    Rec().answer = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT* r) {
        if (m != WM_DROPFILES) return false;
        auto drop = reinterpret_cast<HDROP>(w);
        UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            char buf[8];
            UINT len = DragQueryFileA(drop, i, nullptr, 0);
            EXPECT_EQ(DragQueryFileA(drop, i, buf, sizeof buf), std::min<UINT>(len, 7));
            got.push_back(buf);
        }
        DragQueryPoint(drop, &at);
        DragFinish(drop);
        *r = 0;
        return true;
    };
    InputDropFiles(child, POINT{5, 6}, {"/tmp/a.qsm", "b.mid"});
    PumpMessages();
    EXPECT_EQ(got, (std::vector<std::string>{"/tmp/a.", "b.mid"}));
    EXPECT_EQ(at.x, 15);
    EXPECT_EQ(at.y, 16);
}

TEST_F(InputTest, TheCaretFollowsItsOwnerAndBlinksOnTheClock) {
    SetManualClock(true, 0);
    HWND top = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    PumpMessages();  // painting hides the caret meanwhile and restarts its blinking
    EXPECT_TRUE(CreateCaret(top, nullptr, 2, 14));
    EXPECT_TRUE(SetCaretPos(10, 20));
    POINT p;
    EXPECT_TRUE(GetCaretPos(&p));
    EXPECT_EQ(p.x, 10);
    HWND owner = nullptr;
    bool on = true;
    ASSERT_TRUE(GetCaretState(&owner, nullptr, &on));
    EXPECT_EQ(owner, top);
    EXPECT_FALSE(on);  // created hidden
    ShowCaret(top);
    GetCaretState(nullptr, nullptr, &on);
    EXPECT_TRUE(on);
    AdvanceClock(GetCaretBlinkTime());
    PumpMessages();
    GetCaretState(nullptr, nullptr, &on);
    EXPECT_FALSE(on);
    DestroyWindow(top);
    EXPECT_FALSE(GetCaretState(nullptr, nullptr, nullptr));
}

TEST_F(InputTest, TheCursorIsTheClassCursorInTheClientAreaAndASizingOneOnTheFrame) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
    wc.lpszClassName = "CursorTest";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND top = CreateWindowExA(0, "CursorTest", "t", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
    HWND bare = MakeChild(top, 1, 0, 0, 50, 50);  // a class without a cursor
    PumpMessages();
    RECT r{};
    GetWindowRect(top, &r);
    InputMouseMove(200, 200);
    PumpMessages();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_IBEAM));
    InputMouseMove(r.right - 1, 200);
    PumpMessages();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEWE));
    InputMouseMove(r.right - 1, r.bottom - 1);
    PumpMessages();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENWSE));
    // A window that sets its own cursor in WM_SETCURSOR keeps it.
    POINT in_bare{10, 10};
    ClientToScreen(bare, &in_bare);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* res) {
        if (h != bare || m != WM_SETCURSOR) return false;
        SetCursor(hand);
        *res = TRUE;
        return true;
    };
    InputMouseMove(in_bare.x, in_bare.y);
    PumpMessages();
    EXPECT_EQ(GetCursor(), hand);
    // A child with a class cursor of its own shows it, not its parent's.
    wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    wc.lpszClassName = "CursorChild";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND cross = CreateWindowExA(0, "CursorChild", "c", WS_CHILD | WS_VISIBLE, 100, 100, 50, 50, top, nullptr,
                                 nullptr, nullptr);
    POINT in_cross{10, 10};
    ClientToScreen(cross, &in_cross);
    InputMouseMove(in_cross.x, in_cross.y);
    PumpMessages();
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_CROSS));
    DestroyWindow(top);
    UnregisterClassA("CursorTest", nullptr);
    UnregisterClassA("CursorChild", nullptr);
}

// An 8 x 2 cursor resource: row 0 black, white, transparent, inverting, then transparent; row 1 all black.
std::vector<unsigned char> SmallCursor() {
    std::vector<unsigned char> d = {3, 0, 1, 0};
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    for (uint32_t v : {40u, 8u, 4u})
        put32(v);
    d.insert(d.end(), {1, 0, 1, 0});
    for (uint32_t v : {0u, 16u, 0u, 0u, 2u, 0u})
        put32(v);
    d.insert(d.end(), {0, 0, 0, 0, 255, 255, 255, 0});
    // Colour rows bottom-up (row 1, row 0), then the transparency rows.
    for (unsigned char b : {0x00, 0x50})
        d.insert(d.end(), {b, 0, 0, 0});
    for (unsigned char b : {0x00, 0x3F})
        d.insert(d.end(), {b, 0, 0, 0});
    return d;
}

TEST_F(InputTest, ACursorResourceGivesItsPictureAndHotSpot) {
    static const std::vector<unsigned char> data = SmallCursor();
    HMODULE program = GetModuleHandleA(nullptr);
    qsm::RegisterResource(program, RT_CURSOR, MAKEINTRESOURCEA(4711), data.data(),
                          static_cast<DWORD>(data.size()));
    HCURSOR c = LoadCursorA(program, MAKEINTRESOURCEA(4711));
    ASSERT_NE(c, nullptr);
    CursorImage image;
    ASSERT_TRUE(GetCursorImage(c, &image));
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hot_x, 3);
    EXPECT_EQ(image.hot_y, 1);
    std::vector<uint32_t> row0(image.pixels.begin(), image.pixels.begin() + 8);
    std::vector<uint32_t> want = {0xFF000000u, 0xFFFFFFFFu, 0u, 0xFF000000u, 0u, 0u, 0u, 0u};
    EXPECT_EQ(row0, want);
    EXPECT_EQ(image.pixels[8], 0xFF000000u);
    // System cursors have no picture; cut or foreign data give none either.
    EXPECT_FALSE(GetCursorImage(LoadCursorA(nullptr, IDC_ARROW), nullptr));
    for (size_t cut : {size_t{0}, size_t{20}, data.size() - 1})
        EXPECT_FALSE(ParseCursorResource(data.data(), cut, &image)) << cut;
    std::vector<unsigned char> colour = data;
    colour[4 + 14] = 4;  // four bits a pixel
    EXPECT_FALSE(ParseCursorResource(colour.data(), colour.size(), &image));
}

// A 2 x 2 icon resource, bottom-up: row 1 opaque red and half-transparent green, row 0 transparent and
// opaque blue.
std::vector<unsigned char> SmallIcon() {
    std::vector<unsigned char> d;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    for (uint32_t v : {40u, 2u, 2u})
        put32(v);
    d.insert(d.end(), {1, 0, 32, 0});
    for (int i = 0; i < 6; ++i)
        put32(0);
    for (uint32_t v : {0xFFFF0000u, 0x8000FF00u, 0x00000000u, 0xFF0000FFu})
        put32(v);
    return d;
}

TEST_F(InputTest, AnIconResourceGivesItsPictureAndAnIconButtonDrawsIt) {
    static const std::vector<unsigned char> data = SmallIcon();
    HMODULE program = GetModuleHandleA(nullptr);
    qsm::RegisterResource(program, RT_ICON, MAKEINTRESOURCEA(4712), data.data(),
                          static_cast<DWORD>(data.size()));
    HICON icon = LoadIconA(program, MAKEINTRESOURCEA(4712));
    CursorImage image;
    ASSERT_TRUE(GetCursorImage(reinterpret_cast<HCURSOR>(icon), &image));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x00000000u, 0xFF0000FFu, 0xFFFF0000u, 0x8000FF00u}));
    for (size_t cut : {size_t{0}, size_t{39}, data.size() - 1})
        EXPECT_FALSE(ParseIconResource(data.data(), cut, &image)) << cut;
    std::vector<unsigned char> eight = data;
    eight[14] = 8;  // eight bits a pixel
    EXPECT_FALSE(ParseIconResource(eight.data(), eight.size(), &image));

    // A push button with the icon style shows the picture in its middle instead of its text.
    HWND top = CreateWindowExA(0, "BUTTON", "top", WS_POPUP | WS_VISIBLE, 10, 10, 40, 40, nullptr, nullptr,
                               nullptr, nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_ICON, 0, 0,
                                  22, 22, top, nullptr, nullptr, nullptr);
    SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    PumpMessages();
    HDC dc = GetDC(button);
    EXPECT_EQ(GetPixel(dc, 11, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 10, 11), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 10, 10), GetSysColor(COLOR_BTNFACE));
    COLORREF half = GetPixel(dc, 11, 11);
    EXPECT_NEAR(GetGValue(half), (255 + GetGValue(GetSysColor(COLOR_BTNFACE))) / 2, 2);
    ReleaseDC(button, dc);
    DestroyWindow(top);
}

}  // namespace
}  // namespace qsm::wm::testing
