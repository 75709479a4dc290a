#include "ui/tests/bars_scene.h"

#include <cstring>
#include <string>

#include "platform/kernel/resources.h"

namespace qsm::uitest {

namespace {

// 16 x 15 glyphs: B black, G dark grey, anything else the button face.
const char* const kPlayGlyph[] = {
    "................", "....B...........", "....BB..........", "....BBB.........", "....BBBB........",
    "....BBBBB.......", "....BBBBBB......", "....BBBBBBB.....", "....BBBBBB......", "....BBBBB.......",
    "....BBBB........", "....BBB.........", "....BB..........", "....B...........", "................"};
const char* const kLoopGlyph[] = {
    "................", "................", "....BBBBBBB.....", "...B.......B....", "..B.........B...",
    "..B.........B...", "..B.......BBBBB.", "..B........BBB..", "..B.........B...", "..B.............",
    "...B......B.....", "....BBBBBBB.....", "................", "................", "................"};
const char* const kSlowGlyph[] = {
    "................", "................", "................", "...B.....B......", "...BB....BB.....",
    "...BBB...BBB....", "...BBBB..BBBB...", "...BBBBB.BBBBB..", "...BBBB..BBBB...", "...BBB...BBB....",
    "...BB....BB.....", "...B.....B......", "................", "................", "................"};
const char* const kFastGlyph[] = {
    "................", "................", "..B....B....B...", "..BB...BB...BB..", "..BBB..BBB..BBB.",
    "..BBBB.BBBB.BBBB", "..BBB..BBB..BBB.", "..BB...BB...BB..", "..B....B....B...", "................",
    "................", "................", "................", "................", "................"};

// A bottom-up 4-bit packed image in the standard button colours.
std::string PackGlyph(const char* const rows[15]) {
    const int w = 16, h = 15, stride = 8;
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 4;
    bi.biClrUsed = 16;
    std::string out(reinterpret_cast<const char*>(&bi), sizeof bi);
    RGBQUAD table[16] = {};
    table[1] = RGBQUAD{128, 128, 128, 0};
    table[2] = RGBQUAD{192, 192, 192, 0};
    table[3] = RGBQUAD{255, 255, 255, 0};
    out.append(reinterpret_cast<const char*>(table), sizeof table);
    for (int y = h - 1; y >= 0; --y) {
        std::string line(stride, '\0');
        for (int x = 0; x < w; ++x) {
            int c = rows[y][x] == 'B' ? 0 : rows[y][x] == 'G' ? 1 : 2;
            line[x / 2] = static_cast<char>(line[x / 2] | (c << (x % 2 == 0 ? 4 : 0)));
        }
        out += line;
    }
    return out;
}

class TGlyphButton : public TToolbarButtonGadget {
public:
    TGlyphButton(const char* const glyph[15], int id, int type)
        : TToolbarButtonGadget(1, id, type, true), Glyph(PackGlyph(glyph)) {}
    TDib* GetGlyphBitmap() override { return new TDib(Glyph.data(), Glyph.size()); }

private:
    std::string Glyph;
};

void RegisterHint(int id, const char* text) {
    qsm::RegisterResource(nullptr, RT_STRING, MAKEINTRESOURCEA(id), text,
                          static_cast<DWORD>(std::strlen(text) + 1));
}

}  // namespace

DEFINE_RESPONSE_TABLE1(TPlayerBar, TGadgetWindow)
EV_WM_HSCROLL, END_RESPONSE_TABLE;

TPlayerBar::TPlayerBar(TWindow* parent) : TGadgetWindow(parent) {}

void TPlayerBar::EvHScroll(UINT code, UINT pos, HWND) {
    Heard.emplace_back(static_cast<int>(code), static_cast<int>(pos));
    // As a player does: the thumb follows the drag and a jump.
    if (Slider && (code == SB_THUMBTRACK || code == SB_THUMBPOSITION))
        Slider->SetPosition(static_cast<int>(pos));
}

DEFINE_RESPONSE_TABLE1(TBarsFrame, TDecoratedFrame)
EV_COMMAND(kCmPlay, CmPlay), EV_COMMAND(kCmLoop, CmLoop), EV_COMMAND(kCmSlow, CmSlow),
    EV_COMMAND(kCmFast, CmFast), END_RESPONSE_TABLE;

TBarsFrame::TBarsFrame()
    : TDecoratedFrame(nullptr, "Player", new TWindow(static_cast<TWindow*>(nullptr), "client")) {}

TBarsFrame* BuildBarsFrame(int x, int y, int w, int h) {
    RegisterHint(kCmPlay, "Plays the song from the current position\nPlay");
    RegisterHint(kCmLoop, "Plays the song again when it ends\nRepeat");
    RegisterHint(kCmSlow, "Plays at half speed\nHalf speed");
    RegisterHint(kCmFast, "Plays at full speed\nFull speed");
    auto* frame = new TBarsFrame;
    frame->Attr.Style |= WS_VISIBLE;
    frame->Attr.X = x;
    frame->Attr.Y = y;
    frame->Attr.W = w;
    frame->Attr.H = h;

    auto* bar = new TPlayerBar(frame);
    bar->SetHintMode(TGadgetWindow::EnterHints);
    auto* slider = new TQSHSlider(nullptr, kSliderId, 0, 0, 200, 20, 32000);
    slider->SetRange(0, 16384);
    slider->SetRuler(2048, false);
    bar->Slider = slider;
    bar->Insert(*new TControlGadget(*slider));
    bar->Insert(*new TQSStatusSeparatorGadget(6, 1, 2));
    frame->Play = new TGlyphButton(kPlayGlyph, kCmPlay, TToolbarButtonGadget::Command);
    frame->Loop = new TGlyphButton(kLoopGlyph, kCmLoop, TToolbarButtonGadget::Toggle);
    frame->Slow = new TGlyphButton(kSlowGlyph, kCmSlow, TToolbarButtonGadget::Exclusive);
    frame->Fast = new TGlyphButton(kFastGlyph, kCmFast, TToolbarButtonGadget::Exclusive);
    frame->Fast->SetButtonState(TToolbarButtonGadget::Down);
    for (TToolbarButtonGadget* b : {frame->Play, frame->Loop}) {
        b->Target = frame;
        bar->Insert(*b);
    }
    bar->Insert(*new TQSStatusSeparatorGadget(6, 1, 2));
    for (TToolbarButtonGadget* b : {frame->Slow, frame->Fast}) {
        b->Target = frame;
        bar->Insert(*b);
    }
    bar->Insert(*new TQSToolbarSeparatorGadget);
    frame->Bar = bar;

    auto* status = new TStatusBar95(frame);
    frame->BarPane = new TTextGadget(1, TGadget::Recessed, TTextGadget::Center, 8, "Bar 1");
    status->Insert(*frame->BarPane);
    status->SetText("Ready");
    frame->Status = status;

    // The status bar is outermost at the bottom, the player bar above it.
    frame->Insert(*status, TDecoratedFrame::Bottom);
    frame->Insert(*bar, TDecoratedFrame::Bottom);
    return frame;
}

void MakeToolTip() {
    if (!GlobalToolTip) GlobalToolTip = new TToolTip;
}

void DestroyToolTip() {
    delete GlobalToolTip;
    GlobalToolTip = nullptr;
}

}  // namespace qsm::uitest
