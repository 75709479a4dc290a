#include "plugin/plugin.h"

#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/reg_key.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/registry/registry.h"
#include "platform/wm/winuser.h"
#include "plugin/np_entry.h"
#include "plugin/player_client.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/private_fonts.h"

namespace {

constexpr char kViewerUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillStave Composer 2 Viewer";
// The viewer program's file in its installation folder.
constexpr char kViewerProgramName[] = "QSM2View";
constexpr char kMakerAddress[] = "www.quillstave.com";

// The viewer's installation folder from its uninstall entry, however long; empty when there is none.
std::string ReadInstallLocation() {
    TKeyReadOnly key(HKEY_LOCAL_MACHINE, kViewerUninstallKey);
    if (!key.IsOpen()) return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.GetHandle(), "InstallLocation", nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return {};
    std::string text(size, '\0');
    if (RegQueryValueExA(key.GetHandle(), "InstallLocation", nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return {};
    text.resize(std::strlen(text.c_str()));
    return text;
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

std::string ViewerProgramIn(const char* installFolder) {
    if (installFolder == nullptr || *installFolder == '\0') return {};
    std::string program = NativePath(installFolder);
    if (program.empty()) return {};
    if (program.back() != '/') program.push_back('/');
    program += kViewerProgramName;
    return IsPlainFile(program.c_str()) ? program : std::string();
}

}  // namespace qsm

// ---- the browser's window ----

DEFINE_RESPONSE_TABLE1(TPluginParentWindow, TWindow)
EV_WM_PAINT, EV_WM_SIZE, EV_WM_SETFOCUS, END_RESPONSE_TABLE;

TPluginParentWindow::TPluginParentWindow(HWND browserWindow, CPlugin* plugin, TModule* module)
    : TWindow(browserWindow, module), Plugin(plugin) {
    // The browser's window keeps its own procedure for everything not handled here.
    Attach(browserWindow);
}

TPluginParentWindow::~TPluginParentWindow() {
    Detach();
}

void TPluginParentWindow::EvPaint() {
    TPaintDC dc(Handle);
    TRect r(dc.Ps.rcPaint);
    Paint(dc, dc.Ps.fErase != 0, r);
}

// The banner shown until the player covers the window: a gradient from blue to black and two shadowed lines.
void TPluginParentWindow::Paint(TDC& dc, bool, TRect& rect) {
    if (Plugin != nullptr && Plugin->GetPlayerClient() != nullptr) return;
    const TRect client = GetClientRect();
    const int width = client.Width(), height = client.Height();
    for (int k = 0; k < 64; ++k) {
        TRect band(0, 4 * k * height / 256, width, 4 * (k + 1) * height / 256);
        if (!band.Touches(rect)) continue;
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255 - 4 * k));
        ::FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = GetTextColor(dc);
    auto shadowed = [&dc](int x, int y, const char* text) {
        const int n = static_cast<int>(std::strlen(text));
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutA(dc, x + 4, y + 4, text, n);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, x, y, text, n);
    };
    const char* title = "QSM Browser Plugin";
    SIZE size{};
    GetTextExtentPoint32A(dc, title, static_cast<int>(std::strlen(title)), &size);
    const int y = 18;
    shadowed((width - size.cx) / 2 - 2, y, title);
    SIZE second{};
    GetTextExtentPoint32A(dc, kMakerAddress, static_cast<int>(std::strlen(kMakerAddress)), &second);
    shadowed((width - second.cx) / 2 - 4, y + size.cy + 3, kMakerAddress);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void TPluginParentWindow::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (Plugin != nullptr) Plugin->Resize();
}

void TPluginParentWindow::EvSetFocus(HWND) {
    if (Plugin != nullptr && Plugin->GetPlayerClient() != nullptr && Plugin->GetPlayerClient()->GetHandle())
        ::SetFocus(Plugin->GetPlayerClient()->GetHandle());
}

// ---- the instance ----

CPlugin::CPlugin(TApplication* app, HINSTANCE instance, NPP npp, uint16 mode, int16 argc, char* argn[],
                 char* argv[])
    : Npp(npp), Instance(instance), App(app) {
    CacheFile.reserve(MAX_PATH);
    Gdi32 = LoadLibraryA("gdi32.dll");
    auto add = reinterpret_cast<TPrivateFonts::TAddProc>(Gdi32 ? GetProcAddress(Gdi32, "AddFontResourceExA")
                                                               : nullptr);
    auto remove = reinterpret_cast<TPrivateFonts::TRemoveProc>(
        Gdi32 ? GetProcAddress(Gdi32, "RemoveFontResourceExA") : nullptr);

    // The plug-in's own folder, unless the viewer is installed: then the viewer's.
    char own[MAX_PATH] = "";
    GetModuleFileNameA(instance, own, sizeof own);
    StripFileName(own, true);
    std::string folder = own;
    const std::string location = ReadInstallLocation();
    if (!location.empty()) {
        folder = qsm::NativePath(location.c_str());
        ViewerProgram = qsm::ViewerProgramIn(location.c_str());
    }
    FontListFile = folder;
    if (FontListFile.empty() || FontListFile.back() != '/') FontListFile.push_back('/');
    FontListFile += "Fonts/fonts.ini";
    PrivateFonts = std::make_unique<TPrivateFonts>(FontListFile, add, remove);

    if (mode != NP_EMBED) return;
    Embedded = true;
    if (argn == nullptr || argv == nullptr) return;
    for (int i = 0; i < argc; ++i) {
        if (argn[i] != nullptr && argv[i] != nullptr && strcasecmp(argn[i], "autostart") == 0 &&
            strcasecmp(argv[i], "true") == 0)
            AutoStart = true;
    }
}

CPlugin::~CPlugin() {
    Shut();
    delete Score;  // a file delivered before any window
    PrivateFonts.reset();
    if (Gdi32) FreeLibrary(Gdi32);
}

const char* CPlugin::GetUserAgent() const {
    return NPN_UserAgent(Npp);
}

bool CPlugin::Init(HWND browserWindow, const char* windowName) {
    if (browserWindow == nullptr) return false;
    ParentWindow = new TPluginParentWindow(browserWindow, this, App);
    WindowName = windowName != nullptr ? windowName : "";
    Initialised = true;
    return true;
}

void CPlugin::Shut() {
    if (!Initialised) return;
    if (PlayerClient != nullptr) {
        if (PlayerClient->IsWindow()) PlayerClient->Destroy();
        delete PlayerClient;
        PlayerClient = nullptr;
    }
    delete Score;
    Score = nullptr;
    PrivateFonts->RemoveAll();
    delete ParentWindow;
    ParentWindow = nullptr;
    Initialised = false;
}

void CPlugin::Resize() {
    if (ParentWindow == nullptr || !ParentWindow->IsWindow()) return;
    const TRect r = ParentWindow->GetClientRect();
    if (r.Width() == Width && r.Height() == Height) return;
    Width = r.Width();
    Height = r.Height();
    if (PlayerClient != nullptr)
        PlayerClient->FitToParent();
    else
        CreatePlayerClient();
}

void CPlugin::CreatePlayerClient() {
    if (Score == nullptr || ParentWindow == nullptr || PlayerClient != nullptr || !ParentWindow->IsWindow())
        return;
    const TRect r = ParentWindow->GetClientRect();
    if (r.Width() <= 0 || r.Height() <= 0) return;
    PlayerClient = new TQSPlayerClient(this, ParentWindow, Score, App);
    if (!PlayerClient->Create()) {
        delete PlayerClient;
        PlayerClient = nullptr;
        return;
    }
    PlayerClient->FitToParent();
}

void CPlugin::OnStreamAsFile(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0') return;
    CacheFile = fileName;
    TextFormat = std::strcmp(GuessScoreFileExtension(fileName), ".qsmtxt") == 0;
    TMusicScore* loaded = LoadStreamFile();
    // Out of memory: the player keeps showing the score it has.
    if (loaded == nullptr) return;
    TMusicScore* previous = Score;
    Score = loaded;
    PrivateFonts->CheckScoreFonts(*Score);
    if (PlayerClient != nullptr)
        PlayerClient->SetScore(Score);
    else
        CreatePlayerClient();
    delete previous;
}

TMusicScore* CPlugin::LoadStreamFile() {
    return qsm::LoadPluginScoreFile(CacheFile.c_str(), TextFormat);
}

void CPlugin::Print(NPPrint*) {}
