#include "plugin/player_client.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/reg_key.h"
#include "core/sys_info.h"
#include "midi/view_play_source.h"
#include "platform/kernel/shell.h"
#include "platform/registry/registry.h"
#include "plugin/gadgets.h"
#include "plugin/play_control.h"
#include "plugin/plugin.h"
#include "plugin/save_copy.h"
#include "render/view/score_view.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "ui/controls.h"
#include "ui/slider.h"

namespace {

constexpr char kStaffColorsKey[] = "Software\\QuillStave Software\\QuillStave Composer 2\\StaffColors";
constexpr int kSliderRange = 256;
constexpr int kThumbBitmap = 32000;
constexpr int kBarHeight = 27;

// The player bar: commands its buttons post go on to the player.
class TPlayerBar : public TControlBar {
public:
    TPlayerBar(TWindow* parent, TFont* font, TModule* module)
        : TControlBar(parent, Horizontal, font, module) {}
    // The bar keeps its 27 pixels whatever its buttons ask for.
    void GetDesiredSize(TSize& size) override {
        TControlBar::GetDesiredSize(size);
        size.cy = std::max<int>(size.cy, kBarHeight);
    }
    LRESULT EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) override {
        if (hWndCtl == nullptr && GetParentH() != nullptr)
            return ::SendMessageA(GetParentH(), WM_COMMAND, MAKEWPARAM(id, notifyCode), 0);
        return TControlBar::EvCommand(id, hWndCtl, notifyCode);
    }
};

// The bar's font: 10 points on the screen.
TFont* MakeBarFont() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return new TFont("MS Sans Serif", -MulDiv(10, dpi, 72));
}

TQSRStatic* MakeText(TWindow* parent, int id, UINT limit, DWORD align, TModule* module) {
    auto* text = new TQSRStatic(parent, id, "", 0, 0, 10, 10, limit, module);
    text->Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | SS_NOPREFIX | align;
    return text;
}

// The width of the longest time text in the time font, plus 4.
int TimeTextWidth(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const char* widest = "99:99 / 99:99";
    SIZE size{};
    GetTextExtentPoint32A(dc, widest, static_cast<int>(std::strlen(widest)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx + 4;
}

// The name offered for a copy: the title, with the characters that would make it a path written as dashes.
std::string CopyNameOf(const char* title) {
    std::string name = title != nullptr ? title : "";
    std::replace(name.begin(), name.end(), '/', '-');
    std::replace(name.begin(), name.end(), '\\', '-');
    return name;
}

}  // namespace

// Every control asks the player for its colours: the slider as a scroll bar, the texts as statics.
#define QSP_EV_CTLCOLOR(msg)                      \
    QSM_EV(msg, return reinterpret_cast<LRESULT>( \
                    self_.EvCtlColor(reinterpret_cast<HDC>(wp_), reinterpret_cast<HWND>(lp_), msg));)

// ---- dialogs ----

TPlayerDialog::TPlayerDialog(TWindow* parent, int resId, TModule* module) : TDialog(parent, resId, module) {}

// ---- the player ----

DEFINE_RESPONSE_TABLE1(TQSPlayerClient, TLayoutWindow)
EV_REGISTERED("QSINIT", EvQsInit), EV_REGISTERED("QSMMidiSeq", EvMidiSeq), EV_WM_TIMER,
    QSP_EV_CTLCOLOR(WM_CTLCOLORMSGBOX), QSP_EV_CTLCOLOR(WM_CTLCOLOREDIT), QSP_EV_CTLCOLOR(WM_CTLCOLORLISTBOX),
    QSP_EV_CTLCOLOR(WM_CTLCOLORBTN), QSP_EV_CTLCOLOR(WM_CTLCOLORDLG), QSP_EV_CTLCOLOR(WM_CTLCOLORSCROLLBAR),
    QSP_EV_CTLCOLOR(WM_CTLCOLORSTATIC), EV_WM_SETFOCUS, EV_WM_HSCROLL, EV_COMMAND(CM_QSP_ABOUT, CmAbout),
    EV_COMMAND(CM_QSP_INFO, CmInfo), EV_COMMAND(CM_QSP_ZOOMIN, CmZoomIn),
    EV_COMMAND(CM_QSP_ZOOMOUT, CmZoomOut), EV_COMMAND(CM_QSP_PLAY, CmPlay), EV_COMMAND(CM_QSP_STOP, CmStop),
    EV_COMMAND(CM_QSP_VIEWER, CmViewer), EV_COMMAND(CM_QSP_PAUSE, CmPause),
    EV_COMMAND(CM_QSP_VOLUME, CmVolume), EV_COMMAND(CM_QSP_SAVECOPY, CmSaveCopy),
    EV_COMMAND_ENABLE(CM_QSP_PLAY, CePlay), EV_COMMAND_ENABLE(CM_QSP_STOP, CeStop),
    EV_COMMAND_ENABLE(CM_QSP_VIEWER, CeNotPlaying), EV_COMMAND_ENABLE(CM_QSP_SAVECOPY, CeNotPlaying),
    EV_COMMAND_ENABLE(CM_QSP_PAUSE, CePause), END_RESPONSE_TABLE;

TQSPlayerClient::TQSPlayerClient(CPlugin* plugin, TWindow* parent, TMusicScore* score, TModule* module)
    : TWindow(parent, nullptr, module), TLayoutWindow(parent, nullptr, module), Plugin(plugin), Score(score) {
    RegisterWindowMessageA("QSINIT");
    RegisterWindowMessageA("QSMMidiSeq");
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_BORDER;

    PlayerBar = new TPlayerBar(this, MakeBarFont(), module);
    PlayerBar->SetHintMode(TGadgetWindow::NoHints);
    auto button = [this](int id) { PlayerBar->Insert(*new TQSCommandButtonGadget(id, id, 0, true)); };
    auto separator = [this] { PlayerBar->Insert(*new TQSFlatBtnSeparatorGadget); };
    button(CM_QSP_ZOOMIN);
    button(CM_QSP_ZOOMOUT);
    separator();
    button(CM_QSP_VIEWER);
    button(CM_QSP_SAVECOPY);
    separator();
    button(CM_QSP_PLAY);
    button(CM_QSP_PAUSE);
    button(CM_QSP_STOP);
    button(CM_QSP_VOLUME);
    separator();
    button(CM_QSP_INFO);
    button(CM_QSP_ABOUT);

    Slider = new TQSHSlider(this, IDC_QSP_SLIDER, 0, 0, 100, 25, kThumbBitmap, module);
    Slider->SetChannelThickness(7);
    TimeText = MakeText(this, IDC_QSP_TIME, 20, SS_RIGHT, module);
    Title = MakeText(this, IDC_QSP_TITLE, 60, SS_CENTER, module);
    Author = MakeText(this, IDC_QSP_AUTHOR, 50, SS_RIGHT, module);
    Lyricist = MakeText(this, IDC_QSP_LYRICIST, 50, SS_LEFT, module);
    Copyright1 = MakeText(this, IDC_QSP_COPYRIGHT1, 80, SS_CENTER, module);
    Copyright2 = MakeText(this, IDC_QSP_COPYRIGHT2, 80, SS_CENTER, module);

    Palette = std::make_unique<TColorPalette>();
    TKeyReadOnly colours(HKEY_CURRENT_USER, kStaffColorsKey);
    if (colours.IsOpen()) Palette->Load(colours);
    View = new TStaticScoreView(score, Palette.get(), this, IDC_QSP_VIEW, "Standard", 0, 0, 100, 100, module);
    View->SetLayoutOption(true);

    TimeFont = CreateFontA(-11, 0, 0, 0, 400, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, "Times New Roman");

    const int border = GetSystemMetrics(SM_CXBORDER);
    const int timeWidth = TimeTextWidth(TimeFont);
    TLayoutMetrics m;
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    m.Y.Set(lmTop, lmSameAs, lmParent, lmTop, 0);
    m.Height.Absolute(kBarHeight);
    SetChildLayoutMetrics(*PlayerBar, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, timeWidth + 3);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, -4);
    m.Y.Set(lmTop, lmSameAs, PlayerBar, lmBottom, 8);
    m.Height.Set(lmBottom, lmSameAs, PlayerBar, lmBottom, 35);
    SetChildLayoutMetrics(*Slider, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 1);
    m.Width.Set(lmRight, lmSameAs, Slider, lmLeft, -3);
    m.Y.Set(lmTop, lmSameAs, PlayerBar, lmBottom, 11);
    m.Height.Set(lmBottom, lmSameAs, PlayerBar, lmBottom, 32);
    SetChildLayoutMetrics(*TimeText, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    m.Y.Set(lmTop, lmSameAs, Slider, lmBottom, 0);
    m.Height.Set(lmBottom, lmSameAs, Slider, lmBottom, 32);
    SetChildLayoutMetrics(*Title, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmCenter, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, -10 * border);
    m.Y.Set(lmTop, lmSameAs, Title, lmBottom, 0);
    m.Height.Set(lmBottom, lmSameAs, Title, lmBottom, 18);
    SetChildLayoutMetrics(*Author, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 10 * border);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmCenter, 0);
    m.Y.Set(lmTop, lmSameAs, Title, lmBottom, 0);
    m.Height.Set(lmBottom, lmSameAs, Title, lmBottom, 18);
    SetChildLayoutMetrics(*Lyricist, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    m.Y.Set(lmTop, lmSameAs, lmParent, lmBottom, -14);
    m.Height.Set(lmBottom, lmSameAs, lmParent, lmBottom, 0);
    SetChildLayoutMetrics(*Copyright2, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 0);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    m.Y.Set(lmTop, lmSameAs, Copyright2, lmTop, -14);
    m.Height.Set(lmBottom, lmSameAs, Copyright2, lmTop, -1);
    SetChildLayoutMetrics(*Copyright1, m);

    m = TLayoutMetrics();
    m.X.Set(lmLeft, lmSameAs, lmParent, lmLeft, 10 * border);
    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
    m.Y.Set(lmTop, lmSameAs, Author, lmBottom, 0);
    m.Height.Set(lmBottom, lmSameAs, Copyright1, lmTop, 0);
    SetChildLayoutMetrics(*View, m);
}

TQSPlayerClient::~TQSPlayerClient() {
    delete Controller;
    Controller = nullptr;
    ScorePlayer.SetScore(nullptr);
    delete View;
    View = nullptr;
    Palette.reset();
    DeleteScoreFonts();
    if (TimeText->GetHandle()) TimeText->SendMessage(WM_SETFONT, 0, 0);
    if (TimeFont) DeleteObject(TimeFont);
}

void TQSPlayerClient::GetWindowClass(WNDCLASSA& wc) {
    TLayoutWindow::GetWindowClass(wc);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void TQSPlayerClient::SetupWindow() {
    TLayoutWindow::SetupWindow();
    TimeText->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(TimeFont), TRUE);
    SetScore(nullptr);
    Slider->SetRuler(8, false);
    Slider->SetRange(0, kSliderRange);
    PostMessage(RegisterWindowMessageA("QSINIT"));
}

void TQSPlayerClient::CleanupWindow() {
    if (TimerId != 0) KillTimer(kPlayerTimerId);
    TimerId = 0;
    TLayoutWindow::CleanupWindow();
}

void TQSPlayerClient::FitToParent() {
    if (!GetHandle() || !GetParentH()) return;
    RECT r{};
    ::GetClientRect(GetParentH(), &r);
    MoveWindow(0, 0, std::max<int>(r.right - r.left, 100), std::max<int>(r.bottom - r.top, 50), true);
}

void TQSPlayerClient::DeleteScoreFonts() {
    if (TitleFont == nullptr && TextFont == nullptr && SmallFont == nullptr) return;
    for (TQSRStatic* text : {Title, Author, Lyricist, Copyright1, Copyright2})
        if (text->GetHandle()) text->SendMessage(WM_SETFONT, 0, 0);
    for (HFONT* font : {&TitleFont, &TextFont, &SmallFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
}

void TQSPlayerClient::SetScore(TMusicScore* score) {
    if (score != nullptr && score != Score) {
        // The controller holds the performance of the score that goes.
        if (Controller != nullptr) {
            delete Controller;
            Controller = nullptr;
            if (Slider->GetHandle()) Slider->SetPosition(0);
            if (TimeText->GetHandle()) TimeText->SetText(" ");
        }
        Score = score;
    }
    if (Score == nullptr) return;
    View->SetScore(Score);
    View->HideHiddenGroupStaves();
    View->EnableCaret(false);
    ScorePlayer.SetScore(Score);
    const TSongInfo& info = Score->SongInfo;
    Title->SetText(info.Title);
    Author->SetText(info.Author);
    Lyricist->SetText(info.Lyricist);
    Copyright1->SetText(info.Copyright1);
    Copyright2->SetText(info.Copyright2);

    DeleteScoreFonts();
    if (TMusicFontsData* data = Score->GetFontData()) {
        auto make = [data](int slot, int height) {
            LOGFONTA font{};
            data->Fonts[slot].ToLogFont(&font, 96);
            font.lfHeight = height;
            return CreateFontIndirectA(&font);
        };
        TitleFont = make(FONTSLOT_PAGE_TITLE, -28);
        TextFont = make(FONTSLOT_PAGE_TEXT, -12);
        SmallFont = make(FONTSLOT_PAGE_SMALL, -11);
        auto give = [](TQSRStatic* text, HFONT font) {
            if (text->GetHandle()) text->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        };
        give(Title, TitleFont);
        give(Author, TextFont);
        give(Lyricist, TextFont);
        give(Copyright1, SmallFont);
        give(Copyright2, SmallFont);
    }
    if (GetHandle()) Layout();
}

// ---- time and position ----

DWORD TQSPlayerClient::SliderToMs(int position, DWORD total) {
    position = std::clamp(position, 0, kSliderRange);
    if (total > 65535) return static_cast<DWORD>(position) * (total >> 8);
    return (total * static_cast<DWORD>(position)) >> 8;
}

int TQSPlayerClient::MsToSlider(DWORD ms, DWORD total) {
    if (total == 0) return 0;
    DWORD position = 0;
    if (ms > 32767)
        position = (total >> 8) != 0 ? ms / (total >> 8) : kSliderRange;
    else
        position = static_cast<DWORD>(static_cast<uint64_t>(ms) * kSliderRange / total);
    return static_cast<int>(std::min<DWORD>(position, kSliderRange));
}

void TQSPlayerClient::FormatPlayTime(DWORD ms, char* text, size_t size) {
    const unsigned seconds = ms / 1000, hours = seconds / 3600, minutes = seconds / 60 % 60;
    if (hours != 0)
        std::snprintf(text, size, "%u:%02u:%02u", hours, minutes, seconds % 60);
    else
        std::snprintf(text, size, "%u:%02u", minutes, seconds % 60);
}

void TQSPlayerClient::ShowTime(DWORD ms) {
    char position[32], total[32];
    FormatPlayTime(ms, position, sizeof position);
    FormatPlayTime(Controller != nullptr ? Controller->GetLength() : 0, total, sizeof total);
    TimeText->Printf("%s / %s", position, total);
}

bool TQSPlayerClient::IsPlaying() const {
    return Controller != nullptr && Controller->IsPlaying();
}

bool TQSPlayerClient::IsPaused() const {
    return Controller != nullptr && Controller->IsPaused();
}

void TQSPlayerClient::FollowController() {
    if (ScorePlayer.SeekTick(Controller->GetCurrentTick()))
        View->FollowPlayPosition(TScoreMidiPlayerPositions(ScorePlayer));
}

void TQSPlayerClient::EnableButtons() {
    for (TGadget* gadget : PlayerBar->GetGadgets())
        gadget->CommandEnable();
}

// ---- messages ----

LRESULT TQSPlayerClient::EvQsInit(WPARAM, LPARAM) {
    TimerId = SetTimer(kPlayerTimerId, kPlayerTimerMs);
    TimeText->SetText(" ");
    if (Plugin != nullptr && Plugin->GetAutoStart()) CmPlay();
    return 0;
}

LRESULT TQSPlayerClient::EvMidiSeq(WPARAM wp, LPARAM) {
    if (wp == 2)
        CmStop();
    else if (Controller != nullptr)
        Controller->OnSequencerMessage(wp);
    return 1;
}

void TQSPlayerClient::EvTimer(UINT id) {
    if (id != kPlayerTimerId) {
        TLayoutWindow::EvTimer(id);
        return;
    }
    ++TickCount;
    if (IsPlaying() && !IsPaused()) {
        FollowController();
        const DWORD total = Controller->GetLength();
        if (total != 0) {
            const DWORD ms = Controller->GetCurrentMs();
            Slider->SetPosition(MsToSlider(ms, total));
            if (TickCount % 5 == 0) ShowTime(ms);
        }
    }
    if (TickCount % 3 == 0) EnableButtons();
}

HBRUSH TQSPlayerClient::EvCtlColor(HDC dc, HWND, UINT) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// Only a drag's track and a position move the play position: the start and end of a drag and the page and
// line codes carry no position of their own.
void TQSPlayerClient::EvHScroll(UINT code, UINT thumbPos, HWND) {
    if (Controller == nullptr) return;
    if (code != SB_THUMBTRACK && code != SB_THUMBPOSITION) return;
    bool wasPlaying = IsPlaying() && !IsPaused();
    const int position = std::clamp(static_cast<int>(thumbPos), 0, kSliderRange);
    Slider->SetPosition(position);
    const DWORD ms = SliderToMs(position, Controller->GetLength());
    if (wasPlaying) Controller->Pause();
    bool resume = false;
    if (Dragging && code != SB_THUMBTRACK) {
        Dragging = false;
        resume = PlayingBeforeDrag;
    } else if (!Dragging && code == SB_THUMBTRACK) {
        Dragging = true;
        PlayingBeforeDrag = wasPlaying;
        wasPlaying = false;
    }
    ShowTime(ms);
    Controller->SeekMs(ms);
    FollowController();
    if (resume || wasPlaying) Controller->Resume();
}

// ---- commands ----

void TQSPlayerClient::CmAbout() {
    TPlayerDialog dialog(this, IDD_QSP_ABOUT, GetModule());
    char built[100];
    std::snprintf(built, sizeof built, "Built on: %s %s", __DATE__, __TIME__);
    new TStatic(&dialog, 110, sizeof built, GetModule());
    dialog.SetTransferBuffer(built);
    dialog.Execute();
    Invalidate();
}

void TQSPlayerClient::CmInfo() {
    if (Score == nullptr) return;
    TPlayerDialog dialog(this, IDD_QSP_SONGINFO, GetModule());
    TSongInfo info = Score->SongInfo;
    new TEdit(&dialog, 100, sizeof info.Title, GetModule());
    new TEdit(&dialog, 101, sizeof info.Author, GetModule());
    new TEdit(&dialog, 105, sizeof info.Lyricist, GetModule());
    new TEdit(&dialog, 102, sizeof info.Copyright1, GetModule());
    new TEdit(&dialog, 103, sizeof info.Copyright2, GetModule());
    new TEdit(&dialog, 104, sizeof info.Comments, GetModule());
    dialog.SetTransferBuffer(&info);
    dialog.Execute();
    Invalidate();
}

void TQSPlayerClient::CmZoomIn() {
    View->ZoomBy(2);
}

void TQSPlayerClient::CmZoomOut() {
    View->ZoomBy(-2);
}

void TQSPlayerClient::CmPlay() {
    if (Score == nullptr) return;
    if (Controller == nullptr) {
        Controller = new TQSMMCIPlayer(&ScorePlayer, Score);
    } else if (IsPlaying()) {
        CmPause();
        return;
    }
    if (Controller->Open()) {
        Controller->SeekMs(SliderToMs(Slider->GetPosition(), Controller->GetLength()));
        if (Controller->Play(GetHandle())) FollowController();
    }
    EnableButtons();
}

void TQSPlayerClient::CmPause() {
    if (!IsPlaying()) return;
    if (IsPaused())
        Controller->Resume();
    else
        Controller->Pause();
    EnableButtons();
}

void TQSPlayerClient::CmStop() {
    const bool stopping = IsPlaying();
    if (stopping) {
        Controller->Stop();
        Controller->Close();
        Slider->SetPosition(0);
        TimeText->SetText(" ");
    }
    // The buttons draw their new states at once; the repaint comes after them, so that the player's
    // background, painted first, does not cover what they drew.
    EnableButtons();
    if (stopping) Invalidate();
}

void TQSPlayerClient::CmViewer() {
    const std::string cache = Plugin != nullptr ? Plugin->GetCacheFile() : std::string();
    if (cache.empty() || !IsPlainFile(cache.c_str())) {
        MessageBoxA(nullptr, "The file no longer exists in the browser cache.", "Not Available",
                    MB_TASKMODAL | MB_ICONINFORMATION);
        return;
    }
    const std::string& viewer = Plugin->GetViewerProgram();
    if (viewer.empty() || !IsPlainFile(viewer.c_str())) {
        MessageBoxA(nullptr,
                    "The folder containing the QSM Viewer program could not be found in the system registry.",
                    "Viewer Not Available", MB_TASKMODAL | MB_ICONINFORMATION);
        return;
    }
    qsm::GetLauncher().Run({viewer, "/cached", cache}, "");
}

void TQSPlayerClient::CmVolume() {
    const char* program = SysInfo.IsNT6OrLater() ? "sndvol.exe" : "Sndvol32.exe";
    ShellExecuteA(GetHandle(), "Open", program, nullptr, nullptr, SW_SHOW);
}

void TQSPlayerClient::CmSaveCopy() {
    if (Plugin == nullptr) return;
    const std::string name = CopyNameOf(Score != nullptr ? Score->SongInfo.Title : "");
    qsm::SaveCopyOfCacheFile(this, Plugin->GetCacheFile(), name.c_str(), Plugin->IsTextFormat());
    Invalidate();
}

void TQSPlayerClient::CePlay(TCommandEnabler& ce) {
    ce.Enable(true);
    ce.SetCheck(IsPlaying() && !IsPaused() ? 1 : 0);
}

void TQSPlayerClient::CeStop(TCommandEnabler& ce) {
    ce.Enable(true);
    ce.SetCheck(IsPlaying() ? 0 : 1);
}

void TQSPlayerClient::CeNotPlaying(TCommandEnabler& ce) {
    ce.Enable(!IsPlaying());
}

void TQSPlayerClient::CePause(TCommandEnabler& ce) {
    ce.Enable(IsPlaying());
    ce.SetCheck(IsPaused() ? 1 : 0);
}
