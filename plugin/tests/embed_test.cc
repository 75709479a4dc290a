// The plug-in loaded by the test host as a browser loads it, on pages of the host: the banner before a file
// arrives, a score shown with its title lines and player bar, the placeholder of a damaged file, and the
// real viewer program started headless with the command the player gives for "open in the viewer".
#include <cairo.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/framework/gadgets.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/shell.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/winuser.h"
#include "plugin/host/np_host.h"
#include "plugin/tests/test_env.h"
#include "viewer/app.h"

extern char** environ;

namespace {

using qsm::plugin_test::RegisterViewerFolder;

struct RecordingLauncher : qsm::Launcher {
    bool Open(const std::string&) override { return false; }
    bool Run(const std::vector<std::string>& argv, const std::string&) override {
        runs.push_back(argv);
        return true;
    }
    std::vector<std::vector<std::string>> runs;
};

class EmbedTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/qsm-np-embed-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (dir_ + "/system.reg").c_str(), 1);
        setenv("QSM_WM_IPC_DIR", dir_.c_str(), 1);
        setenv("QSM_FONTS_DIR", QSM_FONTS, 1);
        qsm::wm::ResetForTests();
        ASSERT_TRUE(host_.Load(QSM_PLUGIN_FILE)) << host_.Error();
        ASSERT_EQ(host_.GetEntryPoints(), NPERR_NO_ERROR);
        ASSERT_EQ(host_.Initialize(), NPERR_NO_ERROR);
    }
    void TearDown() override {
        for (auto* inst : instances_)
            host_.Destroy(*inst);
        for (HWND page : pages_)
            if (IsWindow(page)) DestroyWindow(page);
        host_.Shutdown();
        host_.Unload();
        qsm::wm::ResetForTests();
        unsetenv("QSM_WM_IPC_DIR");
        std::filesystem::remove_all(dir_);
    }
    HWND Page() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QSMEmbedPage";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassA(&wc);
        HWND page = CreateWindowExA(0, wc.lpszClassName, "Page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 560,
                                    400, nullptr, nullptr, nullptr, nullptr);
        pages_.push_back(page);
        return page;
    }
    qsm::TPluginHost::Instance& Embed(HWND page) {
        auto* inst = new qsm::TPluginHost::Instance;
        owned_.emplace_back(inst);
        instances_.push_back(inst);
        EXPECT_EQ(host_.New(*inst, "application/x-qsm", NP_EMBED, {}), NPERR_NO_ERROR);
        EXPECT_EQ(host_.SetWindow(*inst, page), NPERR_NO_ERROR);
        return *inst;
    }
    static std::string Text(HWND hwnd) {
        char buf[128] = {};
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }
    // The pixel the window shows at a point of its client area, as 0xRRGGBB.
    static uint32_t Pixel(HWND hwnd, int x, int y) {
        HWND top = GetAncestor(hwnd, GA_ROOT);
        cairo_surface_t* surface = qsm::wm::TopLevelSurface(top);
        if (surface == nullptr) return 0xFFFFFFFF;
        cairo_surface_flush(surface);
        POINT p{x, y};
        ClientToScreen(hwnd, &p);
        RECT w{};
        GetWindowRect(top, &w);
        const int px = p.x - w.left, py = p.y - w.top;
        if (px < 0 || py < 0 || px >= cairo_image_surface_get_width(surface) ||
            py >= cairo_image_surface_get_height(surface))
            return 0xFFFFFFFF;
        const unsigned char* row =
            cairo_image_surface_get_data(surface) + py * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[px] & 0xFFFFFF;
    }
    // The pixels of a child's client area darker than mid grey.
    static int DarkPixels(HWND hwnd) {
        RECT r{};
        GetClientRect(hwnd, &r);
        int n = 0;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) {
                const uint32_t c = Pixel(hwnd, x, y);
                if (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 3 * 128) ++n;
            }
        return n;
    }

    qsm::TPluginHost host_;
    std::string dir_;
    std::vector<HWND> pages_;
    std::vector<qsm::TPluginHost::Instance*> instances_;
    std::vector<std::unique_ptr<qsm::TPluginHost::Instance>> owned_;
};

TEST_F(EmbedTest, TheBannerGivesWayToTheScoreOrToThePlaceholderOfADamagedFile) {
    HWND page = Page();
    qsm::TPluginHost::Instance& inst = Embed(page);
    qsm::wm::PumpMessages();
    UpdateWindow(page);
    RECT r{};
    GetClientRect(page, &r);
    // Band k of 64 is blue 255 - 4k; the left edge holds no text.
    for (int k : {0, 10, 40, 63}) {
        const int y = (4 * k * r.bottom / 256 + 4 * (k + 1) * r.bottom / 256) / 2;
        EXPECT_EQ(Pixel(page, 2, y), static_cast<uint32_t>(255 - 4 * k)) << "band " << k;
    }
    EXPECT_GT(DarkPixels(page), 0);

    // A damaged file: the player shows the placeholder score with its title drawn.
    ASSERT_EQ(host_.Deliver(inst, QSM_PLUGIN_TESTS "/damaged.qsm"), NPERR_NO_ERROR);
    qsm::wm::PumpMessages();
    HWND player = GetWindow(page, GW_CHILD);
    ASSERT_NE(player, nullptr);
    UpdateWindow(page);
    qsm::wm::PumpMessages();
    HWND title = GetDlgItem(player, 101);
    EXPECT_EQ(Text(title), "Error - File failed to load");
    EXPECT_EQ(Text(GetDlgItem(player, 102)), "QuillStave Software, Inc.");
    EXPECT_GT(DarkPixels(title), 50);
    EXPECT_NE(Pixel(page, 2, r.bottom / 2), static_cast<uint32_t>(255 - 4 * 31));

    // A score on a second page: its title lines and the player bar with its thirteen gadgets.
    HWND second = Page();
    qsm::TPluginHost::Instance& other = Embed(second);
    ASSERT_EQ(host_.Deliver(other, QSM_TESTDATA_DIR "/layout/piano.qsmtxt"), NPERR_NO_ERROR);
    qsm::wm::PumpMessages();
    player = GetWindow(second, GW_CHILD);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(Text(GetDlgItem(player, 101)), "Layout study");
    UpdateWindow(second);
    qsm::wm::PumpMessages();
    EXPECT_GT(DarkPixels(GetDlgItem(player, 101)), 50);
    // The slider takes the player's white for what lies around its channel.
    HWND slider = GetDlgItem(player, 130);
    RECT s{};
    GetClientRect(slider, &s);
    EXPECT_EQ(Pixel(slider, s.right - 2, 1), 0xFFFFFFu);
    TGadgetWindow* bar = nullptr;
    for (HWND child = GetWindow(player, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (auto* g = dynamic_cast<TGadgetWindow*>(TWindow::FromHandle(child))) bar = g;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->NumGadgets(), 13);
    RECT b{};
    GetWindowRect(bar->GetHandle(), &b);
    EXPECT_EQ(b.bottom - b.top, 27);
}

TEST_F(EmbedTest, TheViewerOpensTheCachedFileWithoutAddingItToItsRecentViews) {
    const std::string install = dir_ + "/viewer";
    std::filesystem::create_directories(install);
    std::filesystem::create_symlink(QSM2VIEW_PATH, install + "/QSM2View");
    ASSERT_TRUE(RegisterViewerFolder(install));
    // A short song, so that the viewer plays it and closes.
    const std::string song = dir_ + "/short song.qsmtxt";
    std::ofstream(song) << "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n"
                           "|Note|Dur:8th|Pos:0\n|Note|Dur:8th|Pos:1\n|Bar\n";
    HWND page = Page();
    qsm::TPluginHost::Instance& inst = Embed(page);
    ASSERT_EQ(host_.Deliver(inst, song.c_str()), NPERR_NO_ERROR);
    qsm::wm::PumpMessages();
    HWND player = GetWindow(page, GW_CHILD);
    ASSERT_NE(player, nullptr);

    RecordingLauncher launcher;
    qsm::Launcher* old = qsm::SetLauncher(&launcher);
    SendMessageA(player, WM_COMMAND, 107, 0);
    qsm::SetLauncher(old);
    ASSERT_EQ(launcher.runs.size(), 1u);
    std::vector<std::string> args = launcher.runs[0];
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[0], install + "/QSM2View");
    EXPECT_EQ(args[1], "/cached");
    const std::string cached = args[2];
    EXPECT_EQ(cached.rfind(host_.CacheFolder(), 0), 0u);
    EXPECT_EQ(std::filesystem::path(cached).filename(), "short song.qsmtxt");

    // The real program with that command, headless; it plays the song and closes.
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SysInfo.WriteInt("Options", "AutoWelcome", 0);
    SysInfo.WriteInt("Options", "ReuseInst", 0);
    setenv("QSM_BACKEND", "headless", 1);
    args.push_back("/play");
    args.push_back("/close");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    unsetenv("QSM_BACKEND");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    BYTE data[4096];
    DWORD size = SysInfo.ReadBlob("Options", "z-mru", nullptr, data, sizeof data);
    TQSStringQueue list(16, true, 260);
    qsm::ReadRecentViewsBlob(data, size, list);
    for (int32_t i = 0; i < list.GetCount(); ++i)
        EXPECT_NE(std::string(list.GetEntry(i)), cached);
}

TEST_F(EmbedTest, WithoutTheMusicFontAnInstanceIsRefusedWithABox) {
    std::vector<std::string> boxes;
    qsm::wm::SetModalHook([&boxes](HWND box) {
        char caption[64] = {}, text[256] = {};
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        boxes.push_back(std::string(caption) + "|" + text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    HWND page = Page();
    Embed(page);  // the plug-in has added the bundled music fonts
    EXPECT_TRUE(boxes.empty());
    // Take the fonts away as often as they were added, then give them back as often.
    std::vector<std::string> removed;
    for (const char* file : {"/qsm2stda.ttf", "/qsm2std.ttf"}) {
        const std::string path = std::string(QSM_FONTS) + file;
        while (RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr))
            removed.push_back(path);
    }
    ASSERT_FALSE(removed.empty());
    qsm::TPluginHost::Instance refused;
    EXPECT_EQ(host_.New(refused, "application/x-qsm", NP_EMBED, {}), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(refused.npp.pdata, nullptr);
    for (const std::string& path : removed)
        AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
    qsm::wm::SetModalHook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(
        boxes[0],
        "Font Error|The QSM true-type font (qsm2stda.ttf) cannot be found on the system.\n\nPlease install "
        "the font, then try again.");
}

}  // namespace
