// Printed pages of a score: the page geometry of one output device, a drawing context for it and one
// system layout. The staves are broken into systems and the systems into pages; any page can be drawn on
// the device it was measured on, on a screen DC that maps the page onto itself (the preview) or into a
// metafile.
//
// Pages are visited in order: ResetPages (or construction) starts at the beginning of the score, DrawPage
// lays out (and optionally draws) the page from the current start, StartNextPage moves on to the page
// after it.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"

class TDC;
class TMusicScore;
class TMusicFonts;
class TMusicFontsData;
class TColorPalette;

class TQSMNTNPrintData {
public:
    static constexpr int kMaxStaves = 64;

    // Takes ownership of referenceDC (the printer DC pages are measured on).
    TQSMNTNPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection,
                     TColorPalette* palette);
    virtual ~TQSMNTNPrintData();
    TQSMNTNPrintData(const TQSMNTNPrintData&) = delete;
    TQSMNTNPrintData& operator=(const TQSMNTNPrintData&) = delete;

    void PrepareDevice();
    void ReleaseLayout();
    bool ComputePageArea();

    int GetPageLeft(int pageIndex) const;
    int GetPageTop() const;
    void ResetPages();
    void StartNextPage();
    // Lays out page pageIndex from the current page start and, with draw, draws it on dc (dc may be null
    // without draw). Answers whether more pages follow.
    bool DrawPage(TDC* dc, int pageIndex, bool draw);
    int CountPages();
    int GetFooterLineCount() const;
    void DrawTitleBlock(TDC* dc);
    bool IsTitleTooWide() const;
    // Draws page pageIndex (from the current page start) as the page alone: no page number or printer-margin
    // marks, a quarter-inch border round the usable area. The image, at the screen's resolution, is written
    // to fileName as a PNG file, or with an empty or null name put on the clipboard (CF_DIB). 1 when done.
    int CopyPageToClipboard(int pageIndex, const char* fileName);

    // Preview geometry.
    SIZE FitPageInto(int maxWidth, int height) const;
    POINT PageToScreen(SIZE pageSize, POINT origin, POINT point) const;
    POINT ScreenToPage(SIZE pageSize, POINT origin, POINT point) const;
    static void FillRect(TDC* dc, int left, int top, int right, int bottom);
    static void FillFrame(TDC* dc, const RECT& outer, const RECT& inner);
    bool DrawPreviewPage(TDC* dc, SIZE pageSize, POINT origin, SIZE viewSize, POINT scroll, int pageIndex);

    // Whether the layout holds any staff at all (a score with none has nothing to print).
    bool HasStaves() const;

    TMusicScore* GetScore() const { return score; }
    TDC* GetReferenceDC() const { return referenceDC; }
    TScoreDrawInfo* GetDrawInfo() const { return drawInfo; }
    TMusicFonts* GetFonts() const { return fonts; }
    int GetPageNumberBase() const { return pageNumberBase; }
    int GetPageEndIndex() const { return pageEndIndex; }
    int GetPhysWidth() const { return physWidth; }
    int GetPhysHeight() const { return physHeight; }
    int GetUsableWidth() const { return usableWidth; }
    int GetUsableHeight() const { return usableHeight; }
    int GetUsableLeft() const { return usableLeft; }
    int GetUsableTop() const { return usableTop; }
    // The number of systems the last DrawPage put on its page (for tests and the preview's agreement).
    int GetLastSystemCount() const { return lastSystemCount; }

    int firstPage = 1;
    int lastPage = 1;
    // The preview's printable-area outline (shared with the preview's menu command).
    bool showPrintableArea = false;

private:
    void GetMarginFloats(float& top, float& left, float& right, float& bottom) const;
    int PrintedNumber(int pageIndex) const { return pageNumberBase + pageIndex - 1; }
    bool IsMirroredPage(int pageIndex) const;
    int PointsToPixels(HFONT font) const;
    int FormatSystem(const TStaffStartPosition* starts, int labelWidth);
    // What the separator mark between two systems needs to know of the system above.
    struct TSystemSeparatorState {
        int previousBottom = 0;
        bool previousNeedsLine = false;
    };
    void DrawLaidOutSystem(HDC out, HDC ref, int p, int k, int labelWidth, int systemTop,
                           TSystemSeparatorState& separator);

    TMusicScore* score;
    TColorPalette* palette;
    TMusicFontsData* fontSettings;
    TMusicScore* staffSelection;
    TDC* referenceDC;
    bool metafileMode = false;
    TMusicFonts* fonts = nullptr;
    HFONT titleFont = nullptr, authorFont = nullptr, copyrightFont = nullptr;
    TScoreDrawInfo* drawInfo = nullptr;
    TStaffStartPosition pageStart[kMaxStaves] = {};
    TStaffStartPosition nextPageStart[kMaxStaves] = {};
    int pageNumberBase = 0;
    int physWidth = 0, physHeight = 0;
    int horzRes = 0, vertRes = 0;
    int physOffsetX = 0, physOffsetY = 0;
    int dpiX = 0, dpiY = 0;
    int aspectNum = 1, aspectDen = 1;
    int usableWidth = 0, usableHeight = 0;
    int usableLeft = 0, usableTop = 0;
    int pageEndIndex = 0;
    int lastSystemCount = 0;
    // The systems of the page being drawn, as fitting left them (kept from page to page for their storage).
    std::vector<TScoreDrawInfo::TSystemLayout> keptSystems;
    // The system a page's fitting laid out past the page's end: the next page begins with it, from the same
    // starts and beside the same label width, and takes it as it is instead of laying it out again. Only
    // the next system laid out may take it.
    struct TAheadSystem {
        bool valid = false;
        int labelWidth = 0;
        TStaffStartPosition starts[kMaxStaves] = {};
        TScoreDrawInfo::TSystemLayout layout;
    };
    TAheadSystem ahead;
};

// The print data the viewer makes: on the application's palette, and clears the print job's cancel flag.
class TQSMPrintData : public TQSMNTNPrintData {
public:
    TQSMPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection);
    TQSMPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection, TColorPalette* palette);
};
