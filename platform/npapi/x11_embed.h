// A plug-in's windows inside a browser of the interface's Unix form on X11. The browser runs its own event
// loop, so the window manager's queue of the browser's plug-in thread is run from it: every message posted
// to that queue and every timer that falls due makes the browser call back on its thread (its asynchronous
// call), and every call the browser makes into the plug-in ends with the due messages dispatched.
//
// Each instance gets a site: a top-level window of the window manager that stands for the instance's
// rectangle on the page. Windowless, the site's pixels are put into the drawable of each expose event the
// browser sends, at the place and inside the clip of the browser's window record, and what the window
// manager paints into it becomes an invalidation of that rectangle. Windowed through XEmbed, the site makes
// an X window of its own in the browser's socket window (on a display connection of the plug-in's own,
// whose events also make the browser call back) and puts its pixels there. The pointer, key, crossing and
// focus events become input of the window manager at the site's place on the screen, which each pointer
// event tells. Top-level windows of the plug-in other than sites (its dialogs and message boxes) are shown
// by the SDL backend, started when the first of them is made.
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

class TPluginSite {
public:
    // The site of instance `npp`, hidden until its window record gives it a size. The browser loop must
    // run.
    TPluginSite(NPP npp, NPN_InvalidateRectProcPtr invalidate);
    ~TPluginSite();
    TPluginSite(const TPluginSite&) = delete;
    TPluginSite& operator=(const TPluginSite&) = delete;

    HWND GetHandle() const { return Handle; }
    NPP GetNpp() const { return Npp; }
    // The site's own X window in a windowed (XEmbed) record, 0 otherwise.
    unsigned long GetPlugWindow() const { return Plug; }
    // Takes the browser's window record: a drawable (NPWindowTypeDrawable: the site's place in it and the
    // clip) or the X window of the browser's XEmbed socket (NPWindowTypeWindow), in which the site makes a
    // window of its own. The site shows once its size is not empty. False when no window could be made in
    // the socket.
    bool SetWindow(const NPWindow& window);
    // An X event from the browser; true when the site used it. The due messages are dispatched after it.
    bool HandleEvent(void* xevent);
    // The same without dispatching: for the events of the site's own window.
    bool Input(void* xevent);
    // The window manager painted `rect` (site coordinates): a windowless site asks the browser for an
    // expose of it, a windowed one puts the pixels into its window.
    void Invalidate(const RECT& rect);

private:
    bool Embed(const NPWindow& window, int width, int height);
    void Put(void* display, unsigned long target, int depth, void* visual, const RECT& area, int ox, int oy);
    // Puts the site at the screen place that a pointer event at (x, y) in the drawable or window and
    // (rootX, rootY) on the screen shows, on top of the other sites.
    void Place(int x, int y, int rootX, int rootY);
    void Focus(bool in);
    void SendEmbedMessage(long message);

    NPP Npp;
    NPN_InvalidateRectProcPtr InvalidateRect;
    HWND Handle = nullptr;
    NPWindow Record{};
    void* XDisplay = nullptr;
    void* XVisual = nullptr;
    unsigned long XDrawable = 0;
    int DrawableDepth = 0;
    // Windowed: the site's own window (on the plug-in's own display connection) and the socket's.
    unsigned long Plug = 0;
    unsigned long Socket = 0;
    int PlugDepth = 0;
    void* PlugVisual = nullptr;
};

}  // namespace qsm::np
