// Sliders: owner-drawn track bars with the scroll bar's interface. A slider keeps a range and a position,
// reports presses, drags and keys to its parent as WM_HSCROLL (horizontal) or WM_VSCROLL (vertical) with
// the scroll-bar codes (position in the high word of wParam, so ranges stay within 0..65535, the slider's
// handle in lParam), and paints its own etched channel, optional tic marks and a thumb taken from a bitmap
// that holds two images side by side (left: normal, right: pressed or disabled; colour 15 is replaced by the
// background). A drag reports SB_BEGINDRAG first, then SB_THUMBTRACK for every move, SB_THUMBPOSITION and
// SB_ENDSCROLL at the release. The slider never moves itself: its owner sets the position it wants shown.
// While it has the focus a grey caret shows inside the thumb.
#pragma once

#include <memory>

#include "platform/framework/controls.h"
#include "platform/framework/dib.h"

class TQSSlider : public TScrollBar {
public:
    // The code of the first notification of a drag, before SB_THUMBTRACK.
    static constexpr int SB_BEGINDRAG = 9;
    // What a press at a point does: a scroll-bar code, or kNoHit.
    static constexpr int kNoHit = -1;

    ~TQSSlider() override;

    // Range and position (the thumb is redrawn when they change it).
    void GetRange(int& min, int& max) const {
        min = Min;
        max = Max;
    }
    int GetRangeSize() const { return Range; }
    virtual void SetRange(int min, int max);
    int GetPosition() const { return Pos; }
    virtual void SetPosition(int pos);
    // Tic marks every ticGap positions (0: one mark), and whether positions snap to them.
    void SetRuler(int ticGap, bool snap);
    int GetTicGap() const { return TicGap; }
    bool GetSnap() const { return Snap; }
    // Whether tic marks are drawn (clicks beside the thumb then page instead of jumping).
    void SetShowTics(bool tics);
    void SetChannelThickness(int thickness);
    // An exact outline of the thumb, in client coordinates at position 0 (the slider takes it).
    void SetThumbRgn(TRegion* region);

    // The position a press or drag at `p` asks for, clamped and snapped.
    int SnapPos(int pos) const;
    virtual int PointToPos(const TPoint& p) const = 0;
    virtual TPoint PosToPoint(int pos) const = 0;
    virtual int HitTest(const TPoint& p) const = 0;
    const TRect& GetThumbRect() const { return ThumbRect; }
    bool IsDragging() const { return Dragging; }

    const char* GetClassName() override { return "TQSSlider"; }
    void SetupWindow() override;
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;

    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvKeyUp(UINT key, UINT repeatCount, UINT flags);
    void EvSetFocus(HWND lost);
    void EvKillFocus(HWND gets);
    void EvCaptureChanged(HWND gets);
    LRESULT EvEraseBkgnd(HDC dc);
    DECLARE_RESPONSE_TABLE(TQSSlider);

protected:
    TQSSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId, TModule* module,
              bool horizontal);
    TQSSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module, bool horizontal);

    virtual void NotifyParent(int code, int pos);
    virtual void MoveThumb(TDC& dc, int pos);
    virtual void PaintChannel(TDC& dc);
    virtual void PaintTics(TDC& dc) = 0;
    virtual void PaintThumb(TDC& dc);

    // The length the thumb's origin travels along the track.
    virtual int TrackLength() const = 0;
    void PlaceCaret();
    void EndDrag(const TPoint& p);
    // The background the parent gives the slider (its control-colour answer), else the button face.
    void TakeBackground(TDC& dc);
    void LoadThumb();
    void SetRangeFields(int min, int max);
    // Fills a rectangle with one colour.
    static void Fill(const TDC& dc, const TRect& r, TColor c);

    int Min = 0, Max = 100, Range = 100, Pos = 0;
    int LastPos = 0;
    int ThumbResId;
    TRect ThumbRect;
    std::unique_ptr<TRegion> ThumbRgn;
    TRect CaretRect;
    int ChannelThickness;
    int TicGap = 10;
    bool Snap = false;
    bool Dragging = false;
    bool HasCaret = false;
    TColor BkColor;
    bool Tics = false;
    bool CreatedByCode;
    bool Horizontal;
    std::unique_ptr<TDib> Thumb;
    // The drag's DC and the grab offset (cursor minus thumb origin at the press).
    std::unique_ptr<TClientDC> DragDC;
    TPoint GrabOffset;
    UINT KeyDown = 0;
};

class TQSHSlider : public TQSSlider {
public:
    // A height of 0 becomes 32.
    TQSHSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId,
               TModule* module = nullptr);
    TQSHSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module = nullptr);
    int PointToPos(const TPoint& p) const override;
    TPoint PosToPoint(int pos) const override;
    int HitTest(const TPoint& p) const override;

protected:
    void PaintTics(TDC& dc) override;
    int TrackLength() const override;
};

class TQSVSlider : public TQSSlider {
public:
    // A width of 0 becomes 32; the thumb is centred across the width.
    TQSVSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId,
               TModule* module = nullptr);
    TQSVSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module = nullptr);
    int PointToPos(const TPoint& p) const override;
    TPoint PosToPoint(int pos) const override;
    int HitTest(const TPoint& p) const override;
    void SetupWindow() override;

protected:
    void PaintTics(TDC& dc) override;
    int TrackLength() const override;
};
