// The headless backend: a virtual screen with no display behind it. Input comes from the Input* functions,
// which tests call; nothing is shown.
#include "platform/wm/internal.h"
#include "platform/wm/surface.h"

namespace qsm::wm {
void ResetInputState();

namespace {

class HeadlessBackend : public Backend {
public:
    SIZE ScreenSize() const override { return SIZE{1024, 768}; }
};

Backend* g_installed = nullptr;

}  // namespace

Backend& CurrentBackend() {
    static HeadlessBackend* headless = new HeadlessBackend();
    return g_installed != nullptr ? *g_installed : *headless;
}

void InstallBackend(Backend* backend) {
    g_installed = backend;
}

void ResetForTests() {
    SetModalHook(nullptr);
    DestroyAllWindows();
    ResetIpcForTests();
    ResetSurfaces();
    ThreadQueue& q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(q.m);
        for (const MSG& m : q.posted)
            if (m.message == WM_DROPFILES) DragFinish(reinterpret_cast<HDROP>(m.wParam));
        q.posted.clear();
        q.input.clear();
        q.quit = false;
    }
    q.timers.clear();
    q.windows_to_paint = 0;
    State& s = S();
    s.focus = s.active = s.capture = nullptr;
    s.keys.fill(0);
    s.msg_keys.fill(0);
    s.cursor = POINT{0, 0};
    s.last_click_hwnd = nullptr;
    s.current_cursor = nullptr;
    s.cursor_shown = 0;
    ResetSysColors();
    ResetInputState();
    SetLoopHooks(LoopHooks{});
    SetManualClock(false);
}

}  // namespace qsm::wm
