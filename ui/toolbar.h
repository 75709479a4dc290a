// The dockable toolbar: a gadget window shown docked in one of the four dock stations along its frame's
// edges or floating in a small tool window of its own. All toolbars of the process stand in one list; the
// first one made creates the four dock stations of its frame.
//
// The placement word (toolbars and dock stations): side 0x1000 left, 0x2000 top, 0x4000 right, 0x8000
// bottom; edges with a 3D border 0x0100 left, 0x0200 top, 0x0400 right, 0x0800 bottom; 0x0080 new-look
// drawing; 0x0020 hidden; 0x0010 floating (the side bits keep the last docked side).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/framework/frame.h"
#include "platform/framework/gadgets.h"

class TDockStation;
class TToolbarFrame;

// Placement word bits.
enum : uint16_t {
    tpLeft = 0x1000,
    tpTop = 0x2000,
    tpRight = 0x4000,
    tpBottom = 0x8000,
    tpSideMask = 0xF000,
    tpBorderLeft = 0x0100,
    tpBorderTop = 0x0200,
    tpBorderRight = 0x0400,
    tpBorderBottom = 0x0800,
    tpBorderMask = 0x0F00,
    tpNewLook = 0x0080,
    tpHidden = 0x0020,
    tpFloating = 0x0010,
};

// The first command of the toolbar list: command 20310 + n shows or hides toolbar n.
#define CM_TOOLBAR_FIRST 20310
#define CM_TOOLBAR_LAST 20399
// The command of the toolbar list dialog, and the status text shown while a toolbar is dragged.
#define CM_TOOLBAR_LIST 20304
#define IDS_TOOLBAR_DRAG 20303
// Posted by the floating frame to its toolbar: wParam 0 closes the frame (hiding the toolbar), 1 docks.
#define WM_TOOLBAR_FRAMECMD (WM_USER + 0x7A0)

// The menu resource appended below the toolbar list in the context menu; 0 turns the context menu off.
extern int ContextMenuId;

class TToolbar : public TControlBar {
public:
    // One float shape: the size of the floating window when the gadgets wrap into Rows rows.
    struct TShape {
        TSize Size;
        int Rows = 1;
    };
    static constexpr int kMaxShapes = 32;

    // title names the toolbar and its saved state.
    TToolbar(TDecoratedFrame* frame, const char* title, uint16_t placement, int startsRow, TFont* font,
             TModule* module = nullptr);
    ~TToolbar() override;

    // The toolbars of the process, in the order they were made.
    static const std::vector<TToolbar*>& Toolbars();
    // The frame whose edges hold the dock stations (null before the first toolbar).
    static TDecoratedFrame* DockFrame();
    // The dock station of a side bit (tpLeft ...), null for anything else.
    static TDockStation* StationOfSide(uint16_t side);
    // The station a placement word docks in: exactly one side bit and neither hidden nor floating.
    static TDockStation* StationOf(uint16_t placement);
    static bool IsVerticalPlacement(uint16_t placement) {
        return (placement & tpFloating) == 0 && (placement & (tpLeft | tpRight)) != 0;
    }
    // g: the width of the etched borders and of the overlap of neighbours in a station.
    static int BorderUnit();
    // A station going away: the frame keeps its stations only while they exist.
    static void ForgetStation(TDockStation* station);

    void SetButtonSize(int size);
    int GetButtonSize() const { return ButtonSize; }
    // Shows, hides, docks or floats the toolbar as the word says; with remember set the current docked
    // or floating position is kept first.
    void ShowToolbar(uint16_t placement, int remember);
    void Float();
    void Dock();
    void SetShapeIndex(int n);
    int GetShapeIndex() const { return ShapeIndex; }
    int GetShapeCount() const { return static_cast<int>(Shapes.size()); }
    TSize GetShapeSize(int n) const;
    const TShape& GetShape(int n) const { return Shapes[static_cast<size_t>(n)]; }

    static int FindByTitle(const char* name);
    static TToolbar* FindByGadgetId(int id);
    static bool GetGadgetScreenRect(int id, TRect& rect, TPoint& point, bool hover);
    static bool AreGadgetsAdjacent(int id1, int id2);
    static void NumberToolbars();
    // Commands 20310-20399 of the frame.
    static void EnableToolbarCommands(TCommandEnabler& ce);
    static bool ToggleToolbarCommand(UINT id);

    // Saved state in the settings store, section "Toolbars".
    void LoadState();
    void SaveState();
    static void ClearSavedStates();

    // Size and (with apply set) gadget bounds for a placement word wrapped into rows rows.
    TSize LayoutGadgets(uint16_t placement, int rows, int* resultRows, bool apply);
    void ComputeFloatShapes();
    void Relayout();

    // Dragging (mouse points in screen coordinates).
    void BeginDrag(const TPoint& screenPoint);
    void DragTo(const TPoint& screenPoint, bool ctrl);
    void EndDrag();
    void ToggleFloating();
    void DrawDragFrame(const TRect& rect, uint16_t dragWord, bool save);
    bool IsDragging() const { return Dragging != 0; }
    const TRect& GetDragRect() const { return DragRect; }
    uint16_t GetDragWord() const { return DragWord; }

    virtual void BuildToolbarsMenu(HMENU menu);
    virtual void TrackContextMenu();
    virtual bool IsFrameEnabled();

    // Window.
    bool PreProcessMsg(MSG& msg) override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "TToolbar"; }
    void SetupWindow() override;
    void CleanupWindow() override;
    void GetDesiredSize(TSize& size) override;
    void PositionGadgets() override;
    void LayoutSession() override;
    // The rectangle the toolbar takes: its desired size from (0, 0).
    TRect GetLayoutRect();

    HBRUSH EvCtlColor(HDC dc, HWND ctl, UINT ctlMsg);
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvRButtonDown(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    bool EvSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg);
    void EvSysColorChange();
    LRESULT EvFrameCommand(WPARAM wp, LPARAM lp);
    DECLARE_RESPONSE_TABLE(TToolbar);

    uint16_t Placement = 0;
    uint16_t DockMask = 0xf010;
    UINT CommandId = 0;
    int ButtonSize = 18;
    int StartsRow = 0;
    int RowOrder = 0;
    int NextStartsRow = 0;
    TToolbarFrame* FloatingFrame = nullptr;
    int FrameCx = 0, FrameCy = 0, CaptionCy = 0;
    int ShapeIndex = 0;
    TPoint DockedPos;
    TPoint FloatPos{10, 10};
    int CountAllGadgets = 1;
    // Neighbours in the dock station's list.
    TToolbar* Prev = nullptr;
    TToolbar* Next = nullptr;
    // The station whose list holds the toolbar (null when it is in none).
    TDockStation* Station = nullptr;

private:
    void MakeDockStations(TDecoratedFrame* frame);
    void DestroyFloatingFrame();

    std::vector<TShape> Shapes;
    // The drag record.
    int Dragging = 0;
    uint16_t DragWord = 0;
    TPoint DragPoint;
    TRect DragRect;
    bool DragFrameShown = false;
    TRect ShownDragRect;
    TSize HorzSize, VertSize;
    TRect DockArea;
    bool LastCtrl = false;
};
