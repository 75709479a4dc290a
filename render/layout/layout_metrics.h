// Text and glyph measuring for the layout. Normally everything is measured with the drawing context's
// fonts; tests and layout dumps inject fixed metrics so that layout numbers do not depend on any font.
#pragma once

class TMusicFonts;

namespace qsm {

struct TFixedMetrics {
    int GlyphWidth = 10;       // every music glyph
    int HeadWidth = 10;        // the note heads glWholeHead, glHalfHead and glFilledHead
    int AccidentalColumn = 8;  // the accidental column width
    int CharWidth = 6;         // every character of every text font, digits of the music font included
};

// Installs fixed metrics (null: measure with the fonts); the structure is copied.
void SetFixedMetrics(const TFixedMetrics* metrics);
const TFixedMetrics* GetFixedMetrics();
// Overwrites the drawing context's measured glyph widths with the fixed ones (nothing without them).
void ApplyFixedMetrics(TMusicFonts& fonts);

// Widths in a font style (0 music font, 1 cue music font, 2-13 text slots).
int LayoutTextWidth(TMusicFonts& fonts, int style, const char* text);
int LayoutBoldWidth(TMusicFonts& fonts, const char* text);
int LayoutItalicWidth(TMusicFonts& fonts, const char* text);
int LayoutLyricWidth(TMusicFonts& fonts, const char* text);
int LayoutTimeSignatureWidth(TMusicFonts& fonts, int style, int beats, int beatValue);
int LayoutTempoMarkWidth(TMusicFonts& fonts, const char* text, int base, int tempo);

// The font style of staff labels: the page text slot.
constexpr int kStaffLabelStyle = 6;

}  // namespace qsm
