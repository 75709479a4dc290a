// The score view window: one continuous system of the visible staves from the view's position, moved
// through by positions in time and bars horizontally and over the staves vertically, zoomed by the staff
// size.
//
// All layout done outside a paint (relayout, preparing the layout, the label width) measures text through
// the drawing context's measuring bracket, so that text widths are the same as in a paint. A drag ends,
// and the mouse capture is released, when the button comes up, when a move arrives without the button
// held, and when the capture is taken away. When the vertical extent falls to 0 the vertical bar is given
// an empty range, so that it never looks scrollable over nothing.
//
// Play marks are drawn outside a paint, over the score, when they move; the view remembers them, so a
// paint draws them again on the score. A mark is never erased by drawing the item again in its own
// colour, which anti-aliased edges would not undo: the rows of the staves whose marks change are painted
// again from the score, and the marks standing in those rows are drawn once on the fresh picture.
// Horizontal scrolling lays the system out again from the new position and draws the whole window: the
// system's drawing depends on where its segment starts and ends (lyric hyphens, ties, hairpins and slurs
// to the segment end), so moved pixels would not match. Vertical scrolling moves the pixels, since
// nothing drawn depends on the vertical offset.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/framework/controls.h"
#include "score/notation_index.h"

class TMusicScore;
class TMusicFonts;
class TMusicFontsData;
class TColorPalette;
class TScoreDrawInfo;
class TStaffDrawInfo;
class TMusicStaff;
class TNotatedItem;

// The focus frame of the view: a rectangle drawn with a not-XOR pen, so that drawing it twice restores.
struct ScoreCaret {
    UINT Hidden = 1;
    HWND Owner = nullptr;
    TRect Rect{0, 0, 10, 10};
    COLORREF Color = 0;
    int Width = 2;
    int Style = PS_SOLID;
    int Rop = R2_NOTXORPEN;
    void Draw(HDC dc) const;
    void Toggle();  // draws in a client DC of the owner
};

// Where a performance stands on one score staff: the item (negative when none), the bar inside a
// multi-measure rest and the repeat pass.
struct TViewPlayPosition {
    int32_t Index = -1;
    int32_t RestBars = 0;
    uint8_t RepeatPass = 0;
    bool operator==(const TViewPlayPosition&) const = default;
};

// What the view asks of a performance, per score staff: the position now, the position before the last
// move, and the ticks played inside the multi-measure rest standing there.
class TPlayPositionSource {
public:
    virtual ~TPlayPositionSource() = default;
    virtual void GetStaffPosition(TViewPlayPosition& out, int staff) const = 0;
    virtual void GetStaffLastPosition(TViewPlayPosition& out, int staff) const = 0;
    virtual DWORD GetStaffRestOffsetTicks(int staff) const = 0;
};

class TStaticScoreView : public TControl {
public:
    TStaticScoreView(TMusicScore* score, TColorPalette* palette, TWindow* parent, int id, const char* title,
                     int x, int y, int w, int h, TModule* module = nullptr);
    TStaticScoreView(TMusicScore* score, TColorPalette* palette, TWindow* parent, int resourceId,
                     TModule* module = nullptr);
    ~TStaticScoreView() override;

    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "QSM2StaticScoreView"; }
    void SetupWindow() override;

    void SetScore(TMusicScore* score);
    void ZoomBy(int delta) { SetStaffSize(GetStaffSize() + delta); }
    void SetStaffSize(int n);
    void ScrollToIndex(int time);
    int GetCurrentIndex() const { return Position.GetTime(); }
    // Marks the playing item of every laid-out staff in the DC (client coordinates).
    void DrawPlayPosition(TDC& dc, const TPlayPositionSource& player);
    // Moves the view to the top staff's play position when it leaves the window, and moves the play marks
    // of the staves whose positions changed.
    void FollowPlayPosition(const TPlayPositionSource& player);
    void EnableCaret(bool on);
    void ShowHorzScrollBar(bool on);
    void ShowVertScrollBar(bool on);
    void SetLayoutOption(bool on);
    void Relayout();
    // Every visible staff whose group name begins with "hidden" (any case) becomes invisible.
    void HideHiddenGroupStaves();
    // The staves of the group become visible (nothing for an empty name).
    void ShowStaffGroup(const char* name);
    TMusicStaff* GetLaidOutStaff(int i) const;
    // The item at that index of laid-out staff i; null for a staff or index out of range.
    TNotatedItem* GetItemOfStaff(int i, int itemIndex) const;
    // The item at that index of the system's top staff.
    virtual TNotatedItem* GetTopStaffItem(int itemIndex) { return GetItemOfStaff(0, itemIndex); }
    TRect GetStaffExtent(int i) const;
    int StepToY(int i, int step) const;
    int YToStep(int i, int y) const;
    // The staff's y lies more than two staff sizes inside the client height.
    bool IsStaffRowVisible(int i) const;

    int GetStaffSize() const { return StaffSize; }
    int GetHalfStaffSize() const { return StaffSize / 2; }
    TStaffDrawInfo* GetLaidOutDrawInfo(int i) const;
    int GetTopStaffItemCount() const;
    int GetVertExtent() const;
    const TRelNtnIdx& GetPosition() const { return Position; }
    int GetXOrigin() const { return XOrigin; }
    int GetYOffset() const { return YOffset; }
    int GetLabelWidth() const { return LabelWidth; }
    bool IsDragging() const { return Dragging; }
    TScoreDrawInfo* GetDrawInfo() const { return DrawInfo.get(); }
    TMusicFonts* GetFonts() const { return Fonts.get(); }

    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvSize(UINT sizeType, const TSize& size);
    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvVScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvSetFocus(HWND lost);
    void EvKillFocus(HWND gets);
    bool EvMouseWheel(UINT modKeys, int zDelta, const TPoint& p);
    LRESULT EvGetDlgCode(const MSG* msg);
    void EvCaptureChanged(HWND gets);
    DECLARE_RESPONSE_TABLE(TStaticScoreView);

    void VScrollBy(int d);

private:
    void Build();
    void Refresh();
    void PrepareLayout();
    void UpdateHorzBar();
    void UpdateVertBar();
    void DragTo(const TPoint& p);
    void EndDrag();
    int PositionX() const;
    void PaintScore(TDC& dc);
    // The mark shown on a score staff, made room for (null for a negative staff).
    TViewPlayPosition* ShownMark(int scoreStaff);
    void DrawShownMarks(TDC& dc);

    TMusicScore* Score;
    std::unique_ptr<TMusicFontsData> OwnFontData;
    std::unique_ptr<TMusicFonts> Fonts;
    TColorPalette* Palette;
    TRelNtnIdx Position;
    ScoreCaret Caret;
    bool CaretEnabled = false;
    bool HorzBarShown = true;
    bool VertBarShown = true;
    bool LayoutOption = false;
    std::unique_ptr<TScoreDrawInfo> DrawInfo;
    int XOrigin = 0;
    int YOffset = 0;
    int Width = 100, Height = 100;
    int LabelWidth = 0;
    int TopMargin = 0;
    int BottomMargin = 0;
    int StaffSize = 8;
    // The play marks shown, by score staff (index -1: none); paints draw them on the score.
    std::vector<TViewPlayPosition> ShownMarks;
    bool Dragging = false;
    TPoint DragAnchor{-29999, -29999};
};
