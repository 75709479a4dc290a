// The drawing context: fonts, measured widths, attach and detach, colours, the glyph writer and text output.
#include "render/music_fonts.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/font_record.h"
#include "platform/gdi/gdi_surface.h"
#include "render/bundled_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/structure_items.h"

namespace {

bool g_useWideText = true;  // the NT family's start-up value
bool g_thickAsRectangles = false;
int g_staffLineThickness = 0;

// Glyphs that are never written: nothing, the two blanks of the table and the indices past the widths.
bool IsUndrawn(int glyph) {
    return glyph <= glNone || glyph == glUnused35 || glyph == glUnused51 || glyph >= kMeasuredGlyphCount;
}

// Vertical adjustment of a glyph for the scale s/t.
int VerticalAdjust(int glyph, int u, int s, int t) {
    switch (glyph) {
        case glFlagUp1:
        case glFlagUp2:
            return s * u * 2 / t;
        case glFlagUp3:
            return s * u * 3 / t;
        case glFlagUp4:
            return s * u * 4 / t;
        case glDot:
        case glAllaBreve:
        case glStaccatissimoAbove:
        case glStaccatissimoBelow:
        case glTenuto:
            return -(s * u / (4 * t));
        case glWholeRest:
            return ((u / 12 + 1) * s) / (3 * t) + 1;
        case glTempoEighth:
        case glTempoQuarter:
        case glTempoHalf:
        case glDynamicPPP:
        case glDynamicPP:
        case glDynamicP:
        case glDynamicMP:
        case glDynamicMF:
        case glDynamicF:
        case glDynamicFF:
        case glDynamicFFF:
            return s * u * 2 / (3 * t);
        case glRepeatDots:
            return s * u / t;
        case glMarcatoAbove:
            return -(s * u / (2 * t));
        case glExpressionMarker:
            return s * u * 13 / (8 * t) + 1;
        case glTriplet3:
            return s * u * 3 / (4 * t);
        default:
            return 0;
    }
}

HFONT MusicFontFor(const char* face, int height) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfCharSet = SYMBOL_CHARSET;
    CopyFaceName(lf.lfFaceName, face);
    return CreateFontIndirectA(&lf);
}

}  // namespace

bool GetUseWideTextForSymbols() {
    return g_useWideText;
}
void SetUseWideTextForSymbols(bool on) {
    g_useWideText = on;
}
bool GetDrawThickLinesAsRectangles() {
    return g_thickAsRectangles;
}
void SetDrawThickLinesAsRectangles(bool on) {
    g_thickAsRectangles = on;
}
int GetStaffLineThickness() {
    return g_staffLineThickness;
}
void SetStaffLineThickness(int thousandthsMm) {
    g_staffLineThickness = thousandthsMm;
}
BYTE GetGlyphCode(int glyph) {
    return glyph >= 0 && glyph < kGlyphCount ? kGlyphCodes[glyph] : 0;
}

void TQSFontSpec::ToLogFontForDC(HDC dc, LOGFONTA* out) const {
    *out = LOGFONTA{};
    CopyFaceName(out->lfFaceName, FaceName);
    out->lfWeight = IsBold() ? FW_BOLD : FW_NORMAL;
    out->lfItalic = IsItalic() ? 1 : 0;
    out->lfCharSet = CharSet;
    out->lfOutPrecision = OUT_TT_PRECIS;
    out->lfHeight = std::min(-MulDiv(PointSize, GetDeviceCaps(dc, LOGPIXELSY), 72), -2);
}

TMusicFonts::TMusicFonts(int staffSpace, TMusicFontsData* fontData, TColorPalette* palette) {
    Init(fontData, palette);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    CreateFonts(screen, qsm::NormalizeStaffSpace(staffSpace));
    DeleteDC(screen);
}

TMusicFonts::TMusicFonts(HDC device, TMusicFontsData* fontData, TColorPalette* palette) {
    Init(fontData, palette);
    int u = qsm::NormalizeStaffSpace(MulDiv(GetDeviceCaps(device, LOGPIXELSY), StaffSize(), 288));
    CreateFonts(device, u);
}

void TMusicFonts::Init(TMusicFontsData* fontData, TColorPalette* palette) {
    qsm::RegisterBundledFonts();
    FontData = fontData;
    Palette = palette;
    StaffSpace = 2;
    LyricHeight = StemWidth = LineWidth = StemPenWidth = AccidentalColumnWidth = 0;
    std::fill(std::begin(GlyphWidths), std::end(GlyphWidths), 0);
    MusicFont = CueMusicFont = nullptr;
    std::fill(std::begin(TextFonts), std::end(TextFonts), nullptr);
    Attached = RefCount = 0;
    ReferenceDC = OutputDC = nullptr;
    OriginY = 0;
    CurrentColor = 0;
    ExpressionArrowLength = 0;
}

TMusicFonts::~TMusicFonts() {
    if (Attached) DetachDC();
    while (measureCount_ > 0)
        EndMeasuring();
    FreeFonts();
    for (const TKeptObject& k : keptObjects_)
        DeleteObject(k.obj);
    if (scratchDC_) DeleteDC(scratchDC_);
}

// The staff size that scales the text; the stored value stays as read, but a size of 0 or less would
// divide by zero or turn every height around, so the default 16 stands in for it.
int TMusicFonts::StaffSize() const {
    int s = FontData ? FontData->StaffSize : 16;
    return s > 0 ? s : 16;
}

void TMusicFonts::FreeFonts() {
    for (HFONT& f : TextFonts) {
        if (f) DeleteObject(f);
        f = nullptr;
    }
    if (MusicFont) DeleteObject(MusicFont);
    if (CueMusicFont) DeleteObject(CueMusicFont);
    MusicFont = CueMusicFont = nullptr;
}

void TMusicFonts::CreateFonts(HDC dc, int staffSpace) {
    // A rebuild (a zoom or a device change) leaves an attached paint and an open measuring bracket as they
    // are: clearing their state would lose the objects to restore and the measuring DC to delete. A new
    // context starts with both cleared by Init.
    OriginY = 0;
    StaffSpace = staffSpace;
    int u = staffSpace;
    int staffSize = StaffSize();
    LyricHeight = MulDiv(FontData ? FontData->GetDrawnPointSize(FONTSLOT_STAFF_LYRIC) : 12, 8, staffSize);
    for (int i = 0; i < 12; ++i) {
        LOGFONTA lf{};
        TQSFontSpec record;
        if (FontData) record = FontData->Fonts[i];
        record.ToLogFontForDC(dc, &lf);
        lf.lfHeight = -MulDiv(FontData ? FontData->GetDrawnPointSize(i) : record.PointSize, 4 * u, staffSize);
        TextFonts[i] = CreateFontIndirectA(&lf);
    }
    const char* face = GetDefaultMusicFontFace();
    if (FontData && FontData->MusicFontFace[0] && IsFontInstalled(FontData->MusicFontFace))
        face = FontData->MusicFontFace;
    MusicFont = MusicFontFor(face, -5 * u);
    CueMusicFont = MusicFontFor(face, (-5 * u * 2) / 3);
    HGDIOBJ old = SelectObject(dc, MusicFont);
    for (int g = 0; g < kMeasuredGlyphCount; ++g) {
        char c = static_cast<char>(kGlyphCodes[g]);
        SIZE sz{};
        GetTextExtentPointA(dc, &c, 1, &sz);
        GlyphWidths[g] = sz.cx;
    }
    SelectObject(dc, old);
    AccidentalColumnWidth = GlyphWidths[42] * 5 / 4;
    StemWidth = GlyphWidths[7] / 14 + 1;
    StemPenWidth = GlyphWidths[7] / 16 + 1;
    LineWidth = u / 14 + 1;
    if (g_staffLineThickness != 0) {
        int natural = qsm::NormalizeStaffSpace(MulDiv(GetDeviceCaps(dc, LOGPIXELSY), staffSize, 288));
        int t = MulDiv(GetDeviceCaps(dc, LOGPIXELSX), g_staffLineThickness, 25400);
        if (u != natural) t = MulDiv(t, u, natural);
        LineWidth = std::min(std::max(t, 1), u / 2);
    }
}

void TMusicFonts::SetStaffSpace(int staffSpace) {
    FreeFonts();
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    CreateFonts(screen, qsm::NormalizeStaffSpace(staffSpace));
    DeleteDC(screen);
}

void TMusicFonts::ResetForDevice(HDC device) {
    FreeFonts();
    CreateFonts(device,
                qsm::NormalizeStaffSpace(MulDiv(GetDeviceCaps(device, LOGPIXELSY), StaffSize(), 288)));
}

HFONT TMusicFonts::GetFont(int slot) const {
    return slot >= 0 && slot < 12 ? TextFonts[slot] : nullptr;
}

HFONT TMusicFonts::GetFontForStyle(int style) const {
    if (style == 0) return MusicFont;
    if (style == 1) return CueMusicFont;
    return GetFont(style - 2);
}

void TMusicFonts::AttachDC(HDC output, HDC reference) {
    if (Attached) DetachDC();
    Attached = 1;
    ++RefCount;
    OutputDC = output;
    ReferenceDC = reference ? reference : output;
    OriginY = 0;
    // Scores are drawn smoothly on screen and in pictures: beams, slurs and ties without stair steps.
    savedSmooth_ = qsm::gdi::SetDCSmoothing(output, true);
    SetBkMode(output, TRANSPARENT);
    CurrentColor = 0;
    SetTextColor(output, Color());
    savedBrush_ = SelectObject(output, GetStockObject(NULL_BRUSH));
    savedPen_ = SelectObject(output, PalettePen());
    savedFont_ = GetCurrentObject(output, OBJ_FONT);
    savedRefFont_ = ReferenceDC != output ? GetCurrentObject(ReferenceDC, OBJ_FONT) : nullptr;
}

void TMusicFonts::Tag(const char* what, int staff, int index, int extra) {
    if (!Attached || !OutputDC) return;
    char text[64];
    int n = std::snprintf(text, sizeof text, "%s %d %d %d", what, staff, index, extra);
    if (n > 0)
        GdiComment(OutputDC, static_cast<UINT>(std::min<int>(n, sizeof text - 1)),
                   reinterpret_cast<const BYTE*>(text));
}

void TMusicFonts::DetachDC() {
    if (!Attached) return;
    if (OutputDC) {
        qsm::gdi::SetDCSmoothing(OutputDC, savedSmooth_);
        if (savedFont_) SelectObject(OutputDC, savedFont_);
        if (savedPen_) SelectObject(OutputDC, savedPen_);
        if (savedBrush_) SelectObject(OutputDC, savedBrush_);
    }
    if (ReferenceDC && ReferenceDC != OutputDC && savedRefFont_) SelectObject(ReferenceDC, savedRefFont_);
    savedFont_ = savedPen_ = savedBrush_ = savedRefFont_ = nullptr;
    OutputDC = nullptr;
    // A measuring bracket that was open before the paint goes on with its own screen DC.
    ReferenceDC = measureCount_ > 0 ? measureDC_ : nullptr;
    RefCount = measureCount_;
    Attached = 0;
}

void TMusicFonts::BeginMeasuring() {
    if (measureCount_++ == 0) measureDC_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ++RefCount;
    if (!Attached) ReferenceDC = measureDC_;
}

void TMusicFonts::EndMeasuring() {
    if (measureCount_ <= 0) return;
    --RefCount;
    if (--measureCount_ == 0) {
        if (ReferenceDC == measureDC_) ReferenceDC = nullptr;
        DeleteDC(measureDC_);
        measureDC_ = nullptr;
    }
}

HDC TMusicFonts::MeasureDC() {
    if (ReferenceDC) return ReferenceDC;
    // Measuring needs only the fonts: without an attached or measuring DC a screen DC of our own serves.
    if (!scratchDC_) scratchDC_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    return scratchDC_;
}

bool TMusicFonts::IsFontInstalled(const char* face) {
    qsm::RegisterBundledFonts();
    LOGFONTA lf{};
    lf.lfHeight = -10;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfCharSet = SYMBOL_CHARSET;
    // LOGFONT holds 31 characters and the terminator.
    CopyFaceName(lf.lfFaceName, face ? face : GetDefaultMusicFontFace());
    HFONT font = CreateFontIndirectA(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    char found[32] = {};
    bool ok = GetTextFaceA(dc, sizeof found, found) > 0 && strcasecmp(found, lf.lfFaceName) == 0;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return ok;
}

COLORREF TMusicFonts::ColorOf(int index) const {
    if (!Palette || index < 0 || index > 15) return Palette ? Palette->GetColor(CurrentColor) : 0;
    return Palette->GetColor(index);
}

COLORREF TMusicFonts::Color() const {
    return ColorOf(CurrentColor);
}

HPEN TMusicFonts::PalettePen() const {
    if (!Palette) return static_cast<HPEN>(GetStockObject(BLACK_PEN));
    return Palette->GetPen(CurrentColor);
}

void TMusicFonts::SelectColor(int index) {
    // Indices outside the sixteen entries keep the current colour.
    if (index < 0 || index > 15) return;
    CurrentColor = index;
    if (!OutputDC) return;
    SetTextColor(OutputDC, Color());
    SelectObject(OutputDC, PalettePen());
}

namespace {
enum { kKeptPen, kKeptFlatPen, kKeptBrush };
// A drawing uses a handful of colours and widths; past this many the kept objects are let go.
constexpr size_t kMaxKeptObjects = 32;
}  // namespace

HGDIOBJ TMusicFonts::KeptObject(int kind, int style, int width, COLORREF color) {
    for (const TKeptObject& k : keptObjects_)
        if (k.kind == kind && k.style == style && k.width == width && k.color == color) return k.obj;
    HGDIOBJ obj = nullptr;
    if (kind == kKeptBrush) {
        obj = CreateSolidBrush(color);
    } else if (kind == kKeptFlatPen) {
        LOGBRUSH lb{BS_SOLID, color, 0};
        obj = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                           static_cast<DWORD>(width), &lb, 0, nullptr);
    } else {
        obj = CreatePen(style, width, color);
    }
    if (obj) keptObjects_.push_back({kind, style, width, color, obj});
    return obj;
}

HPEN TMusicFonts::Pen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(KeptObject(kKeptPen, style, width, color));
}

HPEN TMusicFonts::FlatPen(int width, COLORREF color) {
    return static_cast<HPEN>(KeptObject(kKeptFlatPen, 0, width, color));
}

HBRUSH TMusicFonts::Brush(COLORREF color) {
    return static_cast<HBRUSH>(KeptObject(kKeptBrush, 0, 0, color));
}

void TMusicFonts::RestorePenAndBrush() {
    SelectObject(OutputDC, PalettePen());
    SelectObject(OutputDC, GetStockObject(NULL_BRUSH));
    // Only here, with the shape drawn and its objects deselected, may they go: a shape takes its pen and its
    // brush one after the other, and letting go while it takes the second would delete the first.
    if (keptObjects_.size() >= kMaxKeptObjects) {
        for (const TKeptObject& k : keptObjects_)
            DeleteObject(k.obj);
        keptObjects_.clear();
    }
}

void TMusicFonts::SetAlign(UINT align) {
    SetTextAlign(OutputDC, align);
}

// Glyph writer.

int TMusicFonts::GetGlyphWidth(int glyph) const {
    return glyph >= 0 && glyph < kMeasuredGlyphCount ? GlyphWidths[glyph] : 0;
}

int TMusicFonts::GetGlyphWidth(int size, int glyph) const {
    int w = GetGlyphWidth(glyph);
    return size == 1 ? w * 2 / 3 : w;
}

int TMusicFonts::GetCueGlyphWidth(bool cue, int glyph) const {
    int w = GetGlyphWidth(glyph);
    return cue ? MulDiv(2, w, 3) : w;
}

int TMusicFonts::GetAccidentalColumnWidth(int size) const {
    return size == 1 ? AccidentalColumnWidth * 2 / 3 : AccidentalColumnWidth;
}

int TMusicFonts::GetStemAttachOffset(int size, int headGlyph, int dir) const {
    int n = 0, d = 1;
    if ((headGlyph == 6 || headGlyph == 7) && dir > 0) {
        n = 2, d = 13;
    } else if (headGlyph == 54) {
        n = 1, d = 2;
    } else if (headGlyph == 57 || headGlyph == 58) {
        n = -dir, d = 2;
    } else if ((headGlyph >= 63 && headGlyph <= 66) || headGlyph == 69 || headGlyph == 70) {
        n = -1, d = 2;
    } else if (headGlyph == 71 || headGlyph == 72) {
        n = dir, d = 4;
    }
    if (size == 1) n *= 2, d *= 3;
    return MulDiv(n, StaffSpace - StemPenWidth, d);
}

int TMusicFonts::DrawGlyph(int size, int glyph, int x, int y) {
    if (glyph < 0 || glyph >= kGlyphCount) return 0;
    BYTE code = kGlyphCodes[glyph];
    int s = size == 1 ? 2 : 1, t = size == 1 ? 3 : 1;
    y += VerticalAdjust(glyph, StaffSpace, s, t);
    int width = GetGlyphWidth(glyph) * s / t;
    if (IsUndrawn(glyph) || !OutputDC) return width;
    SelectObject(OutputDC, size == 1 ? CueMusicFont : MusicFont);
    SetAlign(TA_BASELINE | TA_LEFT);
    if (glyph == 43) x -= width / 4 + 1;
    if (g_useWideText) {
        WCHAR wc = static_cast<WCHAR>(code < 0x20 ? code : 0xF000 + code);
        TextOutW(OutputDC, x, y, &wc, 1);
    } else {
        char c = static_cast<char>(code);
        TextOutA(OutputDC, x, y, &c, 1);
    }
    return width;
}

int TMusicFonts::DrawGlyphAtPos(int size, int glyph, int x, int pos) {
    return DrawGlyph(size, glyph, x, PosToY(pos));
}

int TMusicFonts::DrawGlyphAtPos(int glyph, int x, int pos) {
    return DrawGlyph(0, glyph, x, PosToY(pos));
}

// Text.

namespace {

// The byte and wide forms of the text calls, for the one text writer below.
int Length(const char* text) {
    return static_cast<int>(std::strlen(text));
}
int Length(const WCHAR* text) {
    return lstrlenW(text);
}
void Extent(HDC dc, const char* text, int n, SIZE* size) {
    GetTextExtentPointA(dc, text, n, size);
}
void Extent(HDC dc, const WCHAR* text, int n, SIZE* size) {
    GetTextExtentPoint32W(dc, text, n, size);
}
void Out(HDC dc, int x, int y, const char* text, int n) {
    TextOutA(dc, x, y, text, n);
}
void Out(HDC dc, int x, int y, const WCHAR* text, int n) {
    TextOutW(dc, x, y, text, n);
}

// Size of a text in a font, measured on dc with the font selected for the call only.
template <class Ch>
SIZE MeasureIn(HDC dc, HFONT font, const Ch* text) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE sz{};
    Extent(dc, text, Length(text), &sz);
    SelectObject(dc, old);
    return sz;
}

}  // namespace

template <class Ch>
void TMusicFonts::WriteText(int style, int align, int x, int pos, const Ch* text) {
    if (!text || !*text || !OutputDC) return;
    HFONT font = GetFontForStyle(style);
    if (!font) return;
    int y = PosToY(pos);
    UINT ta = TA_CENTER;
    switch (align) {
        case 0:
            // Centred on the position: the height comes from the reference DC.
            y -= MeasureIn(MeasureDC(), font, text).cy / 2;
            ta = TA_LEFT | TA_TOP;
            break;
        case 1:
            ta = TA_BASELINE;
            break;
        case 2:
            ta = TA_BOTTOM;
            break;
        case 3:
            ta = TA_TOP;
            break;
        default:
            break;
    }
    SelectObject(OutputDC, font);
    SetAlign(ta);
    Out(OutputDC, x, y, text, Length(text));
}

template <class Ch>
int TMusicFonts::TextWidth(int style, const Ch* text) {
    if (!text || !*text) return 0;
    HFONT font = GetFontForStyle(style);
    return font ? MeasureIn(MeasureDC(), font, text).cx : 0;
}

void TMusicFonts::DrawText(int style, int align, int x, int pos, const char* text) {
    WriteText(style, align, x, pos, text);
}
void TMusicFonts::DrawWideText(int style, int align, int x, int pos, const WCHAR* text) {
    WriteText(style, align, x, pos, text);
}
int TMusicFonts::MeasureText(int style, const char* text) {
    return TextWidth(style, text);
}
int TMusicFonts::MeasureWideText(int style, const WCHAR* text) {
    return TextWidth(style, text);
}

void TMusicFonts::DrawBoldText(int x, int pos, const char* text) {
    DrawText(3, 0, x, pos, text);
}
void TMusicFonts::DrawItalicText(int x, int pos, const char* text) {
    DrawText(2, 0, x, pos, text);
}
void TMusicFonts::DrawLyricText(int x, int pos, const char* text) {
    DrawText(4, 0, x, pos, text);
}
int TMusicFonts::MeasureBoldText(const char* text) {
    return MeasureText(3, text);
}
int TMusicFonts::MeasureItalicText(const char* text) {
    return MeasureText(2, text);
}
int TMusicFonts::MeasureLyricText(const char* text) {
    return MeasureText(4, text);
}

int TMusicFonts::MeasureTimeSignature(int style, int beats, int beatValue) {
    if (style == tsCommon || style == tsAllaBreve) return GetGlyphWidth(glCommonTime);
    char a[16], b[16];
    std::snprintf(a, sizeof a, "%d", beats);
    std::snprintf(b, sizeof b, "%d", beatValue);
    return std::max(MeasureText(0, a), MeasureText(0, b));
}

void TMusicFonts::DrawTimeSignature(int style, int beats, int beatValue, int x) {
    if (style == tsCommon) {
        DrawGlyphAtPos(glCommonTime, x, 2);
        return;
    }
    if (style == tsAllaBreve) {
        DrawGlyphAtPos(glAllaBreve, x, 2);
        return;
    }
    if (!OutputDC) return;
    char a[16], b[16];
    std::snprintf(a, sizeof a, "%d", beats);
    std::snprintf(b, sizeof b, "%d", beatValue);
    int wa = MeasureText(0, a), wb = MeasureText(0, b);
    int w = std::max(wa, wb);
    SelectObject(OutputDC, MusicFont);
    SetAlign(TA_BASELINE);
    TextOutA(OutputDC, x + (w - wa) / 2, OriginY, a, static_cast<int>(std::strlen(a)));
    TextOutA(OutputDC, x + (w - wb) / 2, OriginY + 2 * StaffSpace, b, static_cast<int>(std::strlen(b)));
}

namespace {

void TempoTail(char* out, size_t size, const char* text, int base, int tempo) {
    bool dotted = base == 1 || base == 3 || base == 5;
    std::snprintf(out, size, "%s=%d%s", dotted ? "." : " ", tempo, text && *text ? ")" : "");
}

int TempoGlyph(int base) {
    return glTempoEighth + std::clamp(base, 0, 5) / 2;
}

}  // namespace

int TMusicFonts::MeasureTempoMark(const char* text, int base, int tempo) {
    char tail[48];
    TempoTail(tail, sizeof tail, text, base, tempo);
    int w = 0;
    if (text && *text) w += MeasureBoldText(text) + MeasureBoldText(" (");
    return w + MeasureBoldText(tail) + GetGlyphWidth(TempoGlyph(base));
}

void TMusicFonts::DrawTempoMark(const char* text, int base, int tempo, int x, int pos) {
    char tail[48];
    TempoTail(tail, sizeof tail, text, base, tempo);
    if (text && *text) {
        DrawBoldText(x, pos, text);
        x += MeasureBoldText(text);
        DrawBoldText(x, pos, " (");
        x += MeasureBoldText(" (");
    }
    x += DrawGlyphAtPos(TempoGlyph(base), x, pos);
    DrawBoldText(x, pos, tail);
}

namespace {

bool BarNumberText(char* out, size_t size, int style, int number) {
    if (style == 1) {
        std::snprintf(out, size, "%d", number);
        return true;
    }
    if (style == 2 || style == 3) {
        std::snprintf(out, size, " %d ", number);
        return true;
    }
    return false;
}

}  // namespace

int TMusicFonts::MeasureBarNumber(int style, int number) {
    char text[24];
    if (!BarNumberText(text, sizeof text, style, number)) return 0;
    return MeasureText(3, text);
}

void TMusicFonts::DrawBarNumber(int x, int pos, int style, int number) {
    char text[24];
    if (!BarNumberText(text, sizeof text, style, number) || !OutputDC) return;
    SIZE sz = MeasureIn(MeasureDC(), TextFonts[1], static_cast<const char*>(text));
    int w = sz.cx, h = sz.cy, y = PosToY(pos);
    SelectObject(OutputDC, TextFonts[1]);
    SetAlign(TA_LEFT | TA_TOP);
    TextOutA(OutputDC, x - w / 2, y - h / 2, text, static_cast<int>(std::strlen(text)));
    if (style == 1) return;
    SelectObject(OutputDC, Pen(PS_SOLID, LineWidth, Color()));
    SelectObject(OutputDC, GetStockObject(NULL_BRUSH));
    if (style == 3)
        Rectangle(OutputDC, x - w / 2, y - (h / 2 + StaffSpace / 3), x + w / 2, y + h / 2 + StaffSpace / 3);
    else
        Ellipse(OutputDC, x - w / 2, y - w / 2, x + w / 2, y + w / 2);
    RestorePenAndBrush();
}

int TMusicFonts::GetExpressionMarkerWidth() const {
    if (ExpressionArrowLength != 0) return (MulDiv(ExpressionArrowLength, GlyphWidths[7], 40) + 1) * 2;
    return GetGlyphWidth(glExpressionMarker);
}

void TMusicFonts::DrawExpressionMarker(int x, int pos, int justification) {
    if (ExpressionArrowLength == 0) {
        DrawGlyphAtPos(glExpressionMarker, x, pos);
        return;
    }
    if (!OutputDC) return;
    int len = MulDiv(ExpressionArrowLength, GlyphWidths[7], 40) + 1;
    int y = PosToY(pos), h = len / 2 + 1;
    HPEN pen = CreatePen(PS_SOLID, 1, Color());
    HBRUSH brush = CreateSolidBrush(Color());
    SelectObject(OutputDC, pen);
    SelectObject(OutputDC, brush);
    int oldMode = SetPolyFillMode(OutputDC, WINDING);
    auto triangle = [&](int tipX, int baseX) {
        POINT pts[3] = {{tipX, y}, {baseX, y - h}, {baseX, y + h}};
        Polygon(OutputDC, pts, 3);
    };
    int mid = x + len;
    if (justification == 0) {
        MoveToEx(OutputDC, x, y, nullptr);
        LineTo(OutputDC, mid, y);
        triangle(x + 2 * len, mid);
    } else if (justification == 1) {
        triangle(x, mid);
        triangle(x + 2 * len, mid);
    } else {
        triangle(x, mid);
    }
    SetPolyFillMode(OutputDC, oldMode);
    RestorePenAndBrush();
    DeleteObject(pen);
    DeleteObject(brush);
}
