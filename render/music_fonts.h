// The score drawing context: the music font in two sizes, the twelve text fonts, the measured symbol widths
// and derived line widths for one staff space and one device, the DCs drawing goes to, and every glyph, text
// and shape operation that notation is drawn with.
#pragma once

#include <vector>

#include "platform/gdi/gdi.h"
#include "score/glyph_codes.h"

class TMusicFontsData;
class TColorPalette;

// Process-wide drawing options.
bool GetUseWideTextForSymbols();
void SetUseWideTextForSymbols(bool on);
bool GetDrawThickLinesAsRectangles();
void SetDrawThickLinesAsRectangles(bool on);
// Thousandths of a millimetre; 0 derives the staff-line thickness from the staff space.
int GetStaffLineThickness();
void SetStaffLineThickness(int thousandthsMm);

// The music font character code of a glyph index (0 outside 0-84).
BYTE GetGlyphCode(int glyph);

class TMusicFonts {
public:
    // Screen form: fonts for a staff space in pixels, measured on a screen DC.
    TMusicFonts(int staffSpace, TMusicFontsData* fontData, TColorPalette* palette);
    // Device form: fonts for the device's natural staff space, measured on the device.
    TMusicFonts(HDC device, TMusicFontsData* fontData, TColorPalette* palette);
    ~TMusicFonts();
    TMusicFonts(const TMusicFonts&) = delete;
    TMusicFonts& operator=(const TMusicFonts&) = delete;

    void SetStaffSpace(int staffSpace);
    void ResetForDevice(HDC device);
    HFONT GetFont(int slot) const;
    HFONT GetFontForStyle(int style) const;

    void AttachDC(HDC output, HDC reference);
    void DetachDC();
    void SelectColor(int index);
    // Names what the following calls draw, as a comment among them: "item <staff> <item index>" and the
    // like. Recording DCs keep it, so that a test can tell which item drew each mark; other DCs ignore it.
    void Tag(const char* what, int staff, int index = -1, int extra = -1);
    void BeginMeasuring();
    void EndMeasuring();

    // face null: the default music face.
    static bool IsFontInstalled(const char* face);

    // Glyph writer.
    int DrawGlyph(int size, int glyph, int x, int y);
    int DrawGlyphAtPos(int size, int glyph, int x, int pos);
    int DrawGlyphAtPos(int glyph, int x, int pos);
    int GetGlyphWidth(int glyph) const;
    int GetGlyphWidth(int size, int glyph) const;
    int GetCueGlyphWidth(bool cue, int glyph) const;
    int GetAccidentalColumnWidth(int size) const;
    int GetStemAttachOffset(int size, int headGlyph, int dir) const;

    // Text in the font styles 0-13 (0 music font, 1 cue music font, 2-13 text slots 0-11).
    void DrawText(int style, int align, int x, int pos, const char* text);
    void DrawWideText(int style, int align, int x, int pos, const WCHAR* text);
    int MeasureText(int style, const char* text);
    int MeasureWideText(int style, const WCHAR* text);
    void DrawBoldText(int x, int pos, const char* text);
    void DrawItalicText(int x, int pos, const char* text);
    void DrawLyricText(int x, int pos, const char* text);
    int MeasureBoldText(const char* text);
    int MeasureItalicText(const char* text);
    int MeasureLyricText(const char* text);

    int MeasureTimeSignature(int style, int beats, int beatValue);
    void DrawTimeSignature(int style, int beats, int beatValue, int x);
    int MeasureTempoMark(const char* text, int base, int tempo);
    void DrawTempoMark(const char* text, int base, int tempo, int x, int pos);
    int MeasureBarNumber(int style, int number);
    void DrawBarNumber(int x, int pos, int style, int number);
    int GetExpressionMarkerWidth() const;
    void DrawExpressionMarker(int x, int pos, int justification);
    void SetExpressionArrowLength(int length) { ExpressionArrowLength = length; }

    // Lines and shapes.
    void DrawLine(int x1, int y1, int x2, int y2);
    void DrawThinLine(int x1, int y1, int x2, int y2);
    void DrawThickVertical(int width, int x, int y1, int y2);
    void DrawDashedVertical(int width, int x, int y1, int y2, int period);
    void DrawDottedArrow(int paletteIndex, int pos, int x1, int x2);
    void DrawArrow(int paletteIndex, int x, int pos1, int pos2);
    void DrawStaffLines(int x1, int x2, int lines, bool ends);
    void DrawLedgerLines(int x, int pos, int toPos, int length);
    int GetStemEnd(int dir, int pos, int size, int flags, int length) const;
    void DrawStemUp(int x, int pos, int size, int headGlyph, int span, int flags, int length);
    void DrawStemDown(int x, int pos, int size, int headGlyph, int span, int flags, int length);
    void DrawStemLine(int x, int y1, int y2, int dir);
    void DrawBeams(int x1, int y1, int x2, int y2, int dir, bool cue, int count);
    void DrawTripletMark(int hook, int size, int x1, int y1, int x2, int y2, bool bracket);
    void DrawSlur(POINT start, POINT control, POINT end, bool below, bool cue);
    void DrawTieArc(int pos, bool below, int x1, int x2);
    void DrawHairpin(int kind, int x1, int x2, int pos, bool narrowGap);
    int GetBarLineWidth(int style) const;
    void DrawBarLine(int x, int style, int top, int bottom);
    int GetRepeatDotsSpace() const;
    void DrawBarStroke(int x, int y1, int y2);
    void DrawMultiMeasureRestBar(int x1, int x2, const char* text, int pos, bool centred);
    int GetBraceWidth() const;
    void DrawBrace(int x, int yTop, int yBottom, bool shifted);
    int GetBracketWidth() const;
    void DrawBracket(int x, int yTop, int yBottom);
    void DrawSystemSeparator(int x, int y);
    void DrawRuler(int paletteIndex, int pos, int x, int width, bool triangle);

    // Device y of a staff position on the staff being drawn.
    int PosToY(int pos) const { return pos * StaffSpace / 2 + OriginY; }

    // State read and written directly by the layout and drawing code.
    TMusicFontsData* FontData;
    TColorPalette* Palette;
    int StaffSpace;
    int LyricHeight;
    int StemWidth;
    int LineWidth;
    int StemPenWidth;
    int AccidentalColumnWidth;
    int GlyphWidths[kMeasuredGlyphCount];
    HFONT MusicFont;
    HFONT CueMusicFont;
    HFONT TextFonts[12];
    int Attached;
    int RefCount;
    HDC ReferenceDC;
    HDC OutputDC;
    int OriginY;
    int CurrentColor;
    int ExpressionArrowLength;

private:
    void Init(TMusicFontsData* fontData, TColorPalette* palette);
    void CreateFonts(HDC dc, int staffSpace);
    void FreeFonts();
    int StaffSize() const;
    HDC MeasureDC();
    COLORREF Color() const;
    COLORREF ColorOf(int paletteIndex) const;
    HPEN PalettePen() const;
    // Pens and brushes shapes are drawn with, made on first use and kept until the context goes: a line
    // or shape selects one and RestorePenAndBrush deselects it again.
    HPEN Pen(int style, int width, COLORREF color);
    HPEN FlatPen(int width, COLORREF color);  // geometric, flat ends and mitred joins
    HBRUSH Brush(COLORREF color);
    HGDIOBJ KeptObject(int kind, int style, int width, COLORREF color);
    void RestorePenAndBrush();
    void SetAlign(UINT align);
    void FillPath(const POINT* pts, int count, int penWidth);
    template <class Ch>
    void WriteText(int style, int align, int x, int pos, const Ch* text);
    template <class Ch>
    int TextWidth(int style, const Ch* text);
    int ThinBar() const;
    int ThickBar() const;
    int BarGap() const;

    // Objects the output and reference DCs held before AttachDC.
    HGDIOBJ savedFont_ = nullptr, savedPen_ = nullptr, savedBrush_ = nullptr;
    HGDIOBJ savedRefFont_ = nullptr;
    // Measuring outside a paint: its own count and screen DC, kept apart from the attach state.
    int measureCount_ = 0;
    HDC measureDC_ = nullptr;
    HDC scratchDC_ = nullptr;   // measures when nothing is attached or measuring
    bool savedSmooth_ = false;  // the output DC's smoothing before it was attached
    struct TKeptObject {
        int kind, style, width;
        COLORREF color;
        HGDIOBJ obj;
    };
    std::vector<TKeptObject> keptObjects_;
};
