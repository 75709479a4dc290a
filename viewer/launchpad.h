// The Launchpad: asked at start-up, before any window of the viewer exists, which program should open a
// score file: the viewer, the first editor or the second one.
#pragma once

#include <string>

#include "platform/framework/controls.h"

enum : int {
    IDC_LAUNCH_VIEW = 101,
    IDC_LAUNCH_EDITOR1 = 102,
    IDC_LAUNCH_EDITOR2 = 103,
};

class TLauncherDlg : public TDialog {
public:
    // version: the file's format generation (1 is the old format only the first editor reads).
    TLauncherDlg(TWindow* parent, const char* path, int version, TModule* module = nullptr);
    ~TLauncherDlg() override;

    void SetupWindow() override;
    void CmView() { CloseWindow(IDC_LAUNCH_VIEW); }
    void CmEditor1() { CloseWindow(IDC_LAUNCH_EDITOR1); }
    void CmEditor2() { CloseWindow(IDC_LAUNCH_EDITOR2); }

    // The text of the file control: "File: <name>" and the generation that made it.
    static std::string MakeFileText(const char* path, int version);

    std::string Path;
    int Version;
    HICON Icons[3] = {nullptr, nullptr, nullptr};

    DECLARE_RESPONSE_TABLE(TLauncherDlg);
};

// Runs the Launchpad without a parent: 101 view, 102 the first editor, 103 the second, 2 cancelled.
int RunLaunchpad(const char* path, int version);
