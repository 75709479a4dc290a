// The viewer's score view: the notation view coupled to the performance. While nothing plays, every move of
// the view (keys, scroll bar, mouse drag, gestures) also moves the play position and the slider; while a
// song is paused, Home, End, Left and Right move the paused position by events instead; while a song
// plays, the view marks the playing items.
#pragma once

#include "render/view/score_view.h"

class TQSMViewerControl : public TStaticScoreView {
public:
    TQSMViewerControl(TMusicScore* score, TColorPalette* palette, TWindow* parent, int id, const char* title);
    ~TQSMViewerControl() override;

    void Paint(TDC& dc, bool erase, TRect& rect) override;

    // When the view's position differs from the previous one and nothing plays: the play position (time
    // index and slider) moves to the view's item; the status texts follow at once with refresh.
    void SyncPlayFromView(const TRelNtnIdx& previous, bool refresh);
    // Scrolls the view to the item of the top staff at the tick.
    void ShowPositionAt(DWORD tick);

    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    LRESULT EvGesture(WPARAM wp, LPARAM lp);
    DECLARE_RESPONSE_TABLE(TQSMViewerControl);

private:
    // Home, End, Left and Right while the song is paused; false for other keys.
    bool MovePausedPosition(UINT key);

    int32_t Reserved1 = 0;
    int32_t Reserved2 = 0;
};
