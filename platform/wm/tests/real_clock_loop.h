#pragma once
// The window thread's loop run for a while on the real clock, with the display's events, for the tests and
// tools that show windows on a real display.

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/wm/winuser.h"

namespace qsm::wm {

inline void RunFor(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (static_cast<int32_t>(GetTickCount() - end) < 0) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs the loop until `done()` holds: for what a test waits on that sends no message, such as the X server
// showing a frame. `limit_ms` only ends a test that fails.
template <class Done>
bool RunUntil(Done done, int limit_ms = 30000) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(limit_ms)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace qsm::wm
