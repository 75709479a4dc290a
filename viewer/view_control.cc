#include "viewer/view_control.h"

#include "midi/view_play_source.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/app.h"

TQSMViewerControl::TQSMViewerControl(TMusicScore* score, TColorPalette* palette, TWindow* parent, int id,
                                     const char* title)
    : TWindow(parent, title), TStaticScoreView(score, palette, parent, id, title, 0, 0, 100, 100) {}

TQSMViewerControl::~TQSMViewerControl() = default;

void TQSMViewerControl::Paint(TDC& dc, bool erase, TRect& rect) {
    TStaticScoreView::Paint(dc, erase, rect);
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->IsPerformanceActive())
        DrawPlayPosition(dc, TScoreMidiPlayerPositions(app->GetScorePlayer()));
}

void TQSMViewerControl::SyncPlayFromView(const TRelNtnIdx& previous, bool refresh) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    const TRelNtnIdx& now = GetPosition();
    if (!app || now.GetPackedPosition() == previous.GetPackedPosition() || app->IsPerformanceActive()) return;
    TMusicStaff* staff = now.GetStaff();
    if (staff == nullptr) return;
    TStaffPlayState state;
    staff->BuildPlayStateAt(now.GetIndex(), state);
    DWORD tick = static_cast<DWORD>(now.GetBarInMultiRest()) * state.GetBarTicks() + state.GetTick();
    app->GetTimeIndex().SeekTick(tick);
    app->SetSliderFromMs(app->GetTimeIndex().GetMs());
    if (refresh) app->ShowPositionTexts();
}

void TQSMViewerControl::ShowPositionAt(DWORD tick) {
    TMusicStaff* top = GetLaidOutStaff(0);
    if (top == nullptr) return;
    TRelNtnIdx walk = GetPosition();
    if (walk.GetStaff() != top) walk = TRelNtnIdx(top);
    walk.SeekTime(static_cast<int>(tick), true);
    ScrollToIndex(walk.GetTime());
}

bool TQSMViewerControl::MovePausedPosition(UINT key) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMFBTimeIndex& index = app->GetTimeIndex();
    switch (key) {
        case VK_END: {
            int count = app->GetSongBuffer().GetEventCount();
            index.SetPos(count > 0 ? count - 1 : 0);
            break;
        }
        case VK_HOME:
            index.Reset();
            break;
        case VK_LEFT:
            if (index.GetIndex() > 0) index.SetPos(index.GetIndex() - 1);
            break;
        case VK_RIGHT:
            index.Next();
            break;
        default:
            return false;
    }
    app->SetSliderFromMs(index.GetMs());
    app->SetPlayStartTick(app->GetCurrentTick());
    app->SetMovedWhilePaused(true);
    return true;
}

void TQSMViewerControl::EvKeyDown(UINT key, UINT repeatCount, UINT flags) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->IsPerformanceActive() && app->GetMidiManager().IsPaused() && MovePausedPosition(key))
        return;
    TRelNtnIdx previous = GetPosition();
    TStaticScoreView::EvKeyDown(key, repeatCount, flags);
    SyncPlayFromView(previous, false);
}

void TQSMViewerControl::EvHScroll(UINT code, UINT thumbPos, HWND ctl) {
    TRelNtnIdx previous = GetPosition();
    TStaticScoreView::EvHScroll(code, thumbPos, ctl);
    SyncPlayFromView(previous, code == SB_THUMBTRACK);
}

void TQSMViewerControl::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (!(modKeys & MK_LBUTTON)) {
        TStaticScoreView::EvMouseMove(modKeys, p);
        return;
    }
    TRelNtnIdx previous = GetPosition();
    TStaticScoreView::EvMouseMove(modKeys, p);
    SyncPlayFromView(previous, false);
}

LRESULT TQSMViewerControl::EvGesture(WPARAM wp, LPARAM lp) {
    // The notation view has no gesture handling of its own: the system's default, then the play position.
    TRelNtnIdx previous = GetPosition();
    LRESULT result = DefWindowProcA(GetHandle(), WM_GESTURE, wp, lp);
    SyncPlayFromView(previous, false);
    return result;
}

DEFINE_RESPONSE_TABLE1(TQSMViewerControl, TStaticScoreView)
EV_WM_KEYDOWN, EV_WM_HSCROLL, EV_WM_MOUSEMOVE, EV_MESSAGE(WM_GESTURE, EvGesture), END_RESPONSE_TABLE;
