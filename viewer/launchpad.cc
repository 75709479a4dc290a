#include "viewer/launchpad.h"

#include <cstdio>
#include <cstring>

#include "ui/message_box.h"
#include "viewer/options.h"
#include "viewer/viewer_dlg.h"

DEFINE_RESPONSE_TABLE1(TLauncherDlg, TDialog)
EV_COMMAND(IDC_LAUNCH_VIEW, CmView), EV_COMMAND(IDC_LAUNCH_EDITOR1, CmEditor1),
    EV_COMMAND(IDC_LAUNCH_EDITOR2, CmEditor2), END_RESPONSE_TABLE;

TLauncherDlg::TLauncherDlg(TWindow* parent, const char* path, int version, TModule* module)
    : Path(path != nullptr ? path : ""), Version(version) {
    Init(parent, nullptr, module);
    InitDialog(MAKEINTRESOURCEA(IDD_LAUNCHPAD));
    for (int i = 0; i < 3; ++i)
        Icons[i] = GetModule()->LoadIcon(MAKEINTRESOURCEA(i + 1));
}

TLauncherDlg::~TLauncherDlg() {
    for (HICON icon : Icons)
        if (icon != nullptr) DestroyIcon(icon);
}

std::string TLauncherDlg::MakeFileText(const char* path, int version) {
    const char* name = path != nullptr ? path : "";
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    std::string text = "File: ";
    text.append(name, strnlen(name, 300));
    char line[64];
    std::snprintf(line, sizeof line, "\n\nCreated by QSM Version %d", version);
    return text + line;
}

void TLauncherDlg::SetupWindow() {
    TDialog::SetupWindow();
    CenterWindow(*this, true);
    for (int i = 0; i < 3; ++i)
        if (Icons[i] != nullptr)
            SendDlgItemMessageA(Handle, IDC_LAUNCH_VIEW + i, BM_SETIMAGE, IMAGE_ICON,
                                reinterpret_cast<LPARAM>(Icons[i]));
    if (Version > 1 || SessionOptions.Editor1Installed == 0)
        ::EnableWindow(GetDlgItem(Handle, IDC_LAUNCH_EDITOR1), FALSE);
    if (SessionOptions.Editor2Installed == 0) ::EnableWindow(GetDlgItem(Handle, IDC_LAUNCH_EDITOR2), FALSE);
    SetDlgItemTextA(Handle, 200, MakeFileText(Path.c_str(), Version).c_str());
}

int RunLaunchpad(const char* path, int version) {
    TLauncherDlg dialog(nullptr, path, version);
    return dialog.Execute();
}
