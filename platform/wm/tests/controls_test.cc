// The standard controls through their messages and through input: what each keeps, what it tells its
// parent and when.
#include <cstring>
#include <string>

#include "platform/wm/control_util.h"
#include "platform/wm/dialog_template.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

class ControlsTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        parent = MakeTop(0, 0, 400, 300, WS_POPUP | WS_VISIBLE);
        PumpMessages();
        Rec().Clear();
        Rec().only = {WM_COMMAND, WM_DRAWITEM, WM_MEASUREITEM};
    }
    HWND Make(const char* cls, const char* text, DWORD style, int id, int x, int y, int w, int h) {
        HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
        PumpMessages();
        return c;
    }
    // The notification codes the parent got from control `id`, in order.
    std::vector<int> Notes(int id) const {
        std::vector<int> out;
        for (const Logged& l : Rec().log)
            if (l.msg == WM_COMMAND && LOWORD(l.wparam) == id) out.push_back(HIWORD(l.wparam));
        return out;
    }
    static std::string Text(HWND h) {
        char buf[256];
        GetWindowTextA(h, buf, sizeof buf);
        return buf;
    }
    HWND parent = nullptr;
};

TEST_F(ControlsTest, ButtonsClickCheckAndGroupTheirRadios) {
    HWND push = Make("BUTTON", "&Go", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 10, 80, 24);
    HWND check = Make("BUTTON", "Check", BS_AUTOCHECKBOX | WS_TABSTOP, 11, 10, 40, 80, 20);
    HWND tri = Make("BUTTON", "Tri", BS_AUTO3STATE, 12, 10, 60, 80, 20);
    HWND r1 = Make("BUTTON", "One", BS_AUTORADIOBUTTON | WS_GROUP, 13, 10, 80, 80, 20);
    HWND r2 = Make("BUTTON", "Two", BS_AUTORADIOBUTTON, 14, 10, 100, 80, 20);
    HWND r3 = Make("BUTTON", "Three", BS_AUTORADIOBUTTON, 15, 10, 120, 80, 20);
    Make("BUTTON", "Group", BS_GROUPBOX | WS_GROUP, 16, 100, 10, 120, 120);

    Click(30, 20);
    PumpMessages();
    EXPECT_EQ(Notes(10), std::vector<int>{BN_CLICKED});

    // A press that leaves the button before release is no click.
    Rec().Clear();
    InputMouseMove(30, 20);
    InputMouseButton(0, true);
    PumpMessages();
    EXPECT_TRUE(SendMessageA(push, BM_GETSTATE, 0, 0) & BST_PUSHED);
    InputMouseMove(300, 200);
    InputMouseButton(0, false);
    PumpMessages();
    EXPECT_TRUE(Notes(10).empty());
    EXPECT_FALSE(SendMessageA(push, BM_GETSTATE, 0, 0) & BST_PUSHED);

    Click(30, 50);
    PumpMessages();
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(30, 50);
    PumpMessages();
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(Notes(11), (std::vector<int>{BN_CLICKED, BN_CLICKED}));

    // Three states go round.
    std::vector<LRESULT> states;
    for (int i = 0; i < 3; ++i) {
        SendMessageA(tri, BM_CLICK, 0, 0);
        PumpMessages();
        states.push_back(SendMessageA(tri, BM_GETCHECK, 0, 0));
    }
    EXPECT_EQ(states, (std::vector<LRESULT>{BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}));

    // Automatic radio buttons check themselves and clear the others of their group.
    Click(30, 90);
    PumpMessages();
    Click(30, 130);
    PumpMessages();
    EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(r3, BM_GETCHECK, 0, 0), BST_CHECKED);

    // Space on a focused button clicks it; a disabled button ignores the pointer.
    SetFocus(push);
    Rec().Clear();
    PressKey(VK_SPACE);
    PumpMessages();
    EXPECT_EQ(Notes(10), std::vector<int>{BN_CLICKED});
    EnableWindow(push, FALSE);
    Rec().Clear();
    Click(30, 20);
    PumpMessages();
    EXPECT_TRUE(Notes(10).empty());
}

TEST_F(ControlsTest, StaticsTakeTheirTextAndAskTheParentForColours) {
    Rec().only = {WM_CTLCOLORSTATIC};
    HWND s = Make("STATIC", "Label", SS_CENTER | SS_NOPREFIX, 20, 10, 10, 100, 20);
    EXPECT_EQ(Text(s), "Label");
    SetWindowTextA(s, "Other");
    EXPECT_EQ(Text(s), "Other");
    UpdateWindow(s);
    EXPECT_GE(Rec().Count(WM_CTLCOLORSTATIC), 1);
    HFONT f = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    SendMessageA(s, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(s, WM_GETFONT, 0, 0)), f);
    // Statics are transparent to the pointer unless they notify.
    EXPECT_EQ(SendMessageA(s, WM_NCHITTEST, 0, MAKELPARAM(20, 20)), HTTRANSPARENT);
}

TEST_F(ControlsTest, SingleLineEditTypesSelectsLimitsAndNotifies) {
    HWND e = Make("EDIT", "", ES_AUTOHSCROLL | WS_BORDER, 30, 10, 10, 200, 22);
    SetFocus(e);
    PumpMessages();
    Rec().Clear();
    InputText("abc");
    PumpMessages();
    EXPECT_EQ(Text(e), "abc");
    EXPECT_EQ(Notes(30),
              (std::vector<int>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));

    DWORD start = 0, end = 0;
    SendMessageA(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 3u);
    PressKey(VK_LEFT);
    PressKey(VK_BACK);
    PumpMessages();
    EXPECT_EQ(Text(e), "ac");

    SendMessageA(e, EM_SETSEL, 0, -1);
    InputText("Z");
    PumpMessages();
    EXPECT_EQ(Text(e), "Z");

    // The limit cuts typing and pasting-in through replacement, and says so.
    SendMessageA(e, EM_LIMITTEXT, 4, 0);
    Rec().Clear();
    InputText("12345");
    PumpMessages();
    EXPECT_EQ(Text(e), "Z123");
    EXPECT_NE(std::find(Notes(30).begin(), Notes(30).end(), EN_MAXTEXT), Notes(30).end());
    SendMessageA(e, EM_SETSEL, 1, 3);
    SendMessageA(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("xyzw"));
    EXPECT_EQ(Text(e), "Zxy3");

    // A read-only edit keeps its text; the dialog code asks for a selection on focus.
    SendMessageA(e, EM_SETREADONLY, TRUE, 0);
    InputText("q");
    PumpMessages();
    EXPECT_EQ(Text(e), "Zxy3");
    EXPECT_TRUE(SendMessageA(e, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL);
}

TEST_F(ControlsTest, MultiLineEditBreaksLinesAndScrolls) {
    HWND e =
        Make("EDIT", "", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_WANTRETURN, 31, 10, 10, 200, 60);
    SetFocus(e);
    SetWindowTextA(e, "one\r\ntwo\r\nthree");
    EXPECT_EQ(SendMessageA(e, EM_GETLINECOUNT, 0, 0), 3);
    char line[16] = {};
    *reinterpret_cast<WORD*>(line) = sizeof line - 1;
    LRESULT n = SendMessageA(e, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::string(line, static_cast<size_t>(n)), "two");
    EXPECT_EQ(SendMessageA(e, EM_LINEINDEX, 2, 0), 10);
    SendMessageA(e, EM_SETSEL, 3, 3);
    PressKey(VK_RETURN);
    PumpMessages();
    EXPECT_EQ(SendMessageA(e, EM_GETLINECOUNT, 0, 0), 4);
    // Many lines: the first visible line follows the caret down.
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += "line " + std::to_string(i) + "\r\n";
    SetWindowTextA(e, many.c_str());
    SendMessageA(e, EM_SETSEL, static_cast<WPARAM>(many.size()), static_cast<LPARAM>(many.size()));
    SendMessageA(e, EM_SCROLLCARET, 0, 0);
    EXPECT_GT(SendMessageA(e, EM_GETFIRSTVISIBLELINE, 0, 0), 20);
    // Enter stays in the edit; Esc and Tab go to the dialog.
    MSG enter{e, WM_KEYDOWN, VK_RETURN, 0, 0, {}, 0};
    EXPECT_TRUE(SendMessageA(e, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                DLGC_WANTALLKEYS);
    MSG esc{e, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}, 0};
    EXPECT_FALSE(SendMessageA(e, WM_GETDLGCODE, VK_ESCAPE, reinterpret_cast<LPARAM>(&esc)) &
                 DLGC_WANTALLKEYS);
}

TEST_F(ControlsTest, ListBoxKeepsSortedItemsDataAndSelection) {
    HWND lb = Make("LISTBOX", "", LBS_NOTIFY | LBS_SORT | LBS_HASSTRINGS | WS_VSCROLL | WS_BORDER, 40, 10, 10,
                   150, 100);
    for (const char* s : {"pear", "apple", "fig"})
        SendMessageA(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    ASSERT_EQ(SendMessageA(lb, LB_GETCOUNT, 0, 0), 3);
    char buf[32];
    SendMessageA(lb, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(buf, "apple");
    EXPECT_EQ(SendMessageA(lb, LB_GETTEXTLEN, 2, 0), 4);
    EXPECT_EQ(SendMessageA(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("FIG")),
              1);
    EXPECT_EQ(SendMessageA(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("fi")),
              LB_ERR);
    SendMessageA(lb, LB_SETITEMDATA, 1, 77);
    EXPECT_EQ(SendMessageA(lb, LB_GETITEMDATA, 1, 0), 77);
    EXPECT_EQ(SendMessageA(lb, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(lb, LB_GETTEXT, 9, reinterpret_cast<LPARAM>(buf)), LB_ERR);

    // A click selects the row under the pointer and notifies; a double click says so too. Taking the focus
    // is told first.
    RECT r{};
    SendMessageA(lb, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    POINT p{r.left + 5, (r.top + r.bottom) / 2};
    ClientToScreen(lb, &p);
    Click(p.x, p.y);
    PumpMessages();
    EXPECT_EQ(SendMessageA(lb, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Notes(40), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE}));
    Rec().Clear();
    Click(p.x, p.y);
    PumpMessages();
    EXPECT_EQ(Notes(40), std::vector<int>{LBN_DBLCLK});
    // Keys move the selection; setting it by message does not notify.
    Rec().Clear();
    PressKey(VK_DOWN);
    PumpMessages();
    EXPECT_EQ(SendMessageA(lb, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Notes(40), std::vector<int>{LBN_SELCHANGE});
    Rec().Clear();
    SendMessageA(lb, LB_SETCURSEL, 0, 0);
    EXPECT_TRUE(Notes(40).empty());
    SendMessageA(lb, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessageA(lb, LB_GETCOUNT, 0, 0), 2);
    SendMessageA(lb, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(lb, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(ControlsTest, ListBoxMultipleSelectionTopIndexAndHorizontalExtent) {
    HWND lb = Make("LISTBOX", "", LBS_NOTIFY | LBS_MULTIPLESEL | LBS_HASSTRINGS | WS_VSCROLL | WS_HSCROLL, 41,
                   10, 10, 150, 100);
    for (int i = 0; i < 40; ++i)
        SendMessageA(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(("item " + std::to_string(i)).c_str()));
    SendMessageA(lb, LB_SETSEL, TRUE, 3);
    SendMessageA(lb, LB_SETSEL, TRUE, 5);
    EXPECT_EQ(SendMessageA(lb, LB_GETSELCOUNT, 0, 0), 2);
    int items[4] = {};
    EXPECT_EQ(SendMessageA(lb, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 2);
    EXPECT_EQ(items[0], 3);
    EXPECT_EQ(items[1], 5);
    SendMessageA(lb, LB_SETSEL, FALSE, 3);
    EXPECT_EQ(SendMessageA(lb, LB_GETSEL, 3, 0), 0);
    EXPECT_GT(SendMessageA(lb, LB_GETSEL, 5, 0), 0);
    // A click toggles one row and leaves the others.
    RECT r{};
    SendMessageA(lb, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    POINT p{r.left + 5, (r.top + r.bottom) / 2};
    ClientToScreen(lb, &p);
    Click(p.x, p.y);
    PumpMessages();
    EXPECT_EQ(SendMessageA(lb, LB_GETSELCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(lb, LB_GETCARETINDEX, 0, 0), 0);

    SendMessageA(lb, LB_SETTOPINDEX, 30, 0);
    LRESULT top = SendMessageA(lb, LB_GETTOPINDEX, 0, 0);
    EXPECT_GT(top, 20);
    EXPECT_EQ(GetScrollPos(lb, SB_VERT), top);
    SendMessageA(lb, LB_SETHORIZONTALEXTENT, 600, 0);
    EXPECT_EQ(SendMessageA(lb, LB_GETHORIZONTALEXTENT, 0, 0), 600);
    SendMessageA(lb, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 100), 0);
    EXPECT_EQ(GetScrollPos(lb, SB_HORZ), 100);
}

TEST_F(ControlsTest, OwnerDrawListBoxAsksItsParentToDrawEachRow) {
    std::vector<DRAWITEMSTRUCT> draws;
    Rec().answer = [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT* res) {
        if (m == WM_DRAWITEM) {
            draws.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
            *res = TRUE;
            return true;
        }
        if (m == WM_MEASUREITEM) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(l)->itemHeight = 18;
            *res = TRUE;
            return true;
        }
        return false;
    };
    HWND lb = Make("LISTBOX", "", LBS_OWNERDRAWFIXED | LBS_NOTIFY, 42, 10, 10, 150, 100);
    for (int i = 0; i < 3; ++i)
        SendMessageA(lb, LB_ADDSTRING, 0, 100 + i);
    EXPECT_EQ(SendMessageA(lb, LB_GETITEMDATA, 2, 0), 102);
    EXPECT_EQ(SendMessageA(lb, LB_GETITEMHEIGHT, 0, 0), 18);
    draws.clear();
    InvalidateRect(lb, nullptr, TRUE);
    UpdateWindow(lb);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[1].CtlType, static_cast<UINT>(ODT_LISTBOX));
    EXPECT_EQ(draws[1].itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(draws[1].itemData, 101u);
    EXPECT_EQ(draws[1].rcItem.top, 18);
    draws.clear();
    SendMessageA(lb, LB_SETCURSEL, 1, 0);
    UpdateWindow(lb);
    bool selected_drawn = false;
    for (const DRAWITEMSTRUCT& d : draws)
        selected_drawn |= d.itemID == 1 && (d.itemState & ODS_SELECTED);
    EXPECT_TRUE(selected_drawn);
}

TEST_F(ControlsTest, DropDownListComboOpensChoosesAndNotifies) {
    HWND cb = Make("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL, 50, 10, 10, 150, 120);
    for (const char* s : {"red", "green", "blue"})
        SendMessageA(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(SendMessageA(cb, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(cb, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("BLUE")),
              2);
    SendMessageA(cb, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Text(cb), "green");
    SendMessageA(cb, CB_SETEXTENDEDUI, TRUE, 0);
    EXPECT_TRUE(SendMessageA(cb, CB_GETEXTENDEDUI, 0, 0));

    // The arrow key moves the choice while closed (extended UI: F4 or Down opens it).
    SetFocus(cb);
    Rec().Clear();
    PressKey(VK_DOWN);
    PumpMessages();
    EXPECT_TRUE(SendMessageA(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Notes(50).front(), CBN_DROPDOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    PumpMessages();
    EXPECT_FALSE(SendMessageA(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 2);
    std::vector<int> n = Notes(50);
    EXPECT_NE(std::find(n.begin(), n.end(), CBN_SELCHANGE), n.end());
    EXPECT_NE(std::find(n.begin(), n.end(), CBN_CLOSEUP), n.end());
    char buf[16];
    SendMessageA(cb, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(buf, "red");
}

TEST_F(ControlsTest, DropDownComboHasAnEditPart) {
    HWND cb = Make("COMBOBOX", "", CBS_DROPDOWN | CBS_AUTOHSCROLL, 51, 10, 10, 150, 120);
    SendMessageA(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("alpha"));
    SendMessageA(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("beta"));
    SendMessageA(cb, CB_LIMITTEXT, 6, 0);
    SetFocus(cb);
    PumpMessages();
    Rec().Clear();
    InputText("gamma-ray");
    PumpMessages();
    EXPECT_EQ(Text(cb), "gamma-");
    std::vector<int> n = Notes(51);
    EXPECT_NE(std::find(n.begin(), n.end(), CBN_EDITCHANGE), n.end());
    SendMessageA(cb, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Text(cb), "beta");
    SendMessageA(cb, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    LRESULT sel = SendMessageA(cb, CB_GETEDITSEL, 0, 0);
    EXPECT_EQ(LOWORD(sel), 0);
    EXPECT_EQ(HIWORD(sel), 4);
}

TEST_F(ControlsTest, ScrollBarControlReportsToItsParentAndKeepsItsRange) {
    std::vector<std::pair<int, int>> scrolls;
    Rec().only = {WM_HSCROLL};
    Rec().answer = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
        if (m == WM_HSCROLL) scrolls.push_back({LOWORD(w), static_cast<short>(HIWORD(w))});
        return false;
    };
    HWND sb = Make("SCROLLBAR", "", SBS_HORZ, 60, 10, 200, 200, 16);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 10, 40, 0};
    SetScrollInfo(sb, SB_CTL, &si, TRUE);
    EXPECT_EQ(GetScrollPos(sb, SB_CTL), 40);
    // The position is clamped to max - page + 1.
    EXPECT_EQ(SetScrollPos(sb, SB_CTL, 500, TRUE), 40);
    EXPECT_EQ(GetScrollPos(sb, SB_CTL), 91);
    SetScrollPos(sb, SB_CTL, 40, TRUE);
    // A click on the left arrow says "line left" and "end scroll"; the position stays where the parent
    // puts it.
    Click(15, 208);
    PumpMessages();
    ASSERT_GE(scrolls.size(), 2u);
    EXPECT_EQ(scrolls.front().first, SB_LINELEFT);
    EXPECT_EQ(scrolls.back().first, SB_ENDSCROLL);
    EXPECT_EQ(GetScrollPos(sb, SB_CTL), 40);
    scrolls.clear();
    SetFocus(sb);
    PressKey(VK_RIGHT);
    PumpMessages();
    ASSERT_FALSE(scrolls.empty());
    EXPECT_EQ(scrolls.front().first, SB_LINERIGHT);
}

TEST_F(ControlsTest, ProgressBarClampsAndSteps) {
    HWND pb = Make(PROGRESS_CLASSA, "", 0, 70, 10, 250, 200, 16);
    SendMessageA(pb, PBM_SETRANGE32, 10, 50);
    EXPECT_EQ(SendMessageA(pb, PBM_SETPOS, 30, 0), 10);
    EXPECT_EQ(SendMessageA(pb, PBM_GETPOS, 0, 0), 30);
    SendMessageA(pb, PBM_SETPOS, 99, 0);
    EXPECT_EQ(SendMessageA(pb, PBM_GETPOS, 0, 0), 50);
    SendMessageA(pb, PBM_SETPOS, 10, 0);
    SendMessageA(pb, PBM_SETSTEP, 15, 0);
    SendMessageA(pb, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessageA(pb, PBM_GETPOS, 0, 0), 25);
    SendMessageA(pb, PBM_DELTAPOS, 5, 0);
    EXPECT_EQ(SendMessageA(pb, PBM_GETPOS, 0, 0), 30);
    PBRANGE range{};
    SendMessageA(pb, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 50);
}

// Pixels of `hwnd`'s client area in `r` that differ from colour `bg`.
int InkIn(HWND hwnd, RECT r, COLORREF bg) {
    HDC dc = GetDC(hwnd);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += GetPixel(dc, x, y) != bg;
    ReleaseDC(hwnd, dc);
    return n;
}

const char kFieldsDialog[] = R"(dialog 20 20 200 60 "Fields"
style WS_POPUP | WS_CAPTION | WS_VISIBLE
font 8 "MS Sans Serif"
combobox 109 5 5 100 60 CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP
edittext 110 5 25 133 14 ES_MULTILINE | WS_VSCROLL | WS_TABSTOP
)";

INT_PTR FieldsProc(HWND h, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG) return FALSE;
    SendDlgItemMessageA(h, 109, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("120"));
    SetDlgItemTextA(h, 109, "96");
    SetDlgItemTextA(h, 110, "First line\r\nSecond line");
    return TRUE;
}

TEST_F(ControlsTest, TemplateFieldsDrawTheirTextAndScrollWholeLines) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(kFieldsDialog, sizeof kFieldsDialog - 1, &t, &error)) << error;
    HWND dlg = CreateDialogFromTemplate(t, nullptr, FieldsProc, 0);
    ASSERT_NE(dlg, nullptr);
    // The drop-down kind named in the template replaces the default simple kind: the box has an edit
    // part, and the edit draws the text it was given.
    HWND cb = GetDlgItem(dlg, 109);
    EXPECT_EQ(StyleOf(cb) & 3u, CBS_DROPDOWN);
    HWND field = GetDlgItem(cb, 1001);
    ASSERT_NE(field, nullptr);
    SetFocus(GetDlgItem(dlg, 110));
    PumpMessages();
    EXPECT_EQ(Text(cb), "96");
    EXPECT_GT(InkIn(field, ClientRectOf(field), GetSysColor(COLOR_WINDOW)), 10);

    // The multi-line edit keeps its scroll bar and shows whole lines: the second line does not fit, so
    // nothing of it shows until the edit is scrolled to it.
    HWND e = GetDlgItem(dlg, 110);
    EXPECT_TRUE(StyleOf(e) & WS_VSCROLL);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(e, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 1);
    EXPECT_EQ(si.nPage, 1u);
    RECT fr;
    SendMessageA(e, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&fr));
    RECT cr = ClientRectOf(e);
    ASSERT_LT(fr.bottom, cr.bottom);
    RECT below{cr.left, fr.bottom, cr.right, cr.bottom};
    EXPECT_EQ(InkIn(e, below, GetSysColor(COLOR_WINDOW)), 0);
    SendMessageA(e, WM_VSCROLL, SB_LINEDOWN, 0);
    PumpMessages();
    EXPECT_EQ(SendMessageA(e, EM_GETFIRSTVISIBLELINE, 0, 0), 1);
    EXPECT_EQ(GetScrollPos(e, SB_VERT), 1);
    EXPECT_GT(InkIn(e, fr, GetSysColor(COLOR_WINDOW)), 10);
    // Text that fits leaves the bar in place, disabled.
    SetWindowTextA(e, "one");
    PumpMessages();
    EXPECT_TRUE(StyleOf(e) & WS_VSCROLL);
    DestroyWindow(dlg);
}

}  // namespace
}  // namespace qsm::wm::testing
