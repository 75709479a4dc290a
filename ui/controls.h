// Thin wrappers over the standard controls with the few behaviours the dialogs of the viewer and the
// plug-in need:
// - TQSRStatic: a static text that can show a file path as its bare name and can take its text through the
//   dialog's transfer buffer as a pointer;
// - TQSRMultiSelListBox: an owner-drawn list box that shows each row with a sunken check box, crossed when
//   the row is selected, and highlights the focus row;
// - TQSRComboBox: a combo box whose transfer value is the selected index of a fixed item list (index mode)
//   or a whole number typed or picked within bounds (range mode), checked before the dialog closes;
// - TQSREdit: an edit control with a fixed-pitch font option, an option that keeps the dialog from
//   selecting the whole text when the edit gets the focus, and text helpers.
// Texts handed over by pointer (initial texts, item lists) are not copied: the caller keeps them alive.
#pragma once

#include <cstdint>

#include "platform/framework/controls.h"

class TQSRStatic : public TStatic {
public:
    TQSRStatic(TWindow* parent, int id, const char* title, int x, int y, int w, int h, UINT textLimit = 0,
               TModule* module = nullptr);
    TQSRStatic(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);

    // The text shown when the window is set up: mode 0 as it stands, mode 1 as a file path reduced to its
    // name (no folder, no extension); other modes show nothing. Null shows nothing.
    void SetInitialText(const char* text, int mode);
    // From now on the transfer buffer holds one text pointer for this control: setting data shows that
    // text; getting data leaves the buffer alone.
    void EnableTextTransfer();
    // Sets the window text from a printf format; the text is cut to 255 characters.
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void SetupWindow() override;
    UINT Transfer(void* buffer, TTransferDirection direction) override;

    int TextMode = 0;
    const char* InitialText = nullptr;
    int OwnTransfer = 0;
};

class TQSRMultiSelListBox : public TListBox {
public:
    TQSRMultiSelListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module = nullptr);
    TQSRMultiSelListBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    void DrawItem(DRAWITEMSTRUCT& info) override;
};

class TQSRComboBox : public TComboBox {
public:
    enum { PlainMode = 0, IndexMode = 1, RangeMode = 2 };

    TQSRComboBox(TWindow* parent, int id, int x, int y, int w, int h, DWORD style, UINT textLimit = 0,
                 TModule* module = nullptr, const char* itemList = nullptr);
    // Index mode is on when an item list is given.
    TQSRComboBox(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr,
                 const char* itemList = nullptr);

    // Index mode with this list (texts each ended by a zero byte, the list by an empty text).
    void SetValueMode(const char* itemList);
    void SetRange(int min, int max);
    void SetMode(int mode) { ValueMode = mode; }
    // Adds the texts of from, from + step, ... while the value is at most to (step must be positive).
    void FillRange(int from, int to, int step);
    // The window text (its first 9 characters) read as a decimal integer; 0 when it has no digits.
    int GetIntValue() const;
    // The window text is a whole number within [MinValue, MaxValue].
    bool IsValueValid() const;
    // Shows value limited to the bounds (MinValue wins when they cross).
    void SetIntValue(int value);

    void SetupWindow() override;
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    bool CanClose() override;

    int ValueMode = 0;
    int MinValue = 0;
    int MaxValue = 0;
    const char* ItemList = nullptr;
};

class TQSREdit : public TEdit {
public:
    enum : uint32_t { FixedFont = 0, NoSelectAll = 1 };  // option bits

    TQSREdit(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit = 0,
             bool multiline = false, TModule* module = nullptr);
    TQSREdit(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);

    void SetOption(int bit) { Options |= 1u << (bit & 31); }
    void ClearOption(int bit) { Options &= ~(1u << (bit & 31)); }
    bool HasOption(int bit) const { return (Options & (1u << (bit & 31))) != 0; }

    using TStatic::GetText;
    // Clears the buffer, then copies at most size - 1 characters of the window text into it.
    char* GetText(char* buffer, int size) const;
    // Sets the window text from a printf format; the text is cut to 511 characters.
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void SetupWindow() override;
    LRESULT EvGetDlgCode(const MSG* msg);

    uint32_t Options = 0;

    DECLARE_RESPONSE_TABLE(TQSREdit);
};
