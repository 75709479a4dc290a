// The samples opened from the Welcome dialog through the client's open routine and played to their end on
// the recording MIDI device, and the mute list applied while the performance is paused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/framework/frame.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"
#include "viewer/player_gadgets.h"
#include "viewer/samples.h"
#include "viewer/tests/viewer_test_env.h"
#include "viewer/view_control.h"
#include "viewer/welcome_dlg.h"

namespace {

using qsm::wm::PumpMessages;

// The main window with the client, routing the Welcome and mute list commands to the application.
class TPlayFrame : public TDecoratedFrame {
public:
    explicit TPlayFrame(TQSMViewerClient* client)
        : TWindow(static_cast<TWindow*>(nullptr), "test"), TDecoratedFrame(nullptr, "test", client) {
        Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        Attr.W = 800;
        Attr.H = 600;
    }
    void EvTimer(UINT id) {
        if (id == 1) TQSMViewerApp::Get()->GetClient()->UpdatePlayPosition();
    }
    DECLARE_RESPONSE_TABLE(TPlayFrame);
};
DEFINE_RESPONSE_TABLE1(TPlayFrame, TDecoratedFrame)
EV_WM_TIMER, END_RESPONSE_TABLE;

class WelcomePlayTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        ViewerOptions.PlayDelay = 0;
        ViewerOptions.AutoWelcome = 0;
        ViewerOptions.AutoPlay = 0;
        SessionOptions.RepeatPlay = 0;
        TQSOpenSamplesDlg::CurrentGroup = 2;
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
        qsm::mm::ClearRecording();
        qsm::mm::UseManualClock(100000);
        qsm::mm::SetClockStepHook([] { PumpMessages(); });
        app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        const char* names[] = {"Test Recorder"};
        app->GetMidiManager().SetOutPortNames(names, 1);
        app->GetMidiManager().SetStartDelay(0);
        client = new TQSMViewerClient;
        frame = new TPlayFrame(client);
        app->SetMainWindow(frame);
        frame->Create();
        PumpMessages();
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        if (app->IsPerformanceActive()) client->StopPlay();
        app.reset();
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
        StoreTest::TearDown();
    }
    // Dialogs are answered by `drive`; message boxes are counted and confirmed.
    void Drive(std::function<void(HWND)> drive) {
        qsm::wm::SetModalHook([this, drive](HWND hwnd) {
            if (GetDlgItem(hwnd, 0xFFFF) != nullptr) {
                ++boxes;
                PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
                return;
            }
            drive(hwnd);
        });
    }
    void OpenSampleRow(int row) {
        Drive([row](HWND dlg) {
            SendDlgItemMessageA(dlg, 151, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
        app->CmWelcome();
        PumpMessages();
    }
    void Command(UINT id) {
        SendMessageA(client->GetHandle(), WM_COMMAND, id, 0);
        PumpMessages();
    }
    // Plays on until the performance ends (at most ten minutes of song time).
    void RunToEnd() {
        for (int i = 0; i < 6000 && app->IsPerformanceActive(); ++i)
            qsm::mm::AdvanceClock(100);
    }
    static void ExpectSilence() {
        auto sounding = qsm::mm::FindSoundingNotes(qsm::mm::GetRecording());
        EXPECT_TRUE(sounding.empty()) << sounding.size() << " notes or pedals left down";
    }

    std::unique_ptr<TQSMViewerApp> app;
    TQSMViewerClient* client = nullptr;
    TPlayFrame* frame = nullptr;
    int boxes = 0;
};

TEST_F(WelcomePlayTest, EachSampleOpensLaysOutAndPlaysToItsEnd) {
    for (int row = 0; row < 7; ++row) {
        SCOPED_TRACE(row);
        qsm::mm::ClearRecording();
        OpenSampleRow(row);
        TSongInfo info;
        ASSERT_EQ(ReadSampleInfo(row + 1, info), 1);
        ASSERT_EQ(app->GetScore(), app->GetBlankScore());
        EXPECT_STREQ(app->GetScore()->SongInfo.Title, info.Title);
        EXPECT_EQ(app->GetCurrentPath(), "");
        // Laid out: the view holds the score's first staff with its items.
        EXPECT_NE(client->GetView()->GetItemOfStaff(0, 0), nullptr);
        Command(CM_QSM_PLAY);
        ASSERT_TRUE(app->IsPerformanceActive());
        RunToEnd();
        EXPECT_FALSE(app->IsPerformanceActive());
        int notes = 0;
        for (const auto& m : qsm::mm::GetRecording())
            if ((m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0) ++notes;
        EXPECT_GT(notes, 0);
        ExpectSilence();
    }
    EXPECT_EQ(boxes, 0);
}

TEST_F(WelcomePlayTest, MutingWhilePausedResumesInTheNewPerformanceWithoutTheMutedStaff) {
    // The sample with the most staves; a staff that plays alone on its channel (not the drums).
    int best = 0, most = 0;
    for (int id = 1; id <= 7; ++id) {
        std::unique_ptr<TMusicScore> s(ReadSampleScore(id));
        if (s && s->GetStaffCount() > most) {
            most = s->GetStaffCount();
            best = id;
        }
    }
    OpenSampleRow(best - 1);
    TMusicScore* score = app->GetScore();
    int staff = -1;
    for (int s = 0; s < score->GetStaffCount() && staff < 0; ++s) {
        const TMusicStaff* st = score->GetStaff(s);
        if (st->Channel != 9 && !st->Muted && score->CountStavesOnPort(st->Device, st->Channel) == 1)
            staff = s;
    }
    ASSERT_GE(staff, 0);
    const int channel = score->GetStaff(staff)->Channel;

    Command(CM_QSM_PLAY);
    qsm::mm::AdvanceClock(2000);
    Command(CM_QSM_PAUSE);
    ASSERT_TRUE(app->GetMidiManager().IsPaused());
    DWORD pausedAt = app->GetMidiManager().GetPlayTick();

    // The staff still has notes to play after the pause.
    bool later = false;
    const TMidiFileBuf& song = app->GetSongBuffer();
    for (int i = 0; i < song.GetEventCount() && !later; ++i) {
        const TMidiEvent* ev = song.GetEvent(i);
        DWORD m = ev->GetMessage();
        later = ev->IsShortMsg() && ev->Tick > pausedAt && (m & 0xF0) == 0x90 &&
                static_cast<int>(m & 0x0F) == channel && ((m >> 16) & 0x7F) != 0;
    }
    ASSERT_TRUE(later);

    // The staff's part row muted, then OK.
    Drive([staff](HWND dlg) {
        HWND parts = GetDlgItem(dlg, 102);
        int n = static_cast<int>(SendMessageA(parts, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < n; ++row)
            if (SendMessageA(parts, LB_GETITEMDATA, static_cast<WPARAM>(row), 0) == staff)
                SendMessageA(parts, LB_SETSEL, TRUE, row);
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    app->CmMuteList();
    EXPECT_TRUE(app->IsMuteListChanged());
    EXPECT_TRUE(score->GetStaff(staff)->Muted);
    EXPECT_TRUE(app->GetMidiManager().IsPaused());
    ExpectSilence();

    size_t resumedAt = qsm::mm::GetRecording().size();
    Command(CM_QSM_PAUSE);
    EXPECT_FALSE(app->GetMidiManager().IsPaused());
    qsm::mm::AdvanceClock(300);
    EXPECT_GE(app->GetMidiManager().GetPlayTick(), pausedAt);
    RunToEnd();
    const auto& recording = qsm::mm::GetRecording();
    int others = 0;
    for (size_t i = resumedAt; i < recording.size(); ++i) {
        DWORD m = recording[i].msg;
        if ((m & 0xF0) == 0x90 && ((m >> 16) & 0x7F) != 0) {
            EXPECT_NE(static_cast<int>(m & 0x0F), channel) << "a note of the muted staff";
            ++others;
        }
    }
    EXPECT_GT(others, 0);
    ExpectSilence();
    EXPECT_EQ(boxes, 0);
}

}  // namespace
