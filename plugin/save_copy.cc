#include "plugin/save_copy.h"

#include <cstring>

#include "core/file_utils.h"
#include "core/sys_info.h"
#include "core/text_utils.h"
#include "ui/message_box.h"

namespace {

constexpr const char* kDialogProp = "QSFileSaveDialog";
constexpr int kNameLength = 260;

// How many texts the double-zero-terminated list holds.
int CountListStrings(const char* list) {
    int n = 0;
    for (const char* p = list; p != nullptr && *p != '\0'; p += std::strlen(p) + 1)
        ++n;
    return n;
}

}  // namespace

TQSFileSaveDialog::TQSFileSaveDialog(TWindow* parent, TOpenSaveDialog::TData& data)
    : TFileSaveDialog(parent, data) {}

std::string TQSFileSaveDialog::GetFilterExtension(const char* filterList, int index) {
    // A filter beyond the list has no pattern (the list helper would answer its first text).
    if (index < 0 || 2 * index + 1 >= CountListStrings(filterList)) return {};
    const char* pattern = GetListString(filterList, 2 * index + 1);
    if (pattern == nullptr || std::strlen(pattern) < 3) return {};
    char ext[65];
    SafeStrCopy(ext, pattern + 2, sizeof ext);
    if (char* semicolon = std::strchr(ext, ';')) *semicolon = '\0';
    if (std::strpbrk(ext, "*?") != nullptr) return {};
    return ext;
}

LRESULT TQSFileSaveDialog::EvNotify(HWND child, const OFNOTIFYA& notify) {
    if ((Data.Flags & OFN_EXPLORER) == 0) return 0;
    switch (notify.hdr.code) {
        case CDN_INITDONE:
            CenterWindowOnScreen(GetParent(child), true);
            return 1;
        case CDN_TYPECHANGE: {
            const int index = static_cast<int>(notify.lpOFN->nFilterIndex) - 1;
            const std::string ext = GetFilterExtension(notify.lpOFN->lpstrFilter, index);
            SendMessageA(child, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(ext.c_str()));
            char name[kNameLength + 1] = {};
            if (SendMessageA(child, CDM_GETSPEC, kNameLength, reinterpret_cast<LPARAM>(name)) > 0) {
                std::string typed = name;
                const size_t dot = typed.rfind('.');
                if (dot != std::string::npos) {
                    typed.replace(dot + 1, std::string::npos, ext);
                    SendMessageA(child, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(typed.c_str()));
                }
            }
            return 0;
        }
        default:
            return 0;
    }
}

BOOL TQSFileSaveDialog::Run(OPENFILENAMEA& ofn) {
    if (ofn.Flags & OFN_EXPLORER) {
        ofn.Flags |= OFN_ENABLEHOOK;
        ofn.lpfnHook = HookProc;
        ofn.lCustData = reinterpret_cast<LPARAM>(this);
    }
    return GetSaveFileNameA(&ofn);
}

UINT_PTR TQSFileSaveDialog::HookProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        SetPropA(hwnd, kDialogProp, reinterpret_cast<HANDLE>(ofn->lCustData));
        return 0;
    }
    auto* dialog = static_cast<TQSFileSaveDialog*>(GetPropA(hwnd, kDialogProp));
    if (msg == WM_NCDESTROY) RemovePropA(hwnd, kDialogProp);
    if (dialog == nullptr || msg != WM_NOTIFY) return 0;
    const LRESULT result = dialog->EvNotify(hwnd, *reinterpret_cast<const OFNOTIFYA*>(lParam));
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return static_cast<UINT_PTR>(result);
}

namespace qsm {

bool SaveCopyOfCacheFile(TWindow* parent, const std::string& cacheFile, const char* title, bool textFormat) {
    if (cacheFile.empty() || !IsPlainFile(cacheFile.c_str())) {
        MessageBoxExA(nullptr, "The file no longer exists in the browser cache.", "Not Available",
                      MB_TASKMODAL | MB_ICONINFORMATION, 0);
        return false;
    }
    DWORD flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
    if (SysInfo.IsVersion4OrLater()) flags |= OFN_EXPLORER;
    if (SysInfo.IsWin98OrLater() || SysInfo.IsNT5OrLater()) flags |= OFN_ENABLESIZING;
    TOpenSaveDialog::TData data(flags, textFormat ? "qsmtxt File|*.qsmtxt|" : "Standard QSM File|*.qsm|",
                                nullptr, "qsm", kNameLength);
    data.SetFileName(title);
    bool copied = false;
    if (TQSFileSaveDialog(parent, data).Execute() == IDOK) {
        TQSBusyCursor busy;
        copied = CopyFileUnlessSame(cacheFile.c_str(), data.FileName);
    }
    if (parent != nullptr && parent->GetHandle() != nullptr) parent->Invalidate();
    return copied;
}

}  // namespace qsm
