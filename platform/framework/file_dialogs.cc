#include "platform/framework/file_dialogs.h"

#include <cstring>

TOpenSaveDialog::TData::TData(DWORD flags, const char* filter, const char* initialDir, const char* defExt,
                              int maxPath, int filterIndex)
    : Flags(flags),
      FilterIndex(filterIndex),
      MaxPath(maxPath > 0 ? maxPath : MAX_PATH),
      DefExt(defExt ? defExt : ""),
      InitialDir(initialDir ? initialDir : ""),
      FileNameBuffer(static_cast<size_t>(MaxPath), '\0') {
    FileName = FileNameBuffer.data();
    SetFilter(filter);
}

void TOpenSaveDialog::TData::SetFilter(const char* filter) {
    Filter.clear();
    if (filter == nullptr || *filter == '\0') return;
    for (const char* p = filter; *p; ++p)
        Filter.push_back(*p == '|' ? '\0' : *p);
    if (Filter.back() != '\0') Filter.push_back('\0');
    Filter.push_back('\0');
}

void TOpenSaveDialog::TData::SetFileName(const char* name) {
    std::strncpy(FileName, name ? name : "", static_cast<size_t>(MaxPath) - 1);
    FileName[MaxPath - 1] = '\0';
}

TOpenSaveDialog::TOpenSaveDialog(TWindow* parent, TData& data, const char* title)
    : Parent(parent), Data(data), Title(title ? title : "") {}

int TOpenSaveDialog::Execute() {
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Parent ? Parent->GetHandle() : nullptr;
    ofn.lpstrFilter = Data.Filter.empty() ? nullptr : Data.Filter.data();
    ofn.nFilterIndex = static_cast<DWORD>(Data.FilterIndex);
    ofn.lpstrFile = Data.FileName;
    ofn.nMaxFile = static_cast<DWORD>(Data.MaxPath);
    ofn.lpstrInitialDir = Data.InitialDir.empty() ? nullptr : Data.InitialDir.c_str();
    ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    ofn.Flags = Data.Flags;
    ofn.lpstrDefExt = Data.DefExt.empty() ? nullptr : Data.DefExt.c_str();
    BOOL ok = Run(ofn);
    Data.Error = ok ? 0 : CommDlgExtendedError();
    if (ok) Data.FilterIndex = static_cast<int>(ofn.nFilterIndex);
    return ok ? IDOK : IDCANCEL;
}
