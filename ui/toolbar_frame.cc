// The floating toolbar's tool window.
#include "ui/toolbar_frame.h"

#include "core/sys_info.h"
#include "ui/dock_station.h"

namespace qsm {

int StepFloatShape(const TToolbar& toolbar, int hit, int n, const TPoint& p, TRect& r, const TRect& f, int dx,
                   int dy) {
    auto W = [&](int k) { return toolbar.GetShapeSize(k).cx; };
    auto H = [&](int k) { return toolbar.GetShapeSize(k).cy; };
    int m = n;
    switch (hit) {
        case HTLEFT:
            if (p.x < f.left) {
                if (p.x < r.left)
                    m = n - 1;
                else if (p.x >= r.right - W(n + 1))
                    m = n + 1;
            } else if (p.x >= f.left + dx) {
                if (p.x < r.left) {
                    if (p.x < r.right - W(n - 1)) m = n - 1;
                } else {
                    m = n + 1;
                }
            }
            break;
        case HTRIGHT:
            if (p.x > f.right) {
                if (p.x > r.right)
                    m = n - 1;
                else if (p.x <= r.left + W(n + 1))
                    m = n + 1;
            } else if (p.x <= f.right - dx) {
                if (p.x > r.right) {
                    if (p.x > r.left + W(n - 1)) m = n - 1;
                } else {
                    m = n + 1;
                }
            }
            break;
        case HTTOP:
            if (p.y < f.top) {
                if (p.y < r.top)
                    m = n + 1;
                else if (p.y >= r.bottom - H(n - 1))
                    m = n - 1;
            } else if (p.y >= f.top + dy) {
                if (p.y > r.top)
                    m = n - 1;
                else if (p.y <= r.bottom - H(n + 1))
                    m = n + 1;
            }
            break;
        case HTBOTTOM:
            if (p.y > f.bottom) {
                if (p.y > r.bottom)
                    m = n + 1;
                else if (p.y <= r.top + H(n - 1))
                    m = n - 1;
            } else if (p.y <= f.bottom - dy) {
                if (p.y > r.bottom) {
                    if (p.y > r.top + H(n + 1)) m = n + 1;
                } else {
                    m = n - 1;
                }
            }
            break;
        default:
            return n;
    }
    m = std::clamp(m, 0, std::max(0, toolbar.GetShapeCount() - 1));
    TSize s = toolbar.GetShapeSize(m);
    if (hit == HTLEFT || hit == HTTOP) {
        r.left = r.right - s.cx;
        r.top = r.bottom - s.cy;
    } else {
        r.right = r.left + s.cx;
        r.bottom = r.top + s.cy;
    }
    return m;
}

}  // namespace qsm

TToolbarFrame::TToolbarFrame(TWindow* parent, const char* title, TToolbar* toolbar, const TPoint& position,
                             TModule* module)
    : TFrameWindow(parent, title, nullptr, false, module), Toolbar(toolbar) {
    BorderG = TToolbar::BorderUnit();
    Attr.X = position.x;
    Attr.Y = position.y;
    Attr.W = Attr.H = 100;
    Attr.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    Attr.ExStyle = 0;
    if (toolbar && toolbar->GetHandle() && (GetWindowLongA(*toolbar, GWL_EXSTYLE) & WS_EX_TOPMOST))
        Attr.ExStyle |= WS_EX_TOPMOST;
    // The desktop draws the small caption with its close box.
    if (SysInfo.HasVersion4Shell()) Attr.ExStyle |= WS_EX_TOOLWINDOW;
    if (!SysInfo.HasVersion4Shell() && GetApplication()) Look3d = GetApplication()->Ctl3dEnabled() ? 1 : 0;
    DisableAutoCreate();
}

TToolbarFrame::~TToolbarFrame() {
    ReleaseToolbar();
    if (Toolbar && Toolbar->FloatingFrame == this) Toolbar->FloatingFrame = nullptr;
}

void TToolbarFrame::GetWindowClass(WNDCLASSA& wc) {
    TFrameWindow::GetWindowClass(wc);
    wc.hbrBackground = nullptr;
}

void TToolbarFrame::ReleaseToolbar() {
    if (!Toolbar || Toolbar->GetParentO() != this) return;
    if (Toolbar->GetHandle()) Toolbar->Show(SW_HIDE);
    TWindow* back = FormerParent;
    if (!back) back = TToolbar::StationOfSide(Toolbar->Placement & tpSideMask);
    Toolbar->SetParent(back);
    if (ClientWnd == Toolbar) ClientWnd = nullptr;
}

void TToolbarFrame::SetupWindow() {
    TFrameWindow::SetupWindow();
    if (Toolbar) {
        FormerParent = Toolbar->GetParentO();
        Toolbar->SetParent(this);
        ClientWnd = Toolbar;
        if (!Toolbar->GetHandle()) Toolbar->Create();
    }
    Fit();
    ::ShowWindow(Handle, SW_SHOWNA);
    SendMessage(WM_NCACTIVATE, TRUE, 0);
}

void TToolbarFrame::Fit() {
    if (!Handle || !Toolbar) return;
    TSize s = Toolbar->GetShapeSize(Toolbar->GetShapeIndex());
    ::SetWindowPos(Handle, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (Toolbar->GetHandle()) {
        TRect lr = Toolbar->GetLayoutRect();
        ::SetWindowPos(*Toolbar, nullptr, -BorderG, -BorderG, lr.Width(), lr.Height(),
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        Toolbar->PositionGadgets();
        Toolbar->Invalidate();
    }
}

bool TToolbarFrame::IdleAction(LONG idleCount) {
    if (idleCount == 0 && Toolbar && Toolbar->GetHandle()) Toolbar->IdleAction(0);
    return false;
}

bool TToolbarFrame::PreProcessMsg(MSG& msg) {
    return Toolbar && Toolbar->GetHandle() && Toolbar->PreProcessMsg(msg);
}

LRESULT TToolbarFrame::EvMouseActivate(WPARAM, LPARAM) {
    if (Toolbar && Toolbar->IsFrameEnabled()) {
        ::SetWindowPos(Handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        UpdateWindow();
        if (!Active)
            if (TDecoratedFrame* main = TToolbar::DockFrame()) SetActiveWindow(*main);
        return MA_NOACTIVATE;
    }
    return MA_NOACTIVATEANDEAT;  // a modal dialog is up
}

void TToolbarFrame::EvClose() {
    // The toolbar takes the frame down from its own window, once this message is done.
    if (Toolbar && Toolbar->GetHandle()) Toolbar->PostMessage(WM_TOOLBAR_FRAMECMD, 0, 0);
}

LRESULT TToolbarFrame::EvForward(WPARAM wp, LPARAM lp) {
    if (Parent && Parent->GetHandle()) return Parent->SendMessage(CurrentEvent.Msg, wp, lp);
    return DefaultProcessing();
}

void TToolbarFrame::EvGetMinMaxInfo(MINMAXINFO& info) {
    info.ptMinTrackSize = POINT{0, 0};
}

LRESULT TToolbarFrame::EvNCRButtonDown(WPARAM, LPARAM) {
    if (Toolbar) Toolbar->TrackContextMenu();
    return 0;
}

LRESULT TToolbarFrame::EvNCHitTest(const TPoint& p) {
    LRESULT hit = DefaultProcessing();
    if (hit == HTCLIENT || hit == HTCAPTION || hit == HTCLOSE || hit == HTSYSMENU || !Toolbar) return hit;
    TRect w = GetWindowRect();
    if (!w.Contains(p)) return hit;
    if (p.y < w.top + Toolbar->FrameCy) return HTTOP;
    if (p.y >= w.bottom - Toolbar->FrameCy) return HTBOTTOM;
    if (p.x < w.left + Toolbar->FrameCx) return HTLEFT;
    if (p.x >= w.right - Toolbar->FrameCx) return HTRIGHT;
    return hit;
}

LRESULT TToolbarFrame::EvNCActivate(WPARAM wp, LPARAM lp) {
    // The frame never becomes active itself: its caption shows active along with the main frame.
    TDecoratedFrame* main = TToolbar::DockFrame();
    Active = wp || (main && main->GetHandle() && GetActiveWindow() == main->GetHandle()) ? 1 : 0;
    return DefWindowProcFor(WM_NCACTIVATE, static_cast<WPARAM>(Active), lp);
}

LRESULT TToolbarFrame::EvNCLButtonDown(WPARAM wp, LPARAM lp) {
    const int hit = static_cast<int>(wp);
    const TPoint p(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (hit == HTCAPTION && Toolbar) {
        Toolbar->BeginDrag(p);
        return 0;
    }
    if (hit == HTLEFT || hit == HTRIGHT || hit == HTTOP || hit == HTBOTTOM) {
        DownHit = hit;
        SetCapture();
        SizeRect = GetWindowRect();
        HDC dc = GetDC(nullptr);
        DrawFocusRect(dc, &SizeRect);
        ReleaseDC(nullptr, dc);
        return 0;
    }
    return DefaultProcessing();
}

LRESULT TToolbarFrame::EvNCLButtonDblClk(WPARAM wp, LPARAM) {
    if (static_cast<int>(wp) == HTCAPTION && Toolbar && Toolbar->GetHandle()) {
        Toolbar->PostMessage(WM_TOOLBAR_FRAMECMD, 1, 0);
        return 0;
    }
    return DefaultProcessing();
}

void TToolbarFrame::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (!DownHit || !Toolbar) {
        TFrameWindow::EvMouseMove(modKeys, p);
        return;
    }
    TPoint screen = ClientToScreen(p);
    TRect r = SizeRect;
    int n = qsm::StepFloatShape(*Toolbar, DownHit, Toolbar->ShapeIndex, screen, r, GetWindowRect(),
                                GetSystemMetrics(SM_CXFRAME) - 2, GetSystemMetrics(SM_CYFRAME) - 2);
    if (r == SizeRect && n == Toolbar->ShapeIndex) return;
    HDC dc = GetDC(nullptr);
    DrawFocusRect(dc, &SizeRect);
    SizeRect = r;
    DrawFocusRect(dc, &SizeRect);
    ReleaseDC(nullptr, dc);
    Toolbar->ShapeIndex = n;
}

void TToolbarFrame::EvLButtonUp(UINT modKeys, const TPoint& p) {
    if (!DownHit) {
        TFrameWindow::EvLButtonUp(modKeys, p);
        return;
    }
    DownHit = 0;
    if (::GetCapture() == Handle) ::ReleaseCapture();
    HDC dc = GetDC(nullptr);
    DrawFocusRect(dc, &SizeRect);
    ReleaseDC(nullptr, dc);
    ::SetWindowPos(Handle, nullptr, SizeRect.left, SizeRect.top, SizeRect.Width(), SizeRect.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (Toolbar) Toolbar->SetShapeIndex(Toolbar->ShapeIndex);
    Fit();
}

void TToolbarFrame::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
}

namespace {
LRESULT FrameMinMax(TToolbarFrame& f, LPARAM lp) {
    f.EvGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lp));
    return 0;
}
}  // namespace

DEFINE_RESPONSE_TABLE1(TToolbarFrame, TFrameWindow)
EV_MESSAGE(WM_MOUSEACTIVATE, EvMouseActivate), EV_WM_CLOSE, EV_MESSAGE(WM_MENUSELECT, EvForward),
    EV_MESSAGE(WM_ENTERIDLE, EvForward),
    QSM_EV(WM_GETMINMAXINFO, return FrameMinMax(self_, lp_);), EV_WM_LBUTTONUP,
    EV_MESSAGE(WM_NCRBUTTONDOWN, EvNCRButtonDown), EV_WM_MOUSEMOVE, EV_WM_NCHITTEST,
    EV_MESSAGE(WM_NCACTIVATE, EvNCActivate), EV_MESSAGE(WM_NCLBUTTONDOWN, EvNCLButtonDown),
    EV_MESSAGE(WM_NCLBUTTONDBLCLK, EvNCLButtonDblClk), EV_WM_SIZE, END_RESPONSE_TABLE;
