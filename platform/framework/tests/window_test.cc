// The class library on the headless window system: response tables, command routing and enabling,
// pre-processing and idle passes, layout metrics, the decorated frame, dialogs with transfer, gadgets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/framework/controls.h"
#include "platform/framework/frame.h"
#include "platform/framework/gadgets.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"

namespace {

using qsm::wm::PumpMessages;

std::vector<std::string> g_log;

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        g_log.clear();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        qsm::wm::ResetForTests();
    }
};

// ---- response tables ----

class TBaseView : public TWindow {
public:
    using TWindow::TWindow;
    void EvSize(UINT type, const TSize& s) {
        g_log.push_back("base size " + std::to_string(s.cx) + "x" + std::to_string(s.cy));
        TWindow::EvSize(type, s);
    }
    void EvKeyDown(UINT key, UINT repeat, UINT) {
        g_log.push_back("base key " + std::to_string(key) + " x" + std::to_string(repeat));
    }
    void CmOne() { g_log.push_back("base one"); }
    void CmTwo() { g_log.push_back("base two"); }
    DECLARE_RESPONSE_TABLE(TBaseView);
};
DEFINE_RESPONSE_TABLE1(TBaseView, TWindow)
EV_WM_SIZE, EV_WM_KEYDOWN, EV_COMMAND(101, CmOne), EV_COMMAND(102, CmTwo), END_RESPONSE_TABLE;

class TDerivedView : public TBaseView {
public:
    using TBaseView::TBaseView;
    void CmTwo() { g_log.push_back("derived two"); }
    void CeTwo(TCommandEnabler& ce) { ce.Enable(false); }
    LRESULT Custom(WPARAM wp, LPARAM) {
        g_log.push_back("registered " + std::to_string(wp));
        return 7;
    }
    DECLARE_RESPONSE_TABLE(TDerivedView);
};
DEFINE_RESPONSE_TABLE1(TDerivedView, TBaseView)
EV_COMMAND(102, CmTwo), EV_COMMAND_ENABLE(102, CeTwo),
    EV_REGISTERED("qsm.test.custom", Custom), END_RESPONSE_TABLE;

TEST_F(FrameworkTest, TablesCrackMessagesAndDerivedEntriesOverrideTheBase) {
    TWindow top(static_cast<TWindow*>(nullptr), "top");
    top.Attr.X = top.Attr.Y = 0;
    top.Attr.W = 300;
    top.Attr.H = 200;
    auto* view = new TDerivedView(&top, "view");
    view->Attr.W = 120;
    view->Attr.H = 80;
    ASSERT_TRUE(top.Create());
    ASSERT_TRUE(view->GetHandle());
    EXPECT_EQ(TWindow::FromHandle(view->GetHandle()), view);
    PumpMessages();
    g_log.clear();

    view->MoveWindow(0, 0, 90, 40);
    SendMessageA(*view, WM_KEYDOWN, VK_LEFT, MAKELPARAM(3, 0));
    SendMessageA(*view, WM_COMMAND, 101, 0);
    SendMessageA(*view, WM_COMMAND, 102, 0);
    LRESULT r = SendMessageA(*view, RegisterWindowMessageA("qsm.test.custom"), 5, 0);
    EXPECT_EQ(r, 7);
    std::vector<std::string> want = {"base size 90x40", "base key 37 x3", "base one", "derived two",
                                     "registered 5"};
    EXPECT_EQ(g_log, want);
    EXPECT_TRUE(view->HasCommandHandler(101));
    EXPECT_FALSE(view->HasCommandHandler(103));
}

TEST_F(FrameworkTest, DeletingAParentDeletesItsChildrenAndDestroysTheirWindows) {
    auto* top = new TWindow(static_cast<TWindow*>(nullptr), "top");
    auto* child = new TWindow(top, "child");
    child->Attr.W = child->Attr.H = 10;
    ASSERT_TRUE(top->Create());
    HWND ch = child->GetHandle();
    ASSERT_TRUE(IsWindow(ch));
    delete top;
    EXPECT_FALSE(IsWindow(ch));
    EXPECT_EQ(TWindow::FromHandle(ch), nullptr);
}

// ---- commands, enablers, pre-processing and idle ----

class TFrameUnderTest : public TFrameWindow {
public:
    TFrameUnderTest(TWindow* client) : TFrameWindow(nullptr, "frame", client) {}
    void CmOne() { g_log.push_back("frame one"); }
    void CmThree() { g_log.push_back("frame three"); }
    bool PreProcessMsg(MSG& m) override {
        if (m.message == WM_KEYDOWN) g_log.push_back("pre frame");
        return TFrameWindow::PreProcessMsg(m);
    }
    DECLARE_RESPONSE_TABLE(TFrameUnderTest);
};
DEFINE_RESPONSE_TABLE1(TFrameUnderTest, TFrameWindow)
EV_COMMAND(101, CmOne), EV_COMMAND(103, CmThree), END_RESPONSE_TABLE;

class TIdleCounter : public TWindow {
public:
    using TWindow::TWindow;
    bool IdleAction(LONG count) override {
        g_log.push_back(std::string(GetTitle()) + " idle " + std::to_string(count));
        return TWindow::IdleAction(count);
    }
    bool PreProcessMsg(MSG& m) override {
        if (m.message == WM_KEYDOWN) g_log.push_back(std::string("pre ") + GetTitle());
        return m.message == WM_KEYDOWN && m.wParam == 'X';
    }
};

TEST_F(FrameworkTest, MenuCommandsAndEnablersRouteFromTheFocusToTheFrame) {
    auto* client = new TDerivedView(static_cast<TWindow*>(nullptr), "client");
    TFrameUnderTest frame(client);
    frame.Attr.X = frame.Attr.Y = 0;
    frame.Attr.W = 400;
    frame.Attr.H = 300;
    ASSERT_TRUE(frame.Create());
    frame.Show(SW_SHOW);
    client->SetFocus();
    PumpMessages();
    g_log.clear();

    // The focus window's handler wins; the frame's serves what the client lacks.
    SendMessageA(frame, WM_COMMAND, 101, 0);
    SendMessageA(frame, WM_COMMAND, 103, 0);
    SendMessageA(frame, WM_COMMAND, 102, 0);
    std::vector<std::string> want = {"base one", "frame three", "derived two"};
    EXPECT_EQ(g_log, want);

    // Enablers: an explicit answer, a handler found on the route, and no handler at all.
    TCommandEnabler two(102, frame);
    frame.EvCommandEnable(two);
    EXPECT_TRUE(two.GetHandled());
    EXPECT_FALSE(two.GetEnabled());
    TCommandEnabler three(103, frame);
    frame.EvCommandEnable(three);
    EXPECT_TRUE(three.GetEnabled());
    TCommandEnabler none(999, frame);
    frame.EvCommandEnable(none);
    EXPECT_FALSE(none.GetEnabled());

    // A popup menu's items are grayed for commands that nobody handles.
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 101, "One");
    AppendMenuA(popup, MF_STRING, 102, "Two");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING, 999, "None");
    SendMessageA(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(GetMenuState(popup, 101, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(popup, 102, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(popup, 999, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(popup);
}

TEST_F(FrameworkTest, PreProcessingGoesFromTheTargetUpAndIdleReachesChildrenAndOwnedPopups) {
    TApplication app("test");
    auto* top = new TIdleCounter(static_cast<TWindow*>(nullptr), "top");
    top->Attr.X = top->Attr.Y = 0;
    top->Attr.W = top->Attr.H = 200;
    auto* child = new TIdleCounter(top, "child");
    child->Attr.W = child->Attr.H = 50;
    auto* popup = new TIdleCounter(top, "popup");
    popup->Attr.Style = WS_POPUP;
    popup->Attr.W = popup->Attr.H = 30;
    app.SetMainWindow(top);
    ASSERT_TRUE(top->Create());
    ASSERT_TRUE(popup->GetHandle());
    top->Show(SW_SHOW);
    child->SetFocus();
    PumpMessages();
    g_log.clear();

    qsm::wm::PressKey('A');
    PumpMessages();
    std::vector<std::string> want = {"pre child", "pre top"};
    EXPECT_EQ(g_log, want);
    g_log.clear();
    qsm::wm::PressKey('X');  // the child takes it: its ancestors never see it
    PumpMessages();
    EXPECT_EQ(g_log, std::vector<std::string>{"pre child"});

    g_log.clear();
    app.IdleAction(0);
    want = {"top idle 0", "child idle 0", "popup idle 0"};
    EXPECT_EQ(g_log, want);
}

TEST_F(FrameworkTest, AFrameDisabledUnderAModalWindowRunsNoCommandsForKeysTypedIntoIt) {
    TApplication app("test");
    auto* client = new TDerivedView(static_cast<TWindow*>(nullptr), "client");
    TFrameUnderTest frame(client);
    frame.Attr.W = frame.Attr.H = 200;
    ACCEL key{FVIRTKEY, 'K', 101};
    frame.Attr.AccelTable = CreateAcceleratorTableA(&key, 1);
    auto* popup = new TIdleCounter(&frame, "popup");
    popup->Attr.Style = WS_POPUP | WS_VISIBLE;
    popup->Attr.W = popup->Attr.H = 30;
    app.SetMainWindow(&frame);
    ASSERT_TRUE(frame.Create());
    frame.Show(SW_SHOW);
    popup->SetFocus();
    PumpMessages();
    g_log.clear();
    // A key typed into an owned window reaches the owner's keys on the walk up.
    qsm::wm::PressKey('K');
    PumpMessages();
    EXPECT_EQ(g_log, (std::vector<std::string>{"pre popup", "pre frame", "base one"}));
    // Not while the owner is disabled, as it is under a modal window.
    EnableWindow(frame.GetHandle(), FALSE);
    g_log.clear();
    qsm::wm::PressKey('K');
    PumpMessages();
    EXPECT_EQ(g_log, (std::vector<std::string>{"pre popup", "pre frame"}));
    EnableWindow(frame.GetHandle(), TRUE);
    app.SetMainWindow(nullptr);
    DestroyAcceleratorTable(frame.Attr.AccelTable);
}

// ---- layout ----

TEST_F(FrameworkTest, LayoutMetricsPlaceChildrenAgainstTheParentAndEachOther) {
    TLayoutWindow top(nullptr, "layout");
    top.Attr.Style = WS_POPUP | WS_VISIBLE;
    top.Attr.X = top.Attr.Y = 0;
    top.Attr.W = 400;
    top.Attr.H = 300;
    auto* header = new TWindow(&top, "header");
    auto* body = new TWindow(&top, "body");
    auto* side = new TWindow(&top, "side");
    side->Attr.W = 50;
    ASSERT_TRUE(top.Create());

    // Declared before the sibling it hangs on: the body refers to the header, which comes later.
    TLayoutMetrics b;
    b.X.RightOf(side, 5);
    b.Y.Below(header, 2);
    b.Width.Set(lmRight, lmSameAs, lmParent, lmRight, -10);
    b.Height.Set(lmBottom, lmSameAs, lmParent, lmBottom, 0);
    top.SetChildLayoutMetrics(*body, b);
    TLayoutMetrics h;
    h.X.SameAs(lmParent, lmLeft);
    h.Y.Absolute(lmTop, 4);
    h.Width.PercentOf(lmParent, 50);
    h.Height.Absolute(20);
    top.SetChildLayoutMetrics(*header, h);
    TLayoutMetrics s;
    s.X.SameAs(lmParent, lmLeft);
    s.Y.Below(header, 0);
    s.Width.AsIs();
    s.Height.Set(lmBottom, lmAbove, lmParent, lmBottom, 8);
    top.SetChildLayoutMetrics(*side, s);
    top.Layout();

    TRect client = top.GetClientRect();
    EXPECT_EQ(top.GetLayoutRect(*header), TRect(0, 4, client.Width() / 2, 24));
    EXPECT_EQ(top.GetLayoutRect(*side), TRect(0, 24, 50, client.bottom - 8));
    EXPECT_EQ(top.GetLayoutRect(*body), TRect(55, 26, client.right - 10, client.bottom));
    EXPECT_EQ(body->GetClientRect().Width(), client.right - 10 - 55);

    // A new size re-runs the layout.
    top.MoveWindow(0, 0, 600, 300);
    client = top.GetClientRect();
    EXPECT_EQ(top.GetLayoutRect(*header).Width(), client.Width() / 2);
}

// A decoration that sees pre-processing.
class TDecoration : public TWindow {
public:
    TDecoration(TWindow* parent, const char* title, int id, int h) : TWindow(parent, title) {
        Attr.Id = id;
        Attr.H = h;
        Attr.W = 10;
    }
    bool PreProcessMsg(MSG& m) override {
        if (m.message == WM_KEYDOWN) g_log.push_back(std::string("pre ") + GetTitle());
        return false;
    }
};

TEST_F(FrameworkTest, DecoratedFrameStacksDecorationsOffersThemMessagesAndTogglesTheStatusBar) {
    auto* client = new TIdleCounter(static_cast<TWindow*>(nullptr), "client");
    TDecoratedFrame frame(nullptr, "decorated", client);
    frame.Attr.X = frame.Attr.Y = 0;
    frame.Attr.W = 500;
    frame.Attr.H = 400;
    auto* top1 = new TDecoration(&frame, "top1", 201, 30);
    auto* top2 = new TDecoration(&frame, "top2", 202, 20);
    auto* left = new TDecoration(&frame, "left", 203, 0);
    left->Attr.W = 40;
    auto* status = new TDecoration(&frame, "status", IDW_STATUSBAR, 18);
    frame.Insert(*top1, TDecoratedFrame::Top);
    frame.Insert(*top2, TDecoratedFrame::Top);
    frame.Insert(*left, TDecoratedFrame::Left);
    frame.Insert(*status, TDecoratedFrame::Bottom);
    ASSERT_TRUE(frame.Create());
    frame.Show(SW_SHOW);
    PumpMessages();

    TRect c = frame.GetClientRect();
    EXPECT_EQ(frame.GetLayoutRect(*top1), TRect(0, 0, c.right, 30));
    EXPECT_EQ(frame.GetLayoutRect(*top2), TRect(0, 30, c.right, 50));
    EXPECT_EQ(frame.GetLayoutRect(*left), TRect(0, 50, 40, c.bottom - 18));
    EXPECT_EQ(frame.GetLayoutRect(*status), TRect(0, c.bottom - 18, c.right, c.bottom));
    EXPECT_EQ(frame.GetLayoutRect(*client), TRect(40, 50, c.right, c.bottom - 18));
    // The metrics tie the outer edges to the frame's.
    TLayoutMetrics m;
    ASSERT_TRUE(frame.GetChildLayoutMetrics(*top1, m));
    EXPECT_EQ(m.Y.Relationship, lmSameAs);
    EXPECT_EQ(m.Y.RelWin, lmParent);
    EXPECT_EQ(m.Y.MyEdge, lmTop);

    // Decorations see keys first, in order, but hidden ones do not, and the client is not asked.
    client->SetFocus();
    PumpMessages();
    TApplication app("decorated");
    g_log.clear();
    top2->Show(SW_HIDE);
    qsm::wm::PressKey('A');
    PumpMessages();
    std::vector<std::string> want = {"pre client", "pre top1", "pre status", "pre left"};
    EXPECT_EQ(g_log, want);
    top2->Show(SW_SHOW);

    // Command 32040 hides and shows the status bar; the enabler checks it while shown.
    TCommandEnabler ce(IDW_STATUSBAR, frame);
    frame.EvCommandEnable(ce);
    EXPECT_EQ(ce.GetCheck(), TCommandEnabler::Checked);
    SendMessageA(frame, WM_COMMAND, IDW_STATUSBAR, 0);
    EXPECT_FALSE(status->IsWindowVisible());
    EXPECT_EQ(frame.GetLayoutRect(*client).bottom, c.bottom);
    TCommandEnabler ce2(IDW_STATUSBAR, frame);
    frame.EvCommandEnable(ce2);
    EXPECT_EQ(ce2.GetCheck(), TCommandEnabler::Unchecked);
    SendMessageA(frame, WM_COMMAND, IDW_STATUSBAR, 0);
    EXPECT_TRUE(status->IsWindowVisible());

    // A decoration that asks for a new height gets it at the next layout.
    ASSERT_TRUE(frame.GetChildLayoutMetrics(*top1, m));
    m.Height.Absolute(44);
    frame.SetChildLayoutMetrics(*top1, m);
    frame.Layout();
    EXPECT_EQ(top1->GetWindowRect().Height(), 44);
    EXPECT_EQ(frame.GetLayoutRect(*top2).top, 44);
}

// ---- dialogs ----

constexpr int kDialogId = 700;
const char kDialog[] =
    "dialog 0 0 200 100 \"Settings\"\n"
    "edittext 101 10 10 100 12\n"
    "autocheckbox \"Loud\" 102 10 30 80 12\n"
    "listbox 103 10 50 80 40\n"
    "defpushbutton \"OK\" 1 120 10 50 14\n"
    "pushbutton \"Cancel\" 2 120 30 50 14\n";

class TRefusingEdit : public TEdit {
public:
    TRefusingEdit(TWindow* parent, int id, UINT limit) : TEdit(parent, id, limit) {}
    bool CanClose() override {
        g_log.push_back("canclose edit " + GetText());
        return GetText() != "no";
    }
};

class TCheckedBox : public TCheckBox {
public:
    TCheckedBox(TWindow* parent, int id) : TCheckBox(parent, id) {}
    bool CanClose() override {
        g_log.push_back("canclose check");
        return true;
    }
};

#pragma pack(push, 1)
struct TSettingsBuffer {
    char Name[16];
    WORD Loud;
    int32_t Pick;
};
#pragma pack(pop)

class TSettingsDialog : public TDialog {
public:
    TSettingsDialog(TWindow* parent) : TDialog(parent, kDialogId) {
        new TRefusingEdit(this, 101, sizeof(TSettingsBuffer::Name));
        new TCheckedBox(this, 102);
        list = new TListBox(this, 103);
    }
    void SetupWindow() override {
        TDialog::SetupWindow();
        list->AddString("a");
        list->AddString("b");
        list->AddString("c");
    }
    TListBox* list;
};

TEST_F(FrameworkTest, DialogTransfersInAtSetUpAndOutOnlyWhenEveryChildCanClose) {
    qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
    TWindow owner(static_cast<TWindow*>(nullptr), "owner");
    owner.Attr.X = owner.Attr.Y = 0;
    owner.Attr.W = owner.Attr.H = 300;
    ASSERT_TRUE(owner.Create());

    TSettingsBuffer buffer{};
    strcpy(buffer.Name, "no");
    buffer.Loud = BF_CHECKED;
    buffer.Pick = -1;
    TSettingsDialog dialog(&owner);
    dialog.SetTransferBuffer(&buffer);
    int step = 0;
    qsm::wm::SetModalHook([&](HWND dlg) {
        char text[32];
        GetDlgItemTextA(dlg, 101, text, sizeof text);
        EXPECT_STREQ(text, "no");
        EXPECT_EQ(IsDlgButtonChecked(dlg, 102), BST_CHECKED);
        // The first OK is refused by the edit: nothing is transferred out and the dialog stays.
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_STREQ(buffer.Name, "no");
        step = 1;
        SetDlgItemTextA(dlg, 101, "Anna");
        CheckDlgButton(dlg, 102, BST_UNCHECKED);
        SendDlgItemMessageA(dlg, 103, LB_SETCURSEL, 2, 0);
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dialog.Execute(), IDOK);
    EXPECT_EQ(step, 1);
    std::vector<std::string> want = {"canclose edit no", "canclose edit Anna", "canclose check"};
    EXPECT_EQ(g_log, want);
    EXPECT_STREQ(buffer.Name, "Anna");
    WORD loud = buffer.Loud;
    int32_t pick = buffer.Pick;
    EXPECT_EQ(loud, BF_UNCHECKED);
    EXPECT_EQ(pick, 2);

    // Cancel transfers nothing.
    TSettingsDialog again(&owner);
    again.SetTransferBuffer(&buffer);
    qsm::wm::SetModalHook([&](HWND dlg) {
        SetDlgItemTextA(dlg, 101, "Bert");
        SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(again.Execute(), IDCANCEL);
    EXPECT_STREQ(buffer.Name, "Anna");
}

TEST_F(FrameworkTest, AModelessDialogTakesTabAndEscThroughTheDialogManager) {
    qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
    TApplication app("modeless");
    TDialog dialog(nullptr, kDialogId);
    ASSERT_TRUE(dialog.Create());
    ShowWindow(dialog.GetHandle(), SW_SHOW);
    SetFocus(GetDlgItem(dialog.GetHandle(), 101));
    qsm::wm::PressKey(VK_TAB);
    EXPECT_TRUE(app.PumpWaitingMessages());
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog.GetHandle(), 102));
    qsm::wm::PressKey(VK_ESCAPE);
    EXPECT_TRUE(app.PumpWaitingMessages());
    EXPECT_FALSE(dialog.GetHandle());
}

// ---- gadgets ----

class TTrackingGadget : public TGadget {
public:
    TTrackingGadget(int id, bool track) : TGadget(id, Raised) { TrackMouse = track; }
    void GetDesiredSize(TSize& s) override { s = TSize(30, 20); }
    void LButtonDown(UINT, const TPoint& p) override { g_log.push_back(Name("down", p)); }
    void LButtonUp(UINT, const TPoint& p) override { g_log.push_back(Name("up", p)); }
    void MouseMove(UINT, const TPoint& p) override {
        if (GetGadgetWindow()->GetCapture() == this) g_log.push_back(Name("move", p));
    }
    void MouseEnter(UINT k, const TPoint& p) override {
        TGadget::MouseEnter(k, p);
        g_log.push_back(Name("enter", p));
    }
    void MouseLeave(UINT k, const TPoint& p) override {
        TGadget::MouseLeave(k, p);
        g_log.push_back(Name("leave", p));
    }
    void CommandEnable() override { g_log.push_back("enable " + std::to_string(GetId())); }

private:
    std::string Name(const char* what, const TPoint& p) const {
        return std::string(what) + " " + std::to_string(GetId()) + " " + std::to_string(p.x);
    }
};

class TBarFrame : public TDecoratedFrame {
public:
    TBarFrame() : TDecoratedFrame(nullptr, "bars", new TWindow(static_cast<TWindow*>(nullptr), "client")) {}
    void CmNothing() {}
    DECLARE_RESPONSE_TABLE(TBarFrame);
};
DEFINE_RESPONSE_TABLE1(TBarFrame, TDecoratedFrame)
EV_COMMAND(301, CmNothing), END_RESPONSE_TABLE;

TEST_F(FrameworkTest, GadgetWindowGivesPressesToEnabledGadgetsCapturesForTrackersAndRoutesHints) {
    const char kHint[] = "Plays the song\nPlay";
    qsm::RegisterResource(nullptr, RT_STRING, MAKEINTRESOURCEA(301), kHint, sizeof kHint);
    TBarFrame frame;
    frame.Attr.X = frame.Attr.Y = 0;
    frame.Attr.W = 400;
    frame.Attr.H = 300;
    auto* bar = new TControlBar(&frame);
    auto* a = new TTrackingGadget(301, true);
    auto* b = new TTrackingGadget(302, false);
    auto* off = new TTrackingGadget(303, false);
    bar->Insert(*a);
    bar->Insert(*new TSeparatorGadget(6));
    bar->Insert(*b);
    bar->Insert(*off);
    off->SetEnabled(false);
    auto* status = new TStatusBar(&frame);
    frame.Insert(*bar, TDecoratedFrame::Top);
    frame.Insert(*status, TDecoratedFrame::Bottom);
    ASSERT_TRUE(frame.Create());
    frame.Show(SW_SHOW);
    PumpMessages();
    ASSERT_EQ(frame.GetMessageBar(), status);
    EXPECT_EQ(status->GetId(), IDW_STATUSBAR);

    // The bar sized itself to its gadgets: margins 2 + 20 + 2.
    EXPECT_EQ(bar->GetWindowRect().Height(), 24);
    EXPECT_EQ(a->GetBounds(), TRect(6, 2, 36, 22));
    EXPECT_EQ(b->GetBounds().left, 42);

    TPoint origin = bar->ClientToScreen(TPoint(0, 0));
    auto at = [&](int x) { return TPoint(origin.x + x, origin.y + 10); };
    g_log.clear();
    // A press on the disabled gadget does nothing; one on the plain gadget gives no capture.
    qsm::wm::Click(at(off->GetBounds().left + 5).x, at(0).y);
    PumpMessages();
    qsm::wm::Click(at(50).x, at(0).y);
    PumpMessages();
    EXPECT_EQ(GetCapture(), nullptr);
    // The tracking gadget keeps the mouse until the release, even outside the bar.
    qsm::wm::InputMouseMove(at(10).x, at(0).y);
    qsm::wm::InputMouseButton(0, true);
    PumpMessages();
    EXPECT_EQ(GetCapture(), bar->GetHandle());
    EXPECT_EQ(status->GetHintText(), "Plays the song");
    qsm::wm::InputMouseMove(at(350).x, at(0).y + 100);
    qsm::wm::InputMouseButton(0, false);
    PumpMessages();
    EXPECT_EQ(GetCapture(), nullptr);
    std::vector<std::string> want = {"enter 303 " + std::to_string(off->GetBounds().left + 5),
                                     "leave 303 50",
                                     "enter 302 50",
                                     "down 302 50",
                                     "up 302 50",
                                     "leave 302 10",
                                     "enter 301 10",
                                     "down 301 10",
                                     "move 301 350",
                                     "up 301 350",
                                     "leave 301 350"};  // released off the bar
    EXPECT_EQ(g_log, want);
    // The release cleared the hint; the message text shows again.
    status->SetText("Ready");
    EXPECT_EQ(status->GetHintText(), "");

    // Idle with count 0 asks every gadget; later counts do not.
    g_log.clear();
    bar->IdleAction(0);
    bar->IdleAction(1);
    want = {"enable 301", "enable 0", "enable 302", "enable 303"};
    // The separator gadget has no CommandEnable log of its own.
    want.erase(want.begin() + 1);
    EXPECT_EQ(g_log, want);
}

TEST_F(FrameworkTest, DeviceContextRestoresTheObjectsItSelected) {
    TCreatedDC dc("DISPLAY");
    HGDIOBJ originalPen = GetCurrentObject(dc, OBJ_PEN);
    {
        TPen red(TColor(255, 0, 0), 2);
        TClientDC* none = nullptr;
        (void)none;
        TMemoryDC mem(dc);
        HGDIOBJ memPen = GetCurrentObject(mem, OBJ_PEN);
        mem.SelectObject(red);
        EXPECT_EQ(GetCurrentObject(mem, OBJ_PEN), red.GetHandle());
        mem.RestorePen();
        EXPECT_EQ(GetCurrentObject(mem, OBJ_PEN), memPen);
        dc.SelectObject(red);
        dc.RestoreObjects();
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), originalPen);
    EXPECT_EQ(TRect(0, 0, 10, 10) & TRect(5, 5, 20, 20), TRect(5, 5, 10, 10));
    EXPECT_TRUE((TRect(0, 0, 10, 10) & TRect(10, 0, 20, 10)).IsEmpty());
}

class TLoggingList : public TListBox {
public:
    using TListBox::TListBox;
    void DrawItem(DRAWITEMSTRUCT& info) override {
        g_log.push_back("draw " + std::to_string(info.itemID) + (info.hwndItem == GetHandle() ? " own" : ""));
    }
};

TEST_F(FrameworkTest, ABoundStandardControlPaintsAndAnOwnerDrawnOneDrawsItsOwnItems) {
    TWindow top(static_cast<TWindow*>(nullptr), "top");
    top.Attr.Style = WS_POPUP | WS_VISIBLE;
    top.Attr.W = 200;
    top.Attr.H = 200;
    auto* list = new TLoggingList(&top, 7, 0, 0, 150, 150);
    list->Attr.Style = WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    ASSERT_TRUE(top.Create());
    list->AddString("a");
    list->AddString("b");
    PumpMessages();
    UpdateWindow(top);
    std::vector<std::string> want = {"draw 0 own", "draw 1 own"};
    EXPECT_EQ(g_log, want);
}

}  // namespace
