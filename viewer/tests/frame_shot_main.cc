// The main window on the virtual screen, saved as a PNG: frame_shot out.png
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "viewer/app.h"
#include "viewer/frame.h"
#include "viewer/options.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    char dir[] = "/tmp/qsm-frame-shot-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    qsm::wm::ResetForTests();
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.RecallSizePos = 0;
    bool ok = false;
    {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app->InitInstance();
        if (TWindow* main = app->GetMainWindow()) {
            MoveWindow(main->GetHandle(), 20, 20, 760, 520, TRUE);
            app->SetCaption(nullptr, false, false);
            if (auto* frame = dynamic_cast<TQSMViewerFrame*>(main)) frame->ShowPositionTexts();
            qsm::wm::PumpMessages();
            // The command enablers run when the queue is idle.
            main->IdleAction(0);
            qsm::wm::PumpMessages();
            ok = qsm::wm::SaveScreenPng(argv[1]);
            main->Destroy();
        }
        qsm::wm::PumpMessages();
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
