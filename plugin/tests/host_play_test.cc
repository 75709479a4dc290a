// Playing through the plug-in as a browser page with two embedded scores does: the buttons of each player
// pressed as a user presses them, the notes taken by the recording MIDI device. One instance plays at a
// time, pause, seek and stop leave no note sounding, tearing an instance down while it plays closes the
// device, and a saved copy is the file the browser delivered.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/file_dialog.h"
#include "platform/wm/surface.h"
#include "platform/wm/winuser.h"
#include "plugin/host/np_host.h"
#include "plugin/tests/test_env.h"

namespace {

using namespace qsm::plugin_test;

using qsm::TPluginHost;
using Log = std::vector<qsm::mm::RecordedMessage>;

// Commands of the player bar and the position slider of a player.
constexpr int kPlay = 105;
constexpr int kStop = 106;
constexpr int kPause = 109;
constexpr int kSaveCopy = 111;
constexpr int kSlider = 130;
constexpr int kTime = 131;

int NoteOnsFrom(size_t first) {
    return NoteOns(qsm::mm::GetRecording(), first);
}

bool IsHandleOpen(HMIDIOUT handle) {
    UINT id = 0;
    return handle != nullptr && midiOutGetID(handle, &id) == MMSYSERR_NOERROR;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HostPlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeSettingsFolder("/tmp/qsm-np-play-XXXXXX");
        ASSERT_FALSE(dir_.empty());
        qsm::wm::ResetForTests();
        PlayOnRecorder();
        ASSERT_TRUE(host_.Load(QSM_PLUGIN_FILE)) << host_.Error();
        ASSERT_EQ(host_.GetEntryPoints(), NPERR_NO_ERROR);
        ASSERT_EQ(host_.Initialize(), NPERR_NO_ERROR);
        pages_[0] = Page(520, 360);
        pages_[1] = Page(520, 360);
        const char* scores[2] = {QSM_TESTDATA_DIR "/layout/piano.qsmtxt",
                                 QSM_TESTDATA_DIR "/layout/quartet.qsmtxt"};
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(host_.New(inst_[i], "application/x-qsmtxt", NP_EMBED, {}), NPERR_NO_ERROR);
            ASSERT_EQ(host_.SetWindow(inst_[i], pages_[i]), NPERR_NO_ERROR);
            ASSERT_EQ(host_.Deliver(inst_[i], scores[i]), NPERR_NO_ERROR);
            sources_[i] = scores[i];
        }
        qsm::wm::PumpMessages();
        for (int i = 0; i < 2; ++i)
            ASSERT_NE(Player(i), nullptr);
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        for (auto& inst : inst_)
            if (inst.npp.pdata != nullptr) host_.Destroy(inst);
        host_.Shutdown();
        host_.Unload();
        for (HWND page : pages_)
            if (IsWindow(page)) DestroyWindow(page);
        qsm::wm::PumpMessages();
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    // The manual clock drives the sequencer; the window queue runs at every millisecond.
    static void UseManualClock() {
        qsm::mm::UseManualClock(100000);
        qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
    }
    HWND Page(int w, int h) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QSMTestPlayPage";
        RegisterClassA(&wc);
        return CreateWindowExA(0, "QSMTestPlayPage", "Page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, w, h,
                               nullptr, nullptr, nullptr, nullptr);
    }
    HWND Player(int i) const { return TPluginHost::FindDescendant(pages_[i], "TQSMIViewerClient"); }
    void Press(int i, int command) {
        SendMessageA(Player(i), WM_COMMAND, static_cast<WPARAM>(command), 0);
        qsm::wm::PumpMessages();
    }
    // The user lets the slider's thumb go at a position (0..256).
    void Seek(int i, int position) {
        HWND slider = GetDlgItem(Player(i), kSlider);
        ASSERT_NE(slider, nullptr);
        SendMessageA(Player(i), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(slider));
        SendMessageA(Player(i), WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(slider));
        qsm::wm::PumpMessages();
    }
    // Advances the manual clock until the condition holds; false when a minute of song time passed first.
    static bool RunUntil(const std::function<bool()>& done) {
        for (int step = 0; step < 6000; ++step) {
            if (done()) return true;
            qsm::mm::AdvanceClock(10);
        }
        return done();
    }
    // The real timer drives the sequencer on its thread: runs the window queue until the condition holds.
    static bool PumpUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp) return false;
            qsm::wm::PumpMessages();
            std::this_thread::yield();
        }
        return true;
    }
    static HMIDIOUT LastHandle() {
        const Log log = qsm::mm::GetRecording();
        return log.empty() ? nullptr : log.back().handle;
    }
    static std::string Text(HWND hwnd) {
        char text[64] = {};
        GetWindowTextA(hwnd, text, sizeof text);
        return text;
    }
    // What a child window shows, as its top-level window's pixels under its client area.
    static std::vector<uint32_t> Shot(HWND hwnd) {
        qsm::wm::PumpMessages();
        cairo_surface_t* surface = qsm::wm::TopLevelSurface(GetAncestor(hwnd, GA_ROOT));
        if (surface == nullptr) return {};
        cairo_surface_flush(surface);
        RECT r{}, top{};
        GetClientRect(hwnd, &r);
        GetWindowRect(GetAncestor(hwnd, GA_ROOT), &top);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < r.bottom; ++y) {
            const int py = origin.y - top.top + y;
            if (py < 0 || py >= cairo_image_surface_get_height(surface)) continue;
            const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface) +
                                                                py * cairo_image_surface_get_stride(surface));
            for (int x = 0; x < r.right; ++x) {
                const int px = origin.x - top.left + x;
                if (px >= 0 && px < cairo_image_surface_get_width(surface))
                    pixels.push_back(row[px] & 0xFFFFFF);
            }
        }
        return pixels;
    }
    static void ExpectSilence(const char* when) {
        auto sounding = qsm::mm::FindSoundingNotes(qsm::mm::GetRecording());
        EXPECT_TRUE(sounding.empty()) << when << ": " << sounding.size() << " notes or pedals left down";
    }

    TPluginHost host_;
    std::string dir_;
    HWND pages_[2] = {};
    TPluginHost::Instance inst_[2];
    std::string sources_[2];
};

TEST_F(HostPlayTest, TwoInstancesOnAPagePlayOneAtATime) {
    UseManualClock();
    // The second score alone, to its end: the device closes with the song.
    Press(1, kPlay);
    ASSERT_TRUE(RunUntil([] { return NoteOnsFrom(0) > 0; }));
    const HMIDIOUT device = LastHandle();
    ASSERT_TRUE(RunUntil([&] { return !IsHandleOpen(device); }));
    const int secondSongNotes = NoteOnsFrom(0);
    ExpectSilence("at the end of the song");

    // The first plays; the second's play stops it with nothing left sounding, then plays whole.
    qsm::mm::ClearRecording();
    Press(0, kPlay);
    ASSERT_TRUE(RunUntil([] { return NoteOnsFrom(0) >= 4; }));
    qsm::mm::AdvanceClock(300);
    Press(1, kPlay);
    ExpectSilence("when the second started");
    const size_t switched = qsm::mm::GetRecording().size();
    const HMIDIOUT shared = LastHandle();
    EXPECT_TRUE(IsHandleOpen(shared));
    ASSERT_TRUE(RunUntil([&] { return !IsHandleOpen(shared); }));
    EXPECT_EQ(NoteOnsFrom(switched), secondSongNotes);
    ExpectSilence("at the end of the second song");

    // The first one's play button plays it again, from the start.
    const size_t again = qsm::mm::GetRecording().size();
    Press(0, kPlay);
    EXPECT_TRUE(RunUntil([&] { return NoteOnsFrom(again) > 0; }));
    Press(0, kStop);
    ExpectSilence("after stop");
    EXPECT_FALSE(IsHandleOpen(LastHandle()));
}

// The player whose play another instance took over shows what its own stop shows: the slider at the start,
// no time, and its bar's buttons as before it played.
TEST_F(HostPlayTest, APlayTakenOverLeavesItsPlayerStopped) {
    UseManualClock();
    HWND slider = GetDlgItem(Player(0), kSlider);
    HWND time = GetDlgItem(Player(0), kTime);
    HWND bar = TPluginHost::FindDescendant(pages_[0], "OWL_GadgetWindow");
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(bar, nullptr);
    // Stop while stopped shows the stopped state at once.
    Press(0, kStop);
    const std::vector<uint32_t> stoppedSlider = Shot(slider), stoppedBar = Shot(bar);
    ASSERT_FALSE(stoppedSlider.empty());

    Press(0, kPlay);
    ASSERT_TRUE(RunUntil([] { return NoteOnsFrom(0) >= 3; }));
    Seek(0, 64);
    ASSERT_NE(Text(time), " ");
    ASSERT_NE(Shot(slider), stoppedSlider);
    ASSERT_NE(Shot(bar), stoppedBar);

    Press(1, kPlay);
    ExpectSilence("when the second started");
    EXPECT_EQ(Text(time), " ");
    EXPECT_EQ(Shot(slider), stoppedSlider) << "the slider is not back at the start";
    EXPECT_EQ(Shot(bar), stoppedBar) << "the buttons do not show the stopped state";
    Press(1, kStop);
}

TEST_F(HostPlayTest, PauseSeekAndStopLeaveNoNoteSounding) {
    UseManualClock();
    Press(0, kPlay);
    ASSERT_TRUE(RunUntil([] { return NoteOnsFrom(0) >= 3; }));
    qsm::mm::AdvanceClock(250);

    Press(0, kPause);
    ExpectSilence("after pause");
    size_t mark = qsm::mm::GetRecording().size();
    qsm::mm::AdvanceClock(1000);
    EXPECT_EQ(NoteOnsFrom(mark), 0) << "notes while paused";

    // A seek while paused moves the position and stays paused.
    Seek(0, 128);
    ExpectSilence("after a seek while paused");
    qsm::mm::AdvanceClock(1000);
    EXPECT_EQ(NoteOnsFrom(mark), 0) << "notes after a seek while paused";

    Press(0, kPause);
    ASSERT_TRUE(RunUntil([&] { return NoteOnsFrom(mark) >= 2; }));
    qsm::mm::AdvanceClock(130);

    // A seek while playing goes on playing from there.
    Seek(0, 16);
    mark = qsm::mm::GetRecording().size();
    ASSERT_TRUE(RunUntil([&] { return NoteOnsFrom(mark) >= 2; }));
    qsm::mm::AdvanceClock(170);

    const HMIDIOUT device = LastHandle();
    Press(0, kStop);
    ExpectSilence("after stop");
    EXPECT_FALSE(IsHandleOpen(device));
    mark = qsm::mm::GetRecording().size();
    qsm::mm::AdvanceClock(1000);
    EXPECT_EQ(qsm::mm::GetRecording().size(), mark);
}

TEST_F(HostPlayTest, TearingDownAPlayingInstanceClosesTheDevice) {
    UseManualClock();
    // Destroyed by the browser while it plays, the other instance idle.
    Press(1, kPlay);
    ASSERT_TRUE(RunUntil([] { return NoteOnsFrom(0) >= 3; }));
    HMIDIOUT device = LastHandle();
    ASSERT_EQ(host_.Destroy(inst_[1]), NPERR_NO_ERROR);
    ExpectSilence("after the playing instance was destroyed");
    EXPECT_FALSE(IsHandleOpen(device));

    // The one left plays on its own; losing its window while it plays tears it down the same way.
    const size_t mark = qsm::mm::GetRecording().size();
    Press(0, kPlay);
    ASSERT_TRUE(RunUntil([&] { return NoteOnsFrom(mark) >= 3; }));
    device = LastHandle();
    ASSERT_EQ(host_.SetWindow(inst_[0], nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(inst_[0].npp.pdata, nullptr);
    ExpectSilence("after the window went");
    EXPECT_FALSE(IsHandleOpen(device));
    const size_t after = qsm::mm::GetRecording().size();
    qsm::mm::AdvanceClock(1000);
    EXPECT_EQ(qsm::mm::GetRecording().size(), after);
}

TEST_F(HostPlayTest, SavedCopyIsTheDeliveredFile) {
    const std::string target = dir_ + "/copy.qsmtxt";
    int dialogs = 0;
    qsm::wm::SetModalHook([&](HWND dlg) {
        ++dialogs;
        SetDlgItemTextA(dlg, edt1, target.c_str());
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    Press(1, kSaveCopy);
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(Read(target), Read(sources_[1]));
}

// The sequencer on the real timer's thread, the players on this one. Each step waits for the notes it needs;
// the songs last long enough that none ends between two presses.
TEST_F(HostPlayTest, PlaysHandOverAndStopAcrossTheTimerThread) {
    Press(0, kPlay);
    ASSERT_TRUE(PumpUntil([] { return NoteOnsFrom(0) >= 2; }));
    Press(1, kPlay);
    Press(1, kPause);
    ExpectSilence("after the second paused");
    Seek(1, 16);
    const size_t resumed = qsm::mm::GetRecording().size();
    Press(1, kPause);
    ASSERT_TRUE(PumpUntil([&] { return NoteOnsFrom(resumed) >= 2; }));
    const HMIDIOUT device = LastHandle();
    Press(1, kStop);
    ExpectSilence("after stop");
    EXPECT_FALSE(IsHandleOpen(device));
}

}  // namespace
