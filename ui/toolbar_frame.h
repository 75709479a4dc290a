// The small tool window that holds a floating toolbar. It never takes activation; its caption drags the
// toolbar (so it can be docked again), its edges step through the toolbar's float shapes, a double click on
// the caption docks the toolbar and closing it hides the toolbar.
#pragma once

#include "platform/framework/frame.h"
#include "ui/toolbar.h"

namespace qsm {

// One step of sizing a floating toolbar by an edge (HTLEFT, HTRIGHT, HTTOP, HTBOTTOM): the shape index n
// moves by at most one as the pointer p goes past the sizing rectangle r (screen) or back into the frame's
// rectangle f; r then takes the new shape's size, keeping the corner away from the edge. dx and dy are the
// sizing-border widths less 2.
int StepFloatShape(const TToolbar& toolbar, int hit, int n, const TPoint& p, TRect& r, const TRect& f, int dx,
                   int dy);

}  // namespace qsm

class TToolbarFrame : public TFrameWindow {
public:
    TToolbarFrame(TWindow* parent, const char* title, TToolbar* toolbar, const TPoint& position,
                  TModule* module = nullptr);
    ~TToolbarFrame() override;

    // Sizes the frame to the toolbar's float shape and places the toolbar in it.
    void Fit();
    // Gives the toolbar back to the parent it had before it floated.
    void ReleaseToolbar();
    TToolbar* GetToolbar() const { return Toolbar; }
    int GetTrackingHit() const { return DownHit; }

    void SetupWindow() override;
    bool IdleAction(LONG idleCount) override;
    bool PreProcessMsg(MSG& msg) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "TToolbarFrame"; }

    LRESULT EvMouseActivate(WPARAM wp, LPARAM lp);
    void EvClose();
    LRESULT EvForward(WPARAM wp, LPARAM lp);
    void EvGetMinMaxInfo(MINMAXINFO& info);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    LRESULT EvNCRButtonDown(WPARAM wp, LPARAM lp);
    LRESULT EvNCHitTest(const TPoint& p);
    LRESULT EvNCActivate(WPARAM wp, LPARAM lp);
    LRESULT EvNCLButtonDown(WPARAM wp, LPARAM lp);
    LRESULT EvNCLButtonDblClk(WPARAM wp, LPARAM lp);
    void EvSize(UINT sizeType, const TSize& size);
    DECLARE_RESPONSE_TABLE(TToolbarFrame);

    TToolbar* Toolbar;
    TWindow* FormerParent = nullptr;
    int Look3d = 0;
    int Active = 1;
    TRect SizeRect;

private:
    int BorderG;
    // 0, or the edge being dragged (HTLEFT, HTRIGHT, HTTOP, HTBOTTOM).
    int DownHit = 0;
};
