// The file-open dialog of the Open command: the common file-open dialog over the application's open-file
// data, centred over the main window, which keeps the file type chosen for the next Open.
#pragma once

#include <string>

#include "platform/framework/window.h"
#include "platform/wm/file_dialog.h"
#include "viewer/app.h"

class TQSFileOpenDialog {
public:
    TQSFileOpenDialog(TWindow* parent, TOpenFileData& data);

    // IDOK with the chosen path in the data's file name and its file type kept, else IDCANCEL.
    int Execute();

    // The filter in the dialog's form: each "text|patterns|" pair as two texts ended by a zero byte, the
    // list by a second one.
    static std::string MakeFilter(const char* filter);

private:
    static UINT_PTR Hook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    TWindow* Parent;
    TOpenFileData& Data;
};
