// Measuring with the fonts or with injected fixed metrics.
#include "render/layout/layout_metrics.h"

#include <cstring>
#include <optional>

#include "render/music_fonts.h"
#include "score/structure_items.h"

namespace qsm {
namespace {
std::optional<TFixedMetrics> gFixed;

int FixedText(const char* text) {
    return text ? static_cast<int>(std::strlen(text)) * gFixed->CharWidth : 0;
}
}  // namespace

void SetFixedMetrics(const TFixedMetrics* metrics) {
    if (metrics)
        gFixed = *metrics;
    else
        gFixed.reset();
}

const TFixedMetrics* GetFixedMetrics() {
    return gFixed ? &*gFixed : nullptr;
}

void ApplyFixedMetrics(TMusicFonts& fonts) {
    if (!gFixed) return;
    for (int g = 0; g < kMeasuredGlyphCount; ++g)
        fonts.GlyphWidths[g] = gFixed->GlyphWidth;
    fonts.GlyphWidths[glWholeHead] = fonts.GlyphWidths[glHalfHead] = fonts.GlyphWidths[glFilledHead] =
        gFixed->HeadWidth;
    fonts.AccidentalColumnWidth = gFixed->AccidentalColumn;
}

int LayoutTextWidth(TMusicFonts& fonts, int style, const char* text) {
    if (gFixed) return FixedText(text);
    return fonts.MeasureText(style, text);
}

int LayoutBoldWidth(TMusicFonts& fonts, const char* text) {
    return LayoutTextWidth(fonts, 3, text);
}

int LayoutItalicWidth(TMusicFonts& fonts, const char* text) {
    return LayoutTextWidth(fonts, 2, text);
}

int LayoutLyricWidth(TMusicFonts& fonts, const char* text) {
    return LayoutTextWidth(fonts, 4, text);
}

int LayoutTimeSignatureWidth(TMusicFonts& fonts, int style, int beats, int beatValue) {
    if (!gFixed) return fonts.MeasureTimeSignature(style, beats, beatValue);
    if (style == tsCommon || style == tsAllaBreve) return fonts.GetGlyphWidth(glCommonTime);
    int a = 1, b = 1;
    for (int v = beats < 0 ? -beats : beats; v >= 10; v /= 10)
        ++a;
    for (int v = beatValue < 0 ? -beatValue : beatValue; v >= 10; v /= 10)
        ++b;
    return (a > b ? a : b) * gFixed->CharWidth;
}

int LayoutTempoMarkWidth(TMusicFonts& fonts, const char* text, int base, int tempo) {
    if (!gFixed) return fonts.MeasureTempoMark(text, base, tempo);
    // The text, the note glyph and "=n" with its brackets: a fixed count of characters.
    int n = 0;
    for (int v = tempo < 0 ? -tempo : tempo; v > 0; v /= 10)
        ++n;
    return FixedText(text) + fonts.GetGlyphWidth(glFilledHead) + (n + 3) * gFixed->CharWidth;
}

}  // namespace qsm
