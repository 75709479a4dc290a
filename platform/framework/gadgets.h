// Gadget windows and gadgets: tool and status bars made of light-weight parts drawn by their window.
//
// Rules of the gadget window:
// - Mouse: while no gadget holds the capture, the gadget under the pointer gets MouseEnter when the
//   pointer comes onto it and MouseLeave when the pointer moves to another place of the window or leaves
//   the window's client area (the window asks for WM_MOUSELEAVE with TrackMouseEvent while the pointer is
//   over it; the point given then is where the pointer went, in client coordinates). A gadget that holds
//   the capture gets no MouseLeave from the window leaving; once it releases the capture off the window,
//   the gadget under the pointer before leaves then. A press goes only to an enabled gadget; a gadget with
//   TrackMouse set
//   gets the capture on the press (GadgetSetCapture) and then every move and the release, wherever the
//   pointer is. A press on a disabled gadget or on no gadget goes to the window's default handling (a bar
//   that is dragged by its background sees it there).
// - Hints: with hint mode PressHints a press on a gadget shows its id's hint and the release clears it;
//   with EnterHints entering a gadget shows it and leaving clears it. SetHintCommand goes to the nearest
//   decorated frame up the parent chain.
// - Idle: IdleAction with count 0 runs CommandEnable of every gadget.
// - Layout: LayoutSession asks the virtual GetDesiredSize; when the size across the tiling direction
//   changes, the window re-applies its layout metrics in its layout parent with that size and asks the
//   parent to lay out, else it sizes itself. Gadgets are then placed by the virtual PositionGadgets in the
//   rectangle of the virtual GetInnerRect. A gadget with WideAsPossible takes what the others leave.
#pragma once

#include <string>
#include <vector>

#include "platform/framework/frame.h"

class TGadgetWindow;

class TGadget {
public:
    enum TBorderStyle { None, Plain, Raised, Recessed, Embossed };
    struct TBorders {
        int Left = 0, Right = 0, Top = 0, Bottom = 0;
    };

    explicit TGadget(int id = 0, TBorderStyle style = None);
    virtual ~TGadget();
    TGadget(const TGadget&) = delete;
    TGadget& operator=(const TGadget&) = delete;

    int GetId() const { return Id; }
    const TRect& GetBounds() const { return Bounds; }
    virtual void SetBounds(const TRect& bounds);
    TGadgetWindow* GetGadgetWindow() const { return Window; }
    virtual void SetEnabled(bool enabled);
    bool GetEnabled() const { return Enabled; }
    void SetBorderStyle(TBorderStyle style);
    TBorderStyle GetBorderStyle() const { return BorderStyle; }
    void SetBorders(const TBorders& borders) { Borders = borders; }
    const TBorders& GetBorders() const { return Borders; }
    virtual void GetDesiredSize(TSize& size);
    virtual void GetInnerRect(TRect& rect);
    bool PtIn(const TPoint& p) const { return Bounds.Contains(p); }

    virtual void Paint(TDC& dc);
    virtual void PaintBorder(TDC& dc);
    void Invalidate(bool erase = true);
    void InvalidateRect(const TRect& rect, bool erase = true);
    void Update();

    // Points are in the gadget window's client coordinates.
    virtual void MouseEnter(UINT modKeys, const TPoint& p);
    virtual void MouseLeave(UINT modKeys, const TPoint& p);
    virtual void MouseMove(UINT modKeys, const TPoint& p);
    virtual void LButtonDown(UINT modKeys, const TPoint& p);
    virtual void LButtonUp(UINT modKeys, const TPoint& p);
    virtual void CommandEnable() {}
    virtual void SysColorChange() {}
    // Called when the gadget goes into and out of a window.
    virtual void Inserted() {}
    virtual void Removed() {}

    bool TrackMouse = false;
    bool WideAsPossible = false;
    bool Clip = false;

protected:
    friend class TGadgetWindow;
    int Id;
    TRect Bounds;
    TGadgetWindow* Window = nullptr;
    TBorderStyle BorderStyle;
    TBorders Borders;
    bool Enabled = true;
    bool MouseInGadget = false;
};

class TSeparatorGadget : public TGadget {
public:
    explicit TSeparatorGadget(int size = 6);
    void GetDesiredSize(TSize& size) override;

protected:
    int Size;
};

class TTextGadget : public TGadget {
public:
    enum TAlign { Left, Center, Right };
    TTextGadget(int id = 0, TBorderStyle style = Recessed, TAlign align = Left, UINT numChars = 10,
                const char* text = nullptr);
    void SetText(const char* text);
    const char* GetText() const { return Text.c_str(); }
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;
    TAlign GetAlign() const { return Align; }

protected:
    std::string Text;
    TAlign Align;
    UINT NumChars;
};

// A gadget holding a control window; the window becomes the gadget window's child.
class TControlGadget : public TGadget {
public:
    explicit TControlGadget(TWindow& control, TBorderStyle style = None);
    ~TControlGadget() override;
    void SetBounds(const TRect& bounds) override;
    void GetDesiredSize(TSize& size) override;
    void Inserted() override;
    void Removed() override;
    TWindow* GetControl() const { return Control; }

protected:
    TWindow* Control;
};

class TGadgetWindow : virtual public TWindow {
public:
    enum TTileDirection { Horizontal, Vertical };
    enum THintMode { NoHints = 0, PressHints = 1, EnterHints = 2 };
    enum TPlacement { After, Before };
    struct TMargins {
        int Left = 0, Right = 0, Top = 0, Bottom = 0;
    };

    TGadgetWindow(TWindow* parent, TTileDirection direction = Horizontal, TFont* font = nullptr,
                  TModule* module = nullptr);
    ~TGadgetWindow() override;

    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "OWL_GadgetWindow"; }
    void SetupWindow() override;
    bool IdleAction(LONG idleCount) override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;

    // Gadgets (the window owns them).
    virtual void Insert(TGadget& gadget, TPlacement placement = After, TGadget* sibling = nullptr);
    virtual TGadget* Remove(TGadget& gadget);
    TGadget* FirstGadget() const { return Gadgets.empty() ? nullptr : Gadgets.front(); }
    TGadget* NextGadget(const TGadget& gadget) const;
    int NumGadgets() const { return static_cast<int>(Gadgets.size()); }
    TGadget* GadgetWithId(int id) const;
    TGadget* GadgetFromPoint(const TPoint& p) const;
    const std::vector<TGadget*>& GetGadgets() const { return Gadgets; }

    bool GadgetSetCapture(TGadget& gadget);
    void GadgetReleaseCapture(TGadget& gadget);
    TGadget* GetCapture() const { return Capture; }

    void SetMargins(const TMargins& margins);
    const TMargins& GetMargins() const { return Margins; }
    void SetDirection(TTileDirection direction);
    TTileDirection GetDirection() const { return Direction; }
    void SetHintMode(THintMode mode) { HintMode = mode; }
    THintMode GetHintMode() const { return HintMode; }
    virtual void SetHintCommand(int id);
    HFONT GetFont() const { return Font ? static_cast<HFONT>(Font->GetHandle()) : nullptr; }
    // The window takes the font.
    void SetFont(TFont* font);
    int GetFontHeight() const;
    int GetAveCharWidth() const;

    // Layout.
    virtual void GetDesiredSize(TSize& size);
    virtual void GetInnerRect(TRect& rect);
    virtual void PositionGadgets();
    virtual void LayoutSession();

    void EvSize(UINT sizeType, const TSize& size);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvCaptureChanged(HWND gets);
    void EvMouseLeave();
    void EvSysColorChange();
    DECLARE_RESPONSE_TABLE(TGadgetWindow);

protected:
    TGadgetWindow() = default;
    void InitGadgetWindow(TTileDirection direction, TFont* font);
    std::vector<TGadget*> Gadgets;
    TGadget* Capture = nullptr;
    TGadget* AtMouse = nullptr;
    TMargins Margins;
    TTileDirection Direction = Horizontal;
    THintMode HintMode = PressHints;
    TFont* Font = nullptr;
    bool InLayout = false;
};

class TControlBar : public TGadgetWindow {
public:
    TControlBar(TWindow* parent, TTileDirection direction = Horizontal, TFont* font = nullptr,
                TModule* module = nullptr);
};

class TMessageBar : public TGadgetWindow {
public:
    TMessageBar(TWindow* parent, TFont* font = nullptr, TModule* module = nullptr);
    // The text shown while no hint is.
    void SetText(const char* text);
    std::string GetText() const { return Text; }
    // A hint replaces the text until it is cleared with null; of a "long\nshort" hint the long line shows.
    virtual void SetHintText(const char* text);
    const std::string& GetHintText() const { return HintText; }
    bool HighlightLine = true;
    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void GetDesiredSize(TSize& size) override;

protected:
    TMessageBar() = default;
    void InitMessageBar();
    TTextGadget* MessageGadget() const;
    std::string Text;
    std::string HintText;
    bool HintShown = false;
};

class TStatusBar : public TMessageBar {
public:
    enum TModeIndicator {
        ExtendSelection = 1,
        CapsLock = 2,
        NumLock = 4,
        ScrollLock = 8,
        Overtype = 16,
        RecordingMacro = 32
    };
    TStatusBar(TWindow* parent, TGadget::TBorderStyle borderStyle = TGadget::Recessed,
               UINT modeIndicators = 0, TFont* font = nullptr, TModule* module = nullptr);
    // Inserts before the mode indicators unless a sibling is named.
    void Insert(TGadget& gadget, TPlacement placement = After, TGadget* sibling = nullptr) override;

protected:
    TGadget::TBorderStyle BorderStyle;
    // The mode indicators at the end of the gadget list.
    int NumModeIndicators = 0;
};
