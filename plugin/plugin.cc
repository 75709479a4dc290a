#include "plugin/plugin.h"

#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "platform/kernel/files.h"
#include "platform/wm/winuser.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

// The window class of the score window; it draws nothing of its own yet.
constexpr char kClientClass[] = "TQSMIViewerClient";

void RegisterClientClass(HINSTANCE instance) {
    WNDCLASSA wc{};
    if (GetClassInfoA(instance, kClientClass, &wc)) return;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kClientClass;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&wc);
}

TMusicScore* ReadTextScore(const char* path) {
    TQSRBFStream in(5, path, 1024);
    if (!in.IsOpen()) return nullptr;
    TQSBusyCursor busy;
    return ImportTextScore(in, nullptr, 0);
}

TMusicScore* ReadBinaryScore(const char* path) {
    TScoreFileHeader hdr;
    TMusicScore* score = LoadScoreFile(path, hdr, nullptr);
    if ((hdr.Status == StatusNotScoreFile || hdr.Status == StatusDamaged) && HasCrLfLineEnds(path, 0) == 1) {
        // A file that went through a text transfer: read it again with its line ends set back.
        delete score;
        score = nullptr;
        char folder[MAX_PATH];
        char copy[MAX_PATH];
        if (GetTempPathA(sizeof folder, folder) != 0 && GetTempFileNameA(folder, "qsm", 0, copy) != 0) {
            if (RepairCrLfCopy(path, copy)) {
                TScoreFileHeader again;
                score = LoadScoreFile(copy, again, nullptr);
            }
            unlink(copy);
        }
    }
    return score;
}

TMusicScore* MakePlaceholderScore() {
    std::unique_ptr<TMusicScore> score(new (std::nothrow) TMusicScore());
    if (!score) return nullptr;
    TMusicStaff* staff = new (std::nothrow) TMusicStaff();
    if (!staff) return nullptr;
    score->AddStaff(staff);
    std::strcpy(score->SongInfo.Title, "Error - File failed to load");
    std::strcpy(score->SongInfo.Author, "QuillStave Software, Inc.");
    return score.release();
}

}  // namespace

namespace qsm {

TMusicScore* LoadPluginScoreFile(const char* path, bool textFormat) {
    TMusicScore* score = textFormat ? ReadTextScore(path) : ReadBinaryScore(path);
    return score != nullptr ? score : MakePlaceholderScore();
}

}  // namespace qsm

CPlugin::CPlugin(TApplication* app, HINSTANCE instance, NPP npp, uint16 mode, int16 argc, char* argn[],
                 char* argv[])
    : App(app), Instance(instance), Npp(npp) {
    if (mode != NP_EMBED || argn == nullptr || argv == nullptr) return;
    for (int i = 0; i < argc; ++i) {
        if (argn[i] != nullptr && argv[i] != nullptr && strcasecmp(argn[i], "autostart") == 0 &&
            strcasecmp(argv[i], "true") == 0)
            AutoStart = true;
    }
}

CPlugin::~CPlugin() {
    Shut();
    delete Score;  // a file delivered before any window
}

bool CPlugin::Init(HWND browserWindow, const char* windowName) {
    if (Initialised || !IsWindow(browserWindow)) return false;
    BrowserWindow = browserWindow;
    WindowName = windowName != nullptr ? windowName : "";
    RegisterClientClass(Instance);
    Initialised = true;
    return true;
}

void CPlugin::Shut() {
    if (!Initialised) return;
    if (ClientWindow != nullptr && IsWindow(ClientWindow)) DestroyWindow(ClientWindow);
    ClientWindow = nullptr;
    delete Score;
    Score = nullptr;
    BrowserWindow = nullptr;
    Initialised = false;
}

void CPlugin::Resize() {
    if (!Initialised || !IsWindow(BrowserWindow)) return;
    if (ClientWindow == nullptr) {
        CreateClient();
        return;
    }
    RECT r{};
    GetClientRect(BrowserWindow, &r);
    MoveWindow(ClientWindow, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
}

void CPlugin::CreateClient() {
    if (Score == nullptr || ClientWindow != nullptr) return;
    RECT r{};
    GetClientRect(BrowserWindow, &r);
    if (r.right - r.left <= 0 || r.bottom - r.top <= 0) return;
    ClientWindow =
        CreateWindowExA(0, kClientClass, Score->SongInfo.Title, WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0,
                        r.right - r.left, r.bottom - r.top, BrowserWindow, nullptr, Instance, nullptr);
}

void CPlugin::OnStreamAsFile(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0') return;
    CacheFile = fileName;
    TextFormat = std::strcmp(GuessScoreFileExtension(fileName), ".qsmtxt") == 0;
    TMusicScore* previous = Score;
    Score = LoadStreamFile();
    if (ClientWindow != nullptr)
        SetWindowTextA(ClientWindow, Score != nullptr ? Score->SongInfo.Title : "");
    else if (Initialised)
        CreateClient();
    delete previous;
}

TMusicScore* CPlugin::LoadStreamFile() {
    return qsm::LoadPluginScoreFile(CacheFile.c_str(), TextFormat);
}

void CPlugin::Print(NPPrint*) {}
