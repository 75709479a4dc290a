#include "viewer/file_open_dlg.h"

#include "ui/message_box.h"

namespace {

HWND MainWindowOr(HWND fallback) {
    TApplication* app = TApplication::Get();
    TWindow* main = app != nullptr ? app->GetMainWindow() : nullptr;
    return main != nullptr && main->GetHandle() != nullptr ? main->GetHandle() : fallback;
}

}  // namespace

TQSFileOpenDialog::TQSFileOpenDialog(TWindow* parent, TOpenFileData& data) : Parent(parent), Data(data) {}

std::string TQSFileOpenDialog::MakeFilter(const char* filter) {
    std::string out;
    for (const char* p = filter != nullptr ? filter : ""; *p; ++p)
        out.push_back(*p == '|' ? '\0' : *p);
    if (out.empty() || out.back() != '\0') out.push_back('\0');
    out.push_back('\0');
    return out;
}

UINT_PTR TQSFileOpenDialog::Hook(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lp);
        // The old-style dialog: the hook sees the dialog itself.
        if (!(ofn->Flags & OFN_EXPLORER)) CenterWindowOver(hwnd, MainWindowOr(ofn->hwndOwner), true);
        return TRUE;
    }
    if (msg == WM_NOTIFY) {
        const auto* note = reinterpret_cast<const OFNOTIFYA*>(lp);
        // The Explorer-style dialog tells its hook, an empty child of the dialog, when it is set up: the
        // dialog holding that child is centred.
        if (note->hdr.code == CDN_INITDONE) {
            HWND dialog = GetParent(note->hdr.hwndFrom);
            CenterWindowOver(dialog != nullptr ? dialog : note->hdr.hwndFrom,
                             MainWindowOr(note->lpOFN->hwndOwner), true);
        }
    }
    return 0;
}

int TQSFileOpenDialog::Execute() {
    std::string filter = MakeFilter(Data.Filter);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Parent != nullptr ? Parent->GetHandle() : nullptr;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(Data.FilterIndex);
    ofn.lpstrFile = Data.FileName;
    ofn.nMaxFile = sizeof Data.FileName;
    ofn.lpstrDefExt = Data.DefExt;
    ofn.Flags = Data.Flags | OFN_ENABLEHOOK;
    ofn.lpfnHook = Hook;
    if (!GetOpenFileNameA(&ofn)) return IDCANCEL;
    Data.FilterIndex = static_cast<int32_t>(ofn.nFilterIndex);
    return IDOK;
}
