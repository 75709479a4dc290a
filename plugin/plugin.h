// The per-instance object of the browser plug-in: one for every score embedded in a page. It keeps the
// page's parameters, builds its window on the browser's window and loads the file the browser delivers.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "platform/npapi/npapi.h"

class TApplication;
class TMusicScore;

class CPlugin {
public:
    CPlugin(TApplication* app, HINSTANCE instance, NPP npp, uint16 mode, int16 argc, char* argn[],
            char* argv[]);
    ~CPlugin();
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // Builds the plug-in's window on the browser's window; false when that fails.
    bool Init(HWND browserWindow, const char* windowName);
    // Destroys the windows and the score (only when initialised).
    void Shut();
    // Fits the plug-in's window to the browser's window, creating it once there is a score and a size.
    void Resize();
    // Loads the file the browser saved to its cache.
    void OnStreamAsFile(const char* fileName);
    // The score of the cache file: never null unless memory runs out.
    TMusicScore* LoadStreamFile();
    // Printing through the browser: nothing is printed.
    void Print(NPPrint* platformPrint);

    TApplication* GetApplication() const { return App; }
    NPP GetNpp() const { return Npp; }
    bool IsInitialised() const { return Initialised; }
    const std::string& GetWindowName() const { return WindowName; }
    bool GetAutoStart() const { return AutoStart; }
    const std::string& GetCacheFile() const { return CacheFile; }
    TMusicScore* GetScore() const { return Score; }
    HWND GetBrowserWindow() const { return BrowserWindow; }
    // The window that shows the score once there is one and the browser's window has a size.
    HWND GetClientWindow() const { return ClientWindow; }

private:
    void CreateClient();

    TApplication* App;
    HINSTANCE Instance;
    NPP Npp;
    bool AutoStart = false;
    bool Initialised = false;
    bool TextFormat = false;
    std::string WindowName;
    std::string CacheFile;
    TMusicScore* Score = nullptr;
    HWND BrowserWindow = nullptr;
    HWND ClientWindow = nullptr;
};

namespace qsm {

// The plug-in's score loader: the text importer for a text score, else the score reader, read again from a
// copy with LF line ends when a file with CR LF line ends was refused or damaged; a placeholder score with
// one empty staff when nothing could be read. Null only when memory runs out.
TMusicScore* LoadPluginScoreFile(const char* path, bool textFormat);

}  // namespace qsm
