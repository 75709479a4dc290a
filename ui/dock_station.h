// A dock station: a thin child window along one edge of the frame that holds the toolbars docked on that
// side in rows. It grows and shrinks with its rows; the frame places it as a decoration of its side.
#pragma once

#include <cstdint>

#include "platform/framework/frame.h"

class TToolbar;

class TDockStation : public TWindow {
public:
    TDockStation(TDecoratedFrame* frame, uint16_t placement);
    ~TDockStation() override;

    void InsertToolbar(TToolbar* toolbar);
    // Docks the toolbar with its top-left corner at the screen point.
    void HitDockPosition(TToolbar* toolbar, int x, int y);
    void RemoveToolbar(TToolbar* toolbar, bool relayout);
    void LayoutToolbars();
    TToolbar* FirstToolbar() const { return Head; }
    uint16_t GetPlacement() const { return Placement; }
    bool IsHorizontal() const { return Horizontal != 0; }
    // The client rectangle inside a window rectangle (both in the same coordinates).
    TRect InsetRect(const TRect& windowRect) const;

    bool Create() override;
    void SetupWindow() override;
    bool IdleAction(LONG idleCount) override;
    bool PreProcessMsg(MSG& msg) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "TDockStation"; }

    LRESULT EvNCCalcSize(WPARAM wp, LPARAM lp);
    LRESULT EvNCPaint(WPARAM wp, LPARAM lp);
    void EvRButtonDown(UINT modKeys, const TPoint& p);
    void EvSysColorChange();
    DECLARE_RESPONSE_TABLE(TDockStation);

    uint16_t Placement;
    int Horizontal;

private:
    TDecoratedFrame* Frame;
    TToolbar* Head = nullptr;
};
