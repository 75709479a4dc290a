// Dialog templates in our own text form, kept as resources of type RT_DIALOG. One template per resource:
//
//   dialog <x> <y> <cx> <cy> "Caption"          size and place in dialog units
//   style WS_POPUP | WS_CAPTION | DS_MODALFRAME  window styles (names or numbers; NOT removes a style)
//   exstyle WS_EX_TOOLWINDOW
//   font 8 "MS Sans Serif"
//   control "Text" <id> <class> <x> <y> <cx> <cy> [styles] [exstyle <styles>]
//   ltext "Text" <id> <x> <y> <cx> <cy> [styles]    also ctext, rtext, pushbutton, defpushbutton, checkbox,
//                                                    autocheckbox, radiobutton, autoradiobutton, groupbox
//   edittext <id> <x> <y> <cx> <cy> [styles]         also listbox, combobox, scrollbar
//
// '#' starts a comment line; commas count as blanks; texts are in double quotes, "" standing for one quote
// and \n, \t, \\ for a line break, a tab and a backslash. Every control is a visible child window.
#pragma once

#include <string>
#include <vector>

#include "platform/wm/winuser.h"

namespace qsm::wm {

struct DialogItem {
    std::string cls;
    int id = 0;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
};

struct DialogTemplate {
    std::string caption;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD ex_style = 0;
    int font_points = 8;
    std::string font_face = "MS Sans Serif";
    std::vector<DialogItem> items;
};

// Parses a template; false with a message (line number and reason) for text that is not one.
bool ParseDialogTemplate(const char* data, size_t size, DialogTemplate* out, std::string* error);
// The value of a style name ("WS_CHILD", "BS_PUSHBUTTON", ...); false for an unknown name.
bool StyleValue(const std::string& name, DWORD* value);

// The line syntax shared by our resource texts: tokens are bare words and double-quoted texts (returned
// with a leading '"' as a marker); commas count as blanks.
bool TokenizeResourceLine(const std::string& line, std::vector<std::string>* out, std::string* error);
bool IsResourceText(const std::string& token);
bool ResourceNumber(const std::string& token, int* value);

// Dialogs made from a template in memory.
HWND CreateDialogFromTemplate(const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxFromTemplate(const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param);

}  // namespace qsm::wm
