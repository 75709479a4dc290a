// The class library's file-open and file-save dialogs over the common file dialogs (GetOpenFileNameA,
// GetSaveFileNameA). TOpenSaveDialog::TData keeps what the dialogs share between runs: the flags, the
// filter (descriptions and patterns separated by '|'), the chosen filter, the default extension, the
// initial folder and the file name buffer, which holds the chosen path after OK.
#pragma once

#include <string>
#include <vector>

#include "platform/framework/window.h"
#include "platform/wm/file_dialog.h"

class TOpenSaveDialog {
public:
    class TData {
    public:
        TData(DWORD flags = 0, const char* filter = nullptr, const char* initialDir = nullptr,
              const char* defExt = nullptr, int maxPath = MAX_PATH, int filterIndex = 0);
        TData(const TData&) = delete;
        TData& operator=(const TData&) = delete;

        // "Text|*.txt|All|*.*|": '|' separates the texts; a missing last '|' is allowed.
        void SetFilter(const char* filter);
        void SetInitialDir(const char* dir) { InitialDir = dir ? dir : ""; }
        void SetFileName(const char* name);

        DWORD Flags;
        // The common dialog's error code after a failed run (0 after OK or Cancel).
        DWORD Error = 0;
        char* FileName;  // MaxPath bytes
        int FilterIndex;
        int MaxPath;
        std::string DefExt;
        std::string InitialDir;
        // The filter in the common dialog's form: texts ended by zeros, the list by a second zero.
        std::vector<char> Filter;

    private:
        std::vector<char> FileNameBuffer;
    };

    TOpenSaveDialog(TWindow* parent, TData& data, const char* title = nullptr);
    virtual ~TOpenSaveDialog() = default;
    // IDOK with the chosen path in the data's file name, else IDCANCEL.
    int Execute();

protected:
    virtual BOOL Run(OPENFILENAMEA& ofn) = 0;
    TWindow* Parent;
    TData& Data;
    std::string Title;
};

class TFileOpenDialog : public TOpenSaveDialog {
public:
    using TOpenSaveDialog::TOpenSaveDialog;

protected:
    BOOL Run(OPENFILENAMEA& ofn) override { return GetOpenFileNameA(&ofn); }
};

class TFileSaveDialog : public TOpenSaveDialog {
public:
    using TOpenSaveDialog::TOpenSaveDialog;

protected:
    BOOL Run(OPENFILENAMEA& ofn) override { return GetSaveFileNameA(&ofn); }
};
