// Modal loops of dialogs, message boxes and menus: the same pre-translate and idle passes as the
// application's own loop, WM_ENTERIDLE to the owner, and the test hook once the loop runs.
#include "platform/wm/internal.h"

namespace qsm::wm {

namespace {
thread_local std::vector<HWND> t_modal_stack;

struct ModalEntry {
    explicit ModalEntry(HWND h) { t_modal_stack.push_back(h); }
    ~ModalEntry() { t_modal_stack.pop_back(); }
};
}  // namespace

HWND InnermostModal() {
    for (auto it = t_modal_stack.rbegin(); it != t_modal_stack.rend(); ++it)
        if (IsWindow(*it)) return *it;
    return nullptr;
}

void RunModalLoop(HWND modal, const bool* done, UINT idle_kind) {
    ModalEntry entry(modal);
    const LoopHooks& hooks = GetLoopHooks();
    bool hooked = false;
    bool idle_sent = false;
    LONG idle_count = 0;
    // The flag lives with the modal window: once the window is gone (its owner destroyed it) it is not read.
    while (IsWindow(modal) && !*done) {
        if (!hooked) {
            hooked = true;
            PumpMessagesOnce();
            CallModalHook(modal);
            continue;
        }
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (!idle_sent) {
                idle_sent = true;
                HWND owner = GetWindow(modal, GW_OWNER);
                if (owner != nullptr)
                    SendMessageA(owner, WM_ENTERIDLE, idle_kind, reinterpret_cast<LPARAM>(modal));
                continue;
            }
            if (hooks.idle && hooks.idle(idle_count++)) continue;
            if (!IsWindow(modal) || *done) break;
            WaitMessage();
            continue;
        }
        idle_sent = false;
        idle_count = 0;
        if (m.message == WM_QUIT) {
            // The quit request belongs to the outermost loop.
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (hooks.pre_translate && hooks.pre_translate(m)) continue;
        if (DialogMessageHook(modal, m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

}  // namespace qsm::wm
