// The plug-in's file-save dialog and its save-a-copy command. In an Explorer-style dialog the extension of
// the typed name follows the file type the user picks, and the default extension changes with it.
#pragma once

#include <string>

#include "platform/framework/file_dialogs.h"

class TQSFileSaveDialog : public TFileSaveDialog {
public:
    TQSFileSaveDialog(TWindow* parent, TOpenSaveDialog::TData& data);

    // The extension of filter `index` (from 0) of a list in the common dialog's form (description and
    // pattern texts, each ended by a zero, the list by a second zero): the pattern from its third character
    // up to the first ';', at most 64 characters; empty for a negative index, a pattern shorter than three
    // characters, or one that still holds a wildcard.
    static std::string GetFilterExtension(const char* filterList, int index);

    // The answer to the common dialog's notifications; `child` is the window that sent them, whose parent
    // is the dialog.
    LRESULT EvNotify(HWND child, const OFNOTIFYA& notify);

protected:
    BOOL Run(OPENFILENAMEA& ofn) override;

private:
    static UINT_PTR HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

namespace qsm {

// The player's save-a-copy command: asks for a name (the file type of the delivered file, the title as the
// name offered) and copies the browser's cache file there. A cache file that is gone is reported in a box.
// True when a copy was written.
bool SaveCopyOfCacheFile(TWindow* parent, const std::string& cacheFile, const char* title, bool textFormat);

}  // namespace qsm
