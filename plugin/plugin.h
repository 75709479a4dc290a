// The per-instance object of the browser plug-in: one for every score embedded in a page. It keeps the
// page's parameters, finds the viewer program and the font list, wraps the browser's window, loads the file
// the browser delivers and feeds the player window.
#pragma once

#include <memory>
#include <string>

#include "platform/base/wintypes.h"
#include "platform/framework/window.h"
#include "platform/npapi/npapi.h"

class TApplication;
class TMusicScore;
class TPrivateFonts;
class TQSPlayerClient;
class CPlugin;

// The browser's window as a window of the framework: its messages pass through this object, which paints
// the banner while there is no player, resizes the player with the window and gives it the focus.
class TPluginParentWindow : public TWindow {
public:
    TPluginParentWindow(HWND browserWindow, CPlugin* plugin, TModule* module);
    ~TPluginParentWindow() override;

    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void EvPaint();
    void EvSize(UINT sizeType, const TSize& size);
    void EvSetFocus(HWND lost);

    CPlugin* Plugin;

    DECLARE_RESPONSE_TABLE(TPluginParentWindow);
};

class CPlugin {
public:
    CPlugin(TApplication* app, HINSTANCE instance, NPP npp, uint16 mode, int16 argc, char* argn[],
            char* argv[]);
    ~CPlugin();
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // Wraps the browser's window; false for a null handle.
    bool Init(HWND browserWindow, const char* windowName);
    // Destroys the player and the parent window object, deletes the score and removes the private fonts
    // (only when initialised).
    void Shut();
    // Follows the browser window's size: fits the player to it, or makes the player once there is a score
    // and a size.
    void Resize();
    // Loads the file the browser saved to its cache and shows it.
    void OnStreamAsFile(const char* fileName);
    // The score of the cache file: never null unless memory runs out.
    TMusicScore* LoadStreamFile();
    // Printing through the browser: nothing is printed.
    void Print(NPPrint* platformPrint);

    TApplication* GetApplication() const { return App; }
    NPP GetNpp() const { return Npp; }
    bool IsInitialised() const { return Initialised; }
    const std::string& GetWindowName() const { return WindowName; }
    // The browser's name for this instance (nothing asks for it).
    const char* GetUserAgent() const;
    bool GetAutoStart() const { return AutoStart; }
    bool IsEmbedded() const { return Embedded; }
    bool IsTextFormat() const { return TextFormat; }
    const std::string& GetCacheFile() const { return CacheFile; }
    // The viewer program's full path, or empty when it is not installed.
    const std::string& GetViewerProgram() const { return ViewerProgram; }
    const std::string& GetFontListFile() const { return FontListFile; }
    TMusicScore* GetScore() const { return Score; }
    TPluginParentWindow* GetParentWindow() const { return ParentWindow; }
    TQSPlayerClient* GetPlayerClient() const { return PlayerClient; }

private:
    // Makes the player once a score, the parent window and a non-empty client area are there.
    void CreatePlayerClient();

    NPP Npp;
    HINSTANCE Instance;
    bool Initialised = false;
    bool AutoStart = false;
    bool Embedded = false;
    bool TextFormat = false;
    std::string WindowName;
    std::string ViewerProgram;
    std::string FontListFile;
    std::string CacheFile;
    TApplication* App;
    TMusicScore* Score = nullptr;
    TPluginParentWindow* ParentWindow = nullptr;
    TQSPlayerClient* PlayerClient = nullptr;
    int Width = 0;
    int Height = 0;
    HMODULE Gdi32 = nullptr;
    std::unique_ptr<TPrivateFonts> PrivateFonts;
};

namespace qsm {

// The plug-in's score loader: the text importer for a text score, else the score reader, read again from a
// copy with LF line ends when a file with CR LF line ends was refused or damaged; a placeholder score with
// one empty staff when nothing could be read. Null only when memory runs out.
TMusicScore* LoadPluginScoreFile(const char* path, bool textFormat);

// The viewer program in its installation folder (the folder may be written with backslashes), or empty
// when the folder is empty or the program is not a plain file there.
std::string ViewerProgramIn(const char* installFolder);

}  // namespace qsm
