// Scroll bar geometry and tracking shared by the window scroll bars and the scroll bar control.
#pragma once

#include "platform/wm/internal.h"

namespace qsm::wm {

enum { kPartArrowUp = 0, kPartPageUp = 1, kPartThumb = 2, kPartPageDown = 3, kPartArrowDown = 4 };

struct ScrollGeometry {
    int length = 0;       // of the whole bar along its direction
    int arrow = 0;        // size of each arrow button
    int thumb_start = 0;  // from the bar's start
    int thumb_size = 0;   // 0: no thumb shown
};

int MaxScrollPos(const ScrollState& s);
ScrollGeometry ComputeScrollGeometry(const ScrollState& s, int length, int thickness);
int ScrollPart(const ScrollGeometry& g, int at);
int ScrollPosFromThumb(const ScrollState& s, const ScrollGeometry& g, int thumb_start);
int ApplyScrollInfo(ScrollState& s, const SCROLLINFO& info);
void ReadScrollInfo(const ScrollState& s, SCROLLINFO* info);
// Follows a press on a scroll bar until release, sending `msg` (WM_HSCROLL or WM_VSCROLL) with `ctl` as
// lParam to `notify`: repeated line or page codes while held, thumb tracking, then SB_ENDSCROLL.
void TrackScrollBar(HWND capture, HWND notify, UINT msg, LPARAM ctl, ScrollState& state, RECT bar_screen,
                    bool vertical, POINT start);

}  // namespace qsm::wm
