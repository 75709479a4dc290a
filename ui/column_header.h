// A row of column captions over a list: the user widens or narrows a column by dragging the divider at its
// right edge (an inverted line follows the mouse) and the owner hears of clicks and drags through the
// header control's notification records and codes. Bound to a TQSColumnListBox, the header places itself
// over the list, keeps the list's horizontal extent equal to the width of all columns, scrolls with it and
// gives it the keyboard focus.
#pragma once

#include <memory>
#include <vector>

#include "platform/framework/controls.h"

class TQSColumnListBox;

// One column: an item record of the header control whose caption is a copy owned by the item.
class TQSHdrItem : public HD_ITEMA {
public:
    // The text must not be null; a null bitmap is none.
    TQSHdrItem(const char* text, HBITMAP bitmap, int width);
    ~TQSHdrItem();
    TQSHdrItem(const TQSHdrItem&) = delete;
    TQSHdrItem& operator=(const TQSHdrItem&) = delete;

    void SetText(const char* text);
    void SetBitmap(HBITMAP bitmap);
    void SetWidth(int w) { cxy = w; }
    void SetLParam(LPARAM v);
};

class TQSColumnHeader : public TControl {
public:
    // Option bits: place the header over the bound list at layout; leave the list's caret row where it is.
    enum : UINT { OptionPlaceOverList = 0, OptionKeepCaretRow = 1 };
    // DragState values.
    enum : int { DragPressing = 0, DragSizing = 1, DragIdle = 2 };
    // Posted to itself after set-up: lays the header out over its list once the owner's controls exist.
    static constexpr UINT WM_LAYOUT = WM_USER + 102;

    TQSColumnHeader(TWindow* parent, int id, int x, int y, int w, int h, TModule* module = nullptr);
    TQSColumnHeader(TWindow* parent, int resourceId, TModule* module = nullptr);
    ~TQSColumnHeader() override;

    void SetOption(UINT bit) { HeaderOptions |= 1u << (bit & 31); }
    void ClearOption(UINT bit) { HeaderOptions &= ~(1u << (bit & 31)); }
    bool HasOption(UINT bit) const { return (HeaderOptions & (1u << (bit & 31))) != 0; }

    // The header owns the items it is given.
    void AddItem(TQSHdrItem* item);
    bool InsertItem(TQSHdrItem* item, int index);
    bool DeleteItem(int index);
    int GetColumnCount() const { return static_cast<int>(Items.size()); }
    TQSHdrItem* GetItem(int n) const;
    const char* GetColumnText(int n) const;
    int GetColumnWidth(int n) const;
    int GetTotalWidth() const;
    void SetColumnWidth(int n, int w);
    void ScrollColumns(int pos);
    int GetHeaderHeight() const;
    int GetHeaderTextWidth(int n) const;
    void SetFont(HFONT font);
    HFONT GetFont() const { return *HeaderFont; }
    int HitTest(HD_HITTESTINFO& info) const;
    LRESULT Notify(UINT code, int column);
    void LayoutWithList();

    TQSColumnListBox* GetListBox() const { return ListBox; }
    int GetScrollOffset() const { return ScrollOffset; }
    int GetDragState() const { return DragState; }
    int GetPressedColumn() const { return PressedColumn; }
    int GetDragWidth() const { return DragWidth; }

    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "QSR_ColumnHeader"; }
    void SetupWindow() override;

    LRESULT EvGetFont(WPARAM, LPARAM);
    void EvSetFont(HFONT font, bool redraw);
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    bool EvSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg);
    void EvSetFocus(HWND lost);
    LRESULT EvLayout(WPARAM, LPARAM);

    DECLARE_RESPONSE_TABLE(TQSColumnHeader);

private:
    friend class TQSColumnListBox;
    void InitHeader();
    int ColumnLeft(int n) const;
    void BeginSizing(const TPoint& p, int column);
    void TrackSizing(const TPoint& p);
    void EndSizing();
    void DrawSizingLine(int x);

    std::vector<std::unique_ptr<TQSHdrItem>> Items;
    UINT HeaderOptions = 0;
    std::unique_ptr<TFont> HeaderFont;
    TQSColumnListBox* ListBox = nullptr;
    int ScrollOffset = 0;
    int DragColumn = 0;
    int DragState = DragIdle;
    int PressedColumn = -1;
    int DragColumnLeft = 0;
    int DragWidth = 0;
    TPoint DragStart;
};
