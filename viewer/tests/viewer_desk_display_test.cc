// The viewer's everyday handling on a real desktop (QSM2View on the SDL backend under openbox, CTest runs it
// under Xvfb): the print preview, the play slider, the recent views after a restart, relative paths and a
// second instance, a request to end by a signal, files that cannot be read and the built-in samples. Every
// wait is for an X event, a file the program writes or the program's end, never for a time. With
// QSM_DESKTOP_SHOT_DIR set the screens land there (docs/desktop/viewer_*.png are made so).
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/recording_env.h"
#include "platform/wm/backend.h"
#include "viewer/tests/print_test_util.h"
#include "viewer/tests/process_fixture.h"
#include "viewer/tests/x11_viewer_desk.h"

bool ProgramOnPath(const char* name);
int StartWindowManager();
void StopWindowManager(int pid);
bool WaitUntilActive(unsigned long w);
unsigned long XWindowNamed(const char* name);
unsigned long WaitForXWindow(const std::function<bool(const std::string&)>& fits);
std::string XWindowTitle(unsigned long w);
bool WaitForXTitle(unsigned long w, const std::function<bool(const std::string&)>& fits);
void PressKey(const char* name, bool control);
void CloseXWindow(unsigned long w);

namespace {

const char* const kProgramTitle = " - QuillStave Composer Viewer";
// Where the play slider's thumb stands while the position is at the start: at the left end of the player
// bar, which lies on the status bar at the bottom of the main window (from the window's left and bottom).
constexpr int kThumbFromLeft = 10;
constexpr int kSliderFromBottom = 42;
const char* const kBlankTitle = "QuillStave Composer 2 Viewer - QuillStave Composer Viewer";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ViewerDeskTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (xvfb-run is missing)";
        DeskScreenBox();  // the desktop's connection first: windows that go meanwhile are no error
        if (!ProgramOnPath("openbox")) GTEST_SKIP() << "openbox is not installed";
        ProcessTest::SetUp();
        unsetenv("QSM_BACKEND");  // the program shows its windows on the display
        SysInfo.WriteInt("Options", "AutoWelcome", 0);
        SysInfo.WriteInt("Options", "ReuseInst", 1);
        SysInfo.WriteInt("Options", "RecallSizePos", 0);
        wm_ = StartWindowManager();
        ASSERT_GT(wm_, 0) << "openbox did not take the screen";
    }
    void TearDown() override {
        if (!home_.empty()) {
            EXPECT_EQ(chdir(home_.c_str()), 0);
        }
        if (viewer_ > 0) {
            kill(viewer_, SIGKILL);
            waitpid(viewer_, nullptr, 0);
        }
        StopWindowManager(wm_);
        if (!dir_.empty()) ProcessTest::TearDown();
    }
    // Starts the viewer and waits until its main window is the active one; that window, or 0.
    unsigned long StartViewer(std::vector<std::string> args = {}) {
        viewer_ = Spawn(std::move(args));
        if (viewer_ <= 0) return 0;
        unsigned long frame = MainWindow();
        if (frame != 0 && !WaitUntilActive(frame)) return 0;
        return frame;
    }
    static unsigned long MainWindow() {
        return WaitForXWindow([](const std::string& t) { return EndsWith(t, kProgramTitle); });
    }
    static unsigned long WaitForTitled(const std::string& title) {
        return WaitForXWindow([&](const std::string& t) { return t == title; });
    }
    // Closes the viewer through the window manager and waits for its end; its exit code.
    int CloseViewer(unsigned long frame) {
        CloseXWindow(frame);
        int code = ExitCode(viewer_);
        viewer_ = -1;
        return code;
    }
    static void SaveShot(const std::string& name) {
        const char* dir = std::getenv("QSM_DESKTOP_SHOT_DIR");
        if (dir == nullptr || *dir == '\0') return;
        EXPECT_TRUE(DeskSaveScreen(std::string(dir) + "/" + name + ".png")) << name;
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Runs the next starts in `folder` (relative paths on their command lines are relative to it).
    void StartIn(const std::string& folder) {
        if (home_.empty()) home_ = std::filesystem::current_path().string();
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    // Waits until the main window's title is the file's (or the blank score's) title.
    static bool WaitForTitle(unsigned long frame, const std::string& name) {
        return WaitForXTitle(frame, [&](const std::string& t) { return t == name + kProgramTitle; });
    }
    // Opens a menu of the menu bar as a user does: Alt and the menu's letter held until the menu shows.
    static bool OpenMenu(const char* letter) {
        return DeskOpenedAndDrawn([&] {
                   DeskKey("Alt_L", true);
                   DeskKey(letter, true);
                   DeskKey(letter, false);
                   DeskKey("Alt_L", false);
               }) != 0;
    }
    // Waits until the window has been drawn (not all black any more).
    static bool WaitDrawn(unsigned long w) {
        return DeskWaitFor(w, [&] {
            for (uint32_t p : DeskPixels(DeskWindowBox(w)))
                if (p != 0) return true;
            return false;
        });
    }
    // Waits until no window has that title.
    static bool WaitUntilGone(unsigned long w, const char* title) {
        return DeskWaitFor(w, [&] { return XWindowNamed(title) == 0; });
    }

    int wm_ = -1;
    pid_t viewer_ = -1;
    std::string home_;
};

// Print Preview opens at the system's size for a new window, over the main window, turns its pages with the
// keys, and Esc closes it and gives the main window the activation back.
TEST_F(ViewerDeskTest, PrintPreviewOpensAtItsSizeTurnsPagesAndCloses) {
    std::string score = Write("long.qsmtxt", qsm::printtest::LongScoreText(1, 120));
    unsigned long frame = StartViewer({score});
    ASSERT_NE(frame, 0u);
    ASSERT_TRUE(WaitForTitle(frame, "long"));
    // Alt+F opens the File menu, V chooses Print Preview.
    ASSERT_TRUE(OpenMenu("f")) << "no File menu";
    PressKey("v", false);
    unsigned long preview = WaitForTitled("Print Preview");
    ASSERT_NE(preview, 0u) << "no preview";
    ASSERT_TRUE(WaitUntilActive(preview));
    DeskBox box = DeskWindowBox(preview), screen = DeskScreenBox();
    EXPECT_GE(box.w, screen.w / 2);
    EXPECT_GE(box.h, screen.h / 2);
    // The first page is drawn: white paper in the middle.
    DeskBox middle{box.x + box.w / 2 - 20, box.y + box.h / 2 - 20, 40, 40};
    auto paper = [&] {
        bool white = false;
        for (uint32_t p : DeskPixels(middle)) {
            if (p == 0xA0A0A0u) return false;  // the grey of a page still being laid out
            white = white || p == 0xFFFFFFu;
        }
        return white;
    };
    ASSERT_TRUE(DeskWaitFor(preview, paper));
    SaveShot("viewer_preview_page1");
    std::vector<uint32_t> first = DeskPixels(box);
    PressKey("Next", false);
    EXPECT_TRUE(DeskWaitFor(preview, [&] { return DeskPixels(box) != first; })) << "the page did not turn";
    SaveShot("viewer_preview_page2");
    PressKey("Escape", false);
    EXPECT_TRUE(WaitUntilActive(frame));
    EXPECT_TRUE(WaitUntilGone(frame, "Print Preview"));
    EXPECT_EQ(CloseViewer(frame), 0);
}

// After the position slider is dragged the score takes the keys again: F5 plays from where the thumb was
// left (on the recording MIDI device: the first key struck is one of the song's second half).
TEST_F(ViewerDeskTest, AfterTheSliderIsDraggedF5PlaysFromThere) {
    std::string recording = dir_ + "/recording";
    setenv("QSM_MIDI_RECORDING", recording.c_str(), 1);
    qsm::mm::EnableTestRecorder(true);
    UINT recorder = midiOutGetNumDevs() - 1;
    qsm::mm::EnableTestRecorder(false);
    SysInfo.WriteInt("Options", "PlayDevice", static_cast<int>(recorder) + 1);
    SysInfo.WriteInt("Options", "PlayDelay", 0);
    // Eight quick bars of middle C, then eight of the C above.
    std::string text =
        "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n|Tempo|Tempo:480|Base:Quarter\n";
    for (int bar = 0; bar < 16; ++bar)
        for (int n = 0; n < 4; ++n)
            text += std::string("|Note|Dur:4th|Pos:") + (bar < 8 ? "-6" : "1") + (n == 3 ? "\n|Bar\n" : "\n");
    std::string score = Write("halves.qsmtxt", text);
    // The recording file is written each time the play opens or closes the recorder.
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_MOVED_TO), 0);
    auto written = [&] {
        for (;;) {
            alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
            ssize_t n = read(watch, events, sizeof events);
            if (n <= 0) return false;
            for (char* p = events; p < events + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                if (e->len > 0 && std::string(e->name) == "recording") return true;
                p += sizeof(inotify_event) + e->len;
            }
        }
    };

    unsigned long frame = StartViewer({score});
    ASSERT_NE(frame, 0u);
    ASSERT_TRUE(WaitForTitle(frame, "halves"));
    // The thumb sits at the left end of the slider, at the left of the player bar above the status bar.
    DeskBox box = DeskWindowBox(frame);
    int y = box.Bottom() - kSliderFromBottom;
    int x = box.x + kThumbFromLeft;
    DeskDrag(x, y, x + 150, y);
    PressKey("F5", false);
    // The play opens the recorder, and closes it at the song's end.
    ASSERT_TRUE(written()) << "no play";
    ASSERT_TRUE(written()) << "the play did not end";
    close(watch);
    EXPECT_EQ(CloseViewer(frame), 0);
    unsetenv("QSM_MIDI_RECORDING");
    std::vector<qsm::mm::RecordedMessage> messages = qsm::mm::ReadRecordingFile(recording);
    int first = -1;
    for (const auto& m : messages)
        if (first < 0 && (m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0) first = (m.msg >> 8) & 0x7F;
    EXPECT_EQ(first, 72) << "the play did not start in the second half";
}

// A file named relatively opens from the folder the program started in; a second instance started in
// another folder hands its relative file to the running viewer, which opens it; both join the recent views
// with their whole paths, and after a restart the Welcome dialog lists them.
TEST_F(ViewerDeskTest, RelativePathsASecondInstanceAndTheRecentViewsAfterARestart) {
    std::string piano = Write("piano.qsmtxt", "");
    std::filesystem::copy_file(std::string(QSM_TESTDATA_DIR) + "/layout/piano.qsmtxt", piano,
                               std::filesystem::copy_options::overwrite_existing);
    std::string song = Write("other/song.qsmtxt", qsm::printtest::LongScoreText(2, 8));
    StartIn(dir_);
    unsigned long frame = StartViewer({"piano.qsmtxt"});
    ASSERT_NE(frame, 0u);
    EXPECT_TRUE(WaitForTitle(frame, "piano")) << XWindowTitle(frame);
    StartIn(dir_ + "/other");
    EXPECT_EQ(ExitCode(Spawn({"song.qsmtxt"})), 1);
    EXPECT_TRUE(WaitForTitle(frame, "song")) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
    EXPECT_EQ(RecentViews(), (std::vector<std::string>{dir_ + "/other/song.qsmtxt", piano}));

    // A new start lists them in the Welcome dialog's Recent Views; Open takes the first.
    SysInfo.WriteInt("Options", "AutoWelcome", 1);
    SysInfo.WriteInt("Options", "OpenGrp", 1);
    viewer_ = Spawn({});
    frame = MainWindow();
    ASSERT_NE(frame, 0u);
    unsigned long welcome = WaitForTitled("Welcome");
    ASSERT_NE(welcome, 0u);
    ASSERT_TRUE(WaitUntilActive(welcome));
    EXPECT_TRUE(WaitDrawn(welcome));
    SaveShot("viewer_welcome_recent_views");
    PressKey("Return", false);
    EXPECT_TRUE(WaitForTitle(frame, "song")) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
}

// SIGTERM closes the viewer as its Close command does, also while a dialog is open: the placement is saved.
TEST_F(ViewerDeskTest, SigtermClosesTheViewerAndSavesThePlacement) {
    SysInfo.WriteInt("Options", "RecallSizePos", 1);
    unsigned long frame = StartViewer();
    ASSERT_NE(frame, 0u);
    PressKey("w", true);  // the Welcome dialog
    unsigned long welcome = WaitForTitled("Welcome");
    ASSERT_NE(welcome, 0u);
    ASSERT_TRUE(WaitUntilActive(welcome));
    ASSERT_EQ(kill(viewer_, SIGTERM), 0);
    EXPECT_EQ(ExitCode(viewer_), 128 + SIGTERM);
    viewer_ = -1;
    qsm::wm::ResetForTests();
    EXPECT_NE(SysInfo.ReadInt("Placement", "x1", -99), -99);
    EXPECT_GT(SysInfo.ReadInt("Placement", "x2", 0), SysInfo.ReadInt("Placement", "x1", 0));
    EXPECT_GT(SysInfo.ReadInt("Placement", "y2", 0), SysInfo.ReadInt("Placement", "y1", 0));
}

// Files the readers cannot read show the open's error, the first at the start, the others handed over by
// second instances; the blank score stays.
TEST_F(ViewerDeskTest, EachFileThatCannotBeReadShowsItsMessage) {
    std::string random(3000, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    std::string midi;
    {
        std::ifstream in(std::string(QSM_TESTDATA_DIR) + "/../fuzz/corpus/smf_reader/format1.mid",
                         std::ios::binary);
        midi.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> files = {
        Write("random.mid", random),
        Write("empty.mid", ""),
        Write("cut.mid", midi.substr(0, midi.size() / 2)),
        Write("empty.qsmtxt", ""),
        Write("header.qsmtxt", "!QuillStaveComposer(2.51)\n"),
    };
    viewer_ = Spawn({files[0]});
    unsigned long frame = MainWindow();
    ASSERT_NE(frame, 0u);
    for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(ExitCode(Spawn({files[i]})), 1);
        }
        unsigned long box = WaitForTitled("Error - Could not open");
        ASSERT_NE(box, 0u) << files[i];
        ASSERT_TRUE(WaitUntilActive(box)) << files[i];
        if (i == 1 && WaitDrawn(box)) SaveShot("viewer_bad_file");
        PressKey("Return", false);
        ASSERT_TRUE(WaitUntilActive(frame)) << files[i];
        EXPECT_EQ(XWindowTitle(frame), kBlankTitle) << files[i];
    }
    EXPECT_EQ(CloseViewer(frame), 0);
}

// The seven built-in samples open from the Welcome dialog without a load warning. Before each, a file that
// names a face the system lacks is handed over and its warning pane shows (yellow in the status bar); the
// sample's open then draws the status bar without it.
TEST_F(ViewerDeskTest, TheSevenSamplesOpenWithoutALoadWarning) {
    std::string missing =
        Write("missing.qsmtxt",
              "!QuillStaveComposer(2.51)\n|Font|Style:pagetitletext|Typeface:Nowhere Sans|"
              "Size:24\n|SongInfo|Title:Missing\n|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n|Bar\n");
    SysInfo.WriteInt("Options", "OpenGrp", 2);
    unsigned long frame = StartViewer({missing});
    ASSERT_NE(frame, 0u);
    ASSERT_TRUE(WaitForTitle(frame, "missing"));
    DeskBox box = DeskWindowBox(frame);
    DeskBox bar{box.x, box.Bottom() - 26, box.w, 26};
    auto warns = [&] {
        for (uint32_t p : DeskPixels(bar))
            if (p == 0xFFFF00u) return true;
        return false;
    };
    ASSERT_TRUE(DeskWaitFor(frame, warns)) << "the missing face gave no warning";
    // Font Usage tells which face is missing, which stands in and which the program brought.
    ASSERT_TRUE(OpenMenu("t")) << "no Tools menu";
    PressKey("f", false);
    unsigned long usage = WaitForTitled("Font Usage");
    ASSERT_NE(usage, 0u);
    ASSERT_TRUE(WaitUntilActive(usage));
    EXPECT_TRUE(WaitDrawn(usage));
    SaveShot("viewer_font_usage");
    PressKey("Return", false);
    ASSERT_TRUE(WaitUntilActive(frame));
    for (int i = 0; i < 7; ++i) {
        if (i > 0) {
            EXPECT_EQ(ExitCode(Spawn({missing})), 1);
            ASSERT_TRUE(WaitForTitle(frame, "missing"));
            ASSERT_TRUE(DeskWaitFor(frame, warns));
        }
        PressKey("w", true);
        unsigned long welcome = WaitForTitled("Welcome");
        ASSERT_NE(welcome, 0u);
        ASSERT_TRUE(WaitUntilActive(welcome));
        if (i == 0 && WaitDrawn(welcome)) SaveShot("viewer_welcome_samples");
        // The dialog comes back on the sample opened last.
        if (i > 0) PressKey("Down", false);
        PressKey("Return", false);
        bool opened = WaitForXTitle(frame, [](const std::string& t) {
            return t != std::string("missing") + kProgramTitle && EndsWith(t, kProgramTitle);
        });
        ASSERT_TRUE(opened) << i;
        EXPECT_TRUE(DeskWaitFor(frame, [&] { return !warns(); }))
            << "sample " << i + 1 << ": " << XWindowTitle(frame);
        if (i == 0) SaveShot("viewer_sample_1");
    }
    EXPECT_EQ(CloseViewer(frame), 0);
}

}  // namespace
