// Opening in the browser with a fake launcher (the box between the two attempts answered through the
// window manager), shortcut files and special folders.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "platform/wm/folder_dialog.h"
#include "ui/shell.h"

namespace {

namespace fs = std::filesystem;

struct ScriptedLauncher : qsm::Launcher {
    std::vector<bool> answers;  // one per attempt, in order
    std::vector<std::string> opened;
    bool Open(const std::string& target) override {
        opened.push_back(target);
        bool a = opened.size() <= answers.size() && answers[opened.size() - 1];
        return a;
    }
    bool Run(const std::vector<std::string>&, const std::string&) override { return false; }
};

class ShellHelpersTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        std::string tmpl = (fs::temp_directory_path() / "qsm-uishell-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (dir + "/system-HKLM.reg").c_str(), 1);
        old = qsm::SetLauncher(&launcher);
        qsm::wm::SetModalHook([this](HWND box) {
            char text[512] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            boxes.push_back(text);
            qsm::wm::PressKey(VK_RETURN);
        });
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        qsm::SetLauncher(old);
        unsetenv("QSM_SYSTEM_REGISTRY");
        qsm::wm::ResetForTests();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir;
    ScriptedLauncher launcher;
    qsm::Launcher* old = nullptr;
    std::vector<std::string> boxes;
};

TEST_F(ShellHelpersTest, TheUserHearsOfTheSecondAttemptOnlyWhenTheFirstFails) {
    const char* page = "https://www.example.org/vercheck.php?app=qsm2vwr&ver=2.51a";
    launcher.answers = {true};
    EXPECT_EQ(OpenInBrowser(page), 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(launcher.opened, std::vector<std::string>{page});

    launcher.opened.clear();
    launcher.answers = {false, true};
    EXPECT_EQ(OpenInBrowser(page), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "First try failed, probably due to a system setup problem with your default browser.\n"
              "Now trying a different approach...");
    EXPECT_EQ(launcher.opened.size(), 2u);

    boxes.clear();
    launcher.opened.clear();
    launcher.answers = {false, false};
    EXPECT_EQ(OpenInBrowser(page), 0);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ShellHelpersTest, SpecialFoldersAndShortcuts) {
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.c_str(), 1);
    fs::create_directories(dir + "/Documents");
    char path[MAX_PATH] = "unchanged";
    EXPECT_FALSE(GetSpecialFolderPath(0x26, path));
    EXPECT_STREQ(path, "unchanged");
    EXPECT_TRUE(GetSpecialFolderPath(CSIDL_PERSONAL, path));
    EXPECT_EQ(std::string(path), dir + "/Documents");
    setenv("HOME", savedHome.c_str(), 1);

    std::string link = dir + "/QSM2 Viewer.desktop";
    EXPECT_TRUE(CreateShortcut(link.c_str(), "/opt/qsm/QSM2View", "/play \"/home/u/100% fun.qsm\"",
                               "Views \"scores\"\nand plays them"));
    std::ifstream in(link);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "[Desktop Entry]\nType=Application\nName=QSM2 Viewer\n"
              "Exec=\"/opt/qsm/QSM2View\" \"/play\" \"/home/u/100%% fun.qsm\"\n"
              "Comment=Views \"scores\" and plays them\n");
    EXPECT_FALSE(CreateShortcut((dir + "/missing/x.desktop").c_str(), "/bin/true", "", ""));
    EXPECT_FALSE(CreateShortcut(link.c_str(), nullptr, "", ""));
}

TEST_F(ShellHelpersTest, TheFolderPickerStartsAtThePathsFolderAndLeavesThePathAloneOnCancel) {
    fs::create_directories(dir + "/Songs/Old");
    TWindow frame(static_cast<TWindow*>(nullptr), "frame");
    frame.Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    frame.Attr.W = 300;
    frame.Attr.H = 200;
    auto* control = new TWindow(&frame, "control");
    ASSERT_TRUE(frame.Create());
    std::string shownAtStart;
    HWND owner = nullptr;
    auto pick = [&](const char* typed) {
        qsm::wm::SetModalHook([&, typed](HWND dlg) {
            char buf[512] = {};
            GetDlgItemTextA(dlg, kFolderShownId, buf, sizeof buf);
            shownAtStart = buf;
            owner = GetWindow(dlg, GW_OWNER);
            if (!typed) {
                qsm::wm::PressKey(VK_ESCAPE);
                return;
            }
            SetDlgItemTextA(dlg, kFolderEditId, typed);
            qsm::wm::PressKey(VK_RETURN);
        });
    };

    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s/Songs/song.qsm", dir.c_str());
    pick("Old");
    EXPECT_TRUE(BrowseForFolder(control, path));
    EXPECT_EQ(shownAtStart, dir + "/Songs");
    EXPECT_EQ(owner, frame.GetHandle());
    EXPECT_EQ(std::string(path), dir + "/Songs/Old");

    // Cancelled: the path is left as it was, not cut to its folder.
    std::snprintf(path, sizeof path, "%s/Songs/song.qsm", dir.c_str());
    pick(nullptr);
    EXPECT_FALSE(BrowseForFolder(control, path));
    EXPECT_EQ(std::string(path), dir + "/Songs/song.qsm");

    // A missing folder: the picker opens at its own start, the home folder.
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.c_str(), 1);
    std::snprintf(path, sizeof path, "%s/Gone/song.qsm", dir.c_str());
    pick(nullptr);
    EXPECT_FALSE(BrowseForFolder(nullptr, path));
    EXPECT_EQ(shownAtStart, dir);
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
