// Run-time look-up of the touch and gesture functions.
#include "ui/touch_api.h"

#include <cstring>

TouchApi* PublishedTouchApi = nullptr;

const char TouchApi::kNames[] =
    "RegisterTouchWindow\0GetTouchInputInfo\0CloseTouchInputHandle\0GetGestureConfig\0SetGestureConfig\0"
    "GetGestureInfo\0CloseGestureInfoHandle\0User32.dll";

namespace {

// The module name after the seven function names.
const char* ModuleName() {
    const char* p = TouchApi::kNames;
    for (int i = 0; i < 7; ++i)
        p += std::strlen(p) + 1;
    return p;
}

HMODULE g_user;  // the module the default look-up searches

FARPROC FromUser(const char* name) {
    return g_user ? GetProcAddress(g_user, name) : nullptr;
}

template <class F>
F As(FARPROC p) {
    return reinterpret_cast<F>(p);
}

}  // namespace

TouchApi::TouchApi() {
    g_user = GetModuleHandleA(ModuleName());
    if (g_user) Find(FromUser);
}

TouchApi::TouchApi(Lookup lookup) {
    if (lookup) Find(lookup);
}

TouchApi::~TouchApi() {
    // A published table that goes away is no longer offered.
    if (PublishedTouchApi == this) PublishedTouchApi = nullptr;
}

void TouchApi::Find(Lookup lookup) {
    // Every name is tried, also after one was missing.
    const char* name = kNames;
    for (FARPROC& f : Functions) {
        f = lookup(name);
        name += std::strlen(name) + 1;
    }
    if (!PublishedTouchApi && IsComplete()) PublishedTouchApi = this;
}

bool TouchApi::IsComplete() const {
    for (FARPROC f : Functions)
        if (!f) return false;
    return true;
}

BOOL TouchApi::RegisterTouchWindow(HWND hwnd, ULONG flags) const {
    auto f = As<BOOL (*)(HWND, ULONG)>(Functions[0]);
    return f ? f(hwnd, flags) : 0;
}

BOOL TouchApi::GetTouchInputInfo(HTOUCHINPUT input, UINT count, TOUCHINPUT* inputs, int size) const {
    auto f = As<BOOL (*)(HTOUCHINPUT, UINT, TOUCHINPUT*, int)>(Functions[1]);
    return f ? f(input, count, inputs, size) : 0;
}

BOOL TouchApi::CloseTouchInputHandle(HTOUCHINPUT input) const {
    auto f = As<BOOL (*)(HTOUCHINPUT)>(Functions[2]);
    return f ? f(input) : 0;
}

BOOL TouchApi::GetGestureConfig(HWND hwnd, DWORD reserved, DWORD flags, UINT* count, GESTURECONFIG* config,
                                UINT size) const {
    auto f = As<BOOL (*)(HWND, DWORD, DWORD, UINT*, GESTURECONFIG*, UINT)>(Functions[3]);
    return f ? f(hwnd, reserved, flags, count, config, size) : 0;
}

BOOL TouchApi::SetGestureConfig(HWND hwnd, DWORD reserved, UINT count, GESTURECONFIG* config,
                                UINT size) const {
    auto f = As<BOOL (*)(HWND, DWORD, UINT, GESTURECONFIG*, UINT)>(Functions[4]);
    return f ? f(hwnd, reserved, count, config, size) : 0;
}

BOOL TouchApi::GetGestureInfo(HGESTUREINFO info, GESTUREINFO* out) const {
    auto f = As<BOOL (*)(HGESTUREINFO, GESTUREINFO*)>(Functions[5]);
    return f ? f(info, out) : 0;
}

BOOL TouchApi::CloseGestureInfoHandle(HGESTUREINFO info) const {
    auto f = As<BOOL (*)(HGESTUREINFO)>(Functions[6]);
    return f ? f(info) : 0;
}
