// A plug-in's windows inside a browser of the interface's Unix form on X11. The browser runs its own event
// loop, so the window manager's queue of the browser's plug-in thread is run from it: every message posted
// to that queue and every timer that falls due makes the browser call back on its thread (its asynchronous
// call), and every call the browser makes into the plug-in ends with the due messages dispatched.
//
// A windowless instance gets a site: a top-level window of the window manager that stands for the
// instance's rectangle on the page. The site's pixels are put into the drawable of each expose event the
// browser sends, at the place and inside the clip of the browser's window record; what the window manager
// paints into it becomes an invalidation of that rectangle; the browser's pointer, key, crossing and focus
// events become input of the window manager at the site's place on the screen, which each pointer event
// tells. Top-level windows of the plug-in other than sites (its dialogs and message boxes) are shown by
// the SDL backend, started when the first of them is made.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/npapi/npapi.h"

namespace qsm::np {

// The class name of site windows.
inline constexpr char kSiteClassName[] = "QSMPluginSite";

// Starts running the window manager from the browser's event loop: must be called on the browser's plug-in
// thread, which becomes the window manager's display thread. `async` is the browser's asynchronous call
// (callable from any thread). Starting twice does nothing.
void StartBrowserLoop(NPN_PluginThreadAsyncCallProcPtr async);
// Stops it (no site may remain) and puts back the backend there was before.
void StopBrowserLoop();
bool BrowserLoopRunning();
// Dispatches every message that is due now; called at the end of every call of the browser.
void PumpBrowserLoop();

class TDrawableSite {
public:
    // The site of instance `npp`, hidden until its window record gives it a size. The browser loop must
    // run.
    TDrawableSite(NPP npp, NPN_InvalidateRectProcPtr invalidate);
    ~TDrawableSite();
    TDrawableSite(const TDrawableSite&) = delete;
    TDrawableSite& operator=(const TDrawableSite&) = delete;

    HWND GetHandle() const { return Handle; }
    NPP GetNpp() const { return Npp; }
    // Takes the browser's window record (NPWindowTypeDrawable): the site's size, its place in the drawable
    // and the clip; the site shows once its size is not empty.
    void SetWindow(const NPWindow& window);
    // An X event from the browser; true when the site used it.
    bool HandleEvent(void* xevent);
    // The window manager painted `rect` (site coordinates): asks the browser for an expose of it.
    void Invalidate(const RECT& rect);

private:
    void Draw(void* exposeEvent);
    // Puts the site at the screen place that a pointer event at (x, y) in the drawable and (rootX, rootY)
    // on the screen shows, on top of the other sites.
    void Place(int x, int y, int rootX, int rootY);

    NPP Npp;
    NPN_InvalidateRectProcPtr InvalidateRect;
    HWND Handle = nullptr;
    NPWindow Record{};
    void* XDisplay = nullptr;
    void* XVisual = nullptr;
    unsigned long XDrawable = 0;
    int DrawableDepth = 0;
};

}  // namespace qsm::np
