// The viewer's client window in a frame with the player bar, on the headless window system with the
// recording MIDI device and the manual clock: opening each kind of file, the messages of files that cannot
// be read, the command line's switches, and the transport (play, pause, resume, seek, stop) with every
// note answered.
#include "viewer/client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "midi/midi_manager.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"
#include "platform/framework/frame.h"
#include "platform/kernel/shell.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "score/music_score.h"
#include "ui/controls.h"
#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/play_slider.h"
#include "viewer/player_gadgets.h"
#include "viewer/tests/viewer_test_env.h"
#include "viewer/view_control.h"

namespace {

using qsm::viewer_test::StoreTest;

// The main window as the viewer's frame has it: the client and the player bar, the play timer's tick
// moving the play position, and the position texts (only the bar text here).
class TTestFrame : public TDecoratedFrame {
public:
    TTestFrame(TQSMViewerClient* client)
        : TWindow(static_cast<TWindow*>(nullptr), "test"), TDecoratedFrame(nullptr, "test", client) {
        Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        Attr.X = 0;
        Attr.Y = 0;
        Attr.W = 800;
        Attr.H = 600;
        Gadgets = new TQSMPlayerGadgets(this);
        Insert(*Gadgets, Bottom);
    }
    void EvTimer(UINT id) {
        if (id == 1) {
            ShowPositionTexts();
            TQSMViewerApp::Get()->GetClient()->UpdatePlayPosition();
        }
    }
    void ShowPositionTexts() {
        TQSMViewerApp* app = TQSMViewerApp::Get();
        TMidiManager& midi = app->GetMidiManager();
        if (app->IsPerformanceActive() && !midi.IsPaused()) {
            app->GetTimeIndex().SeekTick(midi.GetPlayTick());
            app->SetSliderFromMs(app->GetTimeIndex().GetMs());
        }
        char text[32];
        std::snprintf(text, sizeof(text), "Bar %d", app->GetClient()->GetPositionBar());
        BarText = text;
    }
    void CmExit() { ++Exits; }
    void CmPrint() { ++Prints; }
    void CmWelcome() { ++Welcomes; }
    DECLARE_RESPONSE_TABLE(TTestFrame);

    TQSMPlayerGadgets* Gadgets;
    std::string BarText;
    int Exits = 0, Prints = 0, Welcomes = 0;
};

DEFINE_RESPONSE_TABLE1(TTestFrame, TDecoratedFrame)
EV_WM_TIMER, EV_COMMAND(CM_QSM_EXIT, CmExit), EV_COMMAND(CM_QSM_PRINTDIRECT, CmPrint),
    EV_COMMAND(CM_QSM_WELCOME, CmWelcome), END_RESPONSE_TABLE;

using qsm::viewer_test::ShownBox;

class ClientTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        ViewerOptions.PlayDelay = 0;
        ViewerOptions.AutoWelcome = 0;
        ViewerOptions.AutoPlay = 0;
        SessionOptions.RepeatPlay = 0;
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
        qsm::mm::ClearRecording();
        qsm::mm::UseManualClock(100000);
        qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        const char* names[] = {"Test Recorder"};
        app_->GetMidiManager().SetOutPortNames(names, 1);
        app_->GetMidiManager().SetStartDelay(0);
        client_ = new TQSMViewerClient;
        frame_ = new TTestFrame(client_);
        app_->SetMainWindow(frame_);
        frame_->Create();
        qsm::wm::PumpMessages();
        qsm::wm::SetModalHook([this](HWND box) {
            boxes_.push_back(qsm::viewer_test::ShownBoxOf(box));
            // A box without the answer's button takes OK.
            PostMessageA(box, WM_COMMAND, answer_, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        MakeFiles();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        if (app_->IsPerformanceActive()) client_->StopPlay();
        app_.reset();
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
        StoreTest::TearDown();
    }

    void MakeFiles() {
        MakePianoAndQuartet(&piano_, &quartet_);
        midi_ = dir_ + "/format1.MID";
        std::filesystem::copy_file(std::string(QSM_TESTDATA_DIR) + "/../fuzz/corpus/smf_reader/format1.mid",
                                   midi_);
    }

    std::string Text(int id) { return client_->GetHeaderText(id)->GetText(); }
    std::string Caption() {
        char text[256] = {};
        GetWindowTextA(frame_->GetHandle(), text, sizeof text);
        return text;
    }
    int SliderPos() { return app_->GetPlaySlider()->GetPosition(); }
    void Run(DWORD ms) { qsm::mm::AdvanceClock(ms); }
    void Command(UINT id) {
        SendMessageA(client_->GetHandle(), WM_COMMAND, id, 0);
        qsm::wm::PumpMessages();
    }
    // Every note struck since the recording began has been answered.
    static void ExpectSilence() {
        auto sounding = qsm::mm::FindSoundingNotes(qsm::mm::GetRecording());
        EXPECT_TRUE(sounding.empty()) << sounding.size() << " notes or pedals left down";
    }
    static int NoteOns() {
        int n = 0;
        for (const auto& m : qsm::mm::GetRecording())
            if ((m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0) ++n;
        return n;
    }

    std::unique_ptr<TQSMViewerApp> app_;
    TQSMViewerClient* client_ = nullptr;
    TTestFrame* frame_ = nullptr;
    std::vector<ShownBox> boxes_;
    WPARAM answer_ = IDOK;
    std::string piano_, quartet_, midi_;
};

TEST_F(ClientTest, StartsOnTheBlankScoreAndOpensEachKindOfFile) {
    EXPECT_EQ(app_->GetScore(), app_->GetBlankScore());
    EXPECT_EQ(Text(IDC_TITLE), "QuillStave Composer 2 Viewer");
    EXPECT_EQ(Text(IDC_AUTHOR), "by QuillStave Software, Inc.");
    EXPECT_EQ(Text(IDC_LYRICIST), "Version 2.51a");
    EXPECT_EQ(Caption(), "QuillStave Composer 2 Viewer - QuillStave Composer Viewer");
    EXPECT_STREQ(SysInfo.GetStatusText(), "Ready");
    int depth = SysInfo.GetStatusDepth();
    int loads = app_->GetLoadCount();

    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    EXPECT_NE(app_->GetScore(), app_->GetBlankScore());
    EXPECT_EQ(Text(IDC_TITLE), app_->GetScore()->SongInfo.Title);
    EXPECT_EQ(Caption(), "Piano - QuillStave Composer Viewer");
    EXPECT_FALSE(app_->IsFromTextFile());
    EXPECT_FALSE(app_->IsFromMidiFile());
    EXPECT_GT(app_->GetSongBuffer().GetEventCount(), 10);
    EXPECT_EQ(app_->GetRecentViews().GetCount(), 1);
    EXPECT_EQ(app_->GetLoadCount(), loads + 1);
    // The same file again is read again.
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    EXPECT_EQ(app_->GetLoadCount(), loads + 2);

    ASSERT_TRUE(client_->OpenFile(quartet_.c_str(), true));
    EXPECT_TRUE(app_->IsFromTextFile());
    EXPECT_TRUE(app_->IsFromNewFormat());
    EXPECT_EQ(Caption(), "quartet - QuillStave Composer Viewer");
    EXPECT_EQ(Text(IDC_TITLE), app_->GetScore()->SongInfo.Title);
    EXPECT_EQ(app_->GetScore()->GetStaffCount() >= 4, true);

    // ".MID" in capitals is a MIDI file; without a title it takes the file's name.
    ASSERT_TRUE(client_->OpenFile(midi_.c_str(), true));
    EXPECT_TRUE(app_->IsFromMidiFile());
    EXPECT_FALSE(app_->IsFromTextFile());
    EXPECT_EQ(Caption(), "format1 - QuillStave Composer Viewer");
    EXPECT_GT(app_->GetSongBuffer().GetEventCount(), 2);
    EXPECT_EQ(app_->GetRecentViews().GetCount(), 3);
    EXPECT_TRUE(boxes_.empty());
    // Every open pushed and popped its "Working..." text.
    EXPECT_EQ(SysInfo.GetStatusDepth(), depth);

    ASSERT_TRUE(client_->OpenFile(nullptr, false));
    EXPECT_EQ(app_->GetScore(), app_->GetBlankScore());
    EXPECT_TRUE(app_->GetCurrentPath().empty());
}

TEST_F(ClientTest, HeaderTextsAndTheViewAreLaidOutAroundEachOther) {
    SetWindowPos(frame_->GetHandle(), nullptr, 0, 0, 900, 700, SWP_NOZORDER);
    qsm::wm::PumpMessages();
    auto rect = [this](TWindow* w) {
        RECT r;
        GetWindowRect(w->GetHandle(), &r);
        MapWindowPoints(nullptr, client_->GetHandle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT client;
    GetClientRect(client_->GetHandle(), &client);
    int b = GetSystemMetrics(SM_CXBORDER);
    RECT title = rect(client_->GetHeaderText(IDC_TITLE));
    RECT lyricist = rect(client_->GetHeaderText(IDC_LYRICIST));
    RECT author = rect(client_->GetHeaderText(IDC_AUTHOR));
    RECT copy1 = rect(client_->GetHeaderText(IDC_COPYRIGHT1));
    RECT copy2 = rect(client_->GetHeaderText(IDC_COPYRIGHT2));
    RECT view = rect(client_->GetView());
    EXPECT_EQ(title.top, 0);
    EXPECT_EQ(title.bottom, 32);
    EXPECT_EQ(title.right - title.left, client.right);
    EXPECT_EQ(lyricist.left, 10 * b);
    EXPECT_EQ(lyricist.right, client.right / 2);
    EXPECT_EQ(author.left, client.right / 2);
    EXPECT_EQ(author.right, client.right - 10 * b);
    EXPECT_EQ(author.top, 32);
    EXPECT_EQ(author.bottom, 52);
    EXPECT_EQ(copy2.bottom, client.bottom);
    EXPECT_EQ(copy2.top, client.bottom - 14);
    EXPECT_EQ(copy1.top, copy2.top - 14);
    EXPECT_EQ(copy1.bottom, copy2.top - 1);
    EXPECT_EQ(view.top, 52);
    EXPECT_EQ(view.bottom, copy1.top - 15);
    EXPECT_EQ(view.right - view.left, client.right);
}

TEST(MergeSmfTracksTest, EveryEventOfEveryTrackInPlayOrder) {
    TSMFData smf;
    // Two tracks reaching over several 768-tick windows, and an empty one between them.
    auto note = [](DWORD tick, int key) {
        TMidiEvent e{};
        e.Tick = tick;
        e.Status = 0x90;
        e.Data1 = static_cast<BYTE>(key);
        e.Data2 = 100;
        return e;
    };
    auto* a = new TSMFTrackData;
    auto* empty = new TSMFTrackData;
    auto* b = new TSMFTrackData;
    for (DWORD t = 0; t < 3000; t += 500)
        a->AddEvent(note(t, 60));
    for (DWORD t = 100; t < 2500; t += 700)
        b->AddEvent(note(t, 70));
    smf.AddTrack(a);
    smf.AddTrack(empty);
    smf.AddTrack(b);
    TMidiFileBuf song(4);
    song.AddEvent(note(5, 1));  // whatever the buffer held goes
    TQSMViewerClient::MergeSmfTracks(smf, song);
    ASSERT_EQ(song.GetEventCount(), 6 + 4);
    for (int i = 1; i < song.GetEventCount(); ++i)
        EXPECT_LE(song.GetEvent(i - 1)->Tick, song.GetEvent(i)->Tick);
    EXPECT_EQ(song.GetEvent(0)->Tick, 0u);
    EXPECT_EQ(song.GetEvent(song.GetEventCount() - 1)->Tick, 2500u);
}

TEST_F(ClientTest, FilesThatCannotBeReadLeaveTheScoreAsItWas) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    TMusicScore* shown = app_->GetScore();
    int events = app_->GetSongBuffer().GetEventCount();
    std::string caption = Caption();
    int loads = app_->GetLoadCount();

    EXPECT_FALSE(client_->OpenFile((dir_ + "/missing.qsm").c_str(), true));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "File Not Found\n\nThe file could not be opened.");

    std::string damaged = dir_ + "/damaged.qsm";
    std::ofstream(damaged) << "not a score";
    EXPECT_FALSE(client_->OpenFile(damaged.c_str(), true));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].caption, "Error - Could not open");
    EXPECT_EQ(boxes_[1].text, damaged);

    // ".midi" is not a MIDI extension: the score reader refuses the file.
    std::string midi = dir_ + "/song.midi";
    std::filesystem::copy_file(midi_, midi);
    EXPECT_FALSE(client_->OpenFile(midi.c_str(), true));
    EXPECT_EQ(boxes_.back().caption, "Error - Could not open");

    // Files the MIDI reader or the text importer cannot read: random bytes, nothing, a file cut short.
    std::string wholeMidi;
    {
        std::ifstream in(midi_, std::ios::binary);
        wholeMidi.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string random(3000, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"random.mid", random},
        {"empty.mid", ""},
        {"cut.mid", wholeMidi.substr(0, wholeMidi.size() / 2)},
        {"empty.qsmtxt", ""},
        {"cut.qsmtxt", "!QuillStave"},
        {"header.qsmtxt", "!QuillStaveComposer(2.51)\n# A"},
    };
    for (const auto& [name, bytes] : bad) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        size_t before = boxes_.size();
        EXPECT_FALSE(client_->OpenFile(path.c_str(), true)) << name;
        ASSERT_EQ(boxes_.size(), before + 1) << name;
        EXPECT_EQ(boxes_.back().caption, "Error - Could not open") << name;
        EXPECT_EQ(boxes_.back().text, path) << name;
    }

    EXPECT_EQ(app_->GetScore(), shown);
    EXPECT_EQ(app_->GetSongBuffer().GetEventCount(), events);
    EXPECT_EQ(Caption(), caption);
    EXPECT_EQ(app_->GetLoadCount(), loads);
    EXPECT_EQ(app_->GetRecentViews().GetCount(), 1);
}

TEST_F(ClientTest, AFileDamagedByLineEndsIsRepairedWhenTheUserAgrees) {
    std::ifstream in(piano_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string damaged;
    for (char c : bytes) {
        if (c == '\n') damaged.push_back('\r');
        damaged.push_back(c);
    }
    std::string path = dir_ + "/crlf.qsm";
    std::ofstream(path, std::ios::binary) << damaged;

    answer_ = IDNO;
    EXPECT_FALSE(client_->OpenFile(path.c_str(), true));
    ASSERT_GE(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Improper File Translation");
    EXPECT_EQ(app_->GetScore(), app_->GetBlankScore());

    boxes_.clear();
    answer_ = IDYES;
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Improper File Translation");
    EXPECT_NE(app_->GetScore(), app_->GetBlankScore());
}

TEST_F(ClientTest, CommandLineSwitches) {
    // "/cached" opens without touching the recent views.
    client_->ProcessCmdLine(("/cached \"" + piano_ + "\"").c_str());
    EXPECT_NE(app_->GetScore(), app_->GetBlankScore());
    EXPECT_EQ(app_->GetRecentViews().GetCount(), 0);
    EXPECT_EQ(OpenRequest.FromCache, 1);

    // "/close" without "/play" does nothing; "/xprint" prints a file that opened, with no play.
    ViewerOptions.AutoPlay = 1;
    client_->ProcessCmdLine(("/XPRINT " + quartet_).c_str());
    qsm::wm::PumpMessages();
    EXPECT_EQ(OpenRequest.PlayAfterOpen, 0);
    EXPECT_EQ(frame_->Prints, 1);
    EXPECT_FALSE(app_->IsPerformanceActive());
    // A file that cannot be opened is never printed.
    client_->ProcessCmdLine(("/xprint " + dir_ + "/missing.qsm").c_str());
    qsm::wm::PumpMessages();
    EXPECT_EQ(frame_->Prints, 1);
    ViewerOptions.AutoPlay = 0;

    client_->ProcessCmdLine(("/close " + piano_).c_str());
    EXPECT_EQ(OpenRequest.CloseAfterPlay, 0);

    // No file: the Welcome dialog when AutoWelcome is on.
    ViewerOptions.AutoWelcome = 1;
    client_->ProcessCmdLine("");
    qsm::wm::PumpMessages();
    EXPECT_EQ(frame_->Welcomes, 1);
}

TEST_F(ClientTest, PlayAndCloseEndsTheProgramWhenTheSongEnds) {
    int depth = SysInfo.GetStatusDepth();
    client_->ProcessCmdLine(("/play /close " + piano_).c_str());
    EXPECT_EQ(OpenRequest.CloseAfterPlay, 1);
    qsm::wm::PumpMessages();  // the posted Play
    ASSERT_TRUE(app_->IsPerformanceActive());
    for (int i = 0; i < 600 && app_->IsPerformanceActive(); ++i)
        Run(1000);
    EXPECT_FALSE(app_->IsPerformanceActive());
    qsm::wm::PumpMessages();
    EXPECT_EQ(frame_->Exits, 1);
    EXPECT_GT(NoteOns(), 10);
    ExpectSilence();
    EXPECT_EQ(SysInfo.GetStatusDepth(), depth);
    EXPECT_STREQ(SysInfo.GetStatusText(), "Ready");
}

TEST_F(ClientTest, RepeatPlayStartsAgainWhereThePlayStarted) {
    SessionOptions.RepeatPlay = 1;
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), 1));
    Command(CM_QSM_PLAY);
    DWORD songMs = app_->GetTotalPlayMs() + 3000;
    Run(songMs);
    // Past the end of the song: still playing, from the start again.
    EXPECT_TRUE(app_->IsPerformanceActive());
    int perPass = 0;
    const TMidiFileBuf& song = app_->GetSongBuffer();
    for (int i = 0; i < song.GetEventCount(); ++i) {
        const TMidiEvent* e = song.GetEvent(i);
        if (e->IsShortMsg() && (e->Status & 0xF0) == 0x90 && e->Data2 != 0) ++perPass;
    }
    EXPECT_GT(NoteOns(), perPass);
    SessionOptions.RepeatPlay = 0;
    Command(CM_QSM_STOPPLAY);
    ExpectSilence();
}

TEST_F(ClientTest, PlayPauseResumeSeekAndStopLeaveNoNoteSounding) {
    int depth = SysInfo.GetStatusDepth();
    // Nothing to play on the blank score.
    Command(CM_QSM_PLAY);
    EXPECT_FALSE(app_->IsPerformanceActive());
    // The media keys reach the transport.
    constexpr LPARAM kMediaPlay = 46 << 16, kMediaPause = 47 << 16;

    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    EXPECT_EQ(SendMessageA(client_->GetHandle(), WM_APPCOMMAND, 0, kMediaPlay), TRUE);
    ASSERT_TRUE(app_->IsPerformanceActive());
    Run(3000);
    frame_->EvTimer(1);  // the play timer's tick
    EXPECT_GT(NoteOns(), 0);
    EXPECT_GT(SliderPos(), 0);
    EXPECT_NE(frame_->BarText, "");

    // Pause: the notes are released and nothing more is struck.
    SendMessageA(client_->GetHandle(), WM_APPCOMMAND, 0, kMediaPause);
    EXPECT_TRUE(app_->GetMidiManager().IsPaused());
    ExpectSilence();
    int struck = NoteOns();
    Run(1000);
    EXPECT_EQ(NoteOns(), struck);
    // Resume.
    Command(CM_QSM_PLAYPAUSE);
    EXPECT_FALSE(app_->GetMidiManager().IsPaused());
    Run(1000);
    EXPECT_GT(NoteOns(), struck);

    // A click on the slider while playing pauses, seeks and resumes there.
    client_->SeekToSliderPos(SB_THUMBPOSITION, 8192);
    EXPECT_TRUE(app_->IsPerformanceActive());
    EXPECT_FALSE(app_->GetMidiManager().IsPaused());
    EXPECT_EQ(app_->GetPlayStartTick(), app_->GetCurrentTick());
    DWORD seekTick = app_->GetCurrentTick();
    EXPECT_GT(seekTick, 0u);
    Run(300);
    EXPECT_GE(app_->GetMidiManager().GetPlayTick(), seekTick);

    // A drag: begin (9) pauses, tracks (5) seek, the end (4) resumes; the closing code (8) does nothing.
    client_->SeekToSliderPos(TQSSlider::SB_BEGINDRAG, 8192);
    EXPECT_TRUE(app_->GetMidiManager().IsPaused());
    ExpectSilence();
    client_->SeekToSliderPos(SB_THUMBTRACK, 2000);
    EXPECT_TRUE(app_->GetMidiManager().IsPaused());
    EXPECT_EQ(SliderPos(), 2000);
    client_->SeekToSliderPos(SB_THUMBPOSITION, 2000);
    EXPECT_FALSE(app_->GetMidiManager().IsPaused());
    DWORD dragTick = app_->GetCurrentTick();
    client_->SeekToSliderPos(SB_ENDSCROLL, 0);
    EXPECT_EQ(app_->GetCurrentTick(), dragTick);
    EXPECT_EQ(SliderPos(), 2000);
    Run(500);

    // Stop: no note left sounding, the display back at where the play started.
    Command(CM_QSM_STOPPLAY);
    EXPECT_FALSE(app_->IsPerformanceActive());
    ExpectSilence();
    EXPECT_EQ(app_->GetCurrentTick(), dragTick);
    EXPECT_EQ(app_->GetMidiManager().ArePortsOpen(), false);
    EXPECT_EQ(SysInfo.GetStatusDepth(), depth);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ClientTest, PausedKeysMoveThePlayPositionAndResumeStartsThere) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    Command(CM_QSM_PLAY);
    Run(1500);
    Command(CM_QSM_PAUSE);
    ASSERT_TRUE(app_->GetMidiManager().IsPaused());
    int before = app_->GetTimeIndex().GetIndex();
    client_->GetView()->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(app_->GetTimeIndex().GetIndex(), before + 1);
    EXPECT_TRUE(app_->WasMovedWhilePaused());
    client_->GetView()->SendMessage(WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(app_->GetTimeIndex().GetIndex(), 0);
    EXPECT_EQ(SliderPos(), 0);
    Command(CM_QSM_PAUSE);
    EXPECT_FALSE(app_->GetMidiManager().IsPaused());
    EXPECT_LT(app_->GetMidiManager().GetPlayTick(), 200u);
    Command(CM_QSM_STOPPLAY);
    ExpectSilence();
}

TEST_F(ClientTest, MovingTheViewWhileIdleMovesThePlayPosition) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    EXPECT_EQ(app_->GetCurrentTick(), 0u);
    client_->GetView()->SetFocus();
    for (int i = 0; i < 8; ++i)
        client_->GetView()->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_GT(app_->GetCurrentTick(), 0u);
    EXPECT_GT(SliderPos(), 0);
    // Play starts at the view's position.
    DWORD tick = app_->GetCurrentTick();
    Command(CM_QSM_PLAY);
    EXPECT_EQ(app_->GetPlayStartTick(), tick);
    // While playing, the view's keys move the view but not the play position.
    client_->GetView()->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(app_->GetPlayStartTick(), tick);
    Command(CM_QSM_STOPPLAY);
    ExpectSilence();
}

TEST_F(ClientTest, TheBarTextShowsTheBarOfThePositionAndTheViewHasNoHorizontalBar) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    HWND view = client_->GetView()->GetHandle();
    // An idle score stands in its first bar.
    frame_->ShowPositionTexts();
    EXPECT_EQ(frame_->BarText, "Bar 1");
    // Playing: bar 1 until the song passes its first bar (3.3 s at 72 beats of four).
    Command(CM_QSM_PLAY);
    ASSERT_TRUE(app_->IsPerformanceActive());
    Run(1000);
    client_->UpdatePlayPosition();
    frame_->ShowPositionTexts();
    EXPECT_EQ(frame_->BarText, "Bar 1");
    Run(3000);
    client_->UpdatePlayPosition();
    frame_->ShowPositionTexts();
    EXPECT_EQ(frame_->BarText, "Bar 2");
    Command(CM_QSM_STOPPLAY);
    ExpectSilence();

    // Moved by keys past the first bar line, the view stands in the second bar.
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    client_->GetView()->SetFocus();
    int bar = client_->GetPositionBar();
    EXPECT_EQ(bar, 1);
    for (int i = 0; i < 40 && bar == 1; ++i) {
        client_->GetView()->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
        bar = client_->GetPositionBar();
    }
    EXPECT_EQ(bar, 2);
    // Opening, moving, playing and resizing never bring the horizontal bar back.
    SetWindowPos(frame_->GetHandle(), nullptr, 0, 0, 500, 400, SWP_NOZORDER);
    qsm::wm::PumpMessages();
    EXPECT_EQ(GetWindowLongA(view, GWL_STYLE) & WS_HSCROLL, 0);
}

// The 16-bit samples of a WAV file (after its 44-byte header) and their root mean square.
double WavRms(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double sum = 0;
    size_t count = 0;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        auto sample =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        sum += static_cast<double>(sample) * sample;
        ++count;
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

TEST_F(ClientTest, AScorePlaysThroughTheBuiltInSynthesizer) {
    qsm::mm::SetSoundFontPath("/usr/share/sounds/sf2/TimGM6mb.sf2");
    std::string wav = dir_ + "/piano.wav";
    ASSERT_TRUE(qsm::mm::StartSynthRender(wav, 22050));
    const char* names[] = {"Internal Synth"};
    app_->GetMidiManager().SetOutPortNames(names, 1);
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), 1));
    Command(CM_QSM_PLAY);
    ASSERT_TRUE(app_->IsPerformanceActive());
    bool sounding = qsm::mm::IsSoundFontLoaded();
    Run(4000);
    Command(CM_QSM_STOPPLAY);
    ASSERT_TRUE(qsm::mm::StopSynthRender(500));
    qsm::mm::SetSoundFontPath("");
    if (!sounding) GTEST_SKIP() << "no SoundFont installed";
    EXPECT_GT(WavRms(wav), 100.0);
}

TEST_F(ClientTest, StopWhenIdleOffersTheReset) {
    answer_ = IDCANCEL;
    Command(CM_QSM_STOP);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "MIDI Reset");
    EXPECT_TRUE(qsm::mm::GetRecording().empty());
    answer_ = IDYES;
    Command(CM_QSM_STOP);
    // The full reset: a note-off for every key on all channels.
    EXPECT_GE(qsm::mm::GetRecording().size(), 16u * 128u);
}

TEST_F(ClientTest, TheVolumeControlIsTheDesktopsMixerAndItsBoxShowsOnlyWhenNoneStarts) {
    struct Mixers : qsm::Launcher {
        bool starts = true;
        std::vector<std::string> tried;
        bool Open(const std::string&) override { return false; }
        bool Run(const std::vector<std::string>& argv, const std::string&) override {
            tried.push_back(argv[0]);
            return starts;
        }
    } mixers;
    qsm::Launcher* old = qsm::SetLauncher(&mixers);
    Command(CM_QSM_VOLUMECONTROL);
    EXPECT_EQ(mixers.tried, std::vector<std::string>{"pavucontrol"});
    EXPECT_TRUE(boxes_.empty());
    mixers.starts = false;
    Command(CM_QSM_VOLUMECONTROL);
    qsm::SetLauncher(old);
    EXPECT_GT(mixers.tried.size(), 2u);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Volume Control Open Error");
    EXPECT_EQ(boxes_[0].text.rfind("The volume control apparently failed to open.", 0), 0u) << boxes_[0].text;
}

TEST_F(ClientTest, TheSynthVolumeSaysSoWhenTheMixerHasNoSynthesizerLine) {
    qsm::mm::HideSynthMixerLine(true);
    app_->CmMidiMapperVolume();
    qsm::mm::HideSynthMixerLine(false);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Information");
    EXPECT_EQ(boxes_[0].text, "The system MIDI Synth volume control could not be accessed.");
}

TEST_F(ClientTest, AScoreOfANewerFormatIsRefusedUnderItsVersion) {
    // A header of product version 2.9 whose format version is beyond this program's.
    std::string bytes = std::string("[QuillStave InkWork]") + '\0' + std::string(2, '\0') +
                        "[QuillStave Composer]" + '\0' + std::string("\x02\x00\x09\x00", 4) +
                        std::string(2, '\0') + std::string(2, '\0') + std::string(2, '\0') +
                        std::string(4, '\0') + std::string(2, '\0') + "\xff\x7f";
    const std::string newer = dir_ + "/newer.qsm";
    std::ofstream(newer, std::ios::binary) << bytes;
    TMusicScore* shown = app_->GetScore();
    EXPECT_FALSE(client_->OpenFile(newer.c_str(), true));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "2.9");
    EXPECT_EQ(boxes_[0].text, "File uses new format");
    EXPECT_EQ(app_->GetScore(), shown);
}

TEST_F(ClientTest, PlayTellsWhenTheSequencerIsBusyAndWhenItCannotStart) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    TMidiManager& midi = app_->GetMidiManager();
    // Busy with a performance that is not the viewer's.
    midi.OpenPorts(true);
    ASSERT_TRUE(midi.Play(client_->GetHandle(), &app_->GetSongBuffer(), 0));
    Command(CM_QSM_PLAY);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Play Not Possible");
    EXPECT_FALSE(app_->IsPerformanceActive());
    midi.Stop();
    midi.OpenPorts(false);
    // The sequencer gets no timer: the start fails and the play state is cleaned up.
    qsm::mm::FailNextTimerEvents(1);
    Command(CM_QSM_PLAY);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].caption, "Play Failed");
    EXPECT_EQ(boxes_[1].text, "Initiate Play Failed");
    EXPECT_FALSE(app_->IsPerformanceActive());
    EXPECT_FALSE(midi.IsPlaying());
    ExpectSilence();
    // It plays again once a timer can be had.
    Command(CM_QSM_PLAY);
    EXPECT_TRUE(app_->IsPerformanceActive());
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(ClientTest, ASongTooLongForTheBufferIsToldOfOnce) {
    // Two tracks of controller events that together are more than the 1024 blocks of 2048 events hold.
    std::vector<qsm::test::TrackBuilder> tracks(2);
    tracks[0].Event(0, {0x90, 60, 90}).Event(96, {0x80, 60, 0});
    for (qsm::test::TrackBuilder& track : tracks) {
        for (int i = 0; i < MIDI_MAX_BLOCKS * MIDI_BLOCK_EVENTS / 2 + 2048; ++i)
            track.Event(1, {0xB0, 7, i & 0x7F});
        track.End();
    }
    qsm::test::Bytes bytes = qsm::test::MakeFile(1, 192, tracks);
    const std::string midi = dir_ + "/long.mid";
    std::ofstream(midi, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(client_->OpenFile(midi.c_str(), true));
    // The song is told of once its render has ended and said so.
    while (app_->IsSongPending()) {
        WaitMessage();
        qsm::wm::PumpMessages();
    }
    qsm::wm::PumpMessages();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Midi Play Warning");
    EXPECT_EQ(boxes_[0].text, "Midi Data Overflow Detected. THe end of the song will be missing.");
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    while (app_->IsSongPending()) {
        WaitMessage();
        qsm::wm::PumpMessages();
    }
    qsm::wm::PumpMessages();
    EXPECT_EQ(boxes_.size(), 1u);
}

// The keyboard's media keys and the mouse's side buttons, as the display reports them, reach the
// transport and the view through the window that has them.
TEST_F(ClientTest, MediaKeysAndTheMouseSideButtonsWorkFromTheScoreView) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    HWND view = client_->GetViewHandle();
    SetFocus(view);
    qsm::wm::PressKey(VK_MEDIA_PLAY_PAUSE, 0);
    qsm::wm::PumpMessages();
    EXPECT_TRUE(app_->IsPerformanceActive());
    qsm::wm::PressKey(VK_MEDIA_STOP, 0);
    qsm::wm::PumpMessages();
    EXPECT_FALSE(app_->IsPerformanceActive());
    ExpectSilence();

    RECT r;
    GetWindowRect(view, &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    qsm::wm::Click(x, y, 4);  // forward
    qsm::wm::PumpMessages();
    DWORD forward = app_->GetCurrentTick();
    EXPECT_GT(forward, 0u);
    qsm::wm::Click(x, y, 3);  // back
    qsm::wm::PumpMessages();
    EXPECT_LT(app_->GetCurrentTick(), forward);
    EXPECT_EQ(GetFocus(), view);
}

TEST_F(ClientTest, RightClickOnTheSliderLeavesThePosition) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    TQSMPlaySlider* slider = app_->GetPlaySlider();
    RECT r;
    GetWindowRect(slider->GetHandle(), &r);
    qsm::wm::Click((r.left + r.right) / 2 + 40, (r.top + r.bottom) / 2, 1);
    qsm::wm::PumpMessages();
    EXPECT_EQ(SliderPos(), 0);
    EXPECT_EQ(app_->GetCurrentTick(), 0u);
}

}  // namespace

namespace {

// The slider takes the focus while the mouse works it and gives it back to the score view once the button
// is up: the score's commands (the frame routes them through the focus) are enabled and run again.
TEST_F(ClientTest, AfterTheSliderIsDraggedOrClickedTheScoreTakesTheCommandsAgain) {
    ASSERT_TRUE(client_->OpenFile(piano_.c_str(), true));
    HWND view = client_->GetViewHandle();
    SetFocus(view);
    TQSMPlaySlider* slider = app_->GetPlaySlider();
    auto playEnabled = [&] {
        TCommandEnabler ce(CM_QSM_PLAY);
        frame_->EvCommandEnable(ce);
        return ce.GetEnabled();
    };
    ASSERT_TRUE(playEnabled());
    TRect thumb = slider->GetThumbRect();
    TPoint grab =
        slider->ClientToScreen(TPoint((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2));
    TRect all = slider->GetClientRect();
    qsm::wm::InputMouseMove(grab.x, grab.y);
    qsm::wm::InputMouseButton(0, true);
    qsm::wm::PumpMessages();
    EXPECT_EQ(GetFocus(), slider->GetHandle());
    EXPECT_FALSE(playEnabled());  // what the user saw before: the client is off the command route
    qsm::wm::InputMouseMove(grab.x + all.Width() / 2, grab.y);
    qsm::wm::InputMouseButton(0, false);
    qsm::wm::PumpMessages();
    EXPECT_GT(SliderPos(), 0);
    EXPECT_EQ(GetFocus(), view);
    EXPECT_TRUE(playEnabled());
    // F5's command, as the frame's accelerator sends it, plays from the dragged position.
    frame_->SendMessage(WM_COMMAND, CM_QSM_PLAY);
    EXPECT_TRUE(app_->IsPerformanceActive());
    EXPECT_GT(app_->GetPlayStartTick(), 0u);
    client_->StopPlay();

    // A click beside the thumb moves it and gives the focus back too.
    TPoint beside = slider->ClientToScreen(TPoint(all.right - 3, (thumb.top + thumb.bottom) / 2));
    qsm::wm::Click(beside.x, beside.y);
    qsm::wm::PumpMessages();
    EXPECT_EQ(GetFocus(), view);
}

}  // namespace
