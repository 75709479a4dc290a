// npqsm_host PLUGIN FILE...: plays the browser for the plug-in. Loads it, lists the MIME types it declares,
// embeds each file in a window of its own (delivered through the cache), reports the window the plug-in made
// there and the title it shows, then tears the instances down (the first with NPP_Destroy, the others by
// taking their window away) and shuts the plug-in down. Exits with 0 when every step answered as a browser
// expects.
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "plugin/host/np_host.h"

namespace {

// The player's line that shows the score's title.
constexpr int kTitleLine = 101;

HWND MakePageWindow(int index) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QSMTestPage";
        RegisterClassA(&wc);
        registered = true;
    }
    char title[32];
    std::snprintf(title, sizeof title, "Page %d", index + 1);
    return CreateWindowExA(0, "QSMTestPage", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 480, 320,
                           nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PLUGIN FILE...\n", argv[0]);
        return 2;
    }
    qsm::TPluginHost host;
    if (!host.Load(argv[1])) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], host.Error().c_str());
        return 1;
    }
    int faults = 0;
    auto check = [&](bool ok, const char* what) {
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
        if (!ok) ++faults;
    };
    for (const std::string& type : host.MimeTypes())
        std::printf("MIME type %s\n", type.c_str());
    check(!host.MimeTypes().empty(), "the plug-in declares its MIME types");
    check(host.GetEntryPoints() == NPERR_NO_ERROR, "NP_GetEntryPoints");
    check(host.Initialize() == NPERR_NO_ERROR, "NP_Initialize");

    std::vector<std::unique_ptr<qsm::TPluginHost::Instance>> instances;
    std::vector<HWND> pages;
    for (int i = 2; i < argc; ++i) {
        auto inst = std::make_unique<qsm::TPluginHost::Instance>();
        HWND page = MakePageWindow(i - 2);
        check(host.New(*inst, "application/x-qsm", NP_EMBED, {{"autostart", "false"}}) == NPERR_NO_ERROR,
              "NPP_New");
        check(host.SetWindow(*inst, page) == NPERR_NO_ERROR, "NPP_SetWindow");
        uint16 stype = 0;
        check(host.Deliver(*inst, argv[i], &stype) == NPERR_NO_ERROR && stype == NP_ASFILEONLY,
              "file delivered");
        qsm::wm::PumpMessages();
        HWND child = GetWindow(page, GW_CHILD);
        char cls[64] = {};
        char title[80] = {};
        if (child != nullptr) {
            GetClassNameA(child, cls, sizeof cls);
            if (HWND line = GetDlgItem(child, kTitleLine)) GetWindowTextA(line, title, sizeof title);
        }
        std::printf("%s: window of class \"%s\" showing \"%s\"\n", argv[i], cls, title);
        check(child != nullptr && GetParent(child) == page, "the plug-in's window is a child of the page");
        instances.push_back(std::move(inst));
        pages.push_back(page);
    }
    for (size_t i = 0; i < instances.size(); ++i) {
        if (i == 0)
            check(host.Destroy(*instances[i]) == NPERR_NO_ERROR, "NPP_Destroy");
        else
            check(host.SetWindow(*instances[i], nullptr) == NPERR_NO_ERROR, "NPP_SetWindow without a window");
        check(GetWindow(pages[i], GW_CHILD) == nullptr && instances[i]->npp.pdata == nullptr,
              "instance torn down");
        DestroyWindow(pages[i]);
    }
    check(host.Shutdown() == NPERR_NO_ERROR, "NP_Shutdown");
    host.Unload();
    return faults == 0 ? 0 : 1;
}
