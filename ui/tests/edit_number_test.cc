// The numeric edits and their spin buttons on the headless window system: a dialog stepped by the arrow
// keys, the wheel and the spin button (with its repeat on a manual clock), refusing OK while a value is out
// of range; typing filters, empty values and the spin button's place beside its edit.
#include "ui/edit_number.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"

namespace {

using qsm::wm::PumpMessages;

constexpr int kDialogId = 4702;
const char kDialog[] =
    "dialog 20 20 200 80 \"Transpose\"\n"
    "edittext 201 10 10 40 12\n"
    "edittext 202 10 30 60 12\n"
    "defpushbutton \"OK\" 1 140 10 50 14\n"
    "pushbutton \"Cancel\" 2 140 30 50 14\n";

#pragma pack(push, 1)
struct TTransposeBuffer {
    int32_t Transpose;
    float Speed;
};
#pragma pack(pop)

class TTransposeDialog : public TDialog {
public:
    explicit TTransposeDialog(TWindow* parent) : TDialog(parent, kDialogId) {
        transpose = new TEditNumber(this, 201, -12, 12, 1);
        speed = new TEditRealNumber(this, 202, 0.5f, 2.0f, 0.1f, 2);
    }
    TEditNumber* transpose;
    TEditRealNumber* speed;
};

// The headless screen, counting beeps.
class TBeepCounter : public qsm::wm::Backend {
public:
    SIZE ScreenSize() const override { return SIZE{1024, 768}; }
    void Beep() override { ++beeps; }
    int beeps = 0;
};

class EditNumberTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::InstallBackend(&backend);
        qsm::wm::ResetForTests();
        qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
        owner.Attr.X = owner.Attr.Y = 0;
        owner.Attr.W = 600;
        owner.Attr.H = 400;
        ASSERT_TRUE(owner.Create());
    }
    void TearDown() override {
        qsm::wm::ResetForTests();
        qsm::wm::InstallBackend(nullptr);
    }
    static std::string Text(HWND hwnd) {
        char buf[256] = {};
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }
    // A point of a window's client area on the screen.
    static POINT OnScreen(HWND hwnd, int x, int y) {
        POINT p{x, y};
        ClientToScreen(hwnd, &p);
        return p;
    }

    TBeepCounter backend;
    TWindow owner{static_cast<TWindow*>(nullptr), "owner"};
};

TEST_F(EditNumberTest, DialogStepsByKeysWheelAndSpinButtonAndRefusesOkOutOfRange) {
    qsm::wm::SetManualClock(true, 1000);
    TTransposeBuffer buffer{-3, 1.0f};
    TTransposeDialog dialog(&owner);
    dialog.SetTransferBuffer(&buffer);
    std::vector<std::string> boxes;
    std::vector<HWND> boxOwners;
    std::vector<std::string> seen;
    HWND dialogHandle = nullptr;
    qsm::wm::SetModalHook([&](HWND hwnd) {
        if (hwnd != dialog.GetHandle()) {
            char buf[256] = {};
            GetDlgItemTextA(hwnd, 0xFFFF, buf, sizeof buf);
            boxes.push_back(buf);
            boxOwners.push_back(GetWindow(hwnd, GW_OWNER));
            qsm::wm::PressKey(VK_RETURN);
            return;
        }
        dialogHandle = hwnd;
        HWND edit = GetDlgItem(hwnd, 201);
        HWND spin = dialog.transpose->GetSpinButton()->GetHandle();
        EXPECT_EQ(Text(edit), "-3");
        EXPECT_EQ(Text(GetDlgItem(hwnd, 202)), "1.00");
        auto record = [&] { seen.push_back(Text(edit)); };

        // Keys and the wheel.
        SetFocus(edit);
        qsm::wm::PressKey(VK_UP);
        PumpMessages();
        record();  // -2
        qsm::wm::PressKey(VK_DOWN);
        qsm::wm::PressKey(VK_DOWN);
        PumpMessages();
        record();  // -4
        qsm::wm::InputMouseWheel(-WHEEL_DELTA);
        PumpMessages();
        record();  // -5
        qsm::wm::InputMouseWheel(WHEEL_DELTA);
        qsm::wm::InputMouseWheel(WHEEL_DELTA);
        PumpMessages();
        record();  // -3

        // The spin button: one step at once, the next after 300 ms, then one every 50 ms; the lower half
        // reverses without a new press, outside both halves the steps pause, the release ends them.
        SetFocus(GetDlgItem(hwnd, 202));
        RECT sr;
        GetClientRect(spin, &sr);
        POINT up = OnScreen(spin, sr.right / 2, 2), down = OnScreen(spin, sr.right / 2, sr.bottom - 3);
        qsm::wm::InputMouseMove(up.x, up.y);
        qsm::wm::InputMouseButton(0, true);
        PumpMessages();
        EXPECT_EQ(GetFocus(), edit);
        EXPECT_TRUE(dialog.transpose->GetSpinButton()->IsPressed());
        record();  // -2
        qsm::wm::AdvanceClock(299);
        PumpMessages();
        record();  // -2
        qsm::wm::AdvanceClock(1);
        PumpMessages();
        record();  // -1
        qsm::wm::AdvanceClock(49);
        PumpMessages();
        record();  // -1
        qsm::wm::AdvanceClock(1);
        PumpMessages();
        record();  // 0
        qsm::wm::InputMouseMove(down.x, down.y);
        PumpMessages();
        EXPECT_EQ(dialog.transpose->GetSpinButton()->GetDirection(), -1);
        qsm::wm::AdvanceClock(50);
        PumpMessages();
        record();  // -1
        POINT away = OnScreen(spin, sr.right + 30, sr.bottom / 2);
        qsm::wm::InputMouseMove(away.x, away.y);
        qsm::wm::AdvanceClock(50);
        PumpMessages();
        qsm::wm::AdvanceClock(50);
        PumpMessages();
        record();  // -1
        qsm::wm::InputMouseMove(up.x, up.y);
        qsm::wm::InputMouseButton(0, false);
        PumpMessages();
        qsm::wm::AdvanceClock(500);
        PumpMessages();
        record();  // -1
        EXPECT_FALSE(dialog.transpose->GetSpinButton()->IsPressed());
        EXPECT_EQ(GetCapture(), nullptr);

        // Out of range, or not a number: OK is refused with the box, the text selected, the focus back.
        for (const char* bad : {"40", "1-", ""}) {
            SetDlgItemTextA(hwnd, 201, bad);
            SetFocus(GetDlgItem(hwnd, 202));
            SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(IsWindow(hwnd));
            EXPECT_EQ(GetFocus(), edit);
            DWORD s = 0, e = 0;
            SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
            EXPECT_EQ(s, 0u);
            EXPECT_EQ(e, std::string(bad).size());
        }
        SetDlgItemTextA(hwnd, 201, "7");
        SetDlgItemTextA(hwnd, 202, "2.5");
        SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindow(hwnd));
        SetDlgItemTextA(hwnd, 202, "1.7");
        SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dialog.Execute(), IDOK);
    std::vector<std::string> want = {"-2", "-4", "-5", "-3", "-2", "-2", "-1", "-1", "0", "-1", "-1", "-1"};
    EXPECT_EQ(seen, want);
    EXPECT_EQ(boxes, std::vector<std::string>(4, "Value is out of range"));
    for (HWND h : boxOwners)
        EXPECT_EQ(h, dialogHandle);
    EXPECT_EQ(buffer.Transpose, 7);
    EXPECT_FLOAT_EQ(buffer.Speed, 1.7f);
}

TEST_F(EditNumberTest, TypingFiltersCharactersAndTheRealEditTakesOnePoint) {
    TWindow panel(&owner, "panel");
    panel.Attr.W = panel.Attr.H = 300;
    auto* number = new TEditNumber(&panel, 1, "", 10, 10, 60, 20, 1, 30000, 1);
    auto* real = new TEditRealNumber(&panel, 2, "", 10, 40, 60, 20, 0, 100, 0.5f, 1);
    ASSERT_TRUE(panel.Create());
    owner.Show(SW_SHOW);
    PumpMessages();

    number->SetFocus();
    qsm::wm::InputText("a1b-+2.");
    PumpMessages();
    EXPECT_EQ(number->GetText(), "1-+2");
    EXPECT_EQ(backend.beeps, 0);  // dropped without a sound

    real->SetFocus();
    qsm::wm::InputText("1.5");
    PumpMessages();
    EXPECT_EQ(real->GetText(), "1.5");
    qsm::wm::InputText(".-x");
    PumpMessages();
    EXPECT_EQ(real->GetText(), "1.5");
    EXPECT_EQ(backend.beeps, 3);
    // A selected point may be replaced by a new one.
    real->SetSelection(1, 3);
    qsm::wm::InputText(".");
    PumpMessages();
    EXPECT_EQ(real->GetText(), "1.");
    EXPECT_EQ(backend.beeps, 3);

    real->SetValue(2.25f);
    EXPECT_EQ(real->GetText(), "2.2");  // one decimal, as printf rounds it
    real->Step(+1);
    EXPECT_EQ(real->GetText(), "2.5");
    real->Step(-1);
    real->Step(-1);
    EXPECT_EQ(real->GetText(), "1.5");
    real->SetValue(1000);
    EXPECT_EQ(real->GetText(), "100.0");
}

TEST_F(EditNumberTest, EmptyValuesStepToZeroOrTheMinimumAndTransferAsTheEmptyConstant) {
    TWindow panel(&owner, "panel");
    panel.Attr.W = panel.Attr.H = 300;
    auto* number = new TEditNumber(&panel, 1, "", 10, 10, 60, 20, -10, 10, 5);
    number->SetAllowEmpty(true);
    auto* real = new TEditRealNumber(&panel, 2, "", 10, 40, 60, 20, -1, 1, 0.25f, 2);
    real->SetAllowEmpty(true);
    ASSERT_TRUE(panel.Create());

    EXPECT_EQ(number->GetValue(), TEditNumber::kEmptyInt);
    EXPECT_TRUE(number->CanClose());
    number->Step(+1);
    EXPECT_EQ(number->GetText(), "0");
    number->SetValue(TEditNumber::kEmptyInt);
    EXPECT_EQ(number->GetText(), "");
    number->SetRange(3, 10, 1);
    number->Step(-1);
    EXPECT_EQ(number->GetText(), "3");
    int32_t value = TEditNumber::kEmptyInt;
    EXPECT_EQ(number->Transfer(&value, tdSetData), 4u);
    EXPECT_EQ(number->GetText(), "");
    value = 0;
    number->Transfer(&value, tdGetData);
    EXPECT_EQ(value, TEditNumber::kEmptyInt);
    // Without empty values the sentinel is only a number far below the range.
    number->SetAllowEmpty(false);
    number->SetValue(TEditNumber::kEmptyInt);
    EXPECT_EQ(number->GetText(), "3");

    EXPECT_EQ(real->GetValue(), TEditRealNumber::kEmptyReal);
    real->Step(-1);
    EXPECT_EQ(real->GetText(), "0.00");
    real->SetRange(0.5f, 1);
    real->SetValue(TEditRealNumber::kEmptyReal);
    real->Step(+1);
    EXPECT_EQ(real->GetText(), "0.50");
    float f = 0;
    EXPECT_EQ(real->Transfer(&f, tdGetData), 4u);
    EXPECT_FLOAT_EQ(f, 0.5f);

    // A disabled edit may always close.
    number->SetText("99");
    number->EnableWindow(false);
    EXPECT_TRUE(number->CanClose());
    EXPECT_FALSE(IsWindowEnabled(number->GetSpinButton()->GetHandle()));
}

TEST_F(EditNumberTest, PowerOfTwoCheckAndRealScaling) {
    TWindow panel(&owner, "panel");
    panel.Attr.W = panel.Attr.H = 300;
    auto* number = new TEditNumber(&panel, 1, "", 10, 10, 60, 20, 1, 100, 1);
    number->PowersOfTwoOnly = true;
    auto* real = new TEditRealNumber(&panel, 2, "", 10, 40, 60, 20, 0, 10, 0.5f, 2);
    ASSERT_TRUE(panel.Create());
    std::vector<std::string> boxes;
    qsm::wm::SetModalHook([&](HWND hwnd) {
        char buf[256] = {};
        GetDlgItemTextA(hwnd, 0xFFFF, buf, sizeof buf);
        boxes.push_back(buf);
        qsm::wm::PressKey(VK_RETURN);
    });
    for (const char* good : {"2", "16", "64"}) {
        number->SetText(good);
        EXPECT_TRUE(number->CanClose()) << good;
    }
    for (const char* bad : {"1", "3", "128", "abc", ""}) {
        number->SetText(bad);
        EXPECT_FALSE(number->CanClose()) << bad;
    }
    EXPECT_EQ(boxes, std::vector<std::string>(5, "Value is not valid"));
    number->EnableWindow(false);
    EXPECT_TRUE(number->CanClose());
    qsm::wm::SetModalHook(nullptr);

    real->SetValue(1.5f);
    real->MultiplyBy(3);
    EXPECT_EQ(real->GetText(), "4.50");
    real->DivideBy(2);
    EXPECT_EQ(real->GetText(), "2.25");
    real->DivideBy(0);  // nothing to divide by: the value stays
    EXPECT_EQ(real->GetText(), "2.25");
    real->MultiplyBy(100);  // set again, so clamped
    EXPECT_EQ(real->GetText(), "10.00");
}

TEST_F(EditNumberTest, SpinButtonSitsBesideItsEditAndFollowsIt) {
    TWindow panel(&owner, "panel");
    panel.Attr.W = panel.Attr.H = 300;
    auto* even = new TEditNumber(&panel, 1, "", 10, 10, 60, 20, 0, 9, 1);
    auto* odd = new TEditNumber(&panel, 2, "", 10, 40, 60, 21, 0, 9, 1);
    ASSERT_TRUE(panel.Create());
    auto placed = [&](TEditNumber* e) {
        RECT r;
        GetWindowRect(e->GetSpinButton()->GetHandle(), &r);
        MapWindowPoints(nullptr, panel.GetHandle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    int bx = GetSystemMetrics(SM_CXBORDER), by = GetSystemMetrics(SM_CYBORDER);
    ASSERT_EQ(bx, 1);
    ASSERT_EQ(by, 1);
    RECT r = placed(even);
    EXPECT_EQ(r.left, 73);
    EXPECT_EQ(r.right - r.left, 13);
    EXPECT_EQ(r.top, 9);
    EXPECT_EQ(r.bottom - r.top, 21);
    r = placed(odd);
    EXPECT_EQ(r.bottom - r.top, 23);  // 21 + 1 made odd

    // The halves: the lower one is tested first and starts one row below the upper one's end.
    TSpinButton* spin = even->GetSpinButton();
    EXPECT_EQ(spin->HitDirection(TPoint(5, 0)), +1);
    EXPECT_EQ(spin->HitDirection(TPoint(5, 9)), +1);
    EXPECT_EQ(spin->HitDirection(TPoint(5, 10)), 0);
    EXPECT_EQ(spin->HitDirection(TPoint(5, 11)), -1);
    EXPECT_EQ(spin->HitDirection(TPoint(5, 21)), 0);

    even->MoveWindow(100, 100, 50, 30);
    PumpMessages();
    r = placed(even);
    EXPECT_EQ(r.left, 153);
    EXPECT_EQ(r.top, 99);
    EXPECT_EQ(r.bottom - r.top, 31);

    even->Show(SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(spin->GetHandle()));
    even->Show(SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(spin->GetHandle()) || !IsWindowVisible(panel.GetHandle()));

    // The spin button hands the focus on to its edit; deleting the edit deletes the spin button.
    owner.Show(SW_SHOW);
    PumpMessages();
    SetFocus(spin->GetHandle());
    EXPECT_EQ(GetFocus(), even->GetHandle());
    HWND spinHandle = spin->GetHandle();
    delete even;
    EXPECT_FALSE(IsWindow(spinHandle));
    EXPECT_EQ(panel.NumChildren(), 2);
}

TEST_F(EditNumberTest, SpinButtonDrawsRaisedHalvesWithArrowsGreyedWithItsEditAndInvertsThePressedHalf) {
    TWindow panel(&owner, "panel");
    panel.Attr.Style |= WS_VISIBLE;
    panel.Attr.W = panel.Attr.H = 300;
    auto* number = new TEditNumber(&panel, 1, "5", 10, 10, 60, 20, 0, 9, 1);
    ASSERT_TRUE(panel.Create());
    owner.Show(SW_SHOW);
    PumpMessages();
    HWND spin = number->GetSpinButton()->GetHandle();
    auto pixel = [&](int x, int y) {
        HDC dc = GetDC(spin);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(spin, dc);
        return c;
    };
    // 13 x 21: a black frame and middle row, the upper face from row 1 to 9, the lower from 11 to 19.
    EXPECT_EQ(pixel(0, 5), RGB(0, 0, 0));
    EXPECT_EQ(pixel(6, 10), RGB(0, 0, 0));
    EXPECT_EQ(pixel(1, 1), RGB(255, 255, 255));   // light top-left
    EXPECT_EQ(pixel(11, 9), RGB(64, 64, 64));     // dark bottom-right
    EXPECT_EQ(pixel(10, 8), RGB(192, 192, 192));  // the face
    EXPECT_EQ(pixel(6, 5), RGB(0, 0, 0));         // inside the up arrow
    EXPECT_EQ(pixel(6, 15), RGB(0, 0, 0));        // inside the down arrow

    ::EnableWindow(number->GetHandle(), FALSE);
    PumpMessages();
    EXPECT_FALSE(IsWindowEnabled(spin));
    EXPECT_EQ(pixel(6, 5), RGB(128, 128, 128));
    ::EnableWindow(number->GetHandle(), TRUE);
    PumpMessages();
    EXPECT_TRUE(IsWindowEnabled(spin));

    number->GetSpinButton()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 4));
    PumpMessages();
    EXPECT_EQ(number->GetText(), "6");
    EXPECT_EQ(pixel(10, 8), RGB(63, 63, 63));  // the pressed half inverted
    EXPECT_EQ(pixel(6, 5), RGB(255, 255, 255));
    EXPECT_EQ(pixel(10, 18), RGB(192, 192, 192));
    number->GetSpinButton()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(6, 4));
    PumpMessages();
    EXPECT_EQ(pixel(10, 8), RGB(192, 192, 192));
}

}  // namespace
