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

#include <algorithm>
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
#include "viewer/tests/display_fixture.h"
#include "viewer/tests/print_test_util.h"

namespace {

using qsm::viewer_test::EndsWith;
using qsm::viewer_test::kProgramTitle;

// Where the play slider's thumb stands while the position is at the start: at the left end of the player
// bar, which lies on the status bar at the bottom of the main window (from the window's left and bottom).
constexpr int kThumbFromLeft = 10;
constexpr int kSliderFromBottom = 42;
const char* const kBlankTitle = "QuillStave Composer 2 Viewer - QuillStave Composer Viewer";

class ViewerDeskTest : public qsm::viewer_test::DisplayProcessTest {
protected:
    void TearDown() override {
        if (!home_.empty()) {
            EXPECT_EQ(chdir(home_.c_str()), 0);
        }
        if (watch_ >= 0) close(watch_);
        DisplayProcessTest::TearDown();
    }
    static unsigned long MainWindow() {
        return WaitForXWindow([](const std::string& t) { return EndsWith(t, kProgramTitle); });
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
        return WaitForOpenedAndDrawn([&] {
                   HoldKey("Alt_L", true);
                   HoldKey(letter, true);
                   HoldKey(letter, false);
                   HoldKey("Alt_L", false);
               }) != 0;
    }
    // Waits until the dialog's list, which begins `left` percent of the dialog's width from its left edge,
    // shows `rows` rows, one of them selected when asked: lines of the list's white face with dark text on
    // them, and lines of the selection's colour with text on them (text is smoothed: any other colour). A
    // row of text takes at least 6 lines; the selection bar (a third of the line or more) at least 8. With a
    // name, the screen as it was then is that shot (the program may be drawing the dialog again a moment
    // later).
    static bool WaitForRows(unsigned long w, int left, int rows, bool selected,
                            const std::string& shot = "") {
        constexpr uint32_t kFace = 0xFFFFFFu, kSelection = 0x000080u;
        auto dark = [](uint32_t p) {
            return (p >> 16 & 0xFF) < 0x80 && (p >> 8 & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
        };
        return WaitForX(w, [&] {
            XBox screen = XScreenBox(), b = XWindowBox(w);
            std::vector<uint32_t> pixels = XPixels(screen);
            int text_lines = 0, selection_lines = 0;
            const int x0 = std::max(0, b.x + b.w * left / 100 + 10), x1 = std::min(screen.w, b.Right() - 20);
            for (int y = std::max(0, b.y + 20); y < std::min(screen.h, b.Bottom() - 20); ++y) {
                int face = 0, ink = 0, bar = 0, on_bar = 0;
                for (int x = x0; x < x1; ++x) {
                    uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(screen.w) +
                                        static_cast<size_t>(x)];
                    face += p == kFace ? 1 : 0;
                    ink += dark(p) ? 1 : 0;
                    bar += p == kSelection ? 1 : 0;
                    on_bar += p != kSelection ? 1 : 0;
                }
                if (2 * face > x1 - x0 && ink >= 3) ++text_lines;
                if (3 * bar > x1 - x0) {
                    ++selection_lines;
                    if (on_bar >= 3) ++text_lines;
                }
            }
            if (text_lines < 6 * rows || (selected && selection_lines < 8)) return false;
            const char* dir = std::getenv("QSM_DESKTOP_SHOT_DIR");
            if (!shot.empty() && dir != nullptr && *dir != '\0') {
                EXPECT_TRUE(SaveXPicture(pixels, screen, std::string(dir) + "/" + shot + ".png"));
            }
            return true;
        });
    }
    // Waits until no window has that title.
    static bool WaitUntilGone(unsigned long w, const char* title) {
        return WaitForX(w, [&] { return XWindowNamed(title) == 0; });
    }

    // Makes the recording MIDI device the program's play device, with no countdown, and watches for its
    // file; the file's path.
    std::string UseRecorder() {
        std::string recording = dir_ + "/recording";
        setenv("QSM_MIDI_RECORDING", recording.c_str(), 1);
        qsm::mm::EnableTestRecorder(true);
        UINT recorder = midiOutGetNumDevs() - 1;
        qsm::mm::EnableTestRecorder(false);
        SysInfo.WriteInt("Options", "PlayDevice", static_cast<int>(recorder) + 1);
        SysInfo.WriteInt("Options", "PlayDelay", 0);
        watch_ = inotify_init1(IN_CLOEXEC);
        EXPECT_GE(watch_, 0);
        EXPECT_GE(inotify_add_watch(watch_, dir_.c_str(), IN_MOVED_TO), 0);
        return recording;
    }
    // Waits until the program writes the recording file, as it does each time a play opens or closes the
    // recorder.
    bool RecordingWritten() {
        for (;;) {
            alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
            ssize_t n = read(watch_, events, sizeof events);
            if (n <= 0) return false;
            for (char* p = events; p < events + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                if (e->len > 0 && std::string(e->name) == "recording") return true;
                p += sizeof(inotify_event) + e->len;
            }
        }
    }
    // A text score of quarter notes: `low` bars of middle C, then `high` bars of the C above, at `tempo`
    // quarters a minute.
    static std::string Tune(int low, int high, int tempo) {
        std::string text =
            "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n|Tempo|Tempo:" +
            std::to_string(tempo) + "|Base:Quarter\n";
        for (int bar = 0; bar < low + high; ++bar)
            for (int n = 0; n < 4; ++n)
                text += std::string("|Note|Dur:4th|Pos:") + (bar < low ? "-6" : "1") +
                        (n == 3 ? "\n|Bar\n" : "\n");
        return text;
    }
    static int NotesStruck(const std::vector<qsm::mm::RecordedMessage>& messages) {
        int struck = 0;
        for (const auto& m : messages)
            struck += (m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0 ? 1 : 0;
        return struck;
    }

    std::string home_;
    int watch_ = -1;
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
    XBox box = XWindowBox(preview), screen = XScreenBox();
    EXPECT_GE(box.w, screen.w / 2);
    EXPECT_GE(box.h, screen.h / 2);
    // The first page is drawn: a row through the window's middle is a third white paper (a page still being
    // laid out is grey).
    XBox row{box.x, box.y + box.h / 2, box.w, 1};
    auto paper = [&] {
        int white = 0;
        for (uint32_t p : XPixels(row))
            white += p == 0xFFFFFFu ? 1 : 0;
        return white * 3 > box.w;
    };
    ASSERT_TRUE(WaitForX(preview, paper));
    SaveShot("viewer_preview_page1");
    std::vector<uint32_t> first = XPixels(box);
    PressKey("Next", false);
    EXPECT_TRUE(WaitForX(preview, [&] { return XPixels(box) != first; })) << "the page did not turn";
    SaveShot("viewer_preview_page2");
    PressKey("Escape", false);
    EXPECT_TRUE(WaitUntilActive(frame));
    EXPECT_TRUE(WaitUntilGone(frame, "Print Preview"));
    EXPECT_EQ(CloseViewer(frame), 0);
}

// After the position slider is dragged the score takes the keys again: F5 plays from where the thumb was
// left (on the recording MIDI device: the first key struck is one of the song's second half).
TEST_F(ViewerDeskTest, AfterTheSliderIsDraggedF5PlaysFromThere) {
    std::string recording = UseRecorder();
    std::string score = Write("halves.qsmtxt", Tune(8, 8, 480));
    unsigned long frame = StartViewer({score});
    ASSERT_NE(frame, 0u);
    ASSERT_TRUE(WaitForTitle(frame, "halves"));
    // The thumb sits at the left end of the slider, at the left of the player bar above the status bar.
    XBox box = XWindowBox(frame);
    int y = box.Bottom() - kSliderFromBottom;
    int x = box.x + kThumbFromLeft;
    PressAt(x, y);
    MoveAndRelease(x + 150, y);
    PressKey("F5", false);
    // The play opens the recorder, and closes it at the song's end.
    ASSERT_TRUE(RecordingWritten()) << "no play";
    ASSERT_TRUE(RecordingWritten()) << "the play did not end";
    EXPECT_EQ(CloseViewer(frame), 0);
    std::vector<qsm::mm::RecordedMessage> messages = qsm::mm::ReadRecordingFile(recording);
    int first = -1;
    for (const auto& m : messages)
        if (first < 0 && (m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0) first = (m.msg >> 8) & 0x7F;
    EXPECT_EQ(first, 72) << "the play did not start in the second half";
}

// The keyboard's media keys play and stop: XF86AudioPlay starts the song on the recording device, and once
// the slider has moved (notes went out), XF86AudioStop ends the play long before the song's end.
TEST_F(ViewerDeskTest, TheMediaKeysPlayAndStop) {
    std::string recording = UseRecorder();
    std::string score = Write("long.qsmtxt", Tune(30, 30, 120));  // two minutes
    unsigned long frame = StartViewer({score});
    ASSERT_NE(frame, 0u);
    ASSERT_TRUE(WaitForTitle(frame, "long"));
    XBox box = XWindowBox(frame);
    XBox slider{box.x, box.Bottom() - kSliderFromBottom - 6, 180, 12};
    std::vector<uint32_t> still = XPixels(slider);
    PressKey("XF86AudioPlay", false);
    ASSERT_TRUE(RecordingWritten()) << "no play";
    ASSERT_TRUE(WaitForX(frame, [&] { return XPixels(slider) != still; })) << "the slider never moved";
    PressKey("XF86AudioStop", false);
    ASSERT_TRUE(RecordingWritten()) << "the play did not stop";
    std::vector<qsm::mm::RecordedMessage> messages = qsm::mm::ReadRecordingFile(recording);
    EXPECT_GT(NotesStruck(messages), 0);
    EXPECT_LT(NotesStruck(messages), 60 * 4);
    EXPECT_EQ(CloseViewer(frame), 0);
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
    EXPECT_EQ(RunSecondInstance({"song.qsmtxt"}), 1);
    EXPECT_TRUE(WaitForTitle(frame, "song")) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
    EXPECT_EQ(RecentViews(), (std::vector<std::string>{dir_ + "/other/song.qsmtxt", piano}));

    // A new start lists them in the Welcome dialog's Recent Views; Open takes the first.
    SysInfo.WriteInt("Options", "AutoWelcome", 1);
    SysInfo.WriteInt("Options", "OpenGrp", 1);
    viewer_ = Spawn({}, dir_ + "/viewer-stderr.txt");
    frame = MainWindow();
    ASSERT_NE(frame, 0u);
    unsigned long welcome = WaitForTitled("Welcome");
    ASSERT_NE(welcome, 0u);
    ASSERT_TRUE(WaitUntilActive(welcome));
    // Its rows and the selection show with no further input.
    EXPECT_TRUE(WaitForRows(welcome, 30, 2, true, "viewer_welcome_recent_views"));
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
    EXPECT_EQ(EndOfViewer(), 128 + SIGTERM);
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
    viewer_ = Spawn({files[0]}, dir_ + "/viewer-stderr.txt");
    unsigned long frame = MainWindow();
    ASSERT_NE(frame, 0u);
    for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(RunSecondInstance({files[i]}, dir_ + "/second-" + std::to_string(i) + ".txt"), 1);
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
    XBox box = XWindowBox(frame);
    XBox bar{box.x, box.Bottom() - 26, box.w, 26};
    auto warns = [&] {
        for (uint32_t p : XPixels(bar))
            if (p == 0xFFFF00u) return true;
        return false;
    };
    ASSERT_TRUE(WaitForX(frame, warns)) << "the missing face gave no warning";
    // Font Usage tells which face is missing, which stands in and which the program brought.
    ASSERT_TRUE(OpenMenu("t")) << "no Tools menu";
    PressKey("f", false);
    unsigned long usage = WaitForTitled("Font Usage");
    ASSERT_NE(usage, 0u);
    ASSERT_TRUE(WaitUntilActive(usage));
    EXPECT_TRUE(WaitForRows(usage, 1, 3, false, "viewer_font_usage"));
    PressKey("Return", false);
    ASSERT_TRUE(WaitUntilActive(frame));
    for (int i = 0; i < 7; ++i) {
        if (i > 0) {
            EXPECT_EQ(RunSecondInstance({missing}), 1);
            ASSERT_TRUE(WaitForTitle(frame, "missing"));
            ASSERT_TRUE(WaitForX(frame, warns));
        }
        PressKey("w", true);
        unsigned long welcome = WaitForTitled("Welcome");
        ASSERT_NE(welcome, 0u);
        ASSERT_TRUE(WaitUntilActive(welcome));
        if (i == 0) {
            EXPECT_TRUE(WaitForRows(welcome, 30, 7, true, "viewer_welcome_samples"));
        }
        // The dialog comes back on the sample opened last.
        if (i > 0) PressKey("Down", false);
        PressKey("Return", false);
        bool opened = WaitForXTitle(frame, [](const std::string& t) {
            return t != std::string("missing") + kProgramTitle && EndsWith(t, kProgramTitle);
        });
        ASSERT_TRUE(opened) << i;
        EXPECT_TRUE(WaitForX(frame, [&] { return !warns(); }))
            << "sample " << i + 1 << ": " << XWindowTitle(frame);
        if (i == 0) SaveShot("viewer_sample_1");
    }
    EXPECT_EQ(CloseViewer(frame), 0);
}

}  // namespace
