#include "viewer/app.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/file_utils.h"
#include "core/parallel.h"
#include "core/ram_stream.h"
#include "core/reg_key.h"
#include "core/sys_info.h"
#include "core/zlib_stream.h"
#include "platform/framework/frame.h"
#include "platform/framework/program.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/module.h"
#include "platform/kernel/profile.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "platform/wm/file_dialog.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "ui/message_box.h"
#include "ui/shell.h"
#include "ui/toolbar_draw.h"
#include "viewer/client.h"
#include "viewer/frame.h"
#include "viewer/message_dlg.h"
#include "viewer/options.h"
#include "viewer/play_slider.h"
#include "viewer/player_gadgets.h"
#include "viewer/printer.h"
#include "viewer/score_preread.h"
#include "viewer/startup.h"
#include "viewer/viewer_dlg.h"

TQSMViewerApp* TQSMViewerApp::Instance = nullptr;

namespace {

constexpr const char* kProgramTitle = "QuillStave Composer Viewer";
constexpr const char* kStaffColorsKey = "Software\\QuillStave Software\\QuillStave Composer 2\\StaffColors";
constexpr DWORD kMaxMruBytes = 2500;
constexpr UINT kPlayTimerId = 1;
// Posted to the main window when the song render on the worker thread has ended.
constexpr UINT kSongReadyMessage = WM_APP + 0x51;
constexpr const char* kWebSite = "https://www.quillstave.com/composer/";
constexpr const char* kVersionCheck = "https://www.quillstave.com/vercheck.php?app=qsm2vwr&ver=2.51a";

TMusicScore* MakeBlankScore() {
    TSongInfo info{};
    std::snprintf(info.Title, sizeof(info.Title), "%s", "QuillStave Composer 2 Viewer");
    std::snprintf(info.Author, sizeof(info.Author), "%s", "by QuillStave Software, Inc.");
    std::snprintf(info.Lyricist, sizeof(info.Lyricist), "%s", "Version 2.51a");
    auto* score = new TMusicScore(&info);
    score->AddStaff(new TMusicStaff);
    if (TMusicFontsData* fonts = score->GetFontData()) {
        fonts->Fonts[FONTSLOT_PAGE_TITLE].Set("Times New Roman", TQSFontSpec::kBold | TQSFontSpec::kItalic,
                                              24, 0);
        fonts->Fonts[FONTSLOT_PAGE_TEXT].Set("Times New Roman", TQSFontSpec::kItalic, 24, 0);
    }
    return score;
}

}  // namespace

TQSMViewerApp::TQSMViewerApp(const char* title)
    : TApplication(title),
      OpenFileData{
          OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER,
          "Song Files|*.qsm;*.qsmtxt;*.mid;*.midi;*.kar;*.rmi|QuillStave Composer Files|*.qsm;*.qsmtxt|",
          "qsm", 0, ""} {
    Instance = this;
    nCmdShow = qsm::GetProgramCmdShow();
    BlankScore = MakeBlankScore();
    Score = BlankScore;
    SongBuffer.Clear();
    TimeIndex.Reset();
    MidiManager.SelectOutDevice(static_cast<UINT>(GetPlayDeviceId(ViewerOptions)));
    TKeyReadOnly colors(HKEY_CURRENT_USER, kStaffColorsKey);
    if (colors.IsOpen()) Palette.Load(colors);

    Gdi32 = LoadLibraryA("gdi32.dll");
    auto add = reinterpret_cast<TPrivateFonts::TAddProc>(Gdi32 ? GetProcAddress(Gdi32, "AddFontResourceExA")
                                                               : nullptr);
    auto remove = reinterpret_cast<TPrivateFonts::TRemoveProc>(
        Gdi32 ? GetProcAddress(Gdi32, "RemoveFontResourceExA") : nullptr);
    std::string folder = ProgramFolder();
    PrivateFonts = std::make_unique<TPrivateFonts>(folder + "Fonts/fonts.ini", add, remove);
    HelpFilePath = folder + "QSM2VIEW.HLP";

    HDC screen = GetDC(nullptr);
    int height = MulDiv(ViewerOptions.ToolSize, screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96, 72);
    if (screen) ReleaseDC(nullptr, screen);
    ToolButtonSize = {MulDiv(height, 22, 18), height};
}

TQSMViewerApp::~TQSMViewerApp() {
    // The render reads the score that goes below; what follows it is of no use any more.
    if (SongRender.joinable()) SongRender.join();
    // The application ends with the program: its end need not wait for the idle worker threads.
    qsm::LeaveParallelWorkersAtExit();
    StopPlayTimer();
    if (GlobalToolTip == ToolTip.get()) GlobalToolTip = nullptr;
    ToolTip.reset();
    if (CommandFont) DeleteObject(CommandFont);
    if (Gdi32) FreeLibrary(Gdi32);
    if (Score != BlankScore) delete Score;
    delete BlankScore;
    Score = BlankScore = nullptr;
    if (Instance == this) Instance = nullptr;
}

std::string TQSMViewerApp::ProgramFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    StripFileName(path, true);
    std::string folder = path;
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

void TQSMViewerApp::InitInstance() {
    InitCommonControls();
    ToolbarModuleInit();
    // The stored recent views are listed from the start (the Welcome dialog shows them).
    LoadViewerMru();
    // Making the printer object asks the print system for its default printer, which takes a while: it is
    // made here only to restore the printer chosen last time, else at its first use.
    if (HasSavedPrinter()) GetViewerPrinter().RestoreSavedPrinter();
    if (PrivateFonts->LoadPrivateFont("qsswCmdButtons")) {
        CommandFont = CreateFontA(-ToolButtonSize.cy, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                                  0, 0, 0, 0, "qsswCmdButtons");
    }
    InitMainWindow();
    TWindow* main = GetMainWindow();
    if (main == nullptr) return;
    main->SetFlag(TWindow::wfMainWindow);
    if (!main->Create()) return;
    auto* frame = dynamic_cast<TQSMViewerFrame*>(main);
    if (ViewerOptions.RecallSizePos && frame && frame->RestorePlacement()) return;
    main->Show(nCmdShow);
}

bool TQSMViewerApp::HasSavedPrinter() {
    char device[261] = "";
    SysInfo.ReadString("Printer", "Device", "", device, sizeof device);
    return device[0] != '\0';
}

void TQSMViewerApp::InitMainWindow() {
    auto* frame = new TQSMViewerFrame(kProgramTitle, new TQSMViewerClient);
    frame->InsertPlayerBar(*new TQSMPlayerGadgets(frame));
    SetPositionTextsHandler([frame] { frame->ShowPositionTexts(); });
    SetMainWindow(frame);
    ToolTip = std::make_unique<TToolTip>();
    GlobalToolTip = ToolTip.get();
}

int TQSMViewerApp::TermInstance(int status) {
    PrivateFonts->RemoveAll();
    // The windows are gone: the toolbars' shared drawing objects go with them.
    ToolbarModuleExit();
    status = TApplication::TermInstance(status);
    return status == 0 && RunFailed ? 1 : status;
}

// ---------------------------------------------------------------- a run that only prints

void TQSMViewerApp::TellOnStderr(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // One line, however the text was broken for a box.
    std::string line = "QSM2View: ";
    bool blank = false;
    for (const char* p = text; *p; ++p) {
        const bool breakChar = *p == '\n' || *p == '\r';
        if (breakChar && blank) continue;
        line.push_back(breakChar ? ' ' : *p);
        blank = breakChar;
    }
    line.push_back('\n');
    std::fputs(line.c_str(), stderr);
}

void TQSMViewerApp::StartPrintOnlyRun(const char* file) {
    if (PrintOnlyRun) return;
    PrintOnlyRun = true;
    PrintOnlyFile = file ? file : "";
    qsm::wm::SetModalHook([this](HWND modal) {
        char caption[256] = "", text[1024] = "";
        GetWindowTextA(modal, caption, sizeof caption);
        if (HWND message = GetDlgItem(modal, 0xFFFF)) GetWindowTextA(message, text, sizeof text);
        TellOnStderr("%s: %s: %s", PrintOnlyFile.c_str(), caption, text);
        ++ToldBoxes;
        int answer = GetDlgItem(modal, IDOK) ? IDOK : GetDlgItem(modal, IDNO) ? IDNO : IDCANCEL;
        PostMessageA(modal, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(modal, answer)));
    });
}

// ---------------------------------------------------------------- speed and transposition

int TQSMViewerApp::StepSpeed(int s, bool faster) {
    int step = s + (faster ? 10 : -1) >= 100 ? 20 : 10;
    int v = (s / step) * step;
    if (faster)
        v += step;
    else if (v == s)
        v -= step;
    v = v < 40 ? 40 : (v > 400 ? 400 : v);
    // Below 40 or above 400 the clamp would turn the step round.
    if (faster ? v < s : v > s) v = s;
    return v;
}

void TQSMViewerApp::SetSpeed(int percent) {
    if (percent <= 0 || percent == PlaySpeed) return;
    PlaySpeed = percent;
    MidiManager.SetPlaySpeed(100.0f / static_cast<float>(percent));
    if (auto* frame = dynamic_cast<TQSMViewerFrame*>(GetMainWindow())) frame->ShowSpeed();
}

void TQSMViewerApp::SetTranspose(int semitones) {
    int d = semitones - Transposition;
    if (d == 0) return;
    FinishSong();
    bool playing = MidiManager.IsPlaying() && !MidiManager.IsPaused();
    if (playing) MidiManager.TogglePause();
    SongBuffer.Transpose(d, 0xFDFF, 0xFFFF);  // every channel but channel 10
    Transposition = semitones;
    if (auto* frame = dynamic_cast<TQSMViewerFrame*>(GetMainWindow())) frame->ShowTransposition();
    MovedWhilePaused = 1;
    // The sequencer must not keep notes of the old pitches.
    if (MidiManager.IsPaused()) MidiManager.SongChanged();
    if (playing) MidiManager.TogglePause();
}

int TQSMViewerApp::TransposeMenuValue(int id) {
    return id < 12 ? -id : id - 12;
}

HMENU TQSMViewerApp::BuildTransposeMenu() const {
    HMENU menu = CreatePopupMenu();
    for (int id = 0; id < 24; ++id) {
        int value = TransposeMenuValue(id);
        char text[16];
        if (value == 0)
            std::snprintf(text, sizeof(text), "0");
        else
            std::snprintf(text, sizeof(text), "%c %d", value < 0 ? '-' : '+', value < 0 ? -value : value);
        UINT flags = MF_STRING;
        if (value == 0 || value == 1) flags |= MF_MENUBARBREAK;
        if (value == Transposition) flags |= MF_CHECKED;
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(id), text);
    }
    return menu;
}

void TQSMViewerApp::CmTransposeMenu() {
    HMENU menu = BuildTransposeMenu();
    POINT at{};
    GetCursorPos(&at);
    TWindow* main = GetMainWindow();
    int id = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VERPOSANIMATION, at.x,
                                             at.y, 0, main ? main->GetHandle() : nullptr, nullptr));
    DestroyMenu(menu);
    if (id > 0 && id < 24) SetTranspose(TransposeMenuValue(id));
}

void TQSMViewerApp::CmFaster() {
    SetSpeed(StepSpeed(PlaySpeed, true));
}
void TQSMViewerApp::CeFaster(TCommandEnabler& ce) {
    ce.SetCheck(PlaySpeed > 100 ? 1 : 0);
}
void TQSMViewerApp::CmSlower() {
    SetSpeed(StepSpeed(PlaySpeed, false));
}
void TQSMViewerApp::CeSlower(TCommandEnabler& ce) {
    ce.SetCheck(PlaySpeed < 100 ? 1 : 0);
}
void TQSMViewerApp::CmRepeatPlay() {
    SessionOptions.RepeatPlay = SessionOptions.RepeatPlay ? 0 : 1;
}
void TQSMViewerApp::CeRepeatPlay(TCommandEnabler& ce) {
    ce.SetCheck(SessionOptions.RepeatPlay ? 1 : 0);
}

void TQSMViewerApp::CmCheckForUpdates() {
    OpenInBrowser(kVersionCheck);
}
void TQSMViewerApp::CmWebSite() {
    OpenInBrowser(kWebSite);
}

void TQSMViewerApp::CmExit() {
    if (TWindow* main = GetMainWindow(); main && main->GetHandle())
        PostMessageA(main->GetHandle(), WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------- timer, caption, busy state

bool TQSMViewerApp::StartPlayTimer() {
    TWindow* main = GetMainWindow();
    if (PlayTimer == 0 && main && main->GetHandle())
        PlayTimer = SetTimer(main->GetHandle(), kPlayTimerId, 70, nullptr);
    return PlayTimer != 0;
}

void TQSMViewerApp::StartSongRender(std::function<void()> render, std::function<void()> finish, bool inTurn) {
    FinishSong();
    SongFinish = std::move(finish);
    // The render's end reaches the main window as a message, after which the idle pass shows the position
    // texts; with no window to tell, nothing waits for the render, and it runs here.
    TWindow* main = GetMainWindow();
    HWND mainHandle = main != nullptr && !inTurn ? main->GetHandle() : nullptr;
    if (mainHandle != nullptr) {
        SongRenderWork = std::move(render);
        try {
            // The message names its render: one that was waited for already must not wait for the next.
            const WPARAM serial = ++SongRenderSerial;
            SongRender = std::thread([this, mainHandle, serial] {
                SongRenderWork();
                PostMessageA(mainHandle, kSongReadyMessage, serial, 0);
            });
            return;
        } catch (const std::system_error&) {
            render = std::move(SongRenderWork);
        }
    }
    render();
    std::function<void()> then = std::move(SongFinish);
    SongFinish = nullptr;
    if (then) then();
}

void TQSMViewerApp::TellSongOverflow() {
    if (!SongOverflowToTell) return;
    SongOverflowToTell = false;
    FormatMessageBox(GetMainWindow(), MB_ICONINFORMATION, "Midi Play Warning",
                     "Midi Data Overflow Detected. THe end of the song will be missing.");
}

void TQSMViewerApp::JoinSongRender() const {
    SongRender.join();
    // The finish may read the song through the accessors: the render counts as ended before it runs.
    std::function<void()> then = std::move(SongFinish);
    SongFinish = nullptr;
    if (then) then();
}

bool TQSMViewerApp::ProcessAppMsg(MSG& msg) {
    if (msg.message == kSongReadyMessage && GetMainWindow() && msg.hwnd == GetMainWindow()->GetHandle()) {
        // The message of a render that another open has replaced tells nothing.
        if (msg.wParam == SongRenderSerial) {
            FinishSong();
            TellSongOverflow();
        }
        return true;
    }
    // The frame's play timer reaches the application.
    if (msg.message == WM_TIMER && msg.wParam == kPlayTimerId && PlayTimer != 0 && GetMainWindow() &&
        msg.hwnd == GetMainWindow()->GetHandle()) {
        EvTimer(kPlayTimerId);
        return true;
    }
    return TApplication::ProcessAppMsg(msg);
}

TQSMViewerApp::TPositionRecord TQSMViewerApp::GetPositionRecord(bool withState) const {
    if (!withState) return {0xFFFFFFFFu, 0};
    return {GetCurrentTick(), PerformanceActive != 0 ? 1u : 0u};
}

void TQSMViewerApp::UpdateStatusIfMoved() {
    TPositionRecord now = GetPositionRecord(true);
    if (now.Tick == LastStatus.Tick && now.Flags == LastStatus.Flags) return;
    if (!IsPerformanceActive() && (now.Tick != LastStatus.Tick || (LastStatus.Flags & 1) != 0))
        ShowPositionTexts();
    LastStatus = {now.Tick, now.Flags};
}

bool TQSMViewerApp::IdleAction(LONG idleCount) {
    // While the song renders the position texts wait: its end brings another idle pass.
    if (idleCount == 0 && !IsSongPending()) UpdateStatusIfMoved();
    return TApplication::IdleAction(idleCount);
}

void TQSMViewerApp::EvTimer(UINT id) {
    if (id != kPlayTimerId || !MidiManager.ArePortsOpen()) return;
    if (auto* frame = dynamic_cast<TQSMViewerFrame*>(GetMainWindow())) frame->PlayTick();
}

void TQSMViewerApp::StopPlayTimer() {
    if (PlayTimer == 0) return;
    if (TWindow* main = GetMainWindow(); main && main->GetHandle()) KillTimer(main->GetHandle(), PlayTimer);
    PlayTimer = 0;
}

std::string TQSMViewerApp::MakeCaption(const char* name, bool isPath, bool marked) {
    std::string text = "Untitled";
    if (name != nullptr && *name != '\0') {
        if (isPath) {
            char part[MAX_PATH];
            ComposePath(name, part, 2);
            text = part;
        } else {
            text.assign(name, strnlen(name, 63));
        }
    }
    return std::string(marked ? "*" : "") + text + " - " + kProgramTitle;
}

void TQSMViewerApp::SetCaption(const char* name, bool isPath, bool marked) {
    std::string caption = MakeCaption(name, isPath, marked);
    if (TWindow* main = GetMainWindow(); main && main->GetHandle())
        SetWindowTextA(main->GetHandle(), caption.c_str());
    // A song still rendering sets the total when it is ready.
    if (!IsSongPending()) UpdateTotalPlayTime();
    LastStatus = {0xFFFFFFFFu, 0};
}

void TQSMViewerApp::UpdateTotalPlayTime() {
    TotalPlayMs = ScorePlayer.GetPlayLengthMs() + 600;
    FormatPlayTime(TotalPlayMs, TotalPlayText);
    LastStatus = {0xFFFFFFFFu, 0};
}

void TQSMViewerApp::FormatPlayTime(DWORD ms, char* text) {
    unsigned seconds = ms / 1000;
    unsigned hours = seconds / 3600;
    unsigned minutes = seconds / 60 % 60;
    if (hours != 0)
        std::snprintf(text, 32, "%u:%02u:%02u", hours, minutes, seconds % 60);
    else
        std::snprintf(text, 32, "%u:%02u", minutes, seconds % 60);
}

void TQSMViewerApp::BeginBusy(const char* text) {
    SysInfo.PushStatus(text, true);
}
void TQSMViewerApp::EndBusy() {
    SysInfo.PopStatus();
}

// ---------------------------------------------------------------- load warnings

void TQSMViewerApp::BuildLoadWarnings() {
    LoadWarnings.clear();
    char text[160];
    int ports = Score ? Score->GetMaxPlayDevice() + 1 : 1;
    if (ports > 1) {
        std::snprintf(text, sizeof(text), "This file uses %d MIDI ports; only one will be performed", ports);
        LoadWarnings.emplace_back(text);
    }
    for (const std::string& face : PrivateFonts->GetMissingFaces()) {
        std::snprintf(text, sizeof(text), "The '%s' font is not available", face.c_str());
        LoadWarnings.emplace_back(text);
    }
    WarningsText.clear();
    if (!LoadWarnings.empty()) {
        std::snprintf(text, sizeof(text), "%d Note%s", static_cast<int>(LoadWarnings.size()),
                      LoadWarnings.size() == 1 ? "" : "s");
        WarningsText = text;
    }
    if (auto* frame = dynamic_cast<TQSMViewerFrame*>(GetMainWindow())) frame->ShowWarnings();
}

int TQSMViewerApp::ShowWarningsMenu(int x, int y) {
    if (LoadWarnings.empty()) return 0;
    HMENU menu = CreatePopupMenu();
    for (size_t i = 0; i < LoadWarnings.size(); ++i)
        AppendMenuA(menu, MF_STRING, i + 1, LoadWarnings[i].c_str());
    TWindow* main = GetMainWindow();
    int id = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_VERPOSANIMATION, x, y, 0,
                       main ? main->GetHandle() : nullptr, nullptr));
    DestroyMenu(menu);
    if (id > 0) ShowMessageDialog(id);
    return id;
}

// ---------------------------------------------------------------- recent views

namespace qsm {

void ReadRecentViewsBlob(const void* data, DWORD size, TQSStringQueue& list) {
    list.Clear();
    if (data == nullptr || size == 0) return;
    TQSRFlatRamStream packed(const_cast<void*>(data), size, size);
    TQSRZLibInStream lines(TQSRZLibInStream::kScoreEnvelope, &packed, false);
    char line[MAX_PATH + 1];
    while (list.GetCount() < list.GetCapacity()) {
        int length = lines.ReadLine(line, sizeof(line));
        if (lines.GetError() && length == 0) break;
        if (line[0] != '\0') list.InsertAt(list.GetCount(), line);
        if (lines.GetError()) break;
    }
}

std::vector<BYTE> MakeRecentViewsBlob(const TQSStringQueue& list, DWORD limit) {
    // The most entries, in list order, whose compressed form stays below the limit.
    std::vector<BYTE> best;
    for (int32_t count = 1; count <= list.GetCount(); ++count) {
        TQSRFlatRamStream packed(4096, 4096);
        TQSRZLibOutStream out(TQSRZLibInStream::kScoreEnvelope, &packed, false);
        for (int32_t i = 0; i < count; ++i) {
            out.WriteText(list.GetEntry(i), false);
            out.WriteText("\n", true);
        }
        out.Finish();
        DWORD size = packed.GetSize();
        if (out.GetError() || size >= limit) break;
        best.assign(packed.GetData(), packed.GetData() + size);
    }
    return best;
}

}  // namespace qsm

void TQSMViewerApp::LoadViewerMru() {
    BYTE data[kMaxMruBytes];
    DWORD size = SysInfo.ReadBlob("Options", "z-mru", nullptr, data, sizeof(data));
    qsm::ReadRecentViewsBlob(data, size, RecentViews);
}

void TQSMViewerApp::SaveViewerMru() {
    std::vector<BYTE> blob = qsm::MakeRecentViewsBlob(RecentViews, kMaxMruBytes);
    // A store write is flushed to the disk, which takes a while: a list that has not changed (the latest file
    // opened again) is not written.
    if (std::unique_ptr<TKey> key = SysInfo.OpenSectionKey("Options")) {
        std::vector<BYTE> stored(blob.size() + 1);
        DWORD type = 0, size = static_cast<DWORD>(stored.size());
        if (RegQueryValueExA(key->GetHandle(), "z-mru", nullptr, &type, stored.data(), &size) ==
                ERROR_SUCCESS &&
            type == REG_BINARY && size == blob.size() && std::equal(blob.begin(), blob.end(), stored.begin()))
            return;
    }
    SysInfo.WriteBlob("Options", "z-mru", blob.data(), static_cast<DWORD>(blob.size()));
}

void TQSMViewerApp::AddRecentView(const char* path, bool insert) {
    if (path == nullptr || *path == '\0') return;
    LoadViewerMru();
    RecentViews.Remove(path);
    if (insert) RecentViews.InsertAt(0, path);
    SaveViewerMru();
}

// ---------------------------------------------------------------- configuration

void TQSMViewerApp::GetConfigString(const char* key, char* buffer, int size, const char* defaultText) const {
    if (buffer == nullptr || size <= 0) return;
    char ini[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, ini, sizeof(ini));
    ReplaceExtension(ini, "ini");
    if (IsPlainFile(ini)) {
        GetPrivateProfileStringA("Config", key, defaultText, buffer, static_cast<DWORD>(size), ini);
    } else {
        std::snprintf(buffer, static_cast<size_t>(size), "%s", defaultText ? defaultText : "");
    }
}

// ---------------------------------------------------------------- play slider

void TQSMViewerApp::SetSliderFromMs(DWORD ms) {
    FinishSong();
    if (PlaySlider == nullptr || !PlaySlider->GetHandle()) return;
    PlaySlider->SetPosition(
        TotalPlayMs == 0 ? 0 : MulDiv(static_cast<int>(ms), 16384, static_cast<int>(TotalPlayMs)));
}

DWORD TQSMViewerApp::GetMsFromSlider() const {
    FinishSong();
    if (PlaySlider == nullptr) return 0;
    return static_cast<DWORD>(MulDiv(PlaySlider->GetPosition(), static_cast<int>(TotalPlayMs), 16384));
}
