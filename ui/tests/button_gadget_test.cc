// The toolbar button: cel sizes, the looks pixel by pixel, clicks, presses, exclusive runs and toggles on a
// headless gadget window, and the enabler in the idle pass.
#include "ui/button_gadget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/framework/frame.h"
#include "platform/kernel/resources.h"
#include "ui/tests/ui_test_util.h"
#include "ui/toolbar_draw.h"
#include "ui/tooltip.h"

namespace {

using qsm::uitest::Canvas;
using qsm::uitest::Show;
using qsm::wm::PumpMessages;
using Map = std::vector<std::string>;

std::vector<std::string> g_log;

// A top-down 24-bit packed image from a map of key characters.
std::vector<uint8_t> PackedGlyph(const Map& rows) {
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    const int stride = (w * 3 + 3) & ~3;
    std::vector<uint8_t> out(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride) * h);
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = -h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    std::memcpy(out.data(), &bi, sizeof bi);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = 0;
            for (const auto& k : qsm::uitest::Keys())
                if (k.ch == rows[y][x]) c = k.colour;
            uint8_t* p = out.data() + sizeof bi + static_cast<size_t>(y) * stride + x * 3;
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    return out;
}

// Black frame, a white and a red pixel inside, on the face.
const Map kGlyph = {"BBBBBB", "BFFFFB", "BFHrFB", "BFFFFB", "BBBBBB"};

class TTestButton : public TToolbarButtonGadget {
public:
    TTestButton(int id, int type = Command, bool enabled = true, int state = Up, Map glyph = kGlyph)
        : TToolbarButtonGadget(1, id, type, enabled, state), Glyph(PackedGlyph(glyph)) {}
    TDib* GetGlyphBitmap() override {
        ++GlyphLoads;
        return new TDib(Glyph.data(), Glyph.size());
    }
    void SetGlyph(const Map& glyph) { Glyph = PackedGlyph(glyph); }
    int GlyphLoads = 0;

private:
    std::vector<uint8_t> Glyph;
};

class ButtonGadgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::uitest::SetTestColours();
        RebuildToolbarHatchBrush();
        g_log.clear();
    }
    void TearDown() override {
        TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow&) { return -1; };
        ToolbarModuleExit();
        qsm::wm::ResetForTests();
    }
    // The button painted on its own at (0, 0), 10 x 9 (the cel and 2 pixels around it).
    static Map Look(TTestButton& b) {
        Canvas c(10, 9);
        b.SetBounds(TRect(0, 0, 10, 9));
        TDC dc(c.dc);
        b.Paint(dc);
        return c.Map();
    }
};

TEST_F(ButtonGadgetTest, CelsTakeTheToolbarsButtonHeightAndKeepTheGlyphsAspect) {
    static int size = 30;
    TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow&) { return size; };
    TControlBar bar(nullptr);
    Map wide(15, std::string(16, 'B'));
    auto* b = new TTestButton(1, TToolbarButtonGadget::Command, true, 0, wide);
    bar.Insert(*b);
    TSize s;
    b->GetDesiredSize(s);
    EXPECT_EQ(b->GetCelWidth(), 32);
    EXPECT_EQ(b->GetCelHeight(), 30);
    EXPECT_EQ(s, TSize(36, 34));
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(b->GetCels(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 4 * 32);
    // A new button size takes effect once the cels are dropped.
    size = 18;
    b->GetDesiredSize(s);
    EXPECT_EQ(b->GetCelHeight(), 30);
    b->DropCels();
    EXPECT_FALSE(b->HasCels());
    b->GetDesiredSize(s);
    EXPECT_EQ(b->GetCelWidth(), 19);
    EXPECT_EQ(b->GetCelHeight(), 18);
    // A large button: the masks cover the whole cel (a 22:18 glyph at 120 is 147 wide, beyond 128).
    size = 120;
    Map glyph(18, std::string(22, 'F'));
    for (std::string& row : glyph)
        row.back() = 'B';
    auto* big = new TTestButton(2, TToolbarButtonGadget::Command, true, 0, glyph);
    bar.Insert(*big);
    big->GetDesiredSize(s);
    ASSERT_EQ(big->GetCelWidth(), 147);
    TMemoryDC cels;
    TBitmap borrowed(big->GetCels());
    cels.SelectObject(borrowed);
    // The down cel hatches the face column at the right end.
    const int W = 147;
    EXPECT_NE(GetPixel(cels, 3 * W + 146, 60), GetPixel(cels, 3 * W + 146, 61));
    // The disabled cel: glyph columns 0-139 in the shadow, the highlight beside them at 140 (from mask
    // column 139), the face after.
    EXPECT_EQ(GetPixel(cels, W + 139, 60), qsm::uitest::kShadow);
    EXPECT_EQ(GetPixel(cels, W + 140, 60), qsm::uitest::kHilite);
    EXPECT_EQ(GetPixel(cels, W + 141, 60), qsm::uitest::kFace);

    // Outside a toolbar the glyph keeps its own height; 1 pixel high counts as 2; at least 2 wide.
    TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow&) { return -1; };
    b->DropCels();
    b->GetDesiredSize(s);
    EXPECT_EQ(TSize(b->GetCelWidth(), b->GetCelHeight()), TSize(16, 15));
    TTestButton flat(3, TToolbarButtonGadget::Command, true, 0, Map{"BFB"});
    flat.GetDesiredSize(s);
    EXPECT_EQ(TSize(flat.GetCelWidth(), flat.GetCelHeight()), TSize(3, 2));
    size = 10;
    TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow&) { return size; };
    auto* thin = new TTestButton(4, TToolbarButtonGadget::Command, true, 0, Map(10, "F"));
    bar.Insert(*thin);
    thin->GetDesiredSize(s);
    EXPECT_EQ(TSize(thin->GetCelWidth(), thin->GetCelHeight()), TSize(2, 10));
}

TEST_F(ButtonGadgetTest, TheLooks) {
    TTestButton b(1);
    // Normal: no frame, the glyph centred on the face.
    const Map normal = {"BBBBBBBBBB", "BBBBBBBBBB", "BBBBBBBBBB", "BBBFFFFBBB", "BBBFHrFBBB",
                        "BBBFFFFBBB", "BBBBBBBBBB", "BBBBBBBBBB", "BBBBBBBBBB"};
    EXPECT_EQ(Look(b), normal) << Show(Look(b));
    // Hot: a raised frame of two rings.
    b.MouseEnter(0, TPoint(5, 5));
    const Map hot = {"HHHHHHHHHF", "HBBBBBBBSF", "HBBBBBBBSF", "HBBFFFFBSF", "HBBFHrFBSF",
                     "HBBFFFFBSF", "HBBBBBBBSF", "HSSSSSSSSF", "FFFFFFFFFF"};
    EXPECT_EQ(Look(b), hot) << Show(Look(b));
    // Pressed: sunk, the glyph one pixel right and down.
    b.LButtonDown(0, TPoint(5, 5));
    ASSERT_TRUE(b.IsPressed());
    const Map pressed = {"FFFFFFFFFH", "FSSSSSSSBH", "FSBBBBBBBH", "FSBBBBBBBH", "FSBBFFFFBH",
                         "FSBBFHrFBH", "FSBBFFFFBH", "FBBBBBBBBH", "HHHHHHHHHH"};
    EXPECT_EQ(Look(b), pressed) << Show(Look(b));
    b.CancelPressed(TPoint(5, 5));
    b.MouseLeave(0, TPoint(50, 50));

    // Down and not hot: sunk, and the face of the glyph hatched (face where x + y is even).
    b.SetButtonState(TToolbarButtonGadget::Down);
    const Map down = {"FFFFFFFFFH", "FSSSSSSSBH", "FSBHBHBHBH", "FSHFFFFBBH", "FSBFHrFHBH",
                      "FSHFFFFBBH", "FSBHBHBHBH", "FBBBBBBBBH", "HHHHHHHHHH"};
    EXPECT_EQ(Look(b), down) << Show(Look(b));
    // Down and hot: the glyph as it is.
    b.MouseEnter(0, TPoint(5, 5));
    const Map downHot = {"FFFFFFFFFH", "FSSSSSSSBH", "FSBBBBBBBH", "FSBFFFFBBH", "FSBFHrFBBH",
                         "FSBFFFFBBH", "FSBBBBBBBH", "FBBBBBBBBH", "HHHHHHHHHH"};
    EXPECT_EQ(Look(b), downHot) << Show(Look(b));
    b.MouseLeave(0, TPoint(50, 50));

    // Indeterminate: a raised frame, the dark parts in the shadow colour on the hatch.
    b.SetButtonState(TToolbarButtonGadget::Indeterminate);
    const Map indeterminate = {"HHHHHHHHHF", "HBBBBBBBSF", "HBBHBHBHSF", "HBHSSSSBSF", "HBBSBSSHSF",
                               "HBHSSSSBSF", "HBBHBHBHSF", "HSSSSSSSSF", "FFFFFFFFFF"};
    EXPECT_EQ(Look(b), indeterminate) << Show(Look(b));

    // Disabled: embossed, the dark parts in the shadow colour with the highlight one pixel right and
    // down; the face stays the face and the glyph's white pixel is not embossed. No frame, even when hot.
    b.SetButtonState(TToolbarButtonGadget::Up);
    b.SetEnabled(false);
    b.MouseEnter(0, TPoint(5, 5));
    const Map disabled = {"BBBBBBBBBB", "BBBBBBBBBB", "BBBBBBBBBB", "BBBSSSSBBB", "BBBSHSSHBB",
                          "BBBSSSSHBB", "BBBBHHHHBB", "BBBBBBBBBB", "BBBBBBBBBB"};
    EXPECT_EQ(Look(b), disabled) << Show(Look(b));
    // Disabled and down: the disabled cel inside a sunken frame.
    b.MouseLeave(0, TPoint(50, 50));
    b.SetButtonState(TToolbarButtonGadget::Down);
    const Map disabledDown = {"FFFFFFFFFH", "FSSSSSSSBH", "FSBBBBBBBH", "FSBSSSSBBH", "FSBSHSSHBH",
                              "FSBSSSSHBH", "FSBBHHHHBH", "FBBBBBBBBH", "HHHHHHHHHH"};
    EXPECT_EQ(Look(b), disabledDown) << Show(Look(b));
}

TEST_F(ButtonGadgetTest, DropDownMarkColoursAndGlyphChanges) {
    TTestButton b(1, TToolbarButtonGadget::DropDown);
    auto mark = [&](int size) {
        Canvas c(size, size);
        b.SetBounds(TRect(0, 0, size, size));
        TDC dc(c.dc);
        b.Paint(dc);
        // s = 30 / 6 + 3 = 8: the triangle (22, 28), (28, 22), (28, 28).
        return std::string{c.Map(26, 26, 1, 1)[0][0], c.Map(20, 20, 1, 1)[0][0]};
    };
    EXPECT_EQ(mark(30), "SB");
    b.MouseEnter(0, TPoint(1, 1));
    EXPECT_EQ(mark(30), "XB");
    b.SetEnabled(false);
    EXPECT_EQ(mark(30), "BB");

    // A new glyph remakes existing cels; the same id changes nothing.
    TTestButton g(2);
    EXPECT_EQ(g.GetGlyphId(), MAKEINTRESOURCEA(1));
    g.SetGlyphId(MAKEINTRESOURCEA(5));
    EXPECT_EQ(g.GlyphLoads, 0);
    Look(g);
    ASSERT_EQ(g.GlyphLoads, 1);
    g.SetGlyphId(MAKEINTRESOURCEA(5));
    EXPECT_EQ(g.GlyphLoads, 1);
    g.SetGlyph(Map(5, "BBBBBr"));
    g.SetGlyphId("NAMED");
    EXPECT_EQ(g.GlyphLoads, 2);
    EXPECT_STREQ(g.GetGlyphId(), "NAMED");
    std::string name = "NAMED";
    g.SetGlyphId(name.c_str());
    EXPECT_EQ(g.GlyphLoads, 2);
    EXPECT_EQ(Look(g)[4], "BBBBBBBrBB");

    // New system colours: the cels are made again (the glyph's own colours are the glyph's business).
    const int id = COLOR_BTNFACE;
    const COLORREF face = qsm::uitest::kWindow;
    SetSysColors(1, &id, &face);
    g.SysColorChange();
    EXPECT_EQ(g.GlyphLoads, 3);
    EXPECT_EQ(Look(g)[4], "WWBBBBBrWW");
}

TEST_F(ButtonGadgetTest, TheDefaultGlyphIsTheBitmapResourceInTheSystemsButtonColours) {
    // A bottom-up 8-bit image, 4 x 2: face, black, dark grey, white over red, face, face, face.
    struct Packed {
        BITMAPINFOHEADER h;
        RGBQUAD colours[5];
        uint8_t bits[8];
    };
    static Packed glyph = [] {
        Packed p{};
        p.h.biSize = sizeof(BITMAPINFOHEADER);
        p.h.biWidth = 4;
        p.h.biHeight = 2;
        p.h.biPlanes = 1;
        p.h.biBitCount = 8;
        p.h.biClrUsed = 5;
        p.colours[0] = RGBQUAD{192, 192, 192, 0};
        p.colours[1] = RGBQUAD{0, 0, 0, 0};
        p.colours[2] = RGBQUAD{128, 128, 128, 0};
        p.colours[3] = RGBQUAD{255, 255, 255, 0};
        p.colours[4] = RGBQUAD{0, 0, 255, 0};              // red (blue, green, red)
        const uint8_t rows[8] = {4, 0, 0, 0, 0, 1, 2, 3};  // the bottom row first
        std::memcpy(p.bits, rows, sizeof rows);
        return p;
    }();
    qsm::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(77), &glyph, sizeof glyph);
    const int id = COLOR_BTNFACE;
    const COLORREF face = qsm::uitest::kWindow;
    SetSysColors(1, &id, &face);
    TToolbarButtonGadget b(77, 1, TToolbarButtonGadget::Command, true);
    Canvas c(8, 6);
    b.SetBounds(TRect(0, 0, 8, 6));
    TDC dc(c.dc);
    b.Paint(dc);
    EXPECT_EQ(c.Map(2, 2, 4, 2), (Map{"WXSH", "rWWW"})) << Show(c.Map());
    EXPECT_EQ(c.Map(0, 0, 8, 1)[0], "WWWWWWWW");
    // A glyph that is not there: two face-coloured pixels across.
    TToolbarButtonGadget none("NO SUCH GLYPH", 2);
    TSize s;
    none.GetDesiredSize(s);
    EXPECT_EQ(s, TSize(6, 6));
}

// ---- on a gadget window ----

class TButtonFrame : public TDecoratedFrame {
public:
    TButtonFrame()
        : TDecoratedFrame(nullptr, "buttons", new TWindow(static_cast<TWindow*>(nullptr), "client")) {}
    void Cmd(UINT id) { g_log.push_back("cmd " + std::to_string(id)); }
    void CeChecked(TCommandEnabler& ce) {
        ce.Enable(true);
        ce.SetCheck(TCommandEnabler::Checked);
    }
    DECLARE_RESPONSE_TABLE(TButtonFrame);
};
DEFINE_RESPONSE_TABLE1(TButtonFrame, TDecoratedFrame)
EV_COMMAND_AND_ID(301, Cmd), EV_COMMAND_AND_ID(302, Cmd), EV_COMMAND_AND_ID(304, Cmd),
    EV_COMMAND_AND_ID(305, Cmd), EV_COMMAND_AND_ID(306, Cmd), EV_COMMAND_AND_ID(307, Cmd),
    EV_COMMAND_ENABLE(302, CeChecked), EV_COMMAND_ENABLE(305, CeChecked), END_RESPONSE_TABLE;

class TTargetWindow : public TWindow {
public:
    TTargetWindow() : TWindow(static_cast<TWindow*>(nullptr), "target") { Attr.Style = WS_POPUP; }
    void Cmd(UINT id) { g_log.push_back("target " + std::to_string(id)); }
    DECLARE_RESPONSE_TABLE(TTargetWindow);
};
DEFINE_RESPONSE_TABLE1(TTargetWindow, TWindow)
EV_COMMAND_AND_ID(301, Cmd), END_RESPONSE_TABLE;

class ButtonBarTest : public ButtonGadgetTest {
protected:
    void SetUp() override {
        ButtonGadgetTest::SetUp();
        static const char kHint[] = "Does the first thing\nFirst";
        qsm::RegisterResource(nullptr, RT_STRING, MAKEINTRESOURCEA(301), kHint, sizeof kHint);
        app = std::make_unique<TApplication>("buttons");
        frame = new TButtonFrame;
        frame->Attr.X = frame->Attr.Y = 0;
        frame->Attr.W = 400;
        frame->Attr.H = 300;
        bar = new TControlBar(frame);
        using B = TToolbarButtonGadget;
        a = new TTestButton(301, B::Command);
        toggle = new TTestButton(302, B::Toggle);
        e1 = new TTestButton(304, B::Exclusive);
        e2 = new TTestButton(305, B::Exclusive, true, B::Down);
        cmd = new TTestButton(306, B::Command);
        e3 = new TTestButton(307, B::Exclusive, true, B::Down);
        off = new TTestButton(303, B::Command, false);
        for (TGadget* g : std::vector<TGadget*>{a, toggle, e1, e2, cmd, e3, off})
            bar->Insert(*g);
        status = new TStatusBar(frame);
        frame->Insert(*bar, TDecoratedFrame::Top);
        frame->Insert(*status, TDecoratedFrame::Bottom);
        app->SetMainWindow(frame);
        ASSERT_TRUE(frame->Create());
        frame->Show(SW_SHOW);
        PumpMessages();
        g_log.clear();
    }
    void TearDown() override {
        app.reset();
        ButtonGadgetTest::TearDown();
    }
    TPoint At(const TGadget* g, int dx = 0) const {
        TRect r = g->GetBounds();
        return bar->ClientToScreen(TPoint((r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2));
    }
    void Click(const TGadget* g) {
        TPoint p = At(g);
        qsm::wm::Click(p.x, p.y);
        PumpMessages();
    }

    std::unique_ptr<TApplication> app;
    TButtonFrame* frame = nullptr;
    TControlBar* bar = nullptr;
    TStatusBar* status = nullptr;
    TTestButton *a, *toggle, *e1, *e2, *cmd, *e3, *off;
};

TEST_F(ButtonBarTest, AClickPostsTheCommandOncePressesFollowThePointer) {
    EXPECT_EQ(a->GetBounds().Size(), TSize(10, 9));
    Click(a);
    EXPECT_EQ(g_log, std::vector<std::string>{"cmd 301"});
    EXPECT_FALSE(a->IsPressed());

    // Pressed while the pointer is on it; moving off cancels, moving back presses again.
    g_log.clear();
    TPoint in = At(a), out = bar->ClientToScreen(TPoint(300, 200));
    qsm::wm::InputMouseMove(in.x, in.y);
    qsm::wm::InputMouseButton(0, true);
    PumpMessages();
    EXPECT_TRUE(a->IsPressed());
    EXPECT_TRUE(a->IsHot());
    EXPECT_EQ(status->GetHintText(), "Does the first thing");
    EXPECT_EQ(HintToTipDepth, 0);
    qsm::wm::InputMouseMove(out.x, out.y);
    PumpMessages();
    EXPECT_FALSE(a->IsPressed());
    qsm::wm::InputMouseMove(in.x, in.y);
    PumpMessages();
    EXPECT_TRUE(a->IsPressed());
    // Released outside: nothing.
    qsm::wm::InputMouseMove(out.x, out.y);
    qsm::wm::InputMouseButton(0, false);
    PumpMessages();
    EXPECT_FALSE(a->IsPressed());
    EXPECT_FALSE(a->IsHot());
    EXPECT_TRUE(g_log.empty());

    // A disabled button posts nothing; another target gets the command instead of the main window.
    Click(off);
    EXPECT_TRUE(g_log.empty());
    TTargetWindow target;
    ASSERT_TRUE(target.Create());
    a->Target = &target;
    Click(a);
    EXPECT_EQ(g_log, std::vector<std::string>{"target 301"});
}

TEST_F(ButtonBarTest, TogglesFlipAndExclusiveRunsKeepOneDown) {
    using B = TToolbarButtonGadget;
    Click(toggle);
    EXPECT_EQ(toggle->GetButtonState(), B::Down);
    Click(toggle);
    EXPECT_EQ(toggle->GetButtonState(), B::Up);
    // e1 and e2 are a run; e3, beyond a command button, is a run of its own.
    Click(e1);
    EXPECT_EQ(e1->GetButtonState(), B::Down);
    EXPECT_EQ(e2->GetButtonState(), B::Up);
    EXPECT_EQ(e3->GetButtonState(), B::Down);
    Click(e1);
    EXPECT_EQ(e1->GetButtonState(), B::Down);
    e2->SetButtonState(B::Down);
    EXPECT_EQ(e1->GetButtonState(), B::Up);
    EXPECT_EQ(g_log, (std::vector<std::string>{"cmd 302", "cmd 302", "cmd 304", "cmd 304"}));
}

TEST_F(ButtonBarTest, TheIdlePassEnablesAndChecksThroughTheEnabler) {
    using B = TToolbarButtonGadget;
    for (TTestButton* b : {a, toggle, e1, e2, cmd, e3, off})
        b->SetEnabled(b == off);
    e1->SetButtonState(B::Down);
    ASSERT_EQ(e2->GetButtonState(), B::Up);
    bar->IdleAction(0);
    // A command with a handler is enabled, one without is not.
    EXPECT_TRUE(a->GetEnabled());
    EXPECT_FALSE(off->GetEnabled());
    // The enablers' checks set the state as it stands: e2 goes down beside e1.
    EXPECT_TRUE(toggle->GetEnabled());
    EXPECT_EQ(toggle->GetButtonState(), B::Down);
    EXPECT_EQ(e2->GetButtonState(), B::Down);
    EXPECT_EQ(e1->GetButtonState(), B::Down);
}

TEST_F(ButtonBarTest, EnterHintsGiveTheTooltipTheButtonsScreenRectangle) {
    auto tip = std::make_unique<TToolTip>();
    GlobalToolTip = tip.get();
    bar->SetHintMode(TGadgetWindow::EnterHints);
    TPoint p = At(a);
    qsm::wm::InputMouseMove(p.x, p.y);
    PumpMessages();
    TPoint tl = bar->ClientToScreen(TPoint(a->GetBounds().left, a->GetBounds().top));
    EXPECT_EQ(tip->GetToolRect(), TRect(tl.x, tl.y, tl.x + 10, tl.y + 9));
    EXPECT_EQ(HintToTipDepth, 0);
    GlobalToolTip = nullptr;
}

}  // namespace
