// Dialogs, the control classes and menus of the class library.
//
// Dialogs. A TDialog is made from a dialog template resource of its module, modal (Execute) or modeless
// (Create). Its child objects made with a resource id are bound to the template's controls of that id
// when the dialog starts (WM_INITDIALOG); then SetupWindow runs and data are transferred in. OK asks
// CanClose of every child in creation order (the first refusal keeps the dialog open and transfers
// nothing), then transfers data out and ends the dialog with IDOK; Cancel (the Cancel button, Esc, the
// close box) ends it with IDCANCEL and transfers nothing.
//
// Transfer buffer layout, one field per control with transfer enabled, in creation order:
//   TStatic, TEdit         TextLimit bytes: the text, zero-terminated (cut to TextLimit - 1)
//   TCheckBox, TRadioButton  a WORD: BF_UNCHECKED 0, BF_CHECKED 1, BF_GRAYED 2
//   TListBox, TComboBox    an int32: the selected index, -1 for none (a combo box with an edit part
//                          transfers its index too; its text is not transferred)
//   TScrollBar             TScrollBarData: three int32, low and high of the range and the position
// The buffer is packed: each control's field follows the previous one without padding.
//
// Scroll bars: a TScrollBar never moves itself when its parent is told of a scroll; the parent (or a
// derived class) sets the position it wants.
#pragma once

#include <string>

#include "platform/framework/window.h"

#define BF_UNCHECKED 0
#define BF_CHECKED 1
#define BF_GRAYED 2

class TControl : virtual public TWindow {
public:
    TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
             TModule* module = nullptr);
    // A control of a dialog's template: bound to the dialog's child with this id when the dialog starts.
    TControl(TWindow* parent, int resourceId, TModule* module = nullptr);
    void SetupWindow() override;
    // Owner drawing: the parent's default handling of WM_DRAWITEM hands the item of an owner-drawn
    // control to that control's object here. The default draws nothing.
    virtual void DrawItem(DRAWITEMSTRUCT& info);

protected:
    TControl() = default;
    void InitControl(int id, int x, int y, int w, int h);
    void InitFromResource(int resourceId);
};

class TStatic : public TControl {
public:
    TStatic(TWindow* parent, int id, const char* title, int x, int y, int w, int h, UINT textLimit = 0,
            TModule* module = nullptr);
    TStatic(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);
    const char* GetClassName() override { return "STATIC"; }
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    std::string GetText() const { return GetCaption(); }
    int GetTextLen() const { return GetWindowTextLengthA(Handle); }
    void SetText(const char* text) { SetCaption(text); }
    void Clear() { SetCaption(""); }
    UINT GetTextLimit() const { return TextLimit; }

protected:
    TStatic() = default;
    UINT TextLimit = 0;
};

class TButton : public TControl {
public:
    TButton(TWindow* parent, int id, const char* text, int x, int y, int w, int h, bool isDefault = false,
            TModule* module = nullptr);
    TButton(TWindow* parent, int resourceId, TModule* module = nullptr);
    const char* GetClassName() override { return "BUTTON"; }

protected:
    TButton() = default;
};

class TCheckBox : public TButton {
public:
    TCheckBox(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
              TModule* module = nullptr);
    TCheckBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    UINT GetCheck() const { return static_cast<UINT>(SendMessage(BM_GETCHECK)); }
    void SetCheck(UINT state) { SendMessage(BM_SETCHECK, state); }
    void Check() { SetCheck(BF_CHECKED); }
    void Uncheck() { SetCheck(BF_UNCHECKED); }
    void Toggle() { SetCheck(GetCheck() == BF_CHECKED ? BF_UNCHECKED : BF_CHECKED); }
    UINT Transfer(void* buffer, TTransferDirection direction) override;

protected:
    TCheckBox() = default;
};

class TRadioButton : public TCheckBox {
public:
    TRadioButton(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
                 TModule* module = nullptr);
    TRadioButton(TWindow* parent, int resourceId, TModule* module = nullptr);
};

class TGroupBox : public TControl {
public:
    TGroupBox(TWindow* parent, int id, const char* text, int x, int y, int w, int h,
              TModule* module = nullptr);
    TGroupBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    const char* GetClassName() override { return "BUTTON"; }
};

class TEdit : public TStatic {
public:
    TEdit(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit = 0,
          bool multiline = false, TModule* module = nullptr);
    TEdit(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);
    const char* GetClassName() override { return "EDIT"; }
    void SetupWindow() override;
    void GetSelection(int& start, int& end) const;
    void SetSelection(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void Insert(const char* text) { SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text)); }
    bool IsModified() const { return SendMessage(EM_GETMODIFY) != 0; }
    void ClearModify() { SendMessage(EM_SETMODIFY, FALSE); }
    int GetNumLines() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    void LimitText(UINT limit);
    void SetReadOnly(bool on) { SendMessage(EM_SETREADONLY, on ? TRUE : FALSE); }
};

class TListBox : public TControl {
public:
    TListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module = nullptr);
    TListBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    const char* GetClassName() override { return "LISTBOX"; }
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    int AddString(const char* s) {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)));
    }
    int InsertString(const char* s, int index) {
        return static_cast<int>(
            SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s)));
    }
    int DeleteString(int index) {
        return static_cast<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index)));
    }
    void ClearList() { SendMessage(LB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetSelIndex() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetSelIndex(int index) {
        return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    std::string GetString(int index) const;
    int GetStringLen(int index) const {
        return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
    }
    LPARAM GetItemData(int index) const { return SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)); }
    int SetItemData(int index, LPARAM data) {
        return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), data));
    }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
    int SetTopIndex(int index) {
        return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index)));
    }
    int FindExactString(const char* s, int after = -1) const {
        return static_cast<int>(
            SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(s)));
    }
};

class TComboBox : public TControl {
public:
    TComboBox(TWindow* parent, int id, int x, int y, int w, int h, DWORD style, UINT textLimit = 0,
              TModule* module = nullptr);
    TComboBox(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);
    const char* GetClassName() override { return "COMBOBOX"; }
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    void SetupWindow() override;
    int AddString(const char* s) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)));
    }
    void ClearList() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetSelIndex() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetSelIndex(int index) {
        return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    std::string GetString(int index) const;
    int FindExactString(const char* s, int after = -1) const {
        return static_cast<int>(
            SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(s)));
    }
    std::string GetText() const { return GetCaption(); }
    void SetText(const char* text) { SetCaption(text); }
    void SetExtendedUI(bool on) { SendMessage(CB_SETEXTENDEDUI, on ? TRUE : FALSE); }

private:
    UINT TextLimit = 0;
};

struct TScrollBarData {
    int32_t LowValue;
    int32_t HighValue;
    int32_t Position;
};

class TScrollBar : public TControl {
public:
    TScrollBar(TWindow* parent, int id, int x, int y, int w, int h, bool isHScrollBar,
               TModule* module = nullptr);
    TScrollBar(TWindow* parent, int resourceId, TModule* module = nullptr);
    const char* GetClassName() override { return "SCROLLBAR"; }
    UINT Transfer(void* buffer, TTransferDirection direction) override;
    void SetupWindow() override;
    void GetRange(int& low, int& high) const;
    void SetRange(int low, int high, bool redraw = true);
    int GetPosition() const;
    void SetPosition(int pos, bool redraw = true);
    // Moves by delta within the range; returns the new position.
    int DeltaPos(int delta);
    int LineMagnitude = 1;
    int PageMagnitude = 10;

protected:
    TScrollBar() = default;
};

class TDialog : virtual public TWindow {
public:
    TDialog(TWindow* parent, const char* resId, TModule* module = nullptr);
    TDialog(TWindow* parent, int resId, TModule* module = nullptr);
    ~TDialog() override;

    // Runs the dialog modally; returns the value it ended with (-1 when it could not be made).
    virtual int Execute();
    // Makes the dialog modeless.
    bool Create() override;
    void Destroy(int retVal = 0) override;
    void CloseWindow(int retVal = IDOK) override;
    // A modeless dialog takes its keyboard messages through the dialog manager (Tab, Enter, Esc).
    bool PreProcessMsg(MSG& msg) override;
    bool IsModal() const { return Modal; }
    // Called when the dialog starts, after set-up; true lets the dialog manager put the focus.
    virtual bool EvInitDialog(HWND focus);
    void CmOk();
    void CmCancel();
    void EvClose();
    DECLARE_RESPONSE_TABLE(TDialog);

protected:
    TDialog() = default;
    void InitDialog(const char* resId);
    LRESULT DefWindowProcFor(UINT msg, WPARAM wp, LPARAM lp) override;
    const char* ResourceName() const;

private:
    static INT_PTR DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void BindControls();
    std::string ResName;
    int ResNumber = -1;
    bool Modal = false;
    bool DefaultCalled = false;
};

// Menus: a TMenu wraps a menu handle it owns (made or loaded by it) or borrows.
class TMenu {
public:
    TMenu();  // a new empty menu bar
    explicit TMenu(HMENU handle, bool owned = false) : Handle(handle), Owned(owned) {}
    TMenu(const TModule& module, const char* resId);
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;
    virtual ~TMenu();
    HMENU GetHandle() const { return Handle; }
    operator HMENU() const { return Handle; }  // NOLINT(google-explicit-constructor)
    bool IsOK() const { return Handle != nullptr && ::IsMenu(Handle); }
    HMENU Release() {
        Owned = false;
        return Handle;
    }

    bool AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr) {
        return ::AppendMenuA(Handle, flags, id, text) != 0;
    }
    bool InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr) {
        return ::InsertMenuA(Handle, position, flags, id, text) != 0;
    }
    bool ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr) {
        return ::ModifyMenuA(Handle, position, flags, id, text) != 0;
    }
    bool DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(Handle, position, flags) != 0; }
    bool RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(Handle, position, flags) != 0; }
    UINT EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(Handle, item, enable); }
    DWORD CheckMenuItem(UINT item, UINT check) { return ::CheckMenuItem(Handle, item, check); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(Handle); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(Handle, position); }
    UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(Handle, item, flags); }
    std::string GetMenuString(UINT item, UINT flags) const;
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(Handle, position); }
    // Appends the items of another menu (copies of its strings, separators and popups).
    void MergeItems(HMENU source);

protected:
    HMENU Handle;
    bool Owned;
};

class TPopupMenu : public TMenu {
public:
    TPopupMenu();
    explicit TPopupMenu(HMENU handle, bool owned = false) : TMenu(handle, owned) {}
    // With TPM_RETURNCMD the chosen id (0 when dismissed); else nonzero on success.
    int TrackPopupMenu(UINT flags, const TPoint& screenPoint, int reserved, HWND owner,
                       const TRect* rect = nullptr) {
        return ::TrackPopupMenu(Handle, flags, screenPoint.x, screenPoint.y, reserved, owner, rect);
    }
};
