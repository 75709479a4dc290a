// Each built-in sample opened from the Welcome dialog in the main window, saved as PNGs of the virtual
// screen: sample_windows_shot <out-folder> (sample_1.png ... sample_7.png).
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "render/hooks.h"
#include "viewer/app.h"
#include "viewer/frame.h"
#include "viewer/options.h"
#include "viewer/welcome_dlg.h"

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    char dir[] = "/tmp/qsm-sample-shot-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    qsm::wm::ResetForTests();
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.RecallSizePos = 0;
    ViewerOptions.AutoWelcome = 0;
    ViewerOptions.AutoPlay = 0;
    int failures = 0;
    {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app->InitInstance();
        auto* frame = dynamic_cast<TQSMViewerFrame*>(app->GetMainWindow());
        if (frame == nullptr) return 1;
        MoveWindow(frame->GetHandle(), 20, 20, 980, 700, TRUE);
        qsm::wm::PumpMessages();
        TQSOpenSamplesDlg::CurrentGroup = TQSOpenSamplesDlg::GroupSamples;
        for (int row = 0; row < 7; ++row) {
            qsm::wm::SetModalHook([row](HWND dlg) {
                SendDlgItemMessageA(dlg, TQSOpenSamplesDlg::IdList, LB_SETCURSEL, static_cast<WPARAM>(row),
                                    0);
                PostMessageA(dlg, WM_COMMAND, IDOK, 0);
            });
            SendMessageA(frame->GetHandle(), WM_COMMAND, 101, 0);
            qsm::wm::SetModalHook(nullptr);
            qsm::wm::PumpMessages();
            frame->IdleAction(0);
            qsm::wm::PumpMessages();
            std::string path = folder + "/sample_" + std::to_string(row + 1) + ".png";
            if (!qsm::wm::SaveScreenPng(path.c_str())) ++failures;
        }
        frame->Destroy();
        qsm::wm::PumpMessages();
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
