// Windows' pixels straight from their back buffers to the X server (x_image.h), over a connection of this
// file's own with a lazily loaded Xlib and Xext.
#include "platform/wm/x_image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <unordered_map>

#include "platform/kernel/lazy_library.h"
#include "platform/wm/surface.h"

namespace qsm::wm::ximage {
namespace {

#define QSM_XIMAGE_X11_FUNCTIONS(X) \
    X(XCloseDisplay)                \
    X(XCreateGC)                    \
    X(XCreateImage)                 \
    X(XCreatePixmap)                \
    X(XDefaultDepth)                \
    X(XDefaultRootWindow)           \
    X(XDefaultScreen)               \
    X(XDefaultVisual)               \
    X(XFlush)                       \
    X(XFree)                        \
    X(XFreeGC)                      \
    X(XFreePixmap)                  \
    X(XGetWindowAttributes)         \
    X(XOpenDisplay)                 \
    X(XPutImage)                    \
    X(XSync)
QSM_LAZY_LIBRARY(XlibApi, "libX11.so.6", QSM_XIMAGE_X11_FUNCTIONS)

#define QSM_XIMAGE_XEXT_FUNCTIONS(X) \
    X(XShmAttach)                    \
    X(XShmCreateImage)               \
    X(XShmDetach)                    \
    X(XShmPutImage)                  \
    X(XShmQueryExtension)
QSM_LAZY_LIBRARY(XextApi, "libXext.so.6", QSM_XIMAGE_XEXT_FUNCTIONS)

const XlibApi& X() {
    return *XlibApi::Get();
}
const XextApi& Ext() {
    return *XextApi::Get();
}

struct Segment {
    XShmSegmentInfo info{};
    std::size_t bytes = 0;
    bool attached = false;  // the server shares it
    bool refused = false;   // the server would not
};

// How a window takes pixels: its visual and depth and a GC for it; `usable` when its pixels are 32-bit xrgb
// as the back buffers hold them.
struct Target {
    bool usable = false;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
};

// The connection is opened by the helper; the window thread takes it over once the helper has ended.
std::thread g_helper;
Display* g_display = nullptr;
bool g_shared = false;  // the server has the extension
std::unordered_map<void*, Segment*> g_segments;
std::unordered_map<unsigned long, Target> g_targets;
std::atomic<const void*> g_error_display{nullptr};
std::atomic<bool> g_error{false};

void TakeOver() {
    if (g_helper.joinable()) g_helper.join();
}

bool Synced() {
    X().XSync(g_display, False);
    return !g_error.exchange(false);
}

bool XrgbVisual(const Visual* v, int depth) {
    return v != nullptr && (depth == 24 || depth == 32) && v->red_mask == 0xFF0000 &&
           v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
}

Segment* SegmentOf(const void* block) {
    auto it = g_segments.find(const_cast<void*>(block));
    return it != g_segments.end() ? it->second : nullptr;
}

// Shares a segment with the server and has the server read each of its pages once, without waiting for it:
// a column of pixels, one to a page, into a pixmap that is dropped again.
void Share(Segment* s) {
    if (s->attached || s->refused) return;
    Ext().XShmAttach(g_display, &s->info);
    if (!Synced()) {
        s->refused = true;
        return;
    }
    s->attached = true;
    const int screen = X().XDefaultScreen(g_display);
    Visual* visual = X().XDefaultVisual(g_display, screen);
    const int depth = X().XDefaultDepth(g_display, screen);
    constexpr unsigned kPageBytes = 4096;
    const auto rows = static_cast<unsigned>(s->bytes / kPageBytes);
    if (!XrgbVisual(visual, depth) || rows == 0) return;
    XImage* column = Ext().XShmCreateImage(g_display, visual, static_cast<unsigned>(depth), ZPixmap,
                                           s->info.shmaddr, &s->info, kPageBytes / 4, rows);
    if (column == nullptr) return;
    if (column->bits_per_pixel == 32 && column->bytes_per_line == static_cast<int>(kPageBytes)) {
        Pixmap into = X().XCreatePixmap(g_display, X().XDefaultRootWindow(g_display), 1, rows,
                                        static_cast<unsigned>(depth));
        GC gc = X().XCreateGC(g_display, into, 0, nullptr);
        Ext().XShmPutImage(g_display, into, gc, column, 0, 0, 0, 0, 1, rows, False);
        X().XFreeGC(g_display, gc);
        X().XFreePixmap(g_display, into);
        X().XFlush(g_display);
    }
    X().XFree(column);
}

void DropSegment(Segment* s) {
    if (s->attached && g_display != nullptr) Ext().XShmDetach(g_display, &s->info);
    shmdt(s->info.shmaddr);
    delete s;
}

}  // namespace

void Prepare() {
    if (g_helper.joinable() || g_display != nullptr) return;
    // Loaded here: on the helper, loading would wait while the display's other libraries load.
    if (XlibApi::Get() == nullptr || XextApi::Get() == nullptr) return;
    g_helper = std::thread([] {
        g_display = X().XOpenDisplay(nullptr);
        g_error_display = g_display;
        g_shared = g_display != nullptr && Ext().XShmQueryExtension(g_display);
    });
}

void* NewBlock(std::size_t bytes) {
    TakeOver();
    if (!g_shared || bytes == 0) return nullptr;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return nullptr;
    void* at = shmat(id, nullptr, 0);
    // Gone once neither this program nor the server has it mapped, however the program ends; the server may
    // still map it until then.
    shmctl(id, IPC_RMID, nullptr);
    if (at == reinterpret_cast<void*>(-1)) return nullptr;
    auto* s = new Segment;
    s->info.shmid = id;
    s->info.shmaddr = static_cast<char*>(at);
    s->info.readOnly = True;
    s->bytes = bytes;
    MapInForWriting(at, bytes);
    g_segments[at] = s;
    return at;
}

void FreeBlock(void* block) {
    Segment* s = SegmentOf(block);
    if (s == nullptr) return;
    g_segments.erase(block);
    TakeOver();
    DropSegment(s);
}

bool Put(unsigned long window, const void* pixels, int stride, int rows, const RECT& src, POINT dst) {
    TakeOver();
    if (g_display == nullptr || window == 0 || src.right <= src.left || src.bottom <= src.top) return false;
    Target& t = g_targets[window];
    if (t.gc == nullptr) {
        XWindowAttributes a{};
        if (!X().XGetWindowAttributes(g_display, window, &a) || g_error.exchange(false)) {
            g_targets.erase(window);
            return false;
        }
        t.visual = a.visual;
        t.depth = a.depth;
        t.usable = XrgbVisual(a.visual, a.depth);
        XGCValues values{};
        values.graphics_exposures = False;
        t.gc = X().XCreateGC(g_display, window, GCGraphicsExposures, &values);
    }
    if (!t.usable) return false;
    const auto width = static_cast<unsigned>(stride / 4);
    const auto height = static_cast<unsigned>(rows);
    const auto w = static_cast<unsigned>(src.right - src.left);
    Segment* s = SegmentOf(pixels);
    char* data = static_cast<char*>(const_cast<void*>(pixels));
    if (s != nullptr && s->attached) {
        // The server reads the block where it is.
        XImage* image = Ext().XShmCreateImage(g_display, t.visual, static_cast<unsigned>(t.depth), ZPixmap,
                                              data, &s->info, width, height);
        if (image == nullptr) return false;
        const bool fits = image->bits_per_pixel == 32 && image->bytes_per_line == stride;
        if (fits)
            Ext().XShmPutImage(g_display, window, t.gc, image, static_cast<int>(src.left),
                               static_cast<int>(src.top), static_cast<int>(dst.x), static_cast<int>(dst.y), w,
                               static_cast<unsigned>(src.bottom - src.top), False);
        X().XFree(image);
        return fits && Synced();
    }
    XImage* image = X().XCreateImage(g_display, t.visual, static_cast<unsigned>(t.depth), ZPixmap, 0, data,
                                     width, height, 32, stride);
    if (image == nullptr) return false;
    // The pixels as this machine holds 32-bit words: Xlib reorders them for a server that differs.
    image->byte_order = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;
    // In bands of about 64 KB: the server takes each into the same buffer of its own.
    const LONG band = std::max(1, 65536 / stride);
    for (LONG y = src.top; y < src.bottom; y += band)
        X().XPutImage(g_display, window, t.gc, image, static_cast<int>(src.left), static_cast<int>(y),
                      static_cast<int>(dst.x), static_cast<int>(dst.y + (y - src.top)), w,
                      static_cast<unsigned>(std::min(band, src.bottom - y)));
    // The pixels are the caller's.
    image->data = nullptr;
    X().XFree(image);
    return Synced();
}

void Forget(unsigned long window) {
    auto it = g_targets.find(window);
    if (it == g_targets.end()) return;
    if (it->second.gc != nullptr && g_display != nullptr) X().XFreeGC(g_display, it->second.gc);
    g_targets.erase(it);
}

void ShareNewBlocks() {
    if (g_display == nullptr || !g_shared) return;
    for (auto& [block, s] : g_segments)
        Share(s);
}

bool Shared(const void* block) {
    const Segment* s = SegmentOf(block);
    return s != nullptr && s->attached;
}

void Close() {
    TakeOver();
    if (g_display == nullptr) return;
    for (auto& [window, t] : g_targets)
        if (t.gc != nullptr) X().XFreeGC(g_display, t.gc);
    g_targets.clear();
    // Blocks still in use stay mapped here; the server lets them go with the connection.
    for (auto& [block, s] : g_segments)
        s->attached = false;
    g_error_display = nullptr;
    X().XCloseDisplay(g_display);
    g_display = nullptr;
    g_shared = false;
}

bool TakeError(const void* display) {
    if (display == nullptr || display != g_error_display.load()) return false;
    g_error = true;
    return true;
}

}  // namespace qsm::wm::ximage
