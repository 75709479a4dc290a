// The player window in-process on a page window, playing on the recording MIDI device under the manual
// clock: the bar's buttons, play, pause, the end of the song and dragging the slider; the position
// conversions and the time text; opening the score in the viewer; the window sizes the player follows.
#include "plugin/player_client.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/kernel/shell.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "plugin/gadgets.h"
#include "plugin/play_control.h"
#include "plugin/plugin.h"
#include "plugin/save_copy.h"
#include "plugin/tests/test_env.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "ui/controls.h"
#include "ui/slider.h"
#include "ui/tests/ui_test_util.h"

namespace {

using namespace qsm::plugin_test;

struct RecordingLauncher : qsm::Launcher {
    bool Open(const std::string& target) override {
        opens.push_back(target);
        return false;
    }
    bool Run(const std::vector<std::string>& argv, const std::string&) override {
        runs.push_back(argv);
        return true;
    }
    std::vector<std::vector<std::string>> runs;
    std::vector<std::string> opens;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeSettingsFolder("/tmp/qsm-player-XXXXXX");
        ASSERT_FALSE(dir_.empty());
        setenv("QSM_SYSTEM_REGISTRY", (dir_ + "/system.reg").c_str(), 1);
        qsm::wm::ResetForTests();
        app_ = std::make_unique<TApplication>("ALIAS");
        PlayOnRecorder();
        UseManualClockWithMessages();
        qsm::wm::SetModalHook([this](HWND box) {
            char buf[1024] = {};
            GetWindowTextA(box, buf, sizeof buf);
            std::string shown = buf;
            GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
            boxes_.push_back(shown + "|" + buf);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        old_ = qsm::SetLauncher(&launcher_);
    }
    void TearDown() override {
        plugin_.reset();
        for (HWND page : pages_)
            if (IsWindow(page)) DestroyWindow(page);
        qsm::SetLauncher(old_);
        qsm::wm::SetModalHook(nullptr);
        qsm::wm::PumpMessages();
        app_.reset();
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    HWND Page(int w, int h) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QSMPlayerTestPage";
        RegisterClassA(&wc);
        HWND page = CreateWindowExA(0, wc.lpszClassName, "Page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, w, h,
                                    nullptr, nullptr, nullptr, nullptr);
        pages_.push_back(page);
        return page;
    }
    // An instance on a page of the given size with the score delivered.
    TQSPlayerClient* Embed(int w, int h, bool autostart,
                           const char* file = QSM_TESTDATA_DIR "/layout/piano.qsmtxt") {
        char name[] = "autostart";
        char value[] = "true";
        char* names[] = {name};
        char* values[] = {value};
        plugin_ = std::make_unique<CPlugin>(app_.get(), nullptr, nullptr, NP_EMBED, autostart ? 1 : 0, names,
                                            values);
        HWND page = Page(w, h);
        EXPECT_TRUE(plugin_->Init(page, "NPQSMW32"));
        plugin_->Resize();
        plugin_->OnStreamAsFile(file);
        qsm::wm::PumpMessages();
        return plugin_->GetPlayerClient();
    }
    static std::string Text(HWND hwnd) {
        char buf[128] = {};
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }
    static void Scroll(TQSPlayerClient& client, UINT code, int pos) {
        client.SendMessage(WM_HSCROLL, MAKEWPARAM(code, pos),
                           reinterpret_cast<LPARAM>(client.GetSlider()->GetHandle()));
    }

    std::string dir_;
    std::unique_ptr<TApplication> app_;
    std::unique_ptr<CPlugin> plugin_;
    std::vector<HWND> pages_;
    std::vector<std::string> boxes_;
    RecordingLauncher launcher_;
    qsm::Launcher* old_ = nullptr;
};

TEST_F(PlayerTest, ButtonsTakeTheGlyphsOwnSizeAndADisabledOnePostsNothing) {
    TQSPlayerClient* client = Embed(480, 320, false);
    ASSERT_NE(client, nullptr);
    TGadgetWindow* bar = client->GetPlayerBar();
    ASSERT_EQ(bar->NumGadgets(), 13);
    auto* play = dynamic_cast<TQSCommandButtonGadget*>(bar->GadgetWithId(CM_QSP_PLAY));
    ASSERT_NE(play, nullptr);
    TSize size;
    play->GetDesiredSize(size);
    EXPECT_EQ(play->GetCelWidth(), 18);
    EXPECT_EQ(play->GetCelHeight(), 16);
    EXPECT_EQ(size.cx, 22);
    EXPECT_EQ(size.cy, 20);
    TSize gap;
    TGadget* separator = bar->GetGadgets()[2];
    separator->GetDesiredSize(gap);
    EXPECT_EQ(gap.cx, 6 * GetSystemMetrics(SM_CXBORDER));

    // Nothing plays: open in the viewer and save a copy are enabled, pause is not, stop shows down.
    client->EnableButtons();
    auto* pause = dynamic_cast<TQSCommandButtonGadget*>(bar->GadgetWithId(CM_QSP_PAUSE));
    auto* stop = dynamic_cast<TQSCommandButtonGadget*>(bar->GadgetWithId(CM_QSP_STOP));
    EXPECT_FALSE(pause->GetEnabled());
    EXPECT_TRUE(bar->GadgetWithId(CM_QSP_VIEWER)->GetEnabled());
    EXPECT_EQ(stop->GetButtonState(), TToolbarButtonGadget::Down);

    // A click on the disabled pause button posts nothing; a click on play plays.
    auto click = [&](TGadget* g) {
        const TRect& b = g->GetBounds();
        POINT p{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        ClientToScreen(bar->GetHandle(), &p);
        qsm::wm::Click(p.x, p.y);
        qsm::wm::PumpMessages();
    };
    click(pause);
    EXPECT_EQ(client->GetController(), nullptr);
    click(play);
    ASSERT_NE(client->GetController(), nullptr);
    EXPECT_TRUE(client->GetController()->IsPlaying());
    client->EnableButtons();
    EXPECT_TRUE(pause->GetEnabled());
    EXPECT_FALSE(bar->GadgetWithId(CM_QSP_SAVECOPY)->GetEnabled());
    EXPECT_EQ(play->GetButtonState(), TToolbarButtonGadget::Down);
    EXPECT_EQ(stop->GetButtonState(), TToolbarButtonGadget::Up);
}

TEST(PlayerBarSeparator, ASunkenEdgeAlongTheTopOfItsLeadingStrip) {
    qsm::wm::ResetForTests();
    qsm::uitest::SetTestColours();
    TQSFlatBtnSeparatorGadget separator;
    separator.SetBounds(TRect(0, 0, 6, 8));
    qsm::uitest::Canvas canvas(6, 8);
    TDC dc(canvas.dc);
    separator.Paint(dc);
    // Outside the strip and below its top edge the bar shows through.
    EXPECT_EQ(canvas.Map(), (std::vector<std::string>{"SSS...", ".F....", "......", "......", "......",
                                                      "......", "......", "......"}))
        << qsm::uitest::Show(canvas.Map());
}

TEST_F(PlayerTest, ShowsTheScoreAutostartsOncePausesAndStopsAtTheEnd) {
    TQSPlayerClient* client = Embed(480, 320, true);
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(Text(GetDlgItem(*client, IDC_QSP_TITLE)), "Layout study");
    EXPECT_EQ(Text(GetDlgItem(*client, IDC_QSP_TIME)), " ");
    // Autostart: "QSINIT" played once, from the start.
    TQSMMCIPlayer* controller = client->GetController();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->IsPlaying());
    EXPECT_EQ(client->GetSlider()->GetPosition(), 0);
    qsm::mm::AdvanceClock(1000);
    EXPECT_GT(NoteOns(qsm::mm::GetRecording()), 0);

    // The timer moves the slider and, every fifth tick, writes the time.
    for (int i = 0; i < 5; ++i)
        client->SendMessage(WM_TIMER, kPlayerTimerId);
    EXPECT_GT(client->GetSlider()->GetPosition(), 0);
    EXPECT_NE(Text(GetDlgItem(*client, IDC_QSP_TIME)).find(" / "), std::string::npos);

    // Play while playing pauses; again resumes.
    client->SendMessage(WM_COMMAND, CM_QSP_PLAY);
    EXPECT_TRUE(controller->IsPaused());
    client->SendMessage(WM_COMMAND, CM_QSP_PLAY);
    EXPECT_FALSE(controller->IsPaused());
    EXPECT_EQ(client->GetController(), controller);

    // The end of the song stops: slider at 0, time text blank.
    client->SendMessage(RegisterWindowMessageA("QSMMidiSeq"), 2);
    EXPECT_FALSE(controller->IsPlaying());
    EXPECT_FALSE(controller->IsOpen());
    EXPECT_EQ(client->GetSlider()->GetPosition(), 0);
    EXPECT_EQ(Text(GetDlgItem(*client, IDC_QSP_TIME)), " ");
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
}

TEST_F(PlayerTest, DraggingTheThumbPausesOnceAndResumesWhenItEnds) {
    TQSPlayerClient* client = Embed(480, 320, true);
    ASSERT_NE(client, nullptr);
    TQSMMCIPlayer* controller = client->GetController();
    ASSERT_TRUE(controller != nullptr && controller->IsPlaying());
    Scroll(*client, TQSSlider::SB_BEGINDRAG, 10);
    EXPECT_FALSE(controller->IsPaused());
    Scroll(*client, SB_THUMBTRACK, 64);
    EXPECT_TRUE(controller->IsPaused());
    EXPECT_EQ(client->GetSlider()->GetPosition(), 64);
    Scroll(*client, SB_THUMBTRACK, 128);
    EXPECT_TRUE(controller->IsPaused());
    const DWORD total = controller->GetLength();
    EXPECT_EQ(controller->GetCurrentMs(), TQSPlayerClient::SliderToMs(128, total));
    Scroll(*client, SB_THUMBPOSITION, 128);
    EXPECT_FALSE(controller->IsPaused());
    EXPECT_TRUE(controller->IsPlaying());
    Scroll(*client, SB_ENDSCROLL, 128);
    EXPECT_FALSE(controller->IsPaused());
    // A drag while paused leaves it paused.
    client->SendMessage(WM_COMMAND, CM_QSP_PAUSE);
    Scroll(*client, SB_THUMBTRACK, 32);
    Scroll(*client, SB_THUMBPOSITION, 32);
    EXPECT_TRUE(controller->IsPaused());
}

TEST_F(PlayerTest, SliderPositionsAndPlayTimes) {
    // Up to 65535 ms the product is shifted; beyond, the total is.
    EXPECT_EQ(TQSPlayerClient::SliderToMs(128, 1000), 500u);
    EXPECT_EQ(TQSPlayerClient::SliderToMs(256, 65535), 65535u);
    EXPECT_EQ(TQSPlayerClient::SliderToMs(1, 3600000), 3600000u >> 8);
    EXPECT_EQ(TQSPlayerClient::MsToSlider(500, 1000), 128);
    EXPECT_EQ(TQSPlayerClient::MsToSlider(1800000, 3600000), 128);
    EXPECT_EQ(TQSPlayerClient::MsToSlider(5, 0), 0);
    // Never beyond 256, even past the end or for a total below 256 ms.
    for (DWORD total : {100u, 65535u, 65536u, 70000u, 3600000u})
        for (DWORD ms : {0u, total / 3, total, total + 40000})
            EXPECT_LE(TQSPlayerClient::MsToSlider(ms, total), 256) << total << " " << ms;
    char text[32];
    TQSPlayerClient::FormatPlayTime(65000, text, sizeof text);
    EXPECT_STREQ(text, "1:05");
    TQSPlayerClient::FormatPlayTime(3903000, text, sizeof text);
    EXPECT_STREQ(text, "1:05:03");
}

TEST_F(PlayerTest, OpensTheCachedFileInTheViewerOrSaysWhyNot) {
    // No viewer installed.
    TQSPlayerClient* client = Embed(480, 320, false);
    ASSERT_NE(client, nullptr);
    client->SendMessage(WM_COMMAND, CM_QSP_VIEWER);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0],
              "Viewer Not Available|The folder containing the QSM Viewer program could not be found in the "
              "system registry.");
    EXPECT_TRUE(launcher_.runs.empty());

    // Installed in a folder written the Windows way, with the cache file in a folder with a blank.
    const std::string install = dir_ + "/Viewer Folder";
    std::filesystem::create_directories(install);
    std::ofstream(install + "/QSM2View") << "#!/bin/sh\n";
    ASSERT_TRUE(RegisterViewerFolder(install + "\\"));
    const std::string cache = dir_ + "/cache folder/piano.qsmtxt";
    std::filesystem::create_directories(dir_ + "/cache folder");
    std::filesystem::copy_file(QSM_TESTDATA_DIR "/layout/piano.qsmtxt", cache);
    client = Embed(480, 320, false, cache.c_str());
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(plugin_->GetViewerProgram(), install + "/QSM2View");
    EXPECT_EQ(plugin_->GetFontListFile(), install + "/Fonts/fonts.ini");
    client->SendMessage(WM_COMMAND, CM_QSP_VIEWER);
    ASSERT_EQ(launcher_.runs.size(), 1u);
    EXPECT_EQ(launcher_.runs[0], (std::vector<std::string>{install + "/QSM2View", "/cached", cache}));

    // The browser dropped the file from its cache.
    std::filesystem::remove(cache);
    client->SendMessage(WM_COMMAND, CM_QSP_VIEWER);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1], "Not Available|The file no longer exists in the browser cache.");
    EXPECT_EQ(launcher_.runs.size(), 1u);

    // The volume control is asked for; that it fails to start says nothing.
    client->SendMessage(WM_COMMAND, CM_QSP_VOLUME);
    ASSERT_EQ(launcher_.runs.size() + launcher_.opens.size(), 2u);
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(PlayerTest, ACopyOfATextScoreIsOfferedAsOneUnderItsTitleWithoutMakingItAPath) {
    // A text score under the browser's cache name, which has no extension.
    const std::string song = dir_ + "/np0001";
    std::ofstream(song) << "!QuillStaveComposer(2.51)\n|SongInfo|Title:\"Rock/Roll\\\\Blues\"\n"
                           "|AddStaff|Name:Tune\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Bar\n";
    TQSPlayerClient* client = Embed(480, 320, false, song.c_str());
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(Text(GetDlgItem(*client, IDC_QSP_TITLE)), "Rock/Roll\\Blues");
    std::string offered, type;
    qsm::wm::SetModalHook([&offered, &type](HWND dlg) {
        char text[300] = {};
        GetDlgItemTextA(dlg, edt1, text, sizeof text);
        offered = text;
        GetDlgItemTextA(dlg, cmb1, text, sizeof text);
        type = text;
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    client->SendMessage(WM_COMMAND, CM_QSP_SAVECOPY);
    EXPECT_EQ(offered, "Rock-Roll-Blues");
    EXPECT_EQ(type, "qsmtxt File");
}

TEST_F(PlayerTest, PlayerWaitsForASizeAndNeverGetsSmallerThan100By50) {
    char* none[] = {nullptr};
    plugin_ = std::make_unique<CPlugin>(app_.get(), nullptr, nullptr, NP_EMBED, 0, none, none);
    HWND page = Page(200, 200);
    ASSERT_TRUE(plugin_->Init(page, "NPQSMW32"));
    // A window of zero width: the score waits.
    MoveWindow(page, 0, 0, 0, 200, TRUE);
    plugin_->Resize();
    plugin_->OnStreamAsFile(QSM_TESTDATA_DIR "/layout/piano.qsmtxt");
    EXPECT_EQ(plugin_->GetPlayerClient(), nullptr);
    // A size arrives through the browser's window: the player is made, covering it but at least 100 x 50.
    MoveWindow(page, 0, 0, 80, 40, TRUE);
    TQSPlayerClient* client = plugin_->GetPlayerClient();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(GetParent(*client), page);
    RECT r{};
    GetWindowRect(*client, &r);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 50);
    MoveWindow(page, 0, 0, 400, 300, TRUE);
    RECT page_r{};
    GetClientRect(page, &page_r);
    GetWindowRect(*client, &r);
    EXPECT_EQ(r.right - r.left, page_r.right);
    // A second file replaces the score in the same player.
    plugin_->OnStreamAsFile(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt");
    EXPECT_EQ(plugin_->GetPlayerClient(), client);
    EXPECT_NE(Text(GetDlgItem(*client, IDC_QSP_TITLE)), "Layout study");
}

TEST_F(PlayerTest, AboutAndSongInformationShowTheirTextsAndANewScoreEndsThePerformance) {
    TQSPlayerClient* client = Embed(480, 320, true);
    ASSERT_NE(client, nullptr);
    ASSERT_NE(client->GetController(), nullptr);
    std::vector<std::string> texts;
    qsm::wm::SetModalHook([&texts](HWND dlg) {
        char buf[1100] = {};
        for (int id : {110, 100, 101, 104}) {
            GetDlgItemTextA(dlg, id, buf, sizeof buf);
            texts.push_back(buf);
        }
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    client->SendMessage(WM_COMMAND, CM_QSP_ABOUT);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].rfind("Built on: ", 0), 0u);
    EXPECT_GT(texts[0].size(), 20u);
    client->SendMessage(WM_COMMAND, CM_QSP_INFO);
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[5], "Layout study");
    EXPECT_EQ(texts[6], "Test");
    qsm::wm::SetModalHook(nullptr);

    // Another file while the first plays: the performance of the score that goes ends with it.
    qsm::mm::AdvanceClock(800);
    plugin_->OnStreamAsFile(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt");
    EXPECT_EQ(client->GetController(), nullptr);
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(qsm::mm::GetRecording()).empty());
    EXPECT_EQ(client->GetSlider()->GetPosition(), 0);
    client->SendMessage(WM_COMMAND, CM_QSP_PLAY);
    ASSERT_NE(client->GetController(), nullptr);
    EXPECT_TRUE(client->GetController()->IsPlaying());
    // The parent window hands the focus to the player.
    SetFocus(plugin_->GetParentWindow()->GetHandle());
    EXPECT_EQ(GetFocus(), client->GetHandle());
}

TEST_F(PlayerTest, AViewerInstalledInADeepFolderIsFoundWhateverTheLengthOfItsPath) {
    std::string install = dir_;
    for (int i = 0; i < 6; ++i)
        install += "/" + std::string(100, static_cast<char>('a' + i));
    std::filesystem::create_directories(install);
    std::ofstream(install + "/QSM2View") << "#!/bin/sh\n";
    ASSERT_TRUE(RegisterViewerFolder(install));
    char* none[] = {nullptr};
    CPlugin plugin(app_.get(), nullptr, nullptr, NP_FULL, 0, none, none);
    EXPECT_EQ(plugin.GetViewerProgram(), install + "/QSM2View");
    EXPECT_EQ(plugin.GetFontListFile(), install + "/Fonts/fonts.ini");
    EXPECT_FALSE(plugin.IsEmbedded());
    // A folder without the program, or no folder, finds nothing.
    EXPECT_EQ(qsm::ViewerProgramIn(dir_.c_str()), "");
    EXPECT_EQ(qsm::ViewerProgramIn(""), "");
}

TEST_F(PlayerTest, AScoreFontThatIsMissingTakesItsAlternateFromTheInstancesFontList) {
    // The font list of the viewer's installation, which here holds no program.
    const std::string fonts = dir_ + "/viewer/Fonts";
    std::filesystem::create_directories(fonts);
    std::ofstream(fonts + "/fonts.ini") << "[FontAlternates]\nNowhere Sans=Liberation Serif\n";
    ASSERT_TRUE(RegisterViewerFolder(dir_ + "/viewer"));
    const std::string song = dir_ + "/fonts.qsmtxt";
    std::ofstream(song)
        << "!QuillStaveComposer(2.51)\n|SongInfo|Title:\"Fonts\"\n"
           "|Font|Style:pagetitletext|Typeface:Nowhere Sans|Size:24|Bold:N|Italic:N|CharSet:0\n"
           "|AddStaff|Name:Tune\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Bar\n";
    TQSPlayerClient* client = Embed(480, 320, false, song.c_str());
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(plugin_->GetFontListFile(), fonts + "/fonts.ini");
    EXPECT_EQ(plugin_->GetViewerProgram(), "");
    EXPECT_STREQ(plugin_->GetScore()->GetFontData()->Fonts[FONTSLOT_PAGE_TITLE].GetFaceName(),
                 "Liberation Serif");
}

}  // namespace
