// The installed kind of plug-in in a real browser engine: pages with embedded scores in the page viewer
// (QtWebKit) on the X display under a window manager, driven as a user drives them. Every wait is for an
// event: an answer of the page viewer (a page loaded, a paint of the page put on the screen), a change of
// the recording MIDI device's file, a window the window manager lists or activates.
#include <cairo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/mm/recording_env.h"
#include "plugin/tests/test_env.h"

extern char** environ;

// The shared desktop of the display tests.
int StartWindowManager();
void StopWindowManager(int pid);
void ClickAt(int x, int y);
// This suite's own X helpers (page_desktop.cc).
std::string PageXWindowName(unsigned long w);
int PageXWindowPid(unsigned long w);
unsigned long WaitForPageXWindow(const std::function<bool(const std::string&)>& test);
unsigned long WaitForActivePageXWindow(const std::function<bool(const std::string&)>& test);
void PageButtonAt(int x, int y, bool down);
void PageMovePointer(int fromX, int fromY, int x, int y);
void PageType(const std::string& text);

namespace {

namespace fs = std::filesystem;

// A safety net against a page viewer that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 90000;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Where the player's controls are in an embedded score's rectangle (the bar's buttons are 22 pixels
// apart, in the order zoom in, zoom out | open in the viewer, save a copy | play, pause, stop, volume |
// song information, about).
constexpr int kBarY = 14;
constexpr int kOpenX = 68, kSaveX = 90, kPlayX = 119, kStopX = 162;
constexpr int kSliderY = 45, kThumbX = 76;

// The page viewer with its command channel.
class PageViewer {
public:
    bool Start(const std::string& page, const std::string& dir, const char* size) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string v = *e;
            if (v.rfind("LD_PRELOAD=", 0) == 0 || v.rfind("ASAN_OPTIONS=", 0) == 0) continue;
            env.push_back(v);
        }
        env.push_back("HOME=" + dir);
        env.push_back("QTWEBKIT_PLUGIN_PATH=" + fs::path(QSM_PLUGIN_FILE).parent_path().string());
        env.push_back(std::string("QSM_MIDI_RECORDING=") + dir + "/recording.txt");
        // The engine loads the sanitized plug-in into an interpreter that is not: the run-time comes first.
        if (*QSM_PAGEVIEW_PRELOAD != '\0') {
            env.push_back(std::string("LD_PRELOAD=") + QSM_PAGEVIEW_PRELOAD);
            env.push_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0");
        }
        std::vector<char*> envp;
        for (auto& v : env)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string python = "/usr/bin/python3", script = QSM_PAGEVIEW, control = "--control",
                    sizeFlag = std::string("--size=") + size, pageArg = page;
        char* argv[] = {python.data(),   script.data(),  control.data(),
                        sizeFlag.data(), pageArg.data(), nullptr};
        const int r = posix_spawn(&Pid, python.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        In = in[1];
        Out = out[0];
        return r == 0;
    }
    // The next line it says; "" when it said nothing within the safety net or ended.
    std::string Line() {
        for (;;) {
            size_t nl = Buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = Buffer.substr(0, nl);
                Buffer.erase(0, nl + 1);
                return line;
            }
            pollfd p{Out, POLLIN, 0};
            if (poll(&p, 1, kGiveUpMs) <= 0) return "";
            char chunk[4096];
            ssize_t n = read(Out, chunk, sizeof chunk);
            if (n <= 0) return "";
            Buffer.append(chunk, static_cast<size_t>(n));
        }
    }
    std::string Ask(const std::string& command) {
        std::string line = command + "\n";
        if (write(In, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return "";
        return Line();
    }
    std::vector<Rect> Embeds() {
        std::istringstream words(Ask("embeds"));
        std::string word;
        words >> word;
        std::vector<Rect> rects;
        while (words >> word) {
            Rect r;
            if (std::sscanf(word.c_str(), "%d,%d,%d,%d", &r.x, &r.y, &r.w, &r.h) == 4) rects.push_back(r);
        }
        return rects;
    }
    // Ends it: true when it ended by itself with status 0 after "quit".
    bool Quit() {
        if (Pid <= 0) return false;
        // No answer comes: the viewer ends (a program it started may keep its output open).
        const std::string quit = "quit\n";
        if (write(In, quit.data(), quit.size()) != static_cast<ssize_t>(quit.size())) return false;
        close(In);
        int status = 0;
        waitpid(Pid, &status, 0);
        Pid = -1;
        close(Out);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~PageViewer() {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }

private:
    pid_t Pid = -1;
    int In = -1, Out = -1;
    std::string Buffer;
};

// The pixels of a screenshot of the view.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    int paints = 0;
    uint32_t At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height ? px[static_cast<size_t>(y) * width + x] : 0;
    }
};

bool LoadShot(const std::string& path, Shot* shot) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return false;
    }
    shot->width = cairo_image_surface_get_width(s);
    shot->height = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    shot->px.resize(static_cast<size_t>(shot->width) * shot->height);
    for (int y = 0; y < shot->height; ++y)
        for (int x = 0; x < shot->width; ++x)
            shot->px[static_cast<size_t>(y) * shot->width + x] =
                reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride)[x] & 0xFFFFFF;
    cairo_surface_destroy(s);
    return true;
}

int R(uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}
int G(uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
int B(uint32_t p) {
    return static_cast<int>(p & 0xFF);
}
bool Dark(uint32_t p) {
    return R(p) < 96 && G(p) < 96 && B(p) < 96;
}
bool Face(uint32_t p) {
    return R(p) == G(p) && G(p) == B(p) && R(p) >= 176 && R(p) <= 224;
}

int Count(const Shot& s, int x0, int y0, int x1, int y1, bool (*test)(uint32_t)) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (test(s.At(x, y))) ++n;
    return n;
}

// What the screen shows in an embed's rectangle.
struct Player {
    bool bar = false;  // the player bar's face across the top
    int scoreInk = 0;  // dark pixels below the title lines
    int titleInk = 0;  // dark pixels of the title line
    int timeInk = 0;   // dark pixels of the time text beside the slider
};

Player Look(const Shot& s, const Rect& r) {
    Player p;
    const int band = Count(s, r.x + 2, r.y + 3, r.x + r.w - 2, r.y + 25, Face);
    p.bar = band * 2 > (r.w - 4) * 22;
    p.timeInk = Count(s, r.x + 2, r.y + 38, r.x + kThumbX - 8, r.y + 60, Dark);
    p.titleInk = Count(s, r.x + 2, r.y + 62, r.x + r.w - 2, r.y + 94, Dark);
    p.scoreInk = Count(s, r.x + 2, r.y + 112, r.x + r.w - 2, r.y + r.h - 40, Dark);
    return p;
}

// Where the slider's thumb is across an embed's rectangle (-1: nowhere): the middle of the widest run of
// columns with button face across the slider's black track line (every other pixel while it is dragged);
// the track's own end is a single such column.
int ThumbX(const Shot& s, const Rect& r) {
    int best = 0, bestEnd = 0, run = 0;
    for (int x = r.x + kThumbX - 4; x < r.x + r.w - 4; ++x) {
        run = Count(s, x, r.y + kSliderY - 6, x + 1, r.y + kSliderY + 6, Face) >= 5 ? run + 1 : 0;
        if (run > best) best = run, bestEnd = x;
    }
    return best >= 3 ? bestEnd - (best - 1) / 2 - r.x : -1;
}

// The notes started and stopped in a recording: each note-on answered by a note-off (or an end of all
// notes on its channel) before the recording ends.
struct Notes {
    int started = 0;
    int sounding = 0;
};

Notes NotesIn(const std::vector<qsm::mm::RecordedMessage>& log, size_t first, size_t last) {
    Notes n;
    std::set<std::pair<int, int>> on;
    for (size_t i = first; i < last && i < log.size(); ++i) {
        const DWORD m = log[i].msg;
        const int status = static_cast<int>(m & 0xF0), channel = static_cast<int>(m & 0x0F);
        const int key = static_cast<int>((m >> 8) & 0x7F), value = static_cast<int>((m >> 16) & 0x7F);
        if (status == 0x90 && value != 0) {
            ++n.started;
            on.insert({channel, key});
        } else if (status == 0x80 || status == 0x90) {
            on.erase({channel, key});
        } else if (status == 0xB0 && (key == 120 || key == 123)) {
            for (auto it = on.begin(); it != on.end();)
                it = it->first == channel ? on.erase(it) : std::next(it);
        }
    }
    n.sounding = static_cast<int>(on.size());
    return n;
}

class PageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/qsm-pageview-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        Dir = folder;
        setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (Dir + "/system.reg").c_str(), 1);
        setenv("QSM_WM_IPC_DIR", Dir.c_str(), 1);
        setenv("QSM_FONTS_DIR", QSM_FONTS, 1);
        // The plug-in plays on the recording device, which comes last in its list as in this process.
        qsm::plugin_test::PlayOnRecorder();
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
        Wm = StartWindowManager();
        if (Wm < 0) GTEST_SKIP() << "no window manager (openbox) on this display";
        Inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        inotify_add_watch(Inotify, Dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    void TearDown() override {
        Viewer.reset();
        if (Wm > 0) StopWindowManager(Wm);
        if (Inotify >= 0) close(Inotify);
        qsm::mm::EnableTestRecorder(false);
        // QSM_KEEP_FAILED keeps the pages, shots and recording of a failed case for a look.
        if (HasFailure() && getenv("QSM_KEEP_FAILED") != nullptr) return;
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }

    std::string Copy(const std::string& from, const std::string& name) {
        std::error_code ec;
        fs::copy_file(from, Dir + "/" + name, fs::copy_options::overwrite_existing, ec);
        return name;
    }
    std::string Page(const std::string& name, const std::vector<std::pair<std::string, std::string>>& embeds,
                     int w, int h) {
        std::ofstream html(Dir + "/" + name);
        // A drag that begins in a windowless plug-in also selects in the page, whatever the plug-in answers;
        // this page is not selectable, so that the selection's tint does not cover the players.
        html << "<html><body style=\"margin:4px; -webkit-user-select:none\">\n";
        for (const auto& [src, type] : embeds)
            html << "<embed type=\"" << type << "\" src=\"" << src << "\" width=\"" << w << "\" height=\""
                 << h << "\">\n";
        html << "</body></html>\n";
        return Dir + "/" + name;
    }
    // Opens the page; false unless it loaded.
    bool Open(const std::string& page, const char* size = "1000x720") {
        Viewer = std::make_unique<PageViewer>();
        if (!Viewer->Start(page, Dir, size)) return false;
        return Viewer->Line() == "loaded 1";
    }
    // A screenshot of the view as it is on the screen now.
    bool TakeShot(Shot* shot) {
        const std::string path = Dir + "/shot.png";
        std::string answer = Viewer->Ask("shot " + path);
        if (answer.rfind("shot ", 0) != 0) return false;
        shot->paints = std::stoi(answer.substr(5));
        if (getenv("QSM_KEEP_FAILED") != nullptr) {
            std::error_code ec;
            fs::copy_file(path, Dir + "/shot-" + std::to_string(++Shots) + ".png", ec);
        }
        return LoadShot(path, shot);
    }
    // Waits, paint by paint of the view, until what it shows passes the test; the last shot in *shot.
    bool WaitForShot(const std::function<bool(const Shot&)>& test, Shot* shot) {
        for (;;) {
            if (!TakeShot(shot)) return false;
            if (test(*shot)) return true;
            if (Viewer->Ask("wait-paint " + std::to_string(shot->paints)).rfind("painted", 0) != 0)
                return false;
        }
    }
    // Waits, change by change of its file, until the recording passes the test.
    bool WaitForRecording(const std::function<bool(const std::vector<qsm::mm::RecordedMessage>&)>& test) {
        for (;;) {
            auto log = qsm::mm::ReadRecordingFile(Dir + "/recording.txt");
            if (test(log)) return true;
            pollfd p{Inotify, POLLIN, 0};
            if (poll(&p, 1, kGiveUpMs) <= 0) return false;
            char events[4096];
            while (read(Inotify, events, sizeof events) > 0) {
            }
        }
    }
    size_t Recorded() { return qsm::mm::ReadRecordingFile(Dir + "/recording.txt").size(); }

    std::string Dir;
    int Wm = -1;
    int Inotify = -1;
    int Shots = 0;
    std::unique_ptr<PageViewer> Viewer;
};

bool ShowsPlayers(const Shot& s, const std::vector<Rect>& rects, size_t count) {
    if (rects.size() < count) return false;
    for (size_t i = 0; i < count; ++i) {
        const Player p = Look(s, rects[i]);
        if (!p.bar || p.titleInk < 40 || p.scoreInk < 150) return false;
    }
    return true;
}

TEST_F(PageViewTest, TwoScoresShowAndPlayOneAtATime) {
    const std::string page = Page("two.html",
                                  {{Copy(QSM_SAMPLE_SONG, "song.qsm"), "application/x-qsm"},
                                   {Copy(QSM_TEXT_SCORE, "text.qsmtxt"), "application/x-qsmtxt"}},
                                  480, 300);
    ASSERT_TRUE(Open(page));
    const std::vector<Rect> embeds = Viewer->Embeds();
    ASSERT_EQ(embeds.size(), 2u);
    // Both rectangles show a player bar, a title and a score, and no banner.
    Shot shot;
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return ShowsPlayers(s, embeds, 2); }, &shot));
    const Rect a = embeds[0], b = embeds[1];

    // Play in the first: its time text appears while it plays.
    ClickAt(a.x + kPlayX, a.y + kBarY);
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return Look(s, a).timeInk > 20; }, &shot));
    // Stopped (the thumb back at the start, where it stays), the slider dragged to the middle, played again:
    // the play starts from there.
    const int track = a.w - 11 - kThumbX;
    // Each step of the hand waits until the page viewer has handled the one before.
    ClickAt(a.x + kStopX, a.y + kBarY);
    ASSERT_TRUE(WaitForShot(
        [&](const Shot& s) {
            return Look(s, a).timeInk == 0 && ThumbX(s, a) > 0 && ThumbX(s, a) < kThumbX + 20;
        },
        &shot));
    const int from = a.x + ThumbX(shot, a);
    const int to = a.x + kThumbX + track / 2;
    PageButtonAt(from, a.y + kSliderY, true);
    ASSERT_EQ(Viewer->Ask("sync"), "synced");
    for (int step = 1; step <= 4; ++step) {
        PageMovePointer(from, a.y + kSliderY, from + (to - from) * step / 4, a.y + kSliderY);
        ASSERT_EQ(Viewer->Ask("sync"), "synced");
    }
    // The thumb follows the hand before it lets go.
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return ThumbX(s, a) > kThumbX + track * 2 / 5; }, &shot));
    PageButtonAt(to, a.y + kSliderY, false);
    ASSERT_EQ(Viewer->Ask("sync"), "synced");
    ClickAt(a.x + kPlayX, a.y + kBarY);
    ASSERT_EQ(Viewer->Ask("sync"), "synced");
    // The thumb goes on from where it was let go, never back to the start: the play began there (and its
    // first notes sounded, after the delay before a play, once the thumb moved on).
    ASSERT_TRUE(TakeShot(&shot));
    const int letGo = ThumbX(shot, a);
    bool back = false;
    ASSERT_TRUE(WaitForShot(
        [&](const Shot& s) {
            const int x = ThumbX(s, a);
            back = back || x < kThumbX + track * 2 / 5;
            return x > letGo + 2;
        },
        &shot));
    EXPECT_FALSE(back);

    // Play in the second stops the first.
    const uint64_t takeOver = qsm::mm::NowMicros();
    ClickAt(b.x + kPlayX, b.y + kBarY);
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return Look(s, b).timeInk > 20 && Look(s, a).timeInk == 0; },
                            &shot));
    // Stop in the second, once its thumb is a quarter of the way on (its first notes sounded), closes the
    // device, which then has the whole performance: the first's notes all ended before the second's first
    // note, and the second's by its stop.
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return ThumbX(s, b) > kThumbX + track / 4; }, &shot));
    ClickAt(b.x + kStopX, b.y + kBarY);
    // The second's first note: the first after the first's end (its "all notes off") once Play was clicked.
    auto secondStart = [&](const std::vector<qsm::mm::RecordedMessage>& log) {
        size_t i = 0;
        while (i < log.size() && !(log[i].time_us > takeOver && (log[i].msg & 0xFFF0) == 0x7BB0))
            ++i;
        while (i < log.size() && !((log[i].msg & 0xF0) == 0x90 && ((log[i].msg >> 16) & 0x7F) != 0))
            ++i;
        return i;
    };
    ASSERT_TRUE(WaitForRecording([&](const auto& log) { return secondStart(log) < log.size(); }));
    const auto log = qsm::mm::ReadRecordingFile(Dir + "/recording.txt");
    const size_t split = secondStart(log);
    const Notes first = NotesIn(log, 0, split), second = NotesIn(log, split, log.size());
    EXPECT_GT(first.started, 0);
    EXPECT_EQ(first.sounding, 0);
    EXPECT_GT(second.started, 0);
    EXPECT_EQ(NotesIn(log, 0, log.size()).sounding, 0);
    EXPECT_TRUE(Viewer->Quit());
}

TEST_F(PageViewTest, SaveACopyAndOpenInTheViewer) {
    ASSERT_TRUE(qsm::plugin_test::RegisterViewerFolder(fs::path(QSM2VIEW_PATH).parent_path().string()));
    const std::string page =
        Page("save.html", {{Copy(QSM_TEXT_SCORE, "text.qsmtxt"), "application/x-qsmtxt"}}, 480, 300);
    ASSERT_TRUE(Open(page));
    const std::vector<Rect> embeds = Viewer->Embeds();
    ASSERT_EQ(embeds.size(), 1u);
    Shot shot;
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return ShowsPlayers(s, embeds, 1); }, &shot));
    const Rect a = embeds[0];

    // Save a copy: the save dialog comes up active; a full path typed there gets the cached file's bytes.
    ClickAt(a.x + kSaveX, a.y + kBarY);
    ASSERT_NE(WaitForActivePageXWindow([](const std::string& t) { return t == "Save As"; }), 0u);
    const std::string copy = Dir + "/saved/copy.qsmtxt";
    fs::create_directories(Dir + "/saved");
    PageType(copy + "\n");
    // The viewer answers again once the command is over.
    ASSERT_EQ(Viewer->Embeds().size(), 1u);
    std::ifstream original(QSM_TEXT_SCORE, std::ios::binary), saved(copy, std::ios::binary);
    ASSERT_TRUE(saved.good());
    std::string want((std::istreambuf_iterator<char>(original)), {});
    std::string got((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_EQ(got, want);

    // Open in the viewer: QSM2View comes up with the cached file.
    ClickAt(a.x + kOpenX, a.y + kBarY);
    // Its caption names the file: the copy the plug-in keeps under the name of the page's file.
    const unsigned long viewer =
        WaitForPageXWindow([](const std::string& t) { return t == "text - QuillStave Composer Viewer"; });
    ASSERT_NE(viewer, 0u);
    const int pid = PageXWindowPid(viewer);
    if (pid > 0) kill(pid, SIGKILL);
    EXPECT_TRUE(Viewer->Quit());
}

TEST_F(PageViewTest, DamagedFileShowsThePlaceholderAndReloadEndsEveryNote) {
    const std::string page = Page("damaged.html",
                                  {{Copy(QSM_DAMAGED, "damaged.qsm"), "application/x-qsm"},
                                   {Copy(QSM_SAMPLE_SONG, "song.qsm"), "application/x-qsm"}},
                                  480, 300);
    ASSERT_TRUE(Open(page));
    const std::vector<Rect> embeds = Viewer->Embeds();
    ASSERT_EQ(embeds.size(), 2u);
    Shot shot;
    // The damaged file: the player with the placeholder's title over an empty staff.
    ASSERT_TRUE(WaitForShot(
        [&](const Shot& s) {
            const Player bad = Look(s, embeds[0]), good = Look(s, embeds[1]);
            return bad.bar && bad.titleInk > 40 && good.bar && good.scoreInk > 150;
        },
        &shot));
    EXPECT_LT(Look(shot, embeds[0]).scoreInk * 3, Look(shot, embeds[1]).scoreInk);

    // Reloading while the good one plays: the instances go, and every note started has ended.
    const Rect b = embeds[1];
    ClickAt(b.x + kPlayX, b.y + kBarY);
    // The time shows at once; the notes begin after the delay before a play, when the thumb moves on.
    ASSERT_TRUE(WaitForShot(
        [&](const Shot& s) { return Look(s, b).timeInk > 20 && ThumbX(s, b) > kThumbX + 2; }, &shot));
    ASSERT_EQ(Viewer->Ask("reload"), "loaded 1");
    ASSERT_TRUE(WaitForRecording([](const auto& log) { return NotesIn(log, 0, log.size()).started > 0; }));
    const auto log = qsm::mm::ReadRecordingFile(Dir + "/recording.txt");
    EXPECT_EQ(NotesIn(log, 0, log.size()).sounding, 0);
    ASSERT_TRUE(WaitForShot([&](const Shot& s) { return Look(s, embeds[1]).bar; }, &shot));
    EXPECT_TRUE(Viewer->Quit());
}

TEST_F(PageViewTest, TwentyScoresOpenAndClose) {
    std::vector<std::pair<std::string, std::string>> embeds;
    const std::string song = Copy(QSM_SAMPLE_SONG, "song.qsm"), text = Copy(QSM_TEXT_SCORE, "text.qsmtxt");
    for (int i = 0; i < 20; ++i)
        embeds.push_back(i % 2 == 0 ? std::pair{song, std::string("application/x-qsm")}
                                    : std::pair{text, std::string("application/x-qsmtxt")});
    ASSERT_TRUE(Open(Page("twenty.html", embeds, 190, 160)));
    const std::vector<Rect> rects = Viewer->Embeds();
    ASSERT_EQ(rects.size(), 20u);
    // Every one on the screen shows its bar.
    Shot shot;
    ASSERT_TRUE(WaitForShot(
        [&](const Shot& s) {
            for (const Rect& r : rects)
                if (r.y + r.h <= s.height && !Look(s, r).bar) return false;
            return true;
        },
        &shot));
    // Another page: all twenty instances go; the viewer then ends cleanly.
    ASSERT_EQ(Viewer->Ask("load about:blank"), "loaded 1");
    EXPECT_TRUE(Viewer->Quit());
}

}  // namespace
