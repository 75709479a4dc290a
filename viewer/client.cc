#include "viewer/client.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/sys_info.h"
#include "core/zlib_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/view_play_source.h"
#include "platform/framework/program.h"
#include "platform/kernel/files.h"
#include "platform/kernel/shell.h"
#include "platform/wm/controls.h"
#include "score/base/fonts_data.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/format/format.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "ui/controls.h"
#include "ui/long_task.h"
#include "ui/message_box.h"
#include "ui/ui_util.h"
#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/play_slider.h"
#include "viewer/player_gadgets.h"
#include "viewer/score_preread.h"
#include "viewer/startup.h"
#include "viewer/view_control.h"
#include "viewer/viewer_dlg.h"

namespace {

// Application commands of the media and browser keys.
constexpr int kAppBrowserBackward = 1;
constexpr int kAppBrowserForward = 2;
constexpr int kAppBrowserHome = 7;
constexpr int kAppMediaStop = 13;
constexpr int kAppMediaPlayPause = 14;
constexpr int kAppMediaPlay = 46;
constexpr int kAppMediaPause = 47;
constexpr int kAppMediaFastForward = 49;
constexpr int kAppMediaRewind = 50;

constexpr int kSliderRange = 16384;
// The slider's code of the first notification of a drag, and the code after a press, drag or key ended.
constexpr int kBeginDrag = TQSSlider::SB_BEGINDRAG;

// Whether a slider drag is under way, and whether the song played when it began.
int SliderDragging = 0;
int PlayingBeforeDrag = 0;

// A wait cursor and a status text from construction to destruction.
class TBusyScope {
public:
    TBusyScope() { TQSMViewerApp::Get()->BeginBusy(nullptr); }
    ~TBusyScope() { TQSMViewerApp::Get()->EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;
};

// The file name with its extension.
std::string FileNamePart(const char* path) {
    char part[MAX_PATH];
    ComposePath(path, part, 2 | 4);
    size_t n = strlen(part);
    if (n > 0 && part[n - 1] == '.' && strrchr(path, '.') == nullptr) part[n - 1] = '\0';
    return part;
}

// Whether the song strikes any note: a song of set-up events and the closing pause alone (the blank
// score's) is not played.
bool HasNotes(const TMidiFileBuf& song) {
    int count = song.GetEventCount();
    if (count < 2) return false;
    for (int i = 0; i < count; ++i) {
        const TMidiEvent* event = song.GetEvent(i);
        if (event->IsShortMsg() && (event->Status & 0xF0) == 0x90 && event->Data2 != 0) return true;
    }
    return false;
}

void MakeHeaderStatic(TQSRStatic* control, DWORD align) {
    control->Attr.Style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX | align;
}

}  // namespace

TQSMViewerClient::TQSMViewerClient()
    : TWindow(static_cast<TWindow*>(nullptr), nullptr), TLayoutWindow(nullptr) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    Title = new TQSRStatic(this, IDC_TITLE, "", 0, 0, 10, 10, 60);
    Author = new TQSRStatic(this, IDC_AUTHOR, "", 0, 0, 10, 10, 50);
    Lyricist = new TQSRStatic(this, IDC_LYRICIST, "", 0, 0, 10, 10, 50);
    Copyright1 = new TQSRStatic(this, IDC_COPYRIGHT1, "", 0, 0, 10, 10, 80);
    Copyright2 = new TQSRStatic(this, IDC_COPYRIGHT2, "", 0, 0, 10, 10, 80);
    MakeHeaderStatic(Title, SS_CENTER);
    MakeHeaderStatic(Author, SS_RIGHT);
    MakeHeaderStatic(Lyricist, SS_LEFT);
    MakeHeaderStatic(Copyright1, SS_CENTER);
    MakeHeaderStatic(Copyright2, SS_CENTER);
    View = new TQSMViewerControl(app->GetBlankScore(), &app->GetPalette(), this, IDC_SCOREVIEW, "Standard");
    View->SetLayoutOption(true);
    View->EnableCaret(false);
    View->ShowHorzScrollBar(false);
    View->Attr.Style &= ~WS_HSCROLL;  // the view's window is made without the bar

    int b = GetSystemMetrics(SM_CXBORDER);
    auto fullWidth = [](TLayoutMetrics& m) {
        m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 0);
        m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    };
    TLayoutMetrics m;
    fullWidth(m);
    m.Y.Set(lmTop, lmSameAs, lmParent, lmTop, 0);
    m.Height.Absolute(32);
    SetChildLayoutMetrics(*Title, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 10 * b);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmCenter, 0);
    m.Y.Set(lmTop, lmSameAs, Title, lmBottom, 0);
    m.Height.Absolute(20);
    SetChildLayoutMetrics(*Lyricist, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmCenter, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, -10 * b);
    m.Y.Set(lmTop, lmSameAs, Title, lmBottom, 0);
    m.Height.Absolute(20);
    SetChildLayoutMetrics(*Author, m);

    m = TLayoutMetrics();
    fullWidth(m);
    m.Y.Set(lmBottom, lmSameAs, lmParent, lmBottom, 0);
    m.Height.Absolute(14);
    SetChildLayoutMetrics(*Copyright2, m);

    m = TLayoutMetrics();
    fullWidth(m);
    m.Y.Set(lmTop, lmSameAs, Copyright2, lmTop, -14);
    m.Height.Set(lmBottom, lmSameAs, Copyright2, lmTop, -1);
    SetChildLayoutMetrics(*Copyright1, m);

    m = TLayoutMetrics();
    fullWidth(m);
    m.Y.Set(lmTop, lmSameAs, Author, lmBottom, 0);
    m.Height.Set(lmBottom, lmSameAs, Copyright1, lmTop, -15);
    SetChildLayoutMetrics(*View, m);

    app->SetClient(this);
}

TQSMViewerClient::~TQSMViewerClient() {
    DeleteHeaderFonts();
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->GetClient() == this) app->SetClient(nullptr);
}

TQSRStatic* TQSMViewerClient::GetHeaderText(int id) const {
    switch (id) {
        case IDC_TITLE:
            return Title;
        case IDC_AUTHOR:
            return Author;
        case IDC_LYRICIST:
            return Lyricist;
        case IDC_COPYRIGHT1:
            return Copyright1;
        case IDC_COPYRIGHT2:
            return Copyright2;
        default:
            return nullptr;
    }
}

TWindow* TQSMViewerClient::TopWindow() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TWindow* main = app ? app->GetMainWindow() : nullptr;
    return main && main->GetHandle() ? main : this;
}

void TQSMViewerClient::SetupWindow() {
    TLayoutWindow::SetupWindow();
    SysInfo.PushStatus("Ready", false);
    OpenFile(nullptr, 0);
    PostMessageA(GetHandle(), RegisterWindowMessageA("QSINIT"), 0, 0);
}

LRESULT TQSMViewerClient::EvQsInit(WPARAM, LPARAM) {
    const char* line = qsm::GetProgramCommandLine();
    TViewerCmdLine options(line ? line : "");
    if (options.HasSwitch("/xprint")) {
        // This run only prints: whatever goes wrong is told on the standard error stream, and the run ends.
        TQSMViewerApp* app = TQSMViewerApp::Get();
        const char* file = options.GetFile();
        app->StartPrintOnlyRun(file);
        if (file == nullptr || *file == '\0') {
            TQSMViewerApp::TellOnStderr("/xprint: no file to print was named.");
            app->SetRunFailed();
            if (TWindow* main = app->GetMainWindow(); main && main->GetHandle())
                PostMessageA(main->GetHandle(), WM_COMMAND, CM_QSM_EXIT, 0);
            return 0;
        }
    }
    ProcessCmdLine(line);
    return 0;
}

void TQSMViewerClient::ProcessCmdLine(const char* text) {
    TViewerCmdLine options(text ? text : "");
    const char* file = options.GetFile();
    ResetOpenRequest(OpenRequest);
    if (options.HasSwitch("/play")) OpenRequest.PlayAfterOpen = 1;
    if (options.HasSwitch("/cached")) OpenRequest.FromCache = 1;
    TWindow* main = TQSMViewerApp::Get()->GetMainWindow();
    if (file != nullptr && *file != '\0') {
        // A file opened for printing is not played, so no Play is posted by the open.
        if (options.HasSwitch("/xprint")) OpenRequest.PlayAfterOpen = 0;
        std::string path = file;
        const int toldBefore = TQSMViewerApp::Get()->GetToldBoxCount();
        bool opened = OpenFile(path.c_str(), OpenRequest.FromCache == 0 ? 1 : 0);
        if (options.HasSwitch("/xprint")) {
            OpenRequest.PlayAfterOpen = 0;
            // Only a file that was opened is printed: the blank or the previous score never is. A run that
            // only prints this file ends when it cannot be opened.
            TQSMViewerApp* app = TQSMViewerApp::Get();
            if (opened && main && main->GetHandle()) {
                PostMessageA(main->GetHandle(), WM_COMMAND, CM_QSM_PRINTDIRECT, 0);
            } else if (!opened && app->IsPrintOnlyRun()) {
                if (app->GetToldBoxCount() == toldBefore)
                    TQSMViewerApp::TellOnStderr("%s: the file could not be opened; nothing was printed.",
                                                file);
                app->SetRunFailed();
                if (main && main->GetHandle()) PostMessageA(main->GetHandle(), WM_COMMAND, CM_QSM_EXIT, 0);
            }
            return;
        }
        if (options.HasSwitch("/close") && OpenRequest.PlayAfterOpen) OpenRequest.CloseAfterPlay = 1;
    } else if (ViewerOptions.AutoWelcome && main && main->GetHandle()) {
        PostMessageA(main->GetHandle(), WM_COMMAND, CM_QSM_WELCOME, 0);
    }
    View->SetFocus();
}

// ---------------------------------------------------------------- the open road

bool TQSMViewerClient::OpenFile(const char* path, int addToRecent) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TBusyScope busy;
    if (app->IsPerformanceActive()) StopPlay();

    TMusicScore* previous = app->GetScore();
    TMusicScore* score = nullptr;
    int fromNewFormat = 0, fromTextFile = 0, fromMidiFile = 0;
    char truePath[MAX_PATH] = "";
    if (path != nullptr) {
        GetTrueFileName(path, truePath);
        // The score of the command line may have been read while the program started: that read ends here,
        // whatever this open reads, and is kept only for this file as it was when read.
        qsm::SettleScorePreread(truePath);
        if (qsm::GetOpenKind(truePath) == qsm::TOpenKind::Midi) {
            score = LoadMidiFile(truePath);
            fromNewFormat = 1;
            fromMidiFile = 1;
        } else {
            score = OpenScoreFile(truePath, nullptr, fromNewFormat, fromTextFile);
        }
        if (score == nullptr) return false;
        if (addToRecent) app->AddRecentView(truePath, true);
        app->IncrementLoadCount();
        app->SetCurrentPath(truePath);
    } else {
        score = app->GetBlankScore();
        app->SetCurrentPath(nullptr);
        if (previous != score) app->IncrementLoadCount();
    }
    app->SetSourceFlags(fromNewFormat, fromTextFile, fromMidiFile);

    // The performance of the new score, and what reads it once it is complete: the time index, the total
    // play time, the overflow warning and the transposition.
    TMidiFileBuf& song = app->GetSongBuffer();
    TScoreMidiPlayer& player = app->GetScorePlayer();
    auto finish = [app] {
        TMidiFileBuf& rendered = app->GetSongBuffer();
        app->GetTimeIndex().Reset();
        app->UpdateTotalPlayTime();
        app->NoteSongOverflow(rendered.HasOverflowed());
        if (app->GetTranspose() != 0) rendered.Transpose(app->GetTranspose(), 0xFDFF, 0xFFFF);
    };
    if (!fromMidiFile) {
        song.Clear();
        player.SetScore(score);
        // The render reads the score, which nothing changes before it has ended, and writes only the song
        // and the player: the view is set up and painted meanwhile. The blank score's song, all but empty,
        // is made here: handing it to a thread costs more, and the open of a file that follows the start's
        // blank score would wait for that thread.
        app->StartSongRender(
            [&song, &player] {
                player.RenderWithoutClear(song);
                song.AppendEndPause(3);
            },
            finish, score == app->GetBlankScore());
    } else {
        // The player must not keep the score that is about to go.
        player.SetScore(score);
        player.SetPlayLengthFromBuffer(song);
        finish();
    }
    if (TQSMPlaySlider* slider = app->GetPlaySlider(); slider && slider->GetHandle()) slider->SetPosition(0);
    app->ClearLastStatus();

    app->CheckScoreFonts(*score);
    app->SetScore(score);
    score->GetStaffFlagBits(0, app->GetMuteBits());
    app->ClearMuteListState();
    View->SetScore(score);
    View->EnableCaret(false);
    // The view no longer shows the previous score: it can go.
    if (previous != nullptr && previous != app->GetBlankScore() && previous != score) delete previous;

    const TSongInfo& info = score->SongInfo;
    Title->SetText(info.Title);
    Author->SetText(info.Author);
    Lyricist->SetText(info.Lyricist);
    Copyright1->SetText(info.Copyright1);
    Copyright2->SetText(info.Copyright2);
    if (path != nullptr)
        app->SetCaption(app->GetCurrentPath().c_str(), true, false);
    else
        app->SetCaption(info.Title, false, false);
    SetHeaderFonts(score);

    // A song rendered already (a MIDI file's, or one rendered here without a window) is told of now; one
    // still rendering when its render ends.
    if (!app->IsSongPending()) app->TellSongOverflow();
    app->SetSpeed(100);
    if (score != app->GetBlankScore() && OpenRequest.PlayAfterOpen)
        PostMessageA(GetHandle(), WM_COMMAND, CM_QSM_PLAY, 0);
    if (View->GetHandle()) View->SetFocus();
    app->BuildLoadWarnings();
    return true;
}

void TQSMViewerClient::DeleteHeaderFonts() {
    if (Fonts[0] == nullptr && Fonts[1] == nullptr && Fonts[2] == nullptr) return;
    TQSRStatic* controls[] = {Title, Author, Lyricist, Copyright1, Copyright2};
    for (TQSRStatic* control : controls)
        if (control->GetHandle()) control->SendMessage(WM_SETFONT, 0, 0);
    for (HFONT& font : Fonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
}

void TQSMViewerClient::SetHeaderFonts(TMusicScore* score) {
    DeleteHeaderFonts();
    TMusicFontsData* data = score->GetFontData();
    if (data == nullptr) return;
    const int slots[3] = {FONTSLOT_PAGE_TITLE, FONTSLOT_PAGE_TEXT, FONTSLOT_PAGE_SMALL};
    const int heights[3] = {-28, -14, -11};
    for (int i = 0; i < 3; ++i) {
        LOGFONTA font{};
        data->Fonts[slots[i]].ToLogFont(&font, 96);
        font.lfHeight = heights[i];
        Fonts[i] = CreateFontIndirectA(&font);
    }
    auto give = [](TQSRStatic* control, HFONT font) {
        if (control->GetHandle()) control->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    };
    give(Title, Fonts[0]);
    give(Author, Fonts[1]);
    give(Lyricist, Fonts[1]);
    give(Copyright1, Fonts[2]);
    give(Copyright2, Fonts[2]);
}

namespace {

// A text score of which the importer read nothing: one staff with no more items than a new one, no title.
bool HoldsNothing(const TMusicScore& score) {
    if (score.GetStaffCount() != 1 || score.SongInfo.Title[0] != '\0') return false;
    const TMusicStaff blank;
    const TMusicStaff* staff = score.GetStaff(0);
    return staff != nullptr && staff->GetItemCount() <= blank.GetItemCount();
}

}  // namespace

TMusicScore* TQSMViewerClient::OpenScoreFile(const char* path, const char* extension, int& fromNewFormat,
                                             int& fromTextFile) {
    fromNewFormat = fromTextFile = 0;
    if (!IsPlainFile(path)) {
        InfoBox(this, "File Not Found\n\nThe file could not be opened.");
        return nullptr;
    }
    std::string name = FileNamePart(path);
    TScoreFileHeader header;
    TMusicScore* score = nullptr;
    if (strcasecmp(extension ? extension : qsm::ExtensionOf(path), ".qsmtxt") == 0) {
        if (!qsm::TakeScorePreread(path, qsm::TOpenKind::TextScore, score, header)) {
            TQSRFStream file(TQSRFStream::kRead, path);
            if (file.GetError()) {
                InfoBox(this,
                        "File: %s\nThis file failed to open. It might be open in another program, or is "
                        "protected by the operating system.",
                        name.c_str());
                return nullptr;
            }
            TQSRZLibInStream text(TQSRZLibInStream::kPlain, &file, false);
            score = ImportTextScore(text, nullptr, -1);
        }
        // A text the importer cannot read (no header, or nothing at all, or a header and nothing after it: a
        // file cut short) opens nothing.
        if (score != nullptr && HoldsNothing(*score)) {
            delete score;
            score = nullptr;
        }
        if (score == nullptr) {
            FormatMessageBox(this, 0, "Error - Could not open", "%s", path);
            return nullptr;
        }
        fromNewFormat = fromTextFile = 1;
        return score;
    }

    if (!qsm::TakeScorePreread(path, qsm::TOpenKind::CompactScore, score, header))
        score = LoadScoreFile(path, header, nullptr);
    if ((header.Status == StatusNotScoreFile || header.Status == StatusDamaged) &&
        HasCrLfLineEnds(path, 0) != 0 &&
        FormatMessageBox(
            this, MB_YESNO | MB_ICONQUESTION, "Improper File Translation",
            "File: %s\n\nThis binary file appears to have been improperly treated as an ASCII file. "
            "Would you like this program to attempt an automatic recovery of this file?",
            name.c_str()) == IDYES) {
        delete score;
        score = nullptr;
        char folder[MAX_PATH] = "";
        char temporary[MAX_PATH] = "";
        GetTempPathA(sizeof(folder), folder);
        if (GetTempFileNameA(folder, "qsm", 0, temporary) != 0) {
            if (RepairCrLfCopy(path, temporary)) score = LoadScoreFile(temporary, header, nullptr);
            DeleteFileA(temporary);
        }
    }
    WORD version = static_cast<WORD>(((header.ProductMajor & 0xFF) << 8) | (header.ProductMinor & 0xFF));
    char versionText[64];
    FormatVersion(versionText, sizeof(versionText), version, 2, 0);
    if (header.Status == StatusNewerFormat) {
        delete score;
        FormatMessageBox(TopWindow(), 0, versionText, "File uses new format");
        return nullptr;
    }
    if ((header.Status != StatusOk && header.Status != StatusOldFormat) || score == nullptr) {
        delete score;
        FormatMessageBox(this, 0, "Error - Could not open", "%s", path);
        return nullptr;
    }
    fromNewFormat = version > 0x199 ? 1 : 0;
    // The reader has formatted every staff once the whole score was read; a staff it left needing it is
    // formatted here, the others are not walked a second time.
    FormatAllStaffs(score, false);
    return score;
}

TMusicScore* TQSMViewerClient::LoadMidiFile(const char* path) {
    const int kind = strcasecmp(qsm::ExtensionOf(path), ".kar") == 0 ? 2 : 1;
    std::unique_ptr<TSMFData> smf;
    TMusicScore* score = nullptr;
    bool cancelled = false;
    // The start may have read, imported and begun to convert this very file: the open takes what it made.
    // When that conversion gave no score (it ran out of memory), nothing of it is kept and the open reads the
    // file as if nothing had been read.
    if (qsm::HasScorePreread(path)) {
        TLongTaskDlg progress(TopWindow(), IDD_WORKING, 1, 1);
        progress.SetGaugeLed(3, 85);
        progress.Create();
        qsm::TMidiPreread made;
        if (qsm::TakeMidiPreread(path, progress, made)) {
            smf = std::move(made.Data);
            score = made.Score;
        }
        cancelled = progress.PollCancel() != 0;
        progress.CloseDialog();
    }
    if (score == nullptr && !cancelled) {
        TSMFImportList instructions;
        {
            TQSRBFStream file(TQSRFStream::kRead, path, 30000);
            if (file.GetError()) {
                InfoBox(this,
                        "File: %s\nThis file failed to open. It could be in use by another program or "
                        "protected by the operating system.",
                        path);
                return nullptr;
            }
            smf = std::make_unique<TSMFData>();
            TBusyScope busy;
            TSMFImport import(smf.get(), &file, nullptr);
            import.ReadFile();
            // A file the reader cannot read (no MIDI file, or one cut short) opens nothing.
            if (import.HasError()) {
                FormatMessageBox(this, 0, "Error - Could not open", "%s", path);
                return nullptr;
            }
            BuildImportInstructions(smf.get(), instructions, true, 16);
        }
        TLongTaskDlg progress(TopWindow(), IDD_WORKING, 1, 1);
        progress.SetGaugeLed(3, 85);
        progress.Create();
        if (progress.Cancelled == 0) score = ConvertMidiToScore(smf.get(), instructions, kind);
        cancelled = progress.PollCancel() != 0;
        progress.CloseDialog();
    }
    if (cancelled || score == nullptr) {
        delete score;
        return nullptr;
    }
    if (score->SongInfo.Title[0] == '\0') {
        char name[MAX_PATH];
        ComposePath(path, name, 2);
        std::snprintf(score->SongInfo.Title, 64, "%.63s", name);
    }
    score->Zoom = 6;
    score->StaffLabels = 1;
    score->BarNumbers = 3;
    MergeSmfTracks(*smf, TQSMViewerApp::Get()->GetSongBuffer());
    return score;
}

void TQSMViewerClient::MergeSmfTracks(TSMFData& smf, TMidiFileBuf& buffer) {
    int tracks = smf.GetTrackCount() < 256 ? smf.GetTrackCount() : 256;
    std::vector<TMFBIndex> indexes;
    for (int i = 0; i < tracks; ++i) {
        TSMFTrackData* track = smf.GetTrack(i);
        if (track != nullptr && track->GetEventCount() > 0) indexes.emplace_back(track);
    }
    buffer.Clear();
    DWORD window = 0;
    while (!indexes.empty()) {
        window += 768;
        for (int i = static_cast<int>(indexes.size()) - 1; i >= 0; --i) {
            TMFBIndex& index = indexes[static_cast<size_t>(i)];
            bool done = false;
            for (TMidiEvent* event = index.GetEvent(); event != nullptr && event->Tick < window;
                 event = index.GetEvent()) {
                buffer.AddEvent(*event);
                if (!index.CanMove(1)) {
                    done = true;
                    break;
                }
                index.Next();
            }
            if (done) indexes.erase(indexes.begin() + i);
        }
    }
}

// ---------------------------------------------------------------- transport

void TQSMViewerClient::CmPlay() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMidiFileBuf& song = app->GetSongBuffer();
    TMidiManager& midi = app->GetMidiManager();
    if (!HasNotes(song)) return;
    DWORD startTick = app->GetCurrentTick();
    if (app->IsPerformanceActive()) {
        if (midi.IsPaused()) {
            CmPause();
            return;
        }
        // Playing: start again from where this play started.
        midi.Stop();
        app->ShowPositionTexts();
        Invalidate();
        startTick = app->GetPlayStartTick();
    } else {
        if (midi.IsPlaying()) {
            FormatMessageBox(TopWindow(), MB_ICONINFORMATION, "Play Not Possible",
                             "The MIDI player is currently in use by another program. The song cannot be "
                             "performed at this time.");
            return;
        }
        midi.OpenPorts(true);
        midi.CachePatches(&song);
        if (ViewerOptions.PlayDelay != 0) {
            RunCountDown(ViewerOptions.PlayDelay);
            UpdateWindow();
        }
        app->SetPerformanceActive(true);
        app->SetPlayStartTick(startTick);
    }
    if (midi.Play(GetHandle(), &song, startTick)) {
        TScoreMidiPlayer& player = app->GetScorePlayer();
        player.SetScore(app->GetScore());
        player.SeekTick(startTick);
        View->FollowPlayPosition(TScoreMidiPlayerPositions(player));
        app->ShowPositionTexts();
        app->StartPlayTimer();
    } else {
        FormatMessageBox(TopWindow(), MB_ICONINFORMATION, "Play Failed", "Initiate Play Failed");
        StopPlay();
    }
}

void TQSMViewerClient::CmPlayPause() {
    if (!TQSMViewerApp::Get()->IsPerformanceActive())
        CmPlay();
    else
        CmPause();
}

void TQSMViewerClient::CmPause() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMidiManager& midi = app->GetMidiManager();
    if (midi.IsPaused() && app->WasMovedWhilePaused()) midi.SetPausedPosition(app->GetCurrentTick());
    app->SetMovedWhilePaused(false);
    midi.TogglePause();
}

void TQSMViewerClient::StopPlay() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    app->StopPlayTimer();
    if (!app->IsPerformanceActive()) return;
    app->SetPerformanceActive(false);
    TMidiManager& midi = app->GetMidiManager();
    midi.Stop();
    midi.OpenPorts(false);
    app->ShowPositionTexts();
    Invalidate();
    // Play pushed no status text, so none is popped here: the stack stays as it was before the play.
    if (OpenRequest.CloseAfterPlay) {
        if (TWindow* main = app->GetMainWindow(); main && main->GetHandle())
            PostMessageA(main->GetHandle(), WM_COMMAND, CM_QSM_EXIT, 0);
        return;
    }
    TMFBTimeIndex& index = app->GetTimeIndex();
    index.SeekTick(app->GetPlayStartTick());
    app->SetSliderFromMs(index.GetMs());
    View->ShowPositionAt(app->GetPlayStartTick());
}

void TQSMViewerClient::CmStop() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    bool wasActive = app->IsPerformanceActive();
    StopPlay();
    if (wasActive) return;
    int answer = FormatMessageBox(this, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, "MIDI Reset",
                                  "Nothing is currently playing.\n\nDo you want to send a full reset for all "
                                  "notes on all channels?");
    if (answer == IDCANCEL) return;
    TBusyScope busy;
    TMidiManager& midi = app->GetMidiManager();
    midi.OpenPorts(true);
    midi.ResetPorts(answer == IDYES);
    midi.OpenPorts(false);
    Invalidate();
}

void TQSMViewerClient::CmVolumeControl() {
    const char* program = SysInfo.IsNT6OrLater() ? "sndvol.exe" : "Sndvol32.exe";
    auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteA(GetHandle(), "Open", program, nullptr, nullptr, SW_SHOW));
    if (result > 32) return;
    MessageBoxExA(
        nullptr,
        "The volume control apparently failed to open.\n\nYou might want to go to the Multimedia applet "
        "in the Control Panel to investigate whether your system supports a volume control.",
        "Volume Control Open Error", MB_TASKMODAL | MB_ICONINFORMATION, 0);
}

void TQSMViewerClient::CmGotoStart() {
    SeekToSliderPos(SB_THUMBPOSITION, 0);
}

void TQSMViewerClient::CmGotoEnd() {
    SeekToSliderPos(SB_THUMBPOSITION, kSliderRange - 1);
}

void TQSMViewerClient::CePlay(TCommandEnabler& ce) {
    ce.SetCheck(TQSMViewerApp::Get()->IsPerformanceActive() ? 1 : 0);
}

void TQSMViewerClient::CePause(TCommandEnabler& ce) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    ce.Enable(app->IsPerformanceActive());
    ce.SetCheck(app->IsPerformanceActive() && app->GetMidiManager().IsPaused() ? 1 : 0);
}

void TQSMViewerClient::SeekToSliderPos(int scrollCode, int position) {
    // Only a position (a jump or a drag's end) and a drag's track move the play position; the start of a
    // drag only pauses, and the slider's closing code and its page, line and key codes carry no position of
    // their own.
    if (scrollCode != SB_THUMBPOSITION && scrollCode != SB_THUMBTRACK && scrollCode != kBeginDrag) return;
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMidiManager& midi = app->GetMidiManager();
    bool playing = app->IsPerformanceActive() && !midi.IsPaused();
    if (playing) CmPause();
    bool resume = false;
    if (scrollCode == kBeginDrag) {
        if (!SliderDragging) {
            SliderDragging = 1;
            PlayingBeforeDrag = playing ? 1 : 0;
        }
        return;
    }
    if (SliderDragging && scrollCode != SB_THUMBTRACK) {
        SliderDragging = 0;
        resume = PlayingBeforeDrag != 0;
    } else if (!SliderDragging && scrollCode == SB_THUMBTRACK) {
        SliderDragging = 1;
        PlayingBeforeDrag = playing ? 1 : 0;
        playing = false;
    }
    if (position < 0) position = 0;
    if (position > kSliderRange) position = kSliderRange;
    if (TQSMPlaySlider* slider = app->GetPlaySlider(); slider && slider->GetHandle())
        slider->SetPosition(position);
    DWORD ms = static_cast<DWORD>(MulDiv(position, static_cast<int>(app->GetTotalPlayMs()), kSliderRange));
    TMFBTimeIndex& index = app->GetTimeIndex();
    index.SeekMs(ms);
    if (!app->IsPerformanceActive()) View->ShowPositionAt(ms != 0 ? app->GetCurrentTick() : 0);
    app->SetPlayStartTick(app->GetCurrentTick());
    app->SetMovedWhilePaused(app->IsPerformanceActive());
    if (resume)
        CmPlay();
    else if (playing)
        CmPause();
}

void TQSMViewerClient::UpdatePlayPosition() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (!app->IsPerformanceActive()) return;
    TMidiManager& midi = app->GetMidiManager();
    DWORD tick = midi.IsPaused() ? app->GetCurrentTick() : midi.GetPlayTick();
    TScoreMidiPlayer& player = app->GetScorePlayer();
    if (player.SeekTick(tick)) View->FollowPlayPosition(TScoreMidiPlayerPositions(player));
}

DWORD TQSMViewerClient::GetCurrentTick() const {
    return TQSMViewerApp::Get()->GetCurrentTick();
}

void TQSMViewerClient::SetSliderFromMs(DWORD ms) {
    TQSMViewerApp::Get()->SetSliderFromMs(ms);
}

HWND TQSMViewerClient::GetViewHandle() {
    return View->GetHandle();
}

int TQSMViewerClient::GetCurrentIndex() {
    return View->GetCurrentIndex();
}

// A staff opens with a bar line, so an index at its very start counts no bar yet: the start of a score is
// in its first bar.
int TQSMViewerClient::GetPositionBar() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMusicScore* score = app->GetScore();
    if (score == nullptr) return 1;
    int bar = score->StartingBar;
    if (app->IsPerformanceActive()) {
        if (TMusicStaff* staff = score->GetStaff(0)) {
            int index = app->GetScorePlayer().GetStaffIndex(0);
            TRelNtnIdx at(staff, index < 0 ? staff->GetItemCount() - 1 : index);
            bar = at.GetDisplayBarNumber(*score);
        }
    } else {
        bar = View->GetPosition().GetDisplayBarNumber(*score);
    }
    return std::max(bar, static_cast<int>(score->StartingBar));
}

LRESULT TQSMViewerClient::EvMidiSeq(WPARAM wp, LPARAM) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (wp == 1) {
        app->GetMidiManager().QueueNextBlock();
    } else if (wp == 2) {
        if (SessionOptions.RepeatPlay)
            CmPlay();
        else
            StopPlay();
    }
    return 0;
}

LRESULT TQSMViewerClient::EvAppCommand(WPARAM wp, LPARAM lp) {
    int command = static_cast<int>(HIWORD(static_cast<DWORD>(lp)) & ~0xF000);
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TWindow* main = app->GetMainWindow();
    switch (command) {
        case kAppBrowserBackward:
            View->SendMessage(WM_HSCROLL, SB_PAGELEFT, 0);
            return TRUE;
        case kAppBrowserForward:
            View->SendMessage(WM_HSCROLL, SB_PAGERIGHT, 0);
            return TRUE;
        case kAppBrowserHome:
            View->ScrollToIndex(0);
            return TRUE;
        case kAppMediaStop:
            CmStop();
            return TRUE;
        case kAppMediaPlayPause:
            CmPlayPause();
            return TRUE;
        case kAppMediaPlay:
            CmPlay();
            return TRUE;
        case kAppMediaPause:
            if (app->IsPerformanceActive()) CmPause();
            return TRUE;
        case kAppMediaFastForward:
            if (main && main->GetHandle()) main->SendMessage(WM_COMMAND, CM_QSM_FASTER, 0);
            return TRUE;
        case kAppMediaRewind:
            if (main && main->GetHandle()) main->SendMessage(WM_COMMAND, CM_QSM_SLOWER, 0);
            return TRUE;
        default:
            return DefWindowProcA(GetHandle(), WM_APPCOMMAND, wp, lp);
    }
}

HBRUSH TQSMViewerClient::EvCtlColor(HDC dc, HWND, UINT) {
    SetTextColor(dc, TQSMViewerApp::Get()->GetPalette().GetColor(0));
    SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void TQSMViewerClient::CmScoreInfo() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TQSScoreInfoDlg(app->GetMainWindow(), app->GetScore()->SongInfo).Execute();
    View->SetFocus();
}

void TQSMViewerClient::CmZoomIn() {
    View->ZoomBy(2);
}

void TQSMViewerClient::CmZoomOut() {
    View->ZoomBy(-2);
}

DEFINE_RESPONSE_TABLE1(TQSMViewerClient, TLayoutWindow)
EV_WM_CTLCOLORSTATIC, EV_REGISTERED("QSMMidiSeq", EvMidiSeq), EV_REGISTERED("QSINIT", EvQsInit),
    EV_MESSAGE(WM_APPCOMMAND, EvAppCommand), EV_COMMAND(CM_QSM_PLAY, CmPlay),
    EV_COMMAND_ENABLE(CM_QSM_PLAY, CePlay), EV_COMMAND(CM_QSM_STOP, CmStop),
    EV_COMMAND(CM_QSM_VOLUMECONTROL, CmVolumeControl), EV_COMMAND(CM_QSM_PAUSE, CmPause),
    EV_COMMAND_ENABLE(CM_QSM_PAUSE, CePause), EV_COMMAND(CM_QSM_PLAYPAUSE, CmPlayPause),
    EV_COMMAND(CM_QSM_STOPPLAY, StopPlay), EV_COMMAND(CM_QSM_INFO, CmScoreInfo),
    EV_COMMAND(CM_QSM_ZOOMIN, CmZoomIn), EV_COMMAND(CM_QSM_ZOOMOUT, CmZoomOut),
    EV_COMMAND(CM_QSM_GOTOSTART, CmGotoStart), EV_COMMAND(CM_QSM_GOTOEND, CmGotoEnd), END_RESPONSE_TABLE;
