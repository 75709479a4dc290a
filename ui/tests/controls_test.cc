// The control wrappers in a dialog on the headless window system: transfer in and out, the range check of
// the combo box with its box owned by the dialog, the check-box rows of the multiple-selection list, and
// the helpers of the static and the edit.
#include "ui/controls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"

namespace {

using qsm::wm::PressKey;
using qsm::wm::PumpMessages;
using qsm::wm::SetModalHook;

constexpr int kDialogId = 4701;
const char kDialog[] =
    "dialog 0 0 260 150 \"Options\"\n"
    "ltext \"\" 101 10 5 150 10\n"
    "ltext \"\" 107 10 15 150 10\n"
    "combobox 102 10 30 100 60 CBS_DROPDOWNLIST\n"
    "combobox 103 10 50 60 60 CBS_DROPDOWN\n"
    "listbox 104 120 30 80 50 LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_MULTIPLESEL\n"
    "edittext 105 10 70 100 12\n"
    "defpushbutton \"OK\" 1 200 5 50 14\n"
    "pushbutton \"Cancel\" 2 200 25 50 14\n";

const char kDevices[] = "Default (Midi Mapper)\0Synth\0Port 1\0";

#pragma pack(push, 1)
struct TOptionsBuffer {
    const char* Title;
    int32_t Device;
    int32_t Size;
    char Name[32];
};
#pragma pack(pop)

class TOptionsDialog : public TDialog {
public:
    explicit TOptionsDialog(TWindow* parent) : TDialog(parent, kDialogId) {
        path = new TQSRStatic(this, 101);
        path->SetInitialText("/home/anna/songs/Moon River.qsm", 1);
        title = new TQSRStatic(this, 107);
        title->EnableTextTransfer();
        device = new TQSRComboBox(this, 102, 0, nullptr, kDevices);
        size = new TQSRComboBox(this, 103, 10);
        size->SetRange(1, 10);
        parts = new TQSRMultiSelListBox(this, 104);
        parts->DisableTransfer();
        name = new TQSREdit(this, 105, sizeof(TOptionsBuffer::Name));
    }
    void SetupWindow() override {
        TDialog::SetupWindow();
        size->FillRange(2, 10, 4);
        for (const char* p : {"Piano", "Strings", "Drums"})
            parts->AddString(p);
        parts->SendMessage(LB_SETSEL, TRUE, 0);
        parts->SendMessage(LB_SETSEL, TRUE, 2);
    }
    TQSRStatic* path;
    TQSRStatic* title;
    TQSRComboBox* device;
    TQSRComboBox* size;
    TQSRMultiSelListBox* parts;
    TQSREdit* name;
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
        owner.Attr.X = owner.Attr.Y = 0;
        owner.Attr.W = 600;
        owner.Attr.H = 400;
        ASSERT_TRUE(owner.Create());
    }
    void TearDown() override {
        SetModalHook(nullptr);
        qsm::wm::ResetForTests();
    }
    // Runs the dialog; `step` is called with it once it shows. Boxes on the way are answered with Enter
    // and recorded.
    int Run(TOptionsDialog& dialog, const std::function<void(HWND)>& step) {
        SetModalHook([&](HWND hwnd) {
            if (hwnd == dialog.GetHandle()) {
                step(hwnd);
                return;
            }
            char buf[256] = {};
            GetDlgItemTextA(hwnd, 0xFFFF, buf, sizeof buf);
            boxes.push_back(buf);
            boxOwners.push_back(GetWindow(hwnd, GW_OWNER));
            PressKey(VK_RETURN);
        });
        return dialog.Execute();
    }
    static std::string Text(HWND dlg, int id) {
        char buf[1024] = {};
        GetDlgItemTextA(dlg, id, buf, sizeof buf);
        return buf;
    }

    TWindow owner{static_cast<TWindow*>(nullptr), "owner"};
    std::vector<std::string> boxes;
    std::vector<HWND> boxOwners;
};

TEST_F(ControlsTest, DialogTransfersInAndOutAndTheRangeComboRefusesToCloseOutOfRange) {
    TOptionsBuffer buffer{};
    buffer.Title = "Moon River";
    buffer.Device = 2;
    buffer.Size = 50;  // shown clamped to the bounds
    std::strcpy(buffer.Name, "Anna");
    TOptionsDialog dialog(&owner);
    dialog.SetTransferBuffer(&buffer);

    int result = Run(dialog, [&](HWND dlg) {
        EXPECT_EQ(Text(dlg, 101), "Moon River");  // the path's name part
        EXPECT_EQ(Text(dlg, 107), "Moon River");
        EXPECT_EQ(Text(dlg, 102), "Port 1");
        EXPECT_EQ(Text(dlg, 103), "10");
        EXPECT_EQ(Text(dlg, 105), "Anna");
        EXPECT_EQ(SendDlgItemMessageA(dlg, 102, CB_GETEXTENDEDUI, 0, 0), TRUE);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 103, CB_GETCOUNT, 0, 0), 3);  // 2, 6, 10

        // Texts that are not a whole number within 1..10 keep the dialog open, with the box above it.
        for (const char* bad : {"12", "5x", "0", ""}) {
            SetDlgItemTextA(dlg, 103, bad);
            SendMessageA(dlg, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(IsWindow(dlg)) << bad;
            HWND focus = GetFocus();
            EXPECT_TRUE(focus == GetDlgItem(dlg, 103) || IsChild(GetDlgItem(dlg, 103), focus)) << bad;
        }
        EXPECT_EQ(boxes, std::vector<std::string>(4, "Value is out of range"));
        for (HWND h : boxOwners)
            EXPECT_EQ(h, dlg);
        EXPECT_EQ(buffer.Size, 50);  // nothing transferred out yet

        // Blanks around the number and a plus sign pass; no selection in the index combo keeps its value.
        SetDlgItemTextA(dlg, 103, " 7 ");
        SendDlgItemMessageA(dlg, 102, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetDlgItemTextA(dlg, 105, "Bert");
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(buffer.Size, 7);
    EXPECT_EQ(buffer.Device, 2);
    EXPECT_STREQ(buffer.Name, "Bert");

    TOptionsDialog again(&owner);
    again.SetTransferBuffer(&buffer);
    boxes.clear();
    EXPECT_EQ(Run(again,
                  [&](HWND dlg) {
                      SetDlgItemTextA(dlg, 103, "+3");
                      SendDlgItemMessageA(dlg, 102, CB_SETCURSEL, 1, 0);
                      SendMessageA(dlg, WM_COMMAND, IDOK, 0);
                  }),
              IDOK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(buffer.Size, 3);
    EXPECT_EQ(buffer.Device, 1);
}

TEST_F(ControlsTest, ComboValuesClampWithTheMinimumWinningWhenTheBoundsCross) {
    TWindow parent(&owner, "panel");
    parent.Attr.W = parent.Attr.H = 200;
    auto* combo = new TQSRComboBox(&parent, 9, 0, 0, 80, 100, CBS_DROPDOWN, 10);
    auto* list = new TQSRComboBox(&parent, 8, 0, 30, 80, 100, CBS_DROPDOWNLIST, 0, nullptr, kDevices);
    ASSERT_TRUE(parent.Create());
    EXPECT_EQ(combo->ValueMode, TQSRComboBox::PlainMode);
    EXPECT_EQ(list->ValueMode, TQSRComboBox::PlainMode);  // made by position: the list alone sets no mode
    EXPECT_EQ(list->GetCount(), 3);

    combo->SetRange(1, 10);
    combo->FillRange(1, 10, 3);  // 1 4 7 10
    combo->SetIntValue(50);
    EXPECT_EQ(combo->GetText(), "10");
    EXPECT_EQ(combo->GetSelIndex(), 3);
    combo->SetIntValue(5);
    EXPECT_EQ(combo->GetText(), "5");
    combo->SetRange(5, 3);
    for (int v : {-100, 4, 100}) {
        combo->SetIntValue(v);
        EXPECT_EQ(combo->GetIntValue(), 5) << v;
    }
    // Only the first nine characters count.
    combo->SetText("1234567890");
    EXPECT_EQ(combo->GetIntValue(), 123456789);
    combo->SetText("  -42abc");
    EXPECT_EQ(combo->GetIntValue(), -42);
    combo->SetRange(-50, 50);
    EXPECT_FALSE(combo->IsValueValid());
    combo->SetText("-42");
    EXPECT_TRUE(combo->IsValueValid());
    combo->SetText("4.5");
    EXPECT_FALSE(combo->IsValueValid());

    // In index mode a value selects the equal entry of the list.
    list->SetMode(TQSRComboBox::IndexMode);
    list->SetRange(0, 5);
    list->SetMode(TQSRComboBox::IndexMode);
    list->ClearList();
    list->FillRange(0, 4, 2);
    list->SetIntValue(2);
    EXPECT_EQ(list->GetSelIndex(), 1);
}

TEST_F(ControlsTest, StaticAndEditTextsAreBoundedAndTheEditOptionsApply) {
    TWindow parent(&owner, "panel");
    parent.Attr.W = parent.Attr.H = 200;
    auto* label = new TQSRStatic(&parent, 1, "", 0, 0, 100, 12);
    label->SetInitialText("plain text", 0);
    auto* other = new TQSRStatic(&parent, 2, "", 0, 20, 100, 12);
    other->SetInitialText("/a/b.c", 7);  // an unknown mode shows nothing
    auto* edit = new TQSREdit(&parent, 3, "", 0, 40, 100, 12, 0);
    edit->SetOption(TQSREdit::FixedFont);
    ASSERT_TRUE(parent.Create());
    EXPECT_EQ(label->GetText(), "plain text");
    EXPECT_EQ(other->GetText(), "");

    std::string longText(2000, 'x');
    label->Printf("%s!", longText.c_str());
    EXPECT_EQ(label->GetText(), std::string(255, 'x'));
    edit->Printf("%d:%s", 42, longText.c_str());
    EXPECT_EQ(edit->GetText(), "42:" + std::string(508, 'x'));

    char buf[8];
    std::memset(buf, '?', sizeof buf);
    EXPECT_STREQ(edit->GetText(buf, 1), "");
    EXPECT_STREQ(edit->GetText(buf, 6), "42:xx");
    EXPECT_EQ(buf[5], 0);
    EXPECT_EQ(buf[6], '?');  // only the size given is touched

    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(edit->SendMessage(WM_GETFONT)), GetStockObject(ANSI_FIXED_FONT));
    EXPECT_NE(edit->SendMessage(WM_GETDLGCODE) & DLGC_HASSETSEL, 0);
    edit->SetOption(33);  // bit 1: the dialog leaves the selection alone
    EXPECT_TRUE(edit->HasOption(TQSREdit::NoSelectAll));
    EXPECT_EQ(edit->SendMessage(WM_GETDLGCODE) & DLGC_HASSETSEL, 0);
    edit->ClearOption(TQSREdit::NoSelectAll);
    EXPECT_NE(edit->SendMessage(WM_GETDLGCODE) & DLGC_HASSETSEL, 0);

    // A text pointer transfer reads nothing back and takes the size of a pointer.
    label->EnableTextTransfer();
    const char* given = "Given";
    EXPECT_EQ(label->Transfer(&given, tdSetData), sizeof(const char*));
    EXPECT_EQ(label->GetText(), "Given");
    const char* back = nullptr;
    EXPECT_EQ(label->Transfer(&back, tdGetData), sizeof(const char*));
    EXPECT_EQ(back, nullptr);
}

TEST_F(ControlsTest, MultiSelectionRowsShowACrossForTheSelectionAndTheHighlightForTheFocus) {
    TWindow parent(&owner, "panel");
    parent.Attr.Style |= WS_VISIBLE;
    parent.Attr.W = parent.Attr.H = 200;
    auto* list = new TQSRMultiSelListBox(&parent, 4, 10, 10, 150, 100);
    list->Attr.Style |= LBS_MULTIPLESEL;
    ASSERT_TRUE(parent.Create());
    EXPECT_EQ(list->GetStyle() & 0x0151u, 0x0151u);
    EXPECT_EQ(list->GetStyle() & LBS_SORT, 0u);
    std::string longName(300, 'n');  // drawn cut, never past a buffer
    for (const char* p : {"Piano", "Strings", "Drums", "", longName.c_str()})
        list->AddString(p);
    list->SendMessage(LB_SETSEL, TRUE, 1);
    list->SendMessage(LB_SETCARETINDEX, 2);
    owner.Show(SW_SHOW);
    PumpMessages();
    list->SetFocus();
    PumpMessages();

    HDC dc = GetDC(list->GetHandle());
    auto boxCentre = [&](int item) {
        RECT r{};
        list->SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
        return GetPixel(dc, r.left + (r.bottom - r.top) / 2, (r.top + r.bottom) / 2);
    };
    auto textBack = [&](int item) {
        RECT r{};
        list->SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
        return GetPixel(dc, r.right - 3, (r.top + r.bottom) / 2);
    };
    EXPECT_EQ(boxCentre(0), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(boxCentre(1), GetSysColor(COLOR_WINDOWTEXT));  // the cross
    EXPECT_EQ(textBack(1), GetSysColor(COLOR_WINDOW));       // selected without the focus: window colours
    EXPECT_EQ(textBack(2), GetSysColor(COLOR_HIGHLIGHT));    // the focus row
    EXPECT_EQ(boxCentre(2), GetSysColor(COLOR_WINDOW));
    ReleaseDC(list->GetHandle(), dc);
}

}  // namespace
