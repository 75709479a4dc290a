#include "platform/wm/folder_dialog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/wm/controls.h"
#include "platform/wm/dialog_path.h"
#include "platform/wm/dialog_template.h"

namespace fs = std::filesystem;

namespace qsm::wm {
namespace {

using dialog_path::IsDir;
using dialog_path::Join;
using dialog_path::Normal;

constexpr const char* kStateProp = "qsm.folderdlg";

struct FolderDialog {
    BROWSEINFOA* info = nullptr;
    std::string dir;
    std::string chosen;
};

FolderDialog* StateOf(HWND h) {
    return static_cast<FolderDialog*>(GetPropA(h, kStateProp));
}

std::string Home() {
    const char* h = std::getenv("HOME");
    return h && IsDir(h) ? Normal(h) : "/";
}

void Show(HWND h, FolderDialog& st, const std::string& dir) {
    st.dir = dir;
    SetDlgItemTextA(h, kFolderShownId, dir.c_str());
    SetDlgItemTextA(h, kFolderEditId, dir.c_str());
    HWND list = GetDlgItem(h, kFolderListId);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name[0] != '.' && IsDir(it->path().string())) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (dir != "/") names.insert(names.begin(), "..");
    for (const std::string& n : names)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
}

std::string ListText(HWND list, int index) {
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n < 0) return std::string();
    std::string s(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
    s.resize(std::strlen(s.c_str()));
    return s;
}

void OnOk(HWND h, FolderDialog& st) {
    std::string target = st.dir;
    if (st.info->ulFlags & BIF_EDITBOX) {
        char typed[MAX_PATH * 2] = {};
        GetDlgItemTextA(h, kFolderEditId, typed, sizeof typed);
        if (typed[0]) target = Join(st.dir, qsm::NativePath(typed));
    }
    if (!IsDir(target)) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    st.chosen = target;
    EndDialog(h, IDOK);
}

INT_PTR FolderDlgProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        auto* st = reinterpret_cast<FolderDialog*>(lparam);
        SetPropA(h, kStateProp, st);
        Show(h, *st, Home());
        if (st->info->lpfn) st->info->lpfn(h, BFFM_INITIALIZED, 0, st->info->lParam);
        return TRUE;
    }
    FolderDialog* st = StateOf(h);
    if (st == nullptr) return FALSE;
    switch (msg) {
        case BFFM_SETSELECTIONA:
            // wParam TRUE: lParam is a path (an item otherwise).
            if (lparam) {
                std::string path = wparam ? qsm::NativePath(reinterpret_cast<const char*>(lparam))
                                          : std::string(reinterpret_cast<const char*>(lparam));
                if (IsDir(path)) Show(h, *st, Join(st->dir, path));
            }
            return TRUE;
        case WM_NCDESTROY:
            RemovePropA(h, kStateProp);
            return FALSE;
        case WM_COMMAND:
            break;
        default:
            return FALSE;
    }
    switch (LOWORD(wparam)) {
        case IDOK:
            OnOk(h, *st);
            return TRUE;
        case IDCANCEL:
            EndDialog(h, IDCANCEL);
            return TRUE;
        case kFolderListId:
            if (HIWORD(wparam) == LBN_DBLCLK) {
                HWND list = GetDlgItem(h, kFolderListId);
                LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
                if (sel >= 0) Show(h, *st, Join(st->dir, ListText(list, static_cast<int>(sel))));
            } else if (HIWORD(wparam) == LBN_SELCHANGE) {
                HWND list = GetDlgItem(h, kFolderListId);
                LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
                if (sel >= 0)
                    SetDlgItemTextA(h, kFolderEditId,
                                    Join(st->dir, ListText(list, static_cast<int>(sel))).c_str());
            }
            return TRUE;
        default:
            return FALSE;
    }
}

DialogTemplate MakeTemplate(const BROWSEINFOA& info) {
    DialogTemplate t;
    t.caption = "Browse For Folder";
    t.cx = 220;
    t.cy = 200;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.font_points = 8;
    t.font_face = "MS Shell Dlg";
    const DWORD kid = WS_CHILD | WS_VISIBLE;
    const bool edit = (info.ulFlags & BIF_EDITBOX) != 0;
    t.items = {
        {"STATIC", kFolderTitleId, info.lpszTitle ? info.lpszTitle : "", 7, 6, 206, 9, kid | SS_LEFT, 0},
        {"STATIC", kFolderShownId, "", 7, 18, 206, 9, kid | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS,
         0},
        {"LISTBOX", kFolderListId, "", 7, 30, 206, edit ? 124 : 140,
         kid | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, 0},
        {"EDIT", kFolderEditId, "", 7, 158, 206, 12,
         (edit ? kid : WS_CHILD) | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0},
        {"BUTTON", IDOK, "OK", 102, 179, 53, 14, kid | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
        {"BUTTON", IDCANCEL, "Cancel", 160, 179, 53, 14, kid | WS_TABSTOP | BS_PUSHBUTTON, 0},
    };
    return t;
}

}  // namespace
}  // namespace qsm::wm

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* lpbi) {
    if (!lpbi) return nullptr;
    qsm::wm::FolderDialog st;
    st.info = lpbi;
    INT_PTR r = qsm::wm::DialogBoxFromTemplate(qsm::wm::MakeTemplate(*lpbi), lpbi->hwndOwner,
                                               qsm::wm::FolderDlgProc, reinterpret_cast<LPARAM>(&st));
    if (r != IDOK || st.chosen.empty()) return nullptr;
    if (lpbi->pszDisplayName) {
        std::string name = st.chosen == "/" ? "/" : st.chosen.substr(st.chosen.rfind('/') + 1);
        size_t n = std::min(name.size(), static_cast<size_t>(MAX_PATH - 1));
        std::memcpy(lpbi->pszDisplayName, name.data(), n);
        lpbi->pszDisplayName[n] = 0;
    }
    return ILCreateFromPathA(st.chosen.c_str());
}
