// An owner-drawn list box that shows each row as cells under the columns of a TQSColumnHeader. A row's
// cells come from its own string, split at tab characters, or, for a list without strings, from the owner
// window, which is asked for each cell with the registered message "QSSW_GETCOLTEXT" (wParam: the list's
// window, lParam: a TQSColumnTextRequest). Cells too wide for their column end in "...". The list keeps
// the header scrolled with it, and a double click on a divider of the header sizes that column to its
// contents.
#pragma once

#include <memory>

#include "platform/framework/controls.h"
#include "ui/column_header.h"

// The record sent with "QSSW_GETCOLTEXT": the owner writes the cell's text, NUL-terminated, into text.
struct TQSColumnTextRequest {
    DWORD_PTR ItemData;  // the row's item data
    int Row;
    int Column;  // from 0
    char* Text;  // its first character is NUL when the request is sent
    int Size;    // bytes in Text
};

class TQSColumnListBox : public TListBox {
public:
    static constexpr int CellBufferSize = 8192;

    // A list box of the dialog that is the header's parent, taken from the dialog's template.
    TQSColumnListBox(TQSColumnHeader* header, int resourceId, TModule* module = nullptr);
    TQSColumnListBox(TQSColumnHeader* header, int id, int x, int y, int w, int h, TModule* module = nullptr);
    ~TQSColumnListBox() override;

    // Rows added when the window is set up: texts each ended by NUL, the list ended by an empty text. The
    // list is not copied.
    void SetInitialItems(const char* list) { InitialItems = list; }
    void SetGridLines(bool on);
    bool GetGridLines() const { return GridLines != 0; }
    void SetRowSelected(int row, int selected);
    bool HasSelection() const;
    bool HasStrings() const;
    void SyncHeaderScroll();
    TQSColumnHeader* GetHeader() const { return Header; }

    // Asks the parent window for the text of one cell.
    virtual void GetColumnText(DWORD_PTR itemData, int row, int column, char* buffer, int size);
    // Offered every notification of the header first; true when the list took it (result is the answer).
    virtual bool OnHeaderNotify(HD_NOTIFYA& info, LRESULT& result);

    // The widest text of the column over all rows, plus twice the average character width.
    int GetWidestCell(int column);
    // Mode 0: the caption's width; 1: the widest cell; 2: the widest cell, at least the caption's width.
    void AutoSizeColumn(int column, int mode);
    void AutoSizeColumns(int mode);

    void SetupWindow() override;
    void DrawItem(DRAWITEMSTRUCT& info) override;
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvSize(UINT sizeType, const TSize& size);

    DECLARE_RESPONSE_TABLE(TQSColumnListBox);

private:
    friend class TQSColumnHeader;
    void Bind(TQSColumnHeader* header);
    // The text of one cell of a row in CellBuffer (empty when the row has no such cell).
    const char* CellText(int row, int column);
    HFONT ListFont() const;

    TQSColumnHeader* Header = nullptr;
    int GridLines = 0;
    const char* InitialItems = nullptr;
    std::unique_ptr<char[]> CellBuffer;
};

namespace qsm {

// Cell `column` (from 0) of a row string: the piece after that many tabs, up to the next tab; empty when
// the row has fewer pieces. The row is cut to size - 1 characters first, as the list's cell buffer holds
// no more. The buffer receives the row with its tabs replaced by NUL; the result points into it.
const char* SplitColumnCell(const char* row, int column, char* buffer, int size);

}  // namespace qsm
