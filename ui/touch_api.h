// The touch and gesture functions of the user-interface library and the panning feedback functions of the
// theme library, looked up by name when the program starts and called through wrappers that answer 0 when a
// function is missing.
//
// A table counts for the rest of the program (PublishedTouchApi, PublishedPanningApi point to it) only when
// all its functions were found and no table of its kind was published before. This platform's libraries
// offer none of them, so no table is published and every gesture branch takes its "functions missing" road.
#pragma once

#include "platform/kernel/module.h"
#include "platform/wm/winuser.h"

struct HTOUCHINPUT__;
using HTOUCHINPUT = HTOUCHINPUT__*;
struct HGESTUREINFO__;
using HGESTUREINFO = HGESTUREINFO__*;

struct TOUCHINPUT {
    LONG x, y;
    HANDLE hSource;
    DWORD dwID, dwFlags, dwMask, dwTime;
    ULONG_PTR dwExtraInfo;
    DWORD cxContact, cyContact;
};
struct GESTURECONFIG {
    DWORD dwID, dwWant, dwBlock;
};
struct GESTUREINFO {
    UINT cbSize;
    DWORD dwFlags, dwID;
    HWND hwndTarget;
    struct {
        SHORT x, y;
    } ptsLocation;
    DWORD dwInstanceID, dwSequenceID;
    uint64_t ullArguments;
    UINT cbExtraArgs;
};

class TouchApi {
public:
    // Looks the functions up in the already loaded "User32.dll" (never loaded or freed here).
    TouchApi();
    // Looks them up through `lookup` (a module of another name, tests).
    using Lookup = FARPROC (*)(const char* name);
    explicit TouchApi(Lookup lookup);
    ~TouchApi();
    TouchApi(const TouchApi&) = delete;
    TouchApi& operator=(const TouchApi&) = delete;

    // True when every function was found.
    bool IsComplete() const;

    BOOL RegisterTouchWindow(HWND hwnd, ULONG flags) const;
    BOOL GetTouchInputInfo(HTOUCHINPUT input, UINT count, TOUCHINPUT* inputs, int size) const;
    BOOL CloseTouchInputHandle(HTOUCHINPUT input) const;
    BOOL GetGestureConfig(HWND hwnd, DWORD reserved, DWORD flags, UINT* count, GESTURECONFIG* config,
                          UINT size) const;
    BOOL SetGestureConfig(HWND hwnd, DWORD reserved, UINT count, GESTURECONFIG* config, UINT size) const;
    BOOL GetGestureInfo(HGESTUREINFO info, GESTUREINFO* out) const;
    BOOL CloseGestureInfoHandle(HGESTUREINFO info) const;

    // The function names, each zero-terminated, then the module name.
    static const char kNames[];

private:
    void Find(Lookup lookup);
    FARPROC Functions[7] = {};
};

// The table the program uses; null until a complete one was made.
extern TouchApi* PublishedTouchApi;

class PanningApi {
public:
    // Loads "UxTheme.dll" and looks the three functions up in it.
    PanningApi();
    // Looks them up through `lookup` (tests); no library is loaded.
    explicit PanningApi(TouchApi::Lookup lookup);
    // Frees the library when it was loaded.
    ~PanningApi();
    PanningApi(const PanningApi&) = delete;
    PanningApi& operator=(const PanningApi&) = delete;

    bool IsComplete() const;

    BOOL BeginPanningFeedback(HWND hwnd) const;
    // Always animates the window back.
    BOOL EndPanningFeedback(HWND hwnd) const;
    BOOL UpdatePanningFeedback(HWND hwnd, LONG totalOverpanOffsetX, LONG totalOverpanOffsetY,
                               BOOL inInertia) const;

    // The function names, each zero-terminated, then the module name.
    static const char kNames[];

private:
    void Find(TouchApi::Lookup lookup);
    HMODULE Module = nullptr;
    FARPROC Functions[3] = {};
};

// The panning table the program uses; null until a complete one was made.
extern PanningApi* PublishedPanningApi;
