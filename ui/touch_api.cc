// Run-time look-up of the touch, gesture and panning functions.
#include "ui/touch_api.h"

#include <cstring>

TouchApi* PublishedTouchApi = nullptr;
PanningApi* PublishedPanningApi = nullptr;

const char TouchApi::kNames[] =
    "RegisterTouchWindow\0GetTouchInputInfo\0CloseTouchInputHandle\0GetGestureConfig\0SetGestureConfig\0"
    "GetGestureInfo\0CloseGestureInfoHandle\0User32.dll";

namespace {

// The module name after the function names.
const char* ModuleName(const char* names, int count) {
    const char* p = names;
    for (int i = 0; i < count; ++i)
        p += std::strlen(p) + 1;
    return p;
}

HMODULE g_user;   // the module the default look-up of the touch table searches
HMODULE g_theme;  // and of the panning table

FARPROC FromUser(const char* name) {
    return g_user ? GetProcAddress(g_user, name) : nullptr;
}

FARPROC FromTheme(const char* name) {
    return g_theme ? GetProcAddress(g_theme, name) : nullptr;
}

template <class F>
F As(FARPROC p) {
    return reinterpret_cast<F>(p);
}

}  // namespace

TouchApi::TouchApi() {
    g_user = GetModuleHandleA(ModuleName(kNames, 7));
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

// ---- panning feedback ----

const char PanningApi::kNames[] =
    "BeginPanningFeedback\0EndPanningFeedback\0UpdatePanningFeedback\0UxTheme.dll";

PanningApi::PanningApi() {
    Module = LoadLibraryA(ModuleName(kNames, 3));
    if (Module) {
        g_theme = Module;
        Find(FromTheme);
    }
}

PanningApi::PanningApi(TouchApi::Lookup lookup) {
    if (lookup) Find(lookup);
}

PanningApi::~PanningApi() {
    if (PublishedPanningApi == this) PublishedPanningApi = nullptr;
    if (Module) FreeLibrary(Module);
}

void PanningApi::Find(TouchApi::Lookup lookup) {
    const char* name = kNames;
    for (FARPROC& f : Functions) {
        f = lookup(name);
        name += std::strlen(name) + 1;
    }
    if (!PublishedPanningApi && IsComplete()) PublishedPanningApi = this;
}

bool PanningApi::IsComplete() const {
    for (FARPROC f : Functions)
        if (!f) return false;
    return true;
}

BOOL PanningApi::BeginPanningFeedback(HWND hwnd) const {
    auto f = As<BOOL (*)(HWND)>(Functions[0]);
    return f ? f(hwnd) : 0;
}

BOOL PanningApi::EndPanningFeedback(HWND hwnd) const {
    auto f = As<BOOL (*)(HWND, BOOL)>(Functions[1]);
    return f ? f(hwnd, 1) : 0;
}

BOOL PanningApi::UpdatePanningFeedback(HWND hwnd, LONG totalOverpanOffsetX, LONG totalOverpanOffsetY,
                                       BOOL inInertia) const {
    auto f = As<BOOL (*)(HWND, LONG, LONG, BOOL)>(Functions[2]);
    return f ? f(hwnd, totalOverpanOffsetX, totalOverpanOffsetY, inInertia) : 0;
}
