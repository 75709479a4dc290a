// A small browser for tests: loads a plug-in file with dlopen, reads its registration, fills the function
// tables, makes instances with page parameters, gives them windows and delivers files as the browser's cache
// does. The plug-in and the host share the platform library, so the windows they make are in one tree.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/npapi/npapi.h"

namespace qsm {

class TPluginHost {
public:
    struct Instance {
        NPP_t npp{};
        NPWindow window{};
        std::string type;
    };

    TPluginHost();
    ~TPluginHost();
    TPluginHost(const TPluginHost&) = delete;
    TPluginHost& operator=(const TPluginHost&) = delete;

    // Loads the plug-in file; false (with the loader's message in Error) when it cannot be loaded or lacks
    // an entry point.
    bool Load(const char* path);
    // Closes the file (after NP_Shutdown).
    void Unload();
    const std::string& Error() const { return Error_; }
    HMODULE Module() const { return Module_; }
    // An exported symbol of the plug-in, or null.
    void* Symbol(const char* name) const;

    // The string values of the plug-in's version resource, by name ("MIMEType", "FileExtents" ...).
    std::map<std::string, std::string> VersionStrings() const;
    // The MIME types of the "MIMEType" value.
    std::vector<std::string> MimeTypes() const;

    // NP_GetEntryPoints with a plug-in table of the given size.
    NPError GetEntryPoints(uint16 size = sizeof(NPPluginFuncs));
    // NP_Initialize with a browser table of the given version word.
    NPError Initialize(uint16 version = (0 << 8) | 11);
    // NP_Initialize as a browser of the Unix form calls it: no NP_GetEntryPoints, the plug-in's table to fill
    // passed along, a browser table with the value queries (windowless drawing offered), invalidation and
    // the asynchronous call, whose requests wait until RunAsyncCalls.
    // With windowless false it offers windowed plug-ins in XEmbed sockets instead.
    NPError InitializeUnix(uint16 version = (0 << 8) | 27, bool windowless = true);
    // Runs the asynchronous calls asked for so far; how many ran. With wait, first waits until one is asked
    // for (a safety net of a minute aside).
    static int RunAsyncCalls(bool wait = false);
    NPError Shutdown();
    NPPluginFuncs& PluginFuncs() { return Plugin_; }
    NPNetscapeFuncs& BrowserFuncs() { return Browser_; }
    // How often the plug-in called each browser function, by field name.
    static std::map<std::string, int>& Calls();

    // NPP_New with the page's embed attributes.
    NPError New(Instance& inst, const char* type, uint16 mode,
                const std::vector<std::pair<std::string, std::string>>& params);
    // NPP_SetWindow with the window's client size; a null window gives the plug-in no window.
    NPError SetWindow(Instance& inst, HWND window);
    // NPP_SetWindow with a windowless record of that size at the drawable's origin.
    NPError SetDrawable(Instance& inst, uint32 width, uint32 height);
    // NPP_SetWindow with a windowed record: the X window of an XEmbed socket.
    NPError SetXWindow(Instance& inst, unsigned long socket, uint32 width, uint32 height);
    // NPP_NewStream, then (for file delivery) a copy of the file in the cache folder handed over with
    // NPP_StreamAsFile, then NPP_DestroyStream. The stream type the plug-in asked for goes to *stype.
    NPError Deliver(Instance& inst, const char* sourceFile, uint16* stype = nullptr);
    NPError Destroy(Instance& inst);
    // The cache folder of this host.
    const std::string& CacheFolder() const { return Cache_; }

    // The first window of the class among the window's descendants (depth first), or null: how a test
    // finds the windows a plug-in made on a page.
    static HWND FindDescendant(HWND window, const char* className);

private:
    void* Handle_ = nullptr;
    HMODULE Module_ = nullptr;
    NP_GetEntryPointsFunc GetEntryPoints_ = nullptr;
    NP_InitializeUnixFunc Initialize_ = nullptr;
    NP_ShutdownFunc Shutdown_ = nullptr;
    NPPluginFuncs Plugin_{};
    NPNetscapeFuncs Browser_{};
    std::string Error_;
    std::string Cache_;
    int Streams_ = 0;
};

}  // namespace qsm
