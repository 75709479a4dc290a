#include "ui/button_gadget.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/resources.h"
#include "ui/toolbar_draw.h"
#include "ui/tooltip.h"

namespace {

constexpr DWORD kPatternWhereMaskBlack = 0x00B8074A;  // P xor (S and (D xor P))

int NoButtonSize(const TGadgetWindow&) {
    return -1;
}

// A solid brush of a system colour selected into a DC for the life of the object.
class SysBrush {
public:
    SysBrush(HDC dc, int colour) : Dc(dc), Brush(CreateSolidBrush(GetSysColor(colour))) {
        Old = SelectObject(dc, Brush);
    }
    ~SysBrush() {
        SelectObject(Dc, Old);
        DeleteObject(Brush);
    }
    SysBrush(const SysBrush&) = delete;
    SysBrush& operator=(const SysBrush&) = delete;

private:
    HDC Dc;
    HBRUSH Brush;
    HGDIOBJ Old;
};

void FillSys(HDC dc, const TRect& r, int colour) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    SysBrush b(dc, colour);
    PatBlt(dc, r.left, r.top, r.Width(), r.Height(), PATCOPY);
}

// One one-pixel ring: top and left in one colour, bottom and right in the other.
void Ring(HDC dc, const TRect& r, int topLeft, int bottomRight) {
    FillSys(dc, TRect(r.left, r.top, r.right - 1, r.top + 1), topLeft);
    FillSys(dc, TRect(r.left, r.top + 1, r.left + 1, r.bottom - 1), topLeft);
    FillSys(dc, TRect(r.left, r.bottom - 1, r.right, r.bottom), bottomRight);
    FillSys(dc, TRect(r.right - 1, r.top, r.right, r.bottom - 1), bottomRight);
}

}  // namespace

int (*TToolbarButtonGadget::ButtonSizeOf)(const TGadgetWindow& window) = NoButtonSize;

// ---- the enabler ----

TToolButtonGadgetEnabler::TToolButtonGadgetEnabler(HWND receiver, TToolbarButtonGadget& gadget)
    : TCommandEnabler(static_cast<UINT>(gadget.GetId()), receiver), Gadget(gadget) {}

void TToolButtonGadgetEnabler::Enable(bool enable) {
    TCommandEnabler::Enable(enable);
    Gadget.SetEnabled(enable);
}

void TToolButtonGadgetEnabler::SetText(const char*) {}

void TToolButtonGadgetEnabler::SetCheck(int state) {
    TCommandEnabler::SetCheck(state);
    if (Gadget.State == state) return;
    Gadget.State = state;
    Gadget.Repaint();
}

// ---- the button ----

TToolbarButtonGadget::TToolbarButtonGadget(const char* glyphId, int id, int type, bool enabled, int state)
    : TGadget(id, None), State(state), Type(type) {
    if (IS_INTRESOURCE(glyphId))
        GlyphNumber = reinterpret_cast<uintptr_t>(glyphId);
    else
        GlyphName = glyphId;
    TrackMouse = true;
    Enabled = enabled;
}

TToolbarButtonGadget::TToolbarButtonGadget(int glyphId, int id, int type, bool enabled, int state)
    : TToolbarButtonGadget(MAKEINTRESOURCEA(glyphId), id, type, enabled, state) {}

TToolbarButtonGadget::~TToolbarButtonGadget() = default;

const char* TToolbarButtonGadget::GetGlyphId() const {
    return GlyphName.empty() ? reinterpret_cast<const char*>(GlyphNumber) : GlyphName.c_str();
}

void TToolbarButtonGadget::SetGlyphId(const char* glyphId) {
    if (IS_INTRESOURCE(glyphId)) {
        if (GlyphName.empty() && GlyphNumber == reinterpret_cast<uintptr_t>(glyphId)) return;
        GlyphName.clear();
        GlyphNumber = reinterpret_cast<uintptr_t>(glyphId);
    } else {
        if (!GlyphName.empty() && GlyphName == glyphId) return;
        GlyphName = glyphId;
        GlyphNumber = 0;
    }
    if (Cels) {
        BuildCels();
        Repaint();
    }
}

void TToolbarButtonGadget::DropCels() {
    Cels.reset();
}

void TToolbarButtonGadget::SetButtonState(int state) {
    if (State == state) return;
    if (Type == Exclusive && state == Down && Window) {
        // The run: the adjacent exclusive buttons on both sides.
        const std::vector<TGadget*>& all = Window->GetGadgets();
        auto self = std::find(all.begin(), all.end(), this);
        if (self != all.end()) {
            auto inRun = [](TGadget* g) {
                auto* b = dynamic_cast<TToolbarButtonGadget*>(g);
                return b != nullptr && b->Type == Exclusive ? b : nullptr;
            };
            for (auto it = self; it != all.begin();) {
                TToolbarButtonGadget* b = inRun(*--it);
                if (!b) break;
                if (b->State == Down) b->SetButtonState(Up);
            }
            for (auto it = self + 1; it != all.end(); ++it) {
                TToolbarButtonGadget* b = inRun(*it);
                if (!b) break;
                if (b->State == Down) b->SetButtonState(Up);
            }
        }
    }
    State = state;
    Repaint();
}

int TToolbarButtonGadget::GetButtonSize() const {
    return Window ? ButtonSizeOf(*Window) : -1;
}

void TToolbarButtonGadget::GetDesiredSize(TSize& size) {
    TGadget::GetDesiredSize(size);
    if (!Cels) BuildCels();
    size.cx += CelWidth + 4;
    size.cy += CelHeight + 4;
}

void TToolbarButtonGadget::CommandEnable() {
    HWND target = TargetHandle();
    if (!target) return;
    TToolButtonGadgetEnabler ce(Window ? Window->GetHandle() : nullptr, *this);
    SendMessageA(target, WM_COMMAND_ENABLE, 0, reinterpret_cast<LPARAM>(&ce));
}

void TToolbarButtonGadget::SysColorChange() {
    RebuildToolbarHatchBrush();
    if (Cels) BuildCels();
    Repaint();
}

TDib* TToolbarButtonGadget::GetGlyphBitmap() {
    TModule* module = Window && Window->GetModule() ? Window->GetModule() : &TModule::GetDefault();
    auto* dib = new TDib(module->GetInstance(), GetGlyphId());
    if (!dib->IsOK()) {
        delete dib;
        return nullptr;
    }
    dib->MapUIColors(TDib::MapText | TDib::MapFace | TDib::MapShadow | TDib::MapHighlight);
    return dib;
}

void TToolbarButtonGadget::ReleaseGlyphBitmap(TDib* glyph) {
    delete glyph;
}

void TToolbarButtonGadget::BuildCels() {
    TDib* glyph = GetGlyphBitmap();
    const int glyphW = glyph ? glyph->Width() : 0, glyphH = glyph ? glyph->Height() : 0;
    const int h = std::max(glyphH, 2);
    int H = GetButtonSize();
    if (H < 1) H = h;
    const int W = std::max(MulDiv(glyphW, H, h), 2);
    if (Cels && (W != CelWidth || H != CelHeight)) Cels.reset();
    if (!Cels) Cels = std::make_unique<TBitmap>(4 * W, H, 1, 32);
    CelWidth = W;
    CelHeight = H;
    CelsMade = 1 << CelNormal;

    TMemoryDC cel;
    cel.SelectObject(*Cels);
    // Cel 0: the glyph stretched to the cel (the face where there is no glyph). The others are made from it
    // when first shown (MakeCel).
    FillSys(cel, TRect(0, 0, W, H), COLOR_BTNFACE);
    if (glyph) StretchDIBits(cel, TRect(0, 0, W, H), TRect(0, 0, glyphW, glyphH), *glyph);
    ReleaseGlyphBitmap(glyph);
}

void TToolbarButtonGadget::MakeCel(int which) {
    if (!Cels) BuildCels();
    if (CelsMade & (1 << which)) return;
    const int W = CelWidth, H = CelHeight;
    TMemoryDC cel;
    cel.SelectObject(*Cels);
    HDC mask = CreateCompatibleDC(nullptr);
    HGDIOBJ oldMask = SelectObject(mask, ButtonWorkBitmap(W, H));
    if (which == CelDown) {
        // Cel 3, down: the glyph with the hatch where it shows the face.
        BitBlt(cel, 3 * W, 0, W, H, cel, 0, 0, SRCCOPY);
        BuildButtonFaceMask(mask, TRect(0, 0, W, H), cel, TRect(3 * W, 0, 4 * W, H));
        PaintHatchThroughMask(cel, mask, TRect(3 * W, 0, 4 * W, H));
        CelsMade |= 1 << CelDown;
    } else {
        // Cel 1, disabled: an embossed silhouette on the face; cel 2, indeterminate: the silhouette in the
        // shadow colour on the hatch. The glyph's highlight-coloured pixels join the mask, so that only the
        // darker parts of the glyph are embossed and the face stays the face. Each is made when first shown:
        // a start shows many buttons disabled and hardly ever one indeterminate.
        BuildButtonFaceMask(mask, TRect(0, 0, W, H), cel, TRect(0, 0, W, H));
        const TColor oldBk = cel.SetBkColor(GetSysColor(COLOR_BTNHIGHLIGHT));
        BitBlt(mask, 0, 0, W, H, cel, 0, 0, SRCPAINT);
        cel.SetBkColor(oldBk);
        const TColor oldText = cel.SetTextColor(RGB(0, 0, 0));
        cel.SetBkColor(RGB(255, 255, 255));
        if (which == CelDisabled) {
            FillSys(cel, TRect(W, 0, 2 * W, H), COLOR_BTNFACE);
            {
                SysBrush hilite(cel, COLOR_BTNHIGHLIGHT);
                BitBlt(cel, W + 1, 1, W - 1, H - 1, mask, 0, 0, kPatternWhereMaskBlack);
            }
            SysBrush shadow(cel, COLOR_BTNSHADOW);
            BitBlt(cel, W, 0, W, H, mask, 0, 0, kPatternWhereMaskBlack);
        } else {
            {
                SysBrush shadow(cel, COLOR_BTNSHADOW);
                BitBlt(cel, 2 * W, 0, W, H, mask, 0, 0, kPatternWhereMaskBlack);
            }
            PaintHatchThroughMask(cel, mask, TRect(2 * W, 0, 3 * W, H));
        }
        cel.SetTextColor(oldText);
        cel.SetBkColor(oldBk);
        CelsMade |= 1 << which;
    }
    SelectObject(mask, oldMask);
    DeleteDC(mask);
}

HBITMAP TToolbarButtonGadget::GetCels() {
    if (!Cels) return nullptr;
    MakeCel(CelDisabled);
    MakeCel(CelIndeterminate);
    MakeCel(CelDown);
    return static_cast<HBITMAP>(*Cels);
}

void TToolbarButtonGadget::Paint(TDC& dc) {
    if (!Cels) BuildCels();
    const TRect& b = Bounds;
    const bool sunk = Pressed || State == Down;
    const bool downLook = State == Down && !Hot;
    const bool framed = (Hot && Enabled) || State != Up;
    TRect inside = b;
    if (framed) {
        if (sunk) {
            Ring(dc, b, COLOR_WINDOWFRAME, COLOR_BTNHIGHLIGHT);
            Ring(dc, b.InflatedBy(-1, -1), COLOR_BTNSHADOW, COLOR_BTNFACE);
        } else {
            Ring(dc, b, COLOR_BTNHIGHLIGHT, COLOR_WINDOWFRAME);
            Ring(dc, b.InflatedBy(-1, -1), COLOR_BTNFACE, COLOR_BTNSHADOW);
        }
        inside = b.InflatedBy(-2, -2);
    }
    const int cel = !Enabled                 ? CelDisabled
                    : State == Indeterminate ? CelIndeterminate
                    : downLook               ? CelDown
                                             : CelNormal;
    MakeCel(cel);
    const int x = b.left + (b.Width() - CelWidth) / 2 + (Pressed ? 1 : 0);
    const int y = b.top + (b.Height() - CelHeight) / 2 + (Pressed ? 1 : 0);
    const TRect celRect(x, y, x + CelWidth, y + CelHeight);
    // The face around the cel, in up to four pieces, so that no pixel under the cel is painted twice.
    TRect pieces[4];
    for (int i = 0, n = SubtractRectPieces(inside, celRect, pieces); i < n; ++i)
        FillSys(dc, pieces[i], COLOR_BTNFACE);
    TMemoryDC cels;
    cels.SelectObject(*Cels);
    dc.BitBlt(celRect, cels, TPoint(cel * CelWidth, 0), SRCCOPY);

    if (Type == DropDown && Enabled) {
        const int w = b.Width(), h = b.Height(), s = h / 6 + 3;
        const POINT pts[3] = {{b.left + w - s, b.top + h - 2},
                              {b.left + w - 2, b.top + h - s},
                              {b.left + w - 2, b.top + h - 2}};
        const int colour = (Hot || Pressed || State == Down) ? COLOR_BTNTEXT : COLOR_BTNSHADOW;
        TBrush brush(TColor(GetSysColor(colour)));
        TPen pen(TColor(GetSysColor(colour)));
        dc.SelectObject(brush);
        dc.SelectObject(pen);
        dc.Polygon(pts, 3);
        dc.RestoreBrush();
        dc.RestorePen();
    }
}

void TToolbarButtonGadget::Repaint() {
    Invalidate(false);
    Update();
}

HWND TToolbarButtonGadget::TargetHandle() const {
    if (Target) return Target->GetHandle();
    TApplication* app = TApplication::Get();
    TWindow* main = app ? app->GetMainWindow() : nullptr;
    return main ? main->GetHandle() : nullptr;
}

void TToolbarButtonGadget::ShowHint() {
    if (!Window) return;
    ++HintToTipDepth;
    if (GlobalToolTip && Window->GetHandle()) {
        TPoint tl = Window->ClientToScreen(TPoint(Bounds.left, Bounds.top));
        GlobalToolTip->SetToolRect(TRect(tl.x, tl.y, tl.x + Bounds.Width(), tl.y + Bounds.Height()));
    }
    Window->SetHintCommand(Id);
    --HintToTipDepth;
}

void TToolbarButtonGadget::BeginPressed(const TPoint&) {
    Pressed = 1;
    Repaint();
    if (Window && Window->GetHintMode() == TGadgetWindow::PressHints) ShowHint();
}

void TToolbarButtonGadget::CancelPressed(const TPoint&) {
    Pressed = 0;
    Repaint();
}

void TToolbarButtonGadget::Activate(const TPoint& p) {
    if (Type == Exclusive)
        SetButtonState(Down);
    else if (Type == Toggle)
        SetButtonState(State == Down ? Up : Down);
    CancelPressed(p);
    if (HWND target = TargetHandle()) PostMessageA(target, WM_COMMAND, static_cast<WPARAM>(Id), 0);
}

void TToolbarButtonGadget::LButtonDown(UINT modKeys, const TPoint& p) {
    TGadget::LButtonDown(modKeys, p);
    BeginPressed(p);
}

void TToolbarButtonGadget::LButtonUp(UINT modKeys, const TPoint& p) {
    TGadget::LButtonUp(modKeys, p);
    if (Pressed) Activate(p);
}

void TToolbarButtonGadget::MouseMove(UINT modKeys, const TPoint& p) {
    TGadget::MouseMove(modKeys, p);
    if (!Window || Window->GetCapture() != this) return;
    const bool inside = PtIn(p);
    if (inside && !Pressed)
        BeginPressed(p);
    else if (!inside && Pressed)
        CancelPressed(p);
}

void TToolbarButtonGadget::MouseEnter(UINT modKeys, const TPoint& p) {
    TGadget::MouseEnter(modKeys, p);
    Hot = 1;
    Repaint();
    if (Window && Window->GetHintMode() == TGadgetWindow::EnterHints) ShowHint();
}

void TToolbarButtonGadget::MouseLeave(UINT modKeys, const TPoint& p) {
    TGadget::MouseLeave(modKeys, p);
    Hot = 0;
    Repaint();
    if (Window && Window->GetHintMode() == TGadgetWindow::EnterHints) Window->SetHintCommand(-1);
}
