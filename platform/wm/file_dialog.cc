// The file open and file save dialogs.
#include "platform/wm/file_dialog.h"

#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/compiler.h"
#include "platform/wm/dialog_path.h"
#include "platform/wm/dialog_template.h"

namespace fs = std::filesystem;

namespace qsm::wm {
namespace {

using dialog_path::IsDir;
using dialog_path::Join;
using dialog_path::Normal;

thread_local DWORD t_error = 0;

constexpr const char* kStateProp = "qsm.filedlg";
constexpr LPARAM kParentItem = 2;
constexpr LPARAM kFolderItem = 1;
constexpr LPARAM kFileItem = 0;

struct FileDialog {
    OPENFILENAMEA* ofn = nullptr;
    bool save = false;
    bool explorer_hook = false;  // the hook belongs to a child dialog and gets notifications
    bool plain_hook = false;     // the hook sees the dialog's own messages
    std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
    std::string dir;                                           // the folder shown, absolute
    std::string def_ext;
    std::string typed_pattern;  // a pattern typed into the name field, in place of the filter's
    std::string initial_name;
    std::string title;
    HWND dlg = nullptr;
    HWND hook_child = nullptr;
};

FileDialog* StateOf(HWND h) {
    return static_cast<FileDialog*>(GetPropA(h, kStateProp));
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> Patterns(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string p = Trim(list.substr(start, end - start));
        if (!p.empty()) out.push_back(p);
        start = end + 1;
    }
    return out;
}

bool Matches(const std::vector<std::string>& patterns, const std::string& name) {
    if (patterns.empty()) return true;
    for (const std::string& p : patterns) {
        if (p == "*.*" || p == "*") return true;
        if (fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0) return true;
    }
    return false;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

std::string ItemText(HWND list, int i) {
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n < 0) return "";
    std::string s(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}

std::string FieldText(HWND dlg) {
    HWND e = GetDlgItem(dlg, edt1);
    int n = GetWindowTextLengthA(e);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(e, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

void Notify(FileDialog& st, UINT code) {
    if (!st.explorer_hook || st.hook_child == nullptr) return;
    OFNOTIFYA n{NMHDR{st.hook_child, 0, code}, st.ofn, nullptr};
    SendMessageA(st.hook_child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

// Folders first, then the files the current filter lets through, each group in name order.
void Fill(FileDialog& st) {
    HWND list = GetDlgItem(st.dlg, lst1);
    std::vector<std::string> dirs, files;
    std::vector<std::string> patterns;
    if (!st.typed_pattern.empty()) {
        patterns = Patterns(st.typed_pattern);
    } else if (!st.filters.empty()) {
        patterns = Patterns(st.filters[std::min<size_t>(st.ofn->nFilterIndex, st.filters.size()) - 1].second);
    }
    std::error_code ec;
    for (fs::directory_iterator it(st.dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;  // hidden
        std::error_code kind_ec;
        if (it->is_directory(kind_ec)) {
            dirs.push_back(name);
        } else if (Matches(patterns, name)) {
            files.push_back(name);
        }
    }
    std::sort(dirs.begin(), dirs.end(), LessNoCase);
    std::sort(files.begin(), files.end(), LessNoCase);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    auto add = [&](const std::string& text, LPARAM kind) {
        LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (i >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(i), kind);
    };
    if (st.dir != "/") add("[..]", kParentItem);
    for (const std::string& d : dirs)
        add("[" + d + "]", kFolderItem);
    for (const std::string& f : files)
        add(f, kFileItem);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    SetDlgItemTextA(st.dlg, stc5, st.dir.c_str());
}

void ChangeFolder(FileDialog& st, const std::string& dir) {
    st.dir = dir;
    st.typed_pattern.clear();
    Fill(st);
}

int Box(FileDialog& st, const std::string& text, UINT type) {
    return MessageBoxA(st.dlg, text.c_str(), st.title.c_str(), type);
}

// Writes the chosen path into the caller's record and ends the dialog.
void Accept(FileDialog& st, const std::string& path) {
    OPENFILENAMEA& o = *st.ofn;
    if (path.size() + 1 > o.nMaxFile) {
        if (o.nMaxFile >= 2) {
            WORD need = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
            memcpy(o.lpstrFile, &need, sizeof need);
        }
        t_error = FNERR_BUFFERTOOSMALL;
        EndDialog(st.dlg, IDCANCEL);
        return;
    }
    memcpy(o.lpstrFile, path.c_str(), path.size() + 1);
    size_t name_at = path.rfind('/') + 1;
    size_t dot = path.rfind('.');
    o.nFileOffset = static_cast<WORD>(std::min<size_t>(name_at, 0xFFFF));
    o.nFileExtension = static_cast<WORD>(
        std::min<size_t>(dot != std::string::npos && dot >= name_at ? dot + 1 : path.size(), 0xFFFF));
    if (o.lpstrFileTitle != nullptr && o.nMaxFileTitle > 0) {
        std::string name = path.substr(name_at);
        size_t n = std::min<size_t>(name.size(), o.nMaxFileTitle - 1);
        memcpy(o.lpstrFileTitle, name.data(), n);
        o.lpstrFileTitle[n] = '\0';
    }
    LRESULT sel = SendDlgItemMessageA(st.dlg, cmb1, CB_GETCURSEL, 0, 0);
    if (sel >= 0) o.nFilterIndex = static_cast<DWORD>(sel) + 1;
    EndDialog(st.dlg, IDOK);
}

// OK, Enter or a double click: a folder chosen in the list is entered; otherwise the name field decides.
void OnOk(FileDialog& st, bool from_list) {
    HWND list = GetDlgItem(st.dlg, lst1);
    if (from_list || GetFocus() == list) {
        LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
        if (sel >= 0) {
            LRESULT kind = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0);
            std::string text = ItemText(list, static_cast<int>(sel));
            if (kind == kParentItem) {
                ChangeFolder(st, Normal(st.dir + "/.."));
                return;
            }
            if (kind == kFolderItem) {
                ChangeFolder(st, Join(st.dir, text.substr(1, text.size() - 2)));
                return;
            }
        }
    }
    std::string typed = Trim(FieldText(st.dlg));
    if (typed.empty()) {
        MessageBeep(0);
        return;
    }
    if (typed.find_first_of("*?") != std::string::npos && typed.find('/') == std::string::npos) {
        st.typed_pattern = typed;
        Fill(st);
        return;
    }
    std::string path = Join(st.dir, typed);
    if (IsDir(path)) {
        ChangeFolder(st, path);
        SetDlgItemTextA(st.dlg, edt1, "");
        return;
    }
    size_t name_at = path.rfind('/') + 1;
    if (path.find('.', name_at) == std::string::npos && !st.def_ext.empty()) path += "." + st.def_ext;
    std::string folder = name_at > 1 ? path.substr(0, name_at - 1) : "/";
    const DWORD flags = st.ofn->Flags;
    if ((flags & OFN_PATHMUSTEXIST) && !IsDir(folder)) {
        Box(st, path + "\nThe folder does not exist.\nCheck the path and try again.",
            MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    struct stat info {};
    bool exists = stat(path.c_str(), &info) == 0;
    if (!st.save && (flags & OFN_FILEMUSTEXIST) && !exists) {
        Box(st, path + "\nFile not found.\nCheck the file name and try again.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (exists && (flags & OFN_NOREADONLYRETURN) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        Box(st, path + "\nThe file is read-only.\nUse a different name.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (st.save && exists && (flags & OFN_OVERWRITEPROMPT) &&
        Box(st, path + " already exists.\nDo you want to replace it?", MB_YESNO | MB_ICONEXCLAMATION) !=
            IDYES) {
        PostMessageA(st.dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(st.dlg, edt1)), TRUE);
        return;
    }
    Accept(st, path);
}

// The CDM_* messages; the result goes back as the message's result.
LRESULT HandleCdm(FileDialog& st, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case CDM_GETSPEC: {
            std::string typed = FieldText(st.dlg);
            auto* buf = reinterpret_cast<char*>(lparam);
            int size = static_cast<int>(wparam);
            if (buf != nullptr && size > 0) {
                size_t n = std::min<size_t>(typed.size(), static_cast<size_t>(size) - 1);
                memcpy(buf, typed.data(), n);
                buf[n] = '\0';
            }
            return static_cast<LRESULT>(typed.size() + 1);
        }
        case CDM_SETCONTROLTEXT:
            return SetDlgItemTextA(st.dlg, static_cast<int>(wparam), reinterpret_cast<LPCSTR>(lparam));
        case CDM_SETDEFEXT: {
            const char* ext = reinterpret_cast<LPCSTR>(lparam);
            st.def_ext = ext != nullptr ? ext : "";
            if (!st.def_ext.empty() && st.def_ext[0] == '.') st.def_ext.erase(0, 1);
            return TRUE;
        }
        default:
            return 0;
    }
}

bool IsCdm(UINT msg) {
    return msg == CDM_GETSPEC || msg == CDM_SETCONTROLTEXT || msg == CDM_SETDEFEXT;
}

INT_PTR HookChildProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        auto* st = reinterpret_cast<FileDialog*>(lparam);
        SetPropA(h, kStateProp, st);
        st->hook_child = h;
        return static_cast<INT_PTR>(st->ofn->lpfnHook(h, msg, wparam, reinterpret_cast<LPARAM>(st->ofn)));
    }
    FileDialog* st = StateOf(h);
    if (st == nullptr) return FALSE;
    if (IsCdm(msg)) {
        SetWindowLongPtrA(h, DWLP_MSGRESULT, HandleCdm(*st, msg, wparam, lparam));
        return TRUE;
    }
    return static_cast<INT_PTR>(st->ofn->lpfnHook(h, msg, wparam, lparam));
}

void Init(HWND h, FileDialog& st) {
    st.dlg = h;
    SetPropA(h, kStateProp, &st);
    HWND combo = GetDlgItem(h, cmb1);
    for (const auto& f : st.filters)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.first.c_str()));
    if (!st.filters.empty()) SendMessageA(combo, CB_SETCURSEL, st.ofn->nFilterIndex - 1, 0);
    SetDlgItemTextA(h, edt1, st.initial_name.c_str());
    Fill(st);
    // The name field has the focus once the dialog shows.
    PostMessageA(h, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(h, edt1)), TRUE);
    if (st.explorer_hook) {
        DialogTemplate child;
        child.style = DS_CONTROL | WS_CHILD;
        child.cx = child.cy = 0;
        if (CreateDialogFromTemplate(child, h, HookChildProc, reinterpret_cast<LPARAM>(&st)) == nullptr) {
            t_error = CDERR_DIALOGFAILURE;
            EndDialog(h, -1);
            return;
        }
        Notify(st, CDN_INITDONE);
    }
}

INT_PTR FileDlgProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        auto* st = reinterpret_cast<FileDialog*>(lparam);
        Init(h, *st);
        if (st->plain_hook && IsWindow(h))
            st->ofn->lpfnHook(h, WM_INITDIALOG, wparam, reinterpret_cast<LPARAM>(st->ofn));
        return FALSE;
    }
    FileDialog* st = StateOf(h);
    if (st == nullptr) return FALSE;
    if (st->plain_hook && st->ofn->lpfnHook(h, msg, wparam, lparam) != 0) return TRUE;
    if (IsCdm(msg)) {
        SetWindowLongPtrA(h, DWLP_MSGRESULT, HandleCdm(*st, msg, wparam, lparam));
        return TRUE;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(h, kStateProp);
        return FALSE;
    }
    if (msg != WM_COMMAND) return FALSE;
    int id = LOWORD(wparam);
    int code = HIWORD(wparam);
    HWND list = GetDlgItem(h, lst1);
    switch (id) {
        case IDOK:
            OnOk(*st, false);
            return TRUE;
        case IDCANCEL:
            EndDialog(h, IDCANCEL);
            return TRUE;
        case lst1: {
            LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
            if (sel < 0) return TRUE;
            LRESULT kind = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0);
            if (code == LBN_SELCHANGE && kind == kFileItem) {
                SetDlgItemTextA(h, edt1, ItemText(list, static_cast<int>(sel)).c_str());
            } else if (code == LBN_DBLCLK) {
                OnOk(*st, true);
            }
            return TRUE;
        }
        case cmb1:
            if (code == CBN_SELCHANGE) {
                LRESULT sel = SendMessageA(GetDlgItem(h, cmb1), CB_GETCURSEL, 0, 0);
                if (sel >= 0) st->ofn->nFilterIndex = static_cast<DWORD>(sel) + 1;
                st->typed_pattern.clear();
                Fill(*st);
                Notify(*st, CDN_TYPECHANGE);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

DialogTemplate MakeTemplate(const FileDialog& st) {
    DialogTemplate t;
    t.caption = st.title;
    t.cx = 280;
    t.cy = 182;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.font_points = 8;
    t.font_face = "MS Shell Dlg";
    const DWORD kid = WS_CHILD | WS_VISIBLE;
    t.items = {
        {"STATIC", stc4, "Look &in:", 7, 8, 44, 9, kid | SS_LEFT, 0},
        {"STATIC", stc5, "", 52, 8, 221, 9, kid | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS, 0},
        {"LISTBOX", lst1, "", 7, 20, 266, 118,
         kid | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, 0},
        {"STATIC", stc3, "File &name:", 7, 146, 50, 9, kid | SS_LEFT, 0},
        {"EDIT", edt1, "", 60, 144, 150, 12, kid | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0},
        {"STATIC", stc2, "Files of &type:", 7, 164, 50, 9, kid | SS_LEFT, 0},
        {"COMBOBOX", cmb1, "", 60, 162, 150, 80, kid | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0},
        {"BUTTON", IDOK, st.save ? "&Save" : "&Open", 218, 143, 55, 14, kid | WS_TABSTOP | BS_DEFPUSHBUTTON,
         0},
        {"BUTTON", IDCANCEL, "Cancel", 218, 161, 55, 14, kid | WS_TABSTOP | BS_PUSHBUTTON, 0},
    };
    return t;
}

BOOL Run(OPENFILENAMEA* ofn, bool save) {
    t_error = 0;
    if (ofn == nullptr || ofn->lStructSize != sizeof(OPENFILENAMEA)) {
        t_error = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        t_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    if ((ofn->Flags & OFN_ENABLEHOOK) && ofn->lpfnHook == nullptr) {
        t_error = CDERR_NOHOOK;
        return FALSE;
    }
    FileDialog st;
    st.ofn = ofn;
    st.save = save;
    st.explorer_hook = (ofn->Flags & (OFN_ENABLEHOOK | OFN_EXPLORER)) == (OFN_ENABLEHOOK | OFN_EXPLORER);
    st.plain_hook = (ofn->Flags & OFN_ENABLEHOOK) && !(ofn->Flags & OFN_EXPLORER);
    for (const char* p = ofn->lpstrFilter; p != nullptr && *p != '\0';) {
        std::string desc = p;
        p += desc.size() + 1;
        std::string patterns = p;
        if (patterns.empty()) break;
        p += patterns.size() + 1;
        st.filters.emplace_back(desc, patterns);
    }
    if (ofn->nFilterIndex == 0 || ofn->nFilterIndex > st.filters.size()) ofn->nFilterIndex = 1;
    st.def_ext = ofn->lpstrDefExt != nullptr ? ofn->lpstrDefExt : "";
    st.title = ofn->lpstrTitle != nullptr ? ofn->lpstrTitle : save ? "Save As" : "Open";

    // The first folder: the one the initial name names, else the initial folder, else the current one.
    std::string initial(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
    QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
    if (ec || cwd.empty()) cwd = "/";
    QSM_GCC_FALSE_REPORT_END
    st.dir = ofn->lpstrInitialDir != nullptr && IsDir(ofn->lpstrInitialDir) ? Join(cwd, ofn->lpstrInitialDir)
                                                                            : cwd;
    size_t slash = initial.rfind('/');
    if (slash != std::string::npos) {
        std::string folder = slash == 0 ? "/" : Join(st.dir, initial.substr(0, slash));
        if (IsDir(folder)) st.dir = folder;
        initial.erase(0, slash + 1);
    }
    st.initial_name = initial;

    INT_PTR r =
        DialogBoxFromTemplate(MakeTemplate(st), ofn->hwndOwner, FileDlgProc, reinterpret_cast<LPARAM>(&st));
    if (r == -1 && t_error == 0) t_error = CDERR_DIALOGFAILURE;
    return r == IDOK ? TRUE : FALSE;
}

}  // namespace

void SetCommDlgExtendedError(DWORD code) {
    t_error = code;
}

}  // namespace qsm::wm

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return qsm::wm::Run(ofn, false);
}

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return qsm::wm::Run(ofn, true);
}

DWORD CommDlgExtendedError() {
    return qsm::wm::t_error;
}
