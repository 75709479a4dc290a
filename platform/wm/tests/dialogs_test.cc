// Dialogs from templates with keyboard navigation, modal loops inside modal loops, modeless dialogs,
// message boxes, popup menus, menu bars and accelerator tables, all answered through the modal hook.
#include <cstring>
#include <string>

#include "platform/wm/dialog_template.h"
#include "platform/wm/menu_resource.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

const char kSettingsDialog[] = R"(dialog 0 0 200 120 "Settings"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
font 8 "MS Sans Serif"
ltext "&Name:" -1 7 9 30 8
edittext 101 40 7 100 12 ES_AUTOHSCROLL | WS_TABSTOP
autoradiobutton "&Left" 102 7 30 50 10 WS_GROUP | WS_TABSTOP
autoradiobutton "&Right" 103 7 42 50 10
autoradiobutton "&Both" 104 7 54 50 10
autocheckbox "&Loud" 105 80 30 50 10 WS_GROUP | WS_TABSTOP
pushbutton "&More..." 106 7 95 50 14 WS_GROUP | WS_TABSTOP
defpushbutton "OK" 1 90 95 50 14 WS_TABSTOP
pushbutton "Cancel" 2 143 95 50 14 WS_TABSTOP
)";

const char kInnerDialog[] = R"(dialog 0 0 120 60 "More"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION
defpushbutton "OK" 1 10 40 40 14 WS_TABSTOP
pushbutton "Cancel" 2 60 40 40 14 WS_TABSTOP
)";

constexpr WORD kSettingsId = 700;
constexpr WORD kInnerId = 701;

struct DialogRun {
    std::vector<std::string> events;
    INT_PTR inner_result = 0;
    int inner_depth_seen = 0;
};
DialogRun* g_run = nullptr;
int g_depth = 0;

INT_PTR InnerProc(HWND h, UINT msg, WPARAM wparam, LPARAM) {
    if (msg == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(h, LOWORD(wparam) == IDOK ? 11 : 12);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

INT_PTR SettingsProc(HWND h, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            SetDlgItemTextA(h, 101, "init");
            CheckRadioButton(h, 102, 104, 103);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK:
                case IDCANCEL: {
                    char buf[32];
                    GetDlgItemTextA(h, 101, buf, sizeof buf);
                    g_run->events.push_back(std::string(LOWORD(wparam) == IDOK ? "ok " : "cancel ") + buf);
                    EndDialog(h, LOWORD(wparam));
                    return TRUE;
                }
                case 106: {
                    ++g_depth;
                    g_run->inner_result =
                        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInnerId), h, InnerProc, 0);
                    --g_depth;
                    g_run->events.push_back("inner " + std::to_string(g_run->inner_result) +
                                            (IsWindowEnabled(h) ? " enabled" : " disabled"));
                    return TRUE;
                }
            }
            return FALSE;
    }
    return FALSE;
}

class DialogsTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kSettingsId), kSettingsDialog,
                         sizeof kSettingsDialog - 1);
        RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kInnerId), kInnerDialog,
                         sizeof kInnerDialog - 1);
        g_run = &run;
        g_depth = 0;
        owner = MakeTop(50, 50, 500, 400);
        PumpMessages();
    }
    void TearDown() override {
        g_run = nullptr;
        WmTest::TearDown();
    }
    static int FocusId() { return GetDlgCtrlID(GetFocus()); }
    DialogRun run;
    HWND owner = nullptr;
};

TEST_F(DialogsTest, KeyboardWalksTheTemplateDialogAndEnterChoosesTheDefaultButton) {
    std::vector<int> focus_walk;
    SetModalHook([&](HWND dlg) {
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), dlg);
        focus_walk.push_back(FocusId());  // the first tab stop
        // The edit got its text from WM_INITDIALOG and is fully selected on entry.
        DWORD a = 0, b = 0;
        SendDlgItemMessageA(dlg, 101, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(a, 0u);
        EXPECT_EQ(b, 4u);
        for (int i = 0; i < 5; ++i) {
            PressKey(VK_TAB);
            PumpMessages();
            focus_walk.push_back(FocusId());
        }
        // Shift+Tab goes back; the radio group is entered at its checked button.
        InputKey(VK_SHIFT, true);
        PressKey(VK_TAB);
        PumpMessages();
        focus_walk.push_back(FocusId());
        PressKey(VK_TAB);
        PressKey(VK_TAB);
        PumpMessages();
        focus_walk.push_back(FocusId());
        PressKey(VK_TAB);  // back into the radio group, at its checked button
        InputKey(VK_SHIFT, false);
        PumpMessages();
        EXPECT_EQ(FocusId(), 103);
        // Arrows move inside the group and check the automatic radio buttons.
        PressKey(VK_DOWN);
        PumpMessages();
        EXPECT_EQ(IsDlgButtonChecked(dlg, 104), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dlg, 103), BST_UNCHECKED);
        PressKey(VK_DOWN);  // wraps inside the group
        PumpMessages();
        EXPECT_EQ(FocusId(), 102);
        // A mnemonic of a label focuses the control after it; typing replaces the selection.
        InputKey(VK_MENU, true);
        PressKey('N', 'n');
        InputKey(VK_MENU, false);
        PumpMessages();
        EXPECT_EQ(FocusId(), 101);
        InputText("typed");
        PumpMessages();
        // Space toggles the check box once focused by its mnemonic.
        InputKey(VK_MENU, true);
        PressKey('L', 'l');
        InputKey(VK_MENU, false);
        PumpMessages();
        SetFocus(GetDlgItem(dlg, 101));
        PressKey(VK_RETURN);
    });
    INT_PTR r = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(run.events, std::vector<std::string>{"ok typed"});
    EXPECT_EQ(focus_walk, (std::vector<int>{101, 103, 105, 106, 1, 2, 1, 105}));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
}

TEST_F(DialogsTest, EscapeAndTheCloseBoxCancel) {
    SetModalHook([&](HWND) { PressKey(VK_ESCAPE); });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0), IDCANCEL);
    SetModalHook([&](HWND dlg) { PostMessageA(dlg, WM_CLOSE, 0, 0); });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0), IDCANCEL);
    EXPECT_EQ(run.events, (std::vector<std::string>{"cancel init", "cancel init"}));
    // An unknown template is no dialog.
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), owner, SettingsProc, 0), -1);
}

TEST_F(DialogsTest, AModalLoopInsideAModalLoop) {
    std::vector<HWND> opened;
    SetModalHook([&](HWND dlg) {
        opened.push_back(dlg);
        if (opened.size() == 1) {
            // The outer dialog opens the inner one by its button; the inner loop runs inside this input.
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(106, BN_CLICKED), 0);
            EXPECT_TRUE(IsWindowEnabled(dlg));
            PressKey(VK_ESCAPE);
        } else {
            EXPECT_EQ(GetWindow(dlg, GW_OWNER), opened[0]);
            EXPECT_FALSE(IsWindowEnabled(opened[0]));
            EXPECT_FALSE(IsWindowEnabled(owner));
            EXPECT_EQ(g_depth, 1);
            PressKey(VK_RETURN);
        }
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0), IDCANCEL);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(run.inner_result, 11);
    EXPECT_EQ(run.events, (std::vector<std::string>{"inner 11 enabled", "cancel init"}));
    EXPECT_FALSE(IsWindow(opened[0]));
    EXPECT_FALSE(IsWindow(opened[1]));
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(DialogsTest, QuitInsideAModalLoopEndsItAndReachesTheOuterLoop) {
    SetModalHook([&](HWND) { PostQuitMessage(3); });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(DialogsTest, AModalDialogWhoseOwnerIsDestroyedEndsWithoutAResult) {
    HWND shown = nullptr;
    SetModalHook([&](HWND dlg) {
        shown = dlg;
        DestroyWindow(owner);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0), -1);
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_FALSE(IsWindow(owner));
}

TEST_F(DialogsTest, ModelessAndOwnerlessDialogs) {
    HWND dlg = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kInnerId), owner, InnerProc, 0);
    ASSERT_NE(dlg, nullptr);
    ShowWindow(dlg, SW_SHOW);
    PumpMessages();
    // The caller runs on and the owner stays usable.
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), owner);
    PressKey(VK_TAB);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageA(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    EXPECT_EQ(FocusId(), IDCANCEL);
    DestroyWindow(dlg);

    // Ownerless modal: no window to disable, still a loop of its own.
    SetModalHook([&](HWND d) {
        EXPECT_EQ(GetWindow(d, GW_OWNER), nullptr);
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInnerId), nullptr, InnerProc, 0), 11);
}

TEST_F(DialogsTest, AButtonThatBecomesTheDefaultKeepsItsIconStyle) {
    const char text[] = R"(dialog 0 0 120 60 "Icons"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION
pushbutton "&Go" 201 10 10 40 24 BS_ICON
defpushbutton "OK" 1 60 40 40 14
)";
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(text, sizeof text - 1, &t, &error)) << error;
    HWND dlg = CreateDialogFromTemplate(
        t, owner, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    HWND go = GetDlgItem(dlg, 201);
    auto style = [&] { return static_cast<DWORD>(GetWindowLongA(go, GWL_STYLE)) & 0xFFFFu; };
    SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(go), TRUE);
    EXPECT_EQ(style(), static_cast<DWORD>(BS_DEFPUSHBUTTON | BS_ICON));
    SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, IDOK)), TRUE);
    EXPECT_EQ(style(), static_cast<DWORD>(BS_PUSHBUTTON | BS_ICON));
    DestroyWindow(dlg);
}

TEST_F(DialogsTest, TemplatesInDialogUnitsOfTheirFont) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(kSettingsDialog, sizeof kSettingsDialog - 1, &t, &error)) << error;
    EXPECT_EQ(t.caption, "Settings");
    ASSERT_EQ(t.items.size(), 9u);
    EXPECT_EQ(t.items[1].cls, "EDIT");
    EXPECT_TRUE(t.items[1].style & WS_TABSTOP);
    EXPECT_EQ(t.items[7].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    const char* bad_number = "dialog 0 0 x 1 \"a\"";
    EXPECT_FALSE(ParseDialogTemplate(bad_number, strlen(bad_number), &t, &error));
    EXPECT_NE(error.find("1"), std::string::npos);
    const char* open_text = "dialog 0 0 10 10 \"a\"\nltext \"open";
    EXPECT_FALSE(ParseDialogTemplate(open_text, strlen(open_text), &t, &error));

    HWND dlg = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kSettingsId), owner, SettingsProc, 0);
    ASSERT_NE(dlg, nullptr);
    RECT want{40, 7, 140, 19};
    MapDialogRect(dlg, &want);
    RECT got{};
    GetWindowRect(GetDlgItem(dlg, 101), &got);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.right - want.left);
    EXPECT_EQ(SendMessageA(dlg, DM_GETDEFID, 0, 0), MAKELONG(1, DC_HASDEFID));
    DestroyWindow(dlg);
}

TEST_F(DialogsTest, MessageBoxesAnswerWithTheButtonChosen) {
    std::vector<std::string> texts;
    SetModalHook([&](HWND box) {
        char caption[64];
        GetWindowTextA(box, caption, sizeof caption);
        texts.push_back(caption);
        PressKey(VK_RETURN);  // the default button
    });
    EXPECT_EQ(MessageBoxA(owner, "Save?", "Question", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2),
              IDNO);
    EXPECT_EQ(MessageBoxA(owner, "Done", nullptr, MB_OK), IDOK);
    EXPECT_EQ(texts, (std::vector<std::string>{"Question", "Error"}));

    SetModalHook([&](HWND) { PressKey(VK_ESCAPE); });
    EXPECT_EQ(MessageBoxA(owner, "Go on?", "Q", MB_OKCANCEL), IDCANCEL);
    // Esc does not answer a Yes/No box.
    SetModalHook([&](HWND box) {
        PressKey(VK_ESCAPE);
        PumpMessages();
        EXPECT_TRUE(IsWindow(box));
        InputKey(VK_MENU, true);
        PressKey('Y', 'y');
        InputKey(VK_MENU, false);
    });
    EXPECT_EQ(MessageBoxA(owner, "Sure?", "Q", MB_YESNO), IDYES);

    // Task-modal without an owner: every window of the thread waits.
    HWND other = MakeTop(600, 50, 100, 100);
    SetModalHook([&](HWND box) {
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_FALSE(IsWindowEnabled(other));
        EXPECT_NE(box, nullptr);
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Stop", "Error", MB_OK | MB_TASKMODAL | MB_ICONEXCLAMATION), IDOK);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_TRUE(IsWindowEnabled(other));
}

const char kMenu[] = R"(popup "&File"
  item "&Open...\tCtrl+O" 110
  item "&Close" 111 grayed
  separator
  popup "&Recent"
    item "One" 301
    item "Two" 302 checked
  end
  item "E&xit" 112
end
popup "&View"
  item "&Zoom" 120
end
)";

const char kAccel[] = R"("^O" 110
VK_F5 120 virtkey
"X" 112 virtkey alt
"Z" 121 virtkey control shift
)";

class MenusTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        RegisterResource(nullptr, RT_MENU, MAKEINTRESOURCEA(1), kMenu, sizeof kMenu - 1);
        RegisterResource(nullptr, RT_ACCELERATOR, MAKEINTRESOURCEA(1), kAccel, sizeof kAccel - 1);
        frame = MakeTop(50, 50, 500, 400);
        PumpMessages();
    }
    HWND frame = nullptr;
};

TEST_F(MenusTest, PopupMenusReturnTheChosenCommandAndSkipGrayedItems) {
    HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCEA(1));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    HMENU file = GetSubMenu(bar, 0);
    EXPECT_EQ(GetMenuItemCount(file), 5);
    EXPECT_EQ(GetMenuItemID(file, 0), 110u);
    EXPECT_TRUE(GetMenuState(file, 111, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(bar, 302, MF_BYCOMMAND) & MF_CHECKED);
    char text[32];
    GetMenuStringA(file, 110, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Open...\tCtrl+O");

    // The keyboard walks every item but separators; a grayed item is lit but cannot be chosen, and a
    // sub-menu opens with its first item lit.
    SetModalHook([&](HWND) {
        PressKey(VK_DOWN);
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
        PressKey(VK_DOWN);
        PressKey(VK_RIGHT);
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    });
    Rec().Clear();
    Rec().only = {WM_COMMAND, WM_INITMENUPOPUP, WM_ENTERMENULOOP, WM_EXITMENULOOP};
    UINT_PTR chosen = TrackPopupMenu(file, TPM_RETURNCMD | TPM_RIGHTBUTTON, 100, 100, 0, frame, nullptr);
    EXPECT_EQ(chosen, 302u);
    EXPECT_EQ(Rec().Count(WM_COMMAND), 0);  // returned, not sent
    EXPECT_GE(Rec().Count(WM_INITMENUPOPUP), 2);
    EXPECT_EQ(Rec().Count(WM_ENTERMENULOOP), 1);

    // Without TPM_RETURNCMD the command is posted; a mnemonic chooses at once; Esc gives 0.
    SetModalHook([&](HWND) { PressKey('X', 'x'); });
    Rec().Clear();
    EXPECT_TRUE(TrackPopupMenu(file, 0, 100, 100, 0, frame, nullptr));
    PumpMessages();
    ASSERT_EQ(Rec().Count(WM_COMMAND), 1);
    for (const Logged& l : Rec().log) {
        if (l.msg == WM_COMMAND) {
            EXPECT_EQ(LOWORD(l.wparam), 112);
        }
    }
    SetModalHook([&](HWND) { PressKey(VK_ESCAPE); });
    EXPECT_EQ(TrackPopupMenu(file, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, 0, frame, nullptr), 0);

    // A click on an item chooses it; a click outside dismisses the menu.
    SetModalHook([&](HWND menu_wnd) {
        RECT r;
        GetWindowRect(menu_wnd, &r);
        Click(r.left + 10, r.top + 8);
    });
    EXPECT_EQ(TrackPopupMenu(file, TPM_RETURNCMD, 100, 100, 0, frame, nullptr), 110u);
    SetModalHook([&](HWND) { Click(5, 5); });
    EXPECT_EQ(TrackPopupMenu(file, TPM_RETURNCMD, 100, 100, 0, frame, nullptr), 0);
    // Each queued move counts where it was: the pointer passes the first item on its way out.
    SetModalHook([&](HWND menu_wnd) {
        RECT r;
        GetWindowRect(menu_wnd, &r);
        InputMouseMove(r.left + 10, r.top + 8);
        Click(5, 5);
    });
    Rec().Clear();
    Rec().only = {WM_MENUSELECT};
    EXPECT_EQ(TrackPopupMenu(file, TPM_RETURNCMD, 100, 100, 0, frame, nullptr), 0);
    int passed = 0;
    for (const Logged& l : Rec().log)
        passed += LOWORD(l.wparam) == 110 && HIWORD(l.wparam) != 0xFFFF;
    EXPECT_EQ(passed, 1);

    // Items built at run time, with a column break and checks.
    HMENU pop = CreatePopupMenu();
    AppendMenuA(pop, MF_STRING, 1, "a");
    AppendMenuA(pop, MF_STRING | MF_MENUBARBREAK, 2, "b");
    CheckMenuItem(pop, 2, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(pop, 1, MF_BYCOMMAND | MF_GRAYED);
    SetModalHook([&](HWND) {
        PressKey(VK_RETURN);  // nothing lit yet
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);  // grayed
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(TrackPopupMenu(pop, TPM_RETURNCMD, 10, 10, 0, frame, nullptr), 2u);
    EXPECT_TRUE(DestroyMenu(pop));
    EXPECT_FALSE(IsMenu(pop));
    DestroyMenu(bar);
}

TEST_F(MenusTest, MenuBarOpensByMouseAndByAltAndSendsItsCommands) {
    HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCEA(1));
    SetMenu(frame, bar);
    PumpMessages();
    RECT client_before{};
    GetClientRect(frame, &client_before);
    RECT win{};
    GetWindowRect(frame, &win);
    EXPECT_LT(client_before.bottom,
              win.bottom - win.top - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYMENU) + 1);

    Rec().Clear();
    Rec().only = {WM_COMMAND, WM_INITMENU, WM_MENUSELECT};
    // Alt+V opens "View"; Enter takes its first item.
    SetModalHook([&](HWND) { PressKey(VK_RETURN); });
    InputKey(VK_MENU, true);
    PressKey('V', 'v');
    InputKey(VK_MENU, false);
    PumpMessages();
    std::vector<int> commands;
    for (const Logged& l : Rec().log)
        if (l.msg == WM_COMMAND) commands.push_back(LOWORD(l.wparam));
    EXPECT_EQ(commands, std::vector<int>{120});
    EXPECT_GE(Rec().Count(WM_INITMENU), 1);
    EXPECT_GE(Rec().Count(WM_MENUSELECT), 1);

    // A click on "File" in the bar opens it; the hook picks "Open".
    POINT origin{0, 0};
    ClientToScreen(frame, &origin);
    Rec().Clear();
    SetModalHook([&](HWND) {
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    });
    Click(origin.x + 10, origin.y - GetSystemMetrics(SM_CYMENU) / 2);
    PumpMessages();
    commands.clear();
    for (const Logged& l : Rec().log)
        if (l.msg == WM_COMMAND) commands.push_back(LOWORD(l.wparam));
    EXPECT_EQ(commands, std::vector<int>{110});
    SetMenu(frame, nullptr);
    DestroyMenu(bar);
}

TEST_F(MenusTest, AcceleratorsTurnKeysIntoCommands) {
    HACCEL table = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(1));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8];
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 8), 4);
    EXPECT_EQ(entries[1].key, VK_F5);
    EXPECT_TRUE(entries[1].fVirt & FVIRTKEY);

    Rec().Clear();
    Rec().only = {WM_COMMAND, WM_CHAR, WM_KEYDOWN};
    auto run = [&] {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (TranslateAcceleratorA(frame, table, &m)) continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    };
    auto commands = [&] {
        std::vector<int> out;
        for (const Logged& l : Rec().log) {
            if (l.msg != WM_COMMAND) continue;
            EXPECT_EQ(HIWORD(l.wparam), 1);  // from an accelerator
            out.push_back(LOWORD(l.wparam));
        }
        return out;
    };
    SetFocus(frame);
    InputKey(VK_CONTROL, true);
    PressKey('O');  // Ctrl+O gives the character ^O
    InputKey(VK_CONTROL, false);
    PressKey(VK_F5);
    InputKey(VK_MENU, true);
    PressKey('X');
    InputKey(VK_MENU, false);
    PressKey('Z');  // no modifiers: no command
    InputKey(VK_CONTROL, true);
    PressKey('Z');  // Ctrl alone: no command (the entry wants Shift too)
    InputKey(VK_SHIFT, true);
    PressKey('Z');
    InputKey(VK_SHIFT, false);
    InputKey(VK_CONTROL, false);
    run();
    EXPECT_EQ(commands(), (std::vector<int>{110, 120, 112, 121}));

    std::vector<ACCEL> parsed;
    std::string error;
    const char* bad_key = "VK_NOSUCH 1 virtkey";
    EXPECT_FALSE(ParseAcceleratorTable(bad_key, strlen(bad_key), &parsed, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(DestroyAcceleratorTable(table));
}

}  // namespace
}  // namespace qsm::wm::testing
