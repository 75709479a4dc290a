#include "platform/wm/internal.h"
namespace qsm::wm {
void MenuBarClick(Window*, POINT) {}
void RegisterBuiltinClasses() {}
bool DialogMessageHook(HWND, MSG&) {
    return false;
}
}  // namespace qsm::wm
namespace qsm::wm {
void DrawMenuBar(Window*, HDC, const RECT&) {}
}  // namespace qsm::wm
