// Frame windows, layout windows and the decorated frame.
//
// Layout metrics. A child of a layout window is placed by four constraints: X and Width fix its left and
// right edges, Y and Height its top and bottom. Each constraint names the edge it fixes (left, right or
// centre for X; width or an edge for Width; likewise vertically) and a relation to an edge of the parent
// (lmParent: the parent's client area) or of a sibling:
//   lmAsIs      the edge or size the child has now;
//   lmAbsolute  the value itself;
//   lmSameAs    the other edge plus the value;
//   lmPercentOf the other edge times the value / 100;
//   lmBelow / lmRightOf  the other edge plus the value (a margin);
//   lmAbove / lmLeftOf   the other edge minus the value.
// Edges are in pixels of the parent's client area; right and bottom edges are exclusive (x + width).
// Layout resolves siblings that refer to each other in any order (up to one pass per child) and moves
// only children whose place changed. Children without metrics are left alone.
//
// Decorated frames. Decorations are inserted at the top, bottom, left or right; the first inserted at a
// side is outermost. Their metrics tie their outer edges to the parent's edges (lmSameAs lmParent) or to
// the decoration outside them, and keep the size constraint they were inserted with (lmAsIs unless the
// decoration set another), so a decoration that re-applies its metrics with a new height and calls Layout
// gets it. The client fills what the visible decorations leave. Hidden decorations take no room.
// Every queued message that reaches the frame's pre-processing (after its target and the ancestors below
// the frame) is offered to each visible decoration (not the client) before the frame's own: the top
// decorations, then the bottom, left and right ones, outermost first at each side. A command whose id is a
// decoration's id (32040 for the status bar) shows or hides that decoration, and its enabler checks it while
// the decoration is visible. SetHintCommand(id) hands string resource id ("long\nshort") whole to
// the message bar's SetHintText, which shows the long line; null for -1 or a missing string.
#pragma once

#include <vector>

#include "platform/framework/window.h"

// The id of the message bar among a decorated frame's decorations, and of the command that toggles it.
#define IDW_STATUSBAR 32040

enum TEdge { lmLeft, lmTop, lmRight, lmBottom, lmCenter, lmWidth, lmHeight };
enum TRelationship {
    lmAsIs,
    lmPercentOf,
    lmAbove,
    lmLeftOf = lmAbove,
    lmBelow,
    lmRightOf = lmBelow,
    lmSameAs,
    lmAbsolute
};
enum TMeasurementUnits { lmPixels, lmLayoutUnits };
inline TWindow* const lmParent = nullptr;

struct TLayoutConstraint {
    TWindow* RelWin = nullptr;
    TEdge MyEdge = lmLeft;
    TRelationship Relationship = lmAsIs;
    TMeasurementUnits Units = lmPixels;
    TEdge OtherEdge = lmLeft;
    int Value = 0;
};

struct TEdgeConstraint : TLayoutConstraint {
    void Set(TEdge edge, TRelationship rel, TWindow* otherWin, TEdge otherEdge, int value = 0) {
        MyEdge = edge;
        Relationship = rel;
        RelWin = otherWin;
        OtherEdge = otherEdge;
        Value = value;
    }
    void LeftOf(TWindow* sibling, int margin = 0) { Set(lmRight, lmLeftOf, sibling, lmLeft, margin); }
    void RightOf(TWindow* sibling, int margin = 0) { Set(lmLeft, lmRightOf, sibling, lmRight, margin); }
    void Above(TWindow* sibling, int margin = 0) { Set(lmBottom, lmAbove, sibling, lmTop, margin); }
    void Below(TWindow* sibling, int margin = 0) { Set(lmTop, lmBelow, sibling, lmBottom, margin); }
    void SameAs(TWindow* otherWin, TEdge edge, int value = 0) { Set(edge, lmSameAs, otherWin, edge, value); }
    void PercentOf(TWindow* otherWin, TEdge edge, int percent) {
        Set(edge, lmPercentOf, otherWin, edge, percent);
    }
    void Absolute(TEdge edge, int value) { Set(edge, lmAbsolute, nullptr, edge, value); }
    void AsIs(TEdge edge) { Set(edge, lmAsIs, nullptr, edge, 0); }
};

// Width and Height constraints: a size, or an edge (the right or bottom edge).
struct TEdgeOrSizeConstraint : TEdgeConstraint {
    explicit TEdgeOrSizeConstraint(TEdge size) { MyEdge = OtherEdge = size; }
    using TEdgeConstraint::Absolute;
    using TEdgeConstraint::AsIs;
    using TEdgeConstraint::PercentOf;
    using TEdgeConstraint::SameAs;
    void Absolute(int value) { Set(SizeEdge(), lmAbsolute, nullptr, SizeEdge(), value); }
    void AsIs() { Set(SizeEdge(), lmAsIs, nullptr, SizeEdge(), 0); }
    void SameAs(TWindow* otherWin, int value = 0) { Set(SizeEdge(), lmSameAs, otherWin, SizeEdge(), value); }
    void PercentOf(TWindow* otherWin, int percent) {
        Set(SizeEdge(), lmPercentOf, otherWin, SizeEdge(), percent);
    }

private:
    TEdge SizeEdge() const { return Horizontal ? lmWidth : lmHeight; }

public:
    bool Horizontal = true;
};

struct TLayoutMetrics {
    TLayoutMetrics();
    TEdgeConstraint X;
    TEdgeConstraint Y;
    TEdgeOrSizeConstraint Width{lmWidth};
    TEdgeOrSizeConstraint Height{lmHeight};
    // Everything as it is now.
    void SetMeasurementUnits(TMeasurementUnits units) {
        X.Units = Y.Units = Width.Units = Height.Units = units;
    }
};

// The layout engine shared by layout windows and decorated frames.
class TLayoutManager {
public:
    virtual ~TLayoutManager() = default;
    void SetChildLayoutMetrics(TWindow& child, const TLayoutMetrics& metrics);
    bool GetChildLayoutMetrics(const TWindow& child, TLayoutMetrics& metrics) const;
    bool RemoveChildLayoutMetrics(const TWindow& child);
    // Places the children; the client size is the owner's.
    virtual void Layout();
    // The rectangle layout gives the child (its current one when it has no metrics).
    TRect GetLayoutRect(const TWindow& child) const;

protected:
    virtual TWindow& LayoutOwner() = 0;
    struct TChildMetrics {
        TWindow* Child;
        TLayoutMetrics Metrics;
        TRect Rect;
    };
    std::vector<TChildMetrics> ChildMetrics;
    void ForgetChild(const TWindow* child);

private:
    int EdgeValue(const TWindow* win, TEdge edge, const TSize& client) const;
    void Solve(const TSize& client);
};

class TLayoutWindow : virtual public TWindow, public TLayoutManager {
public:
    TLayoutWindow(TWindow* parent, const char* title = nullptr, TModule* module = nullptr);
    void EvSize(UINT sizeType, const TSize& size);
    DECLARE_RESPONSE_TABLE(TLayoutWindow);

protected:
    TLayoutWindow() = default;
    TWindow& LayoutOwner() override { return *this; }
};

class TFrameWindow : virtual public TWindow {
public:
    TFrameWindow(TWindow* parent, const char* title = nullptr, TWindow* clientWnd = nullptr,
                 bool shrinkToClient = false, TModule* module = nullptr);
    ~TFrameWindow() override;

    TWindow* GetClientWindow() const { return ClientWnd; }
    // Returns the previous client, which the caller then owns.
    virtual TWindow* SetClientWindow(TWindow* clientWnd);
    bool SetIcon(TModule* module, const char* resId);
    HICON GetIcon() const { return Icon; }
    // Loads menu resource `menuId` of the module and puts it on the frame.
    bool AssignMenu(const char* menuId);

    void SetupWindow() override;
    bool PreProcessMsg(MSG& msg) override;
    bool IdleAction(LONG idleCount) override;
    LRESULT EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) override;
    void EvCommandEnable(TCommandEnabler& ce) override;
    bool HasCommandHandlerOnRoute(UINT id);

    void EvSize(UINT sizeType, const TSize& size);
    void EvSetFocus(HWND lost);
    void EvInitMenuPopup(HMENU popup, UINT index, bool sysMenu);
    DECLARE_RESPONSE_TABLE(TFrameWindow);

protected:
    TFrameWindow() = default;
    void InitFrame(TWindow* clientWnd, bool shrinkToClient);
    // The windows a routed command or enabler visits, nearest to the focus first, the frame last.
    std::vector<TWindow*> CommandRoute();
    TWindow* ClientWnd = nullptr;
    HICON Icon = nullptr;
    bool ShrinkToClient = false;
    // The focus inside the frame when it was last deactivated, given back when the frame gets the focus.
    HWND SavedFocus = nullptr;
};

class TMessageBar;

class TDecoratedFrame : public TFrameWindow, public TLayoutWindow {
public:
    enum TLocation { Top, Bottom, Left, Right };
    TDecoratedFrame(TWindow* parent, const char* title = nullptr, TWindow* clientWnd = nullptr,
                    bool trackMenuSelection = false, TModule* module = nullptr);

    // The frame takes the decoration as a child; its window is made when the frame is (or at once when the
    // frame exists already).
    virtual void Insert(TWindow& decoration, TLocation location = Top);
    TWindow* SetClientWindow(TWindow* clientWnd) override;
    // The decorations at a side, outermost first.
    const std::vector<TWindow*>& GetDecorations(TLocation location) const { return Decorations[location]; }
    virtual void SetHintCommand(int id);
    TMessageBar* GetMessageBar() const;

    void Layout() override;
    void SetupWindow() override;
    bool PreProcessMsg(MSG& msg) override;
    LRESULT EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) override;
    void EvCommandEnable(TCommandEnabler& ce) override;
    void EvSize(UINT sizeType, const TSize& size);
    void EvMenuSelect(WPARAM wp, LPARAM lp);
    DECLARE_RESPONSE_TABLE(TDecoratedFrame);

protected:
    TWindow& LayoutOwner() override { return *this; }
    void RebuildMetrics();
    TWindow* DecorationWithId(int id) const;
    std::vector<TWindow*> Decorations[4];
    bool TrackMenuSelection;
};
