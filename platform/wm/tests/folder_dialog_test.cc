// The folder picker driven from the modal hook: the folder the callback selects, entering folders, typed
// paths (a missing one keeps the dialog open), the display name, and Cancel.
#include "platform/wm/folder_dialog.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/wm/controls.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

namespace fs = std::filesystem;

int SelectFolder(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

class FolderDialogTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        char tmpl[] = "/tmp/qsm-folderdlg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        fs::create_directories(dir_ + "/Songs/Old");
        fs::create_directory(dir_ + "/Backup");
        fs::create_directory(dir_ + "/.hidden");
        std::ofstream(dir_ + "/notes.txt") << "x";
        owner_ = MakeTop(0, 0, 600, 400);
        info_ = BROWSEINFOA{};
        info_.hwndOwner = owner_;
        info_.pszDisplayName = name_;
        info_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
        info_.lpfn = SelectFolder;
        info_.lParam = reinterpret_cast<LPARAM>(dir_.c_str());
    }
    void TearDown() override {
        SetModalHook(nullptr);
        WmTest::TearDown();
        fs::remove_all(dir_);
    }
    static std::vector<std::string> Entries(HWND dlg) {
        HWND list = GetDlgItem(dlg, kFolderListId);
        std::vector<std::string> out;
        LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            char buf[256] = {};
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            out.push_back(buf);
        }
        return out;
    }
    static std::string Shown(HWND dlg) {
        char buf[512] = {};
        GetDlgItemTextA(dlg, kFolderShownId, buf, sizeof buf);
        return buf;
    }
    static void DoubleClick(HWND dlg, int index) {
        HWND list = GetDlgItem(dlg, kFolderListId);
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kFolderListId, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    }
    std::string Chosen(LPITEMIDLIST item) {
        char path[MAX_PATH] = {};
        EXPECT_TRUE(SHGetPathFromIDListA(item, path));
        LPMALLOC m = nullptr;
        SHGetMalloc(&m);
        m->Free(item);
        return path;
    }

    std::string dir_;
    HWND owner_ = nullptr;
    BROWSEINFOA info_{};
    char name_[MAX_PATH] = {};
};

TEST_F(FolderDialogTest, OpensWhereTheCallerAsksAndEntersFolders) {
    SetModalHook([&](HWND dlg) {
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), owner_);
        EXPECT_EQ(Shown(dlg), dir_);
        EXPECT_EQ(Entries(dlg), (std::vector<std::string>{"..", "Backup", "Songs"}));
        DoubleClick(dlg, 2);
        EXPECT_EQ(Shown(dlg), dir_ + "/Songs");
        EXPECT_EQ(Entries(dlg), (std::vector<std::string>{"..", "Old"}));
        PumpMessages();
        EXPECT_TRUE(SaveScreenPng(QSM_BINARY_DIR "/folder_picker.png"));  // for looking at
        PressKey(VK_RETURN);
    });
    LPITEMIDLIST item = SHBrowseForFolderA(&info_);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Chosen(item), dir_ + "/Songs");
    EXPECT_STREQ(name_, "Songs");
}

TEST_F(FolderDialogTest, TypedPathsMustBeFoldersAndCancelChoosesNothing) {
    SetModalHook([&](HWND dlg) {
        SetDlgItemTextA(dlg, kFolderEditId, "Missing");
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        PumpMessages();
        EXPECT_TRUE(IsWindow(dlg));  // still open
        SetDlgItemTextA(dlg, kFolderEditId, "Songs/Old");
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    LPITEMIDLIST item = SHBrowseForFolderA(&info_);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Chosen(item), dir_ + "/Songs/Old");

    SetModalHook([&](HWND) { PressKey(VK_ESCAPE); });
    name_[0] = 0;
    EXPECT_EQ(SHBrowseForFolderA(&info_), nullptr);
    EXPECT_STREQ(name_, "");
}

}  // namespace
}  // namespace qsm::wm::testing
