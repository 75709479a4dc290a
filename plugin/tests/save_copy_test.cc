// The plug-in's save dialog and save-a-copy command, answered headless: the extension of a file type, the
// typed name following the chosen type, and the copy of the delivered file.
#include "plugin/save_copy.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/wm/backend.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FieldText(HWND dlg) {
    char text[300] = {};
    GetDlgItemTextA(dlg, edt1, text, sizeof text);
    return text;
}

// Picks file type `index` (from 0) as the user does.
void PickType(HWND dlg, int index) {
    SendDlgItemMessageA(dlg, cmb1, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, cmb1)));
}

class SaveCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        char tmpl[] = "/tmp/qsm-save-copy-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    // Runs `drive` on each modal window (file dialog or message box), recording their captions.
    void Drive(std::function<void(HWND)> drive) {
        qsm::wm::SetModalHook([this, drive](HWND hwnd) {
            char caption[100] = {};
            GetWindowTextA(hwnd, caption, sizeof caption);
            captions_.push_back(caption);
            drive(hwnd);
        });
    }
    std::string dir_;
    std::vector<std::string> captions_;
};

TEST_F(SaveCopyTest, ExtensionOfAFileType) {
    const char list[] = "Scores\0*.qsm;*.qsmtxt\0All\0*.*\0Short\0*\0Odd\0*.q?m\0Long\0*.abcdefghij\0";
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 0), "qsm");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 1), "");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 2), "");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 3), "");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 4), "abcdefghij");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, -1), "");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(list, 5), "");
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(nullptr, 0), "");
    // A name, a pattern of 100 letters, and the list's two ends.
    const std::string big = std::string("L\0*.", 4) + std::string(100, 'x') + std::string(2, '\0');
    EXPECT_EQ(TQSFileSaveDialog::GetFilterExtension(big.data(), 0), std::string(64, 'x'));
}

TEST_F(SaveCopyTest, TypedNameFollowsTheChosenTypeInExplorerDialogs) {
    TOpenSaveDialog::TData data(OFN_EXPLORER | OFN_OVERWRITEPROMPT,
                                "Text|*.txt|Scores|*.qsm;*.qsmtxt|All|*.*|", nullptr, "txt");
    std::vector<std::string> seen;
    RECT box{};
    Drive([&](HWND dlg) {
        GetWindowRect(dlg, &box);
        SetDlgItemTextA(dlg, edt1, "song.old.txt");
        PickType(dlg, 1);
        seen.push_back(FieldText(dlg));
        PickType(dlg, 2);
        seen.push_back(FieldText(dlg));
        // A name without a point keeps its form; only the default extension follows the type.
        SetDlgItemTextA(dlg, edt1, (dir_ + "/tune").c_str());
        PickType(dlg, 1);
        seen.push_back(FieldText(dlg));
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    TQSFileSaveDialog dialog(nullptr, data);
    ASSERT_EQ(dialog.Execute(), IDOK);
    EXPECT_EQ(seen, (std::vector<std::string>{"song.old.qsm", "song.old.", dir_ + "/tune"}));
    EXPECT_EQ(std::string(data.FileName), dir_ + "/tune.qsm");
    EXPECT_EQ(data.FilterIndex, 2);
    // Centred on the screen once set up.
    EXPECT_NEAR((box.left + box.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(SaveCopyTest, WithoutExplorerTheDialogIsTheFrameworksOwn) {
    TOpenSaveDialog::TData data(OFN_OVERWRITEPROMPT, "Text|*.txt|Scores|*.qsm|", nullptr, "txt");
    std::string seen;
    Drive([&](HWND dlg) {
        SetDlgItemTextA(dlg, edt1, (dir_ + "/song").c_str());
        PickType(dlg, 1);
        seen = FieldText(dlg);
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    TQSFileSaveDialog dialog(nullptr, data);
    ASSERT_EQ(dialog.Execute(), IDOK);
    EXPECT_EQ(seen, dir_ + "/song");
    EXPECT_EQ(std::string(data.FileName), dir_ + "/song.txt");
}

TEST_F(SaveCopyTest, CopiesTheDeliveredFileOrSaysItIsGone) {
    const std::string cache = dir_ + "/cached.qsm";
    std::string bytes = "[QSZ]";
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>(i * 7);
    std::ofstream(cache, std::ios::binary) << bytes;

    // The title is the name offered; the dialog offers the binary file type.
    std::string offered, type;
    Drive([&](HWND dlg) {
        offered = FieldText(dlg);
        char text[100] = {};
        GetDlgItemTextA(dlg, cmb1, text, sizeof text);
        type = text;
        SetDlgItemTextA(dlg, edt1, (dir_ + "/copy").c_str());
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(qsm::SaveCopyOfCacheFile(nullptr, cache, "Minuet", false));
    EXPECT_EQ(offered, "Minuet");
    EXPECT_EQ(type, "Standard QSM File");
    EXPECT_EQ(Read(dir_ + "/copy.qsm"), bytes);

    // A text score is offered as one; a typed extension stays.
    Drive([&](HWND dlg) {
        char text[100] = {};
        GetDlgItemTextA(dlg, cmb1, text, sizeof text);
        type = text;
        SetDlgItemTextA(dlg, edt1, (dir_ + "/copy.qsmtxt").c_str());
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(qsm::SaveCopyOfCacheFile(nullptr, cache, "Minuet", true));
    EXPECT_EQ(type, "qsmtxt File");
    EXPECT_EQ(Read(dir_ + "/copy.qsmtxt"), bytes);

    // Cancel copies nothing; saving onto the cache file itself leaves it whole.
    Drive([&](HWND dlg) { PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(qsm::SaveCopyOfCacheFile(nullptr, cache, "Other", false));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/Other.qsm"));
    Drive([&](HWND dlg) {
        if (GetDlgItem(dlg, edt1) == nullptr) {  // the question whether to replace it
            PostMessageA(dlg, WM_COMMAND, IDYES, 0);
            return;
        }
        SetDlgItemTextA(dlg, edt1, cache.c_str());
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_FALSE(qsm::SaveCopyOfCacheFile(nullptr, cache, "Minuet", false));
    EXPECT_EQ(Read(cache), bytes);

    captions_.clear();
    Drive([&](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); });
    EXPECT_FALSE(qsm::SaveCopyOfCacheFile(nullptr, dir_ + "/gone.qsm", "Minuet", false));
    EXPECT_FALSE(qsm::SaveCopyOfCacheFile(nullptr, "", "Minuet", false));
    EXPECT_EQ(captions_, (std::vector<std::string>{"Not Available", "Not Available"}));
}

}  // namespace
