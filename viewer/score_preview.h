// The page view of the print preview: one printed page of the score at one of up to eight zoom levels, with
// scroll bars when the page is larger than the window, and page turning by keys, clicks beside the page and
// the mouse wheel. Pages are laid out by the print data, forward one by one, backward again from page 1.
#pragma once

#include "platform/framework/controls.h"

class TQSMPrintData;

class TScorePreviewControl : public TControl {
public:
    static constexpr int kMaxZoomLevels = 8;

    TScorePreviewControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
                         TQSMPrintData* printData, TModule* module = nullptr);
    TScorePreviewControl(TWindow* parent, int resourceId, TQSMPrintData* printData,
                         TModule* module = nullptr);

    const char* GetClassName() override { return "QSMScorePreviewCtl2"; }
    void GetWindowClass(WNDCLASSA& wc) override;
    void SetupWindow() override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;

    // The frame refreshed when the page or zoom changes, and the window the long walks show progress over.
    void SetFrame(TWindow* frame) { Frame = frame; }
    void SetStartIndex(int index) { StartIndex = index; }

    // Pages.
    void GotoStart();
    void NextPage();
    void PreviousPage();
    void GotoLastPage();
    // The navigation index of the end of the score: the length in ticks of the top staff.
    int LastPageIndex() const;
    void GotoPage(int p);
    void GotoIndex(int index);
    void GotoDisplayedPage(int n);
    int GetDisplayedPage() const;
    int GetPageIndex() const { return PageIndex; }
    bool HasMorePages() const { return MorePages; }

    // Zoom.
    void SetZoom(int level);
    void ZoomAround(int level);
    void ZoomIn() { ZoomAround(ZoomLevel + 1); }
    void ZoomOut() { ZoomAround(ZoomLevel - 1); }
    int GetZoomLevel() const { return ZoomLevel; }
    int GetZoomCount() const { return ZoomCount; }
    int GetZoomWidth(int level) const { return ZoomWidth[level]; }
    // Recomputes the zoom levels for the current client size (on every resize).
    void ComputeZoomLevels();
    // The level widths for a device page physWidth wide whose fitted width is fitWidth in a client
    // clientWidth wide: exact fractions of the device width, the first the fitted one. Answers the count.
    static int ZoomWidthsFor(int physWidth, int fitWidth, int clientWidth, int* widths);

    // The printable-area outline and the printer-margin marks of the layout.
    void TogglePrintableArea();
    bool IsPrintableAreaShown() const;
    void ToggleShowPrinterMargin();
    bool IsPrinterMarginShown() const;

    SIZE GetPageSize() const { return PageSize; }
    POINT GetOrigin() const { return Origin; }
    POINT GetScrollOffset() const { return Scroll; }
    SIZE GetScrollMax() const { return ScrollMax; }
    bool IsBusy() const { return Busy != 0; }

    // -1 left of the page (or above/below its left half), +1 right, 0 on the page.
    int HitTest(POINT client) const;

    void EvSize(UINT sizeType, const TSize& size);
    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvChar(UINT key, UINT repeatCount, UINT flags);
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvVScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvRButtonDown(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    bool EvMouseWheel(UINT modKeys, int zDelta, const TPoint& p);
    bool EvSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg);
    LRESULT EvGetDlgCode(const MSG* msg);
    LRESULT EvQsInit(WPARAM, LPARAM);
    DECLARE_RESPONSE_TABLE(TScorePreviewControl);

private:
    void Init(TQSMPrintData* data);
    TSize ClientSize() const;
    void ScrollTo(int bar, int pos);
    void ScrollBy(int bar, int delta) { ScrollTo(bar, ScrollPos(bar) + delta); }
    int ScrollPos(int bar) const;
    void ScrollLine(int bar, UINT code, UINT thumbPos);
    void EndDrag();
    void Refresh();
    // Keeps the page point under the client point while the zoom changes.
    void ZoomKeeping(int level, POINT from, POINT to);
    POINT ClientToPage(POINT client) const;
    // Walks from page 1 until stop says so or the pages end; with a progress window when long.
    template <class Stop>
    void Walk(bool longWalk, Stop stop);

    TWindow* Frame = nullptr;
    TQSMPrintData* PrintData = nullptr;
    int StartIndex = 0;
    int ZoomWidth[kMaxZoomLevels] = {};
    int ZoomCount = 1;
    int ZoomLevel = -1;
    int PageIndex = 1;
    bool MorePages = false;
    SIZE PageSize = {0, 0};
    SIZE ViewSize = {0, 0};
    POINT Origin = {0, 0};
    SIZE ScrollMax = {0, 0};
    POINT Scroll = {0, 0};
    SIZE Fit = {1, 1};
    int Busy = 1;
    POINT DragAnchor = {-29999, -29999};
};
