// The application's dialogs run without a display: a modal hook fills them in and ends them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

using qsm::viewer_test::StoreTest;

std::string Text(HWND hwnd) {
    char buf[256] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

class DialogsTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        app_.reset();
        SetDefaultOptions(ViewerOptions);
        StoreTest::TearDown();
    }
    // Answers the next dialog with `fill`, then ends it with the button; message boxes are recorded and
    // closed.
    void Answer(std::function<void(HWND)> fill, int button) {
        qsm::wm::SetModalHook([this, fill, button](HWND hwnd) {
            if (GetDlgItem(hwnd, 101) == nullptr) {
                boxes_.push_back(Text(GetDlgItem(hwnd, 0xFFFF)));
                qsm::wm::PressKey(VK_RETURN);
                return;
            }
            fill(hwnd);
            SendMessageA(hwnd, WM_COMMAND, static_cast<WPARAM>(button), 0);
        });
    }
    std::unique_ptr<TQSMViewerApp> app_;
    std::vector<std::string> boxes_;
};

TEST_F(DialogsTest, OptionsShowTheRecordAndStoreItOnOk) {
    ViewerOptions.PlayDelay = 7;
    std::vector<std::string> devices;
    Answer(
        [&](HWND dlg) {
            EXPECT_EQ(Text(GetDlgItem(dlg, 101)), "7");
            EXPECT_EQ(Text(GetDlgItem(dlg, 130)), "16");
            EXPECT_EQ(IsDlgButtonChecked(dlg, 103), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dlg, 102), BST_UNCHECKED);
            HWND combo = GetDlgItem(dlg, 120);
            EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
            char name[64];
            SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(name));
            devices.emplace_back(name);
            // Only the device changes: no restart message.
            SendMessageA(combo, CB_SETCURSEL, 1, 0);
            CheckDlgButton(dlg, 103, BST_UNCHECKED);
            CheckDlgButton(dlg, 102, BST_CHECKED);
            SetDlgItemTextA(dlg, 101, "12");
        },
        IDOK);
    app_->CmOptions();
    EXPECT_EQ(devices, (std::vector<std::string>{"Default (Midi Mapper)"}));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(ViewerOptions.PlayDelay, 12);
    EXPECT_EQ(ViewerOptions.PlayDevice, 1);
    EXPECT_EQ(ViewerOptions.ReuseInst, 0);
    EXPECT_EQ(ViewerOptions.RecallSizePos, 1);
    EXPECT_EQ(ViewerOptions.AutoWelcome, 1);
    EXPECT_EQ(SysInfo.ReadInt("Options", "PlayDelay", -1), 12);
    EXPECT_EQ(SysInfo.ReadInt("Options", "PlayDevice", -1), 1);
    EXPECT_EQ(SysInfo.ReadInt("Options", "ReuseInst", -1), 0);

    // Only the tool size changes: the restart message.
    Answer([](HWND dlg) { SetDlgItemTextA(dlg, 130, "24"); }, IDOK);
    app_->CmOptions();
    EXPECT_EQ(ViewerOptions.ToolSize, 24);
    EXPECT_EQ(
        boxes_,
        (std::vector<std::string>{"Some options will not take effect until the program is restarted."}));
}

TEST_F(DialogsTest, AboutShowsTheTitleAndVersion) {
    std::vector<std::string> texts;
    Answer(
        [&](HWND dlg) {
            texts = {Text(dlg), Text(GetDlgItem(dlg, 101)), Text(GetDlgItem(dlg, 102))};
        },
        IDOK);
    app_->CmAbout();
    EXPECT_EQ(texts, (std::vector<std::string>{"About", "QuillStave Composer Viewer", "Version 2.51a"}));
}

TEST_F(DialogsTest, CancelledOptionsChangeNothing) {
    Answer(
        [](HWND dlg) {
            CheckDlgButton(dlg, 104, BST_CHECKED);
            SetDlgItemTextA(dlg, 130, "30");
        },
        IDCANCEL);
    TViewerOptions before = ViewerOptions;
    app_->CmOptions();
    EXPECT_EQ(0, memcmp(&before, &ViewerOptions, sizeof before));
    EXPECT_EQ(SysInfo.ReadInt("Options", "AutoPlay", -1), -1);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogsTest, SpeedTranspositionAndSynthesizerVolume) {
    Answer(
        [](HWND dlg) {
            EXPECT_EQ(Text(GetDlgItem(dlg, 101)), "100");
            SetDlgItemTextA(dlg, 101, "250");
        },
        IDOK);
    app_->CmPlaySpeed();
    EXPECT_EQ(app_->GetPlaySpeed(), 250);
    Answer([](HWND dlg) { SetDlgItemTextA(dlg, 101, "50"); }, IDCANCEL);
    app_->CmPlaySpeed();
    EXPECT_EQ(app_->GetPlaySpeed(), 250);

    Answer([](HWND dlg) { SetDlgItemTextA(dlg, 101, "-7"); }, IDOK);
    app_->CmTranspose();
    EXPECT_EQ(app_->GetTranspose(), -7);
    TCommandEnabler transpose(CM_QSM_TRANSPOSE);
    app_->CeTranspose(transpose);
    EXPECT_EQ(transpose.GetCheck(), 1);

    TSynthMixerValues start{};
    ASSERT_TRUE(ReadSynthMixer(start));
    ASSERT_TRUE(WriteSynthMixer({4000, 0}));
    Answer(
        [](HWND dlg) {
            EXPECT_EQ(Text(GetDlgItem(dlg, 101)), "4000");
            EXPECT_EQ(IsDlgButtonChecked(dlg, 102), BST_UNCHECKED);
            SetDlgItemTextA(dlg, 101, "30000");
            CheckDlgButton(dlg, 102, BST_CHECKED);
        },
        IDOK);
    app_->CmMidiMapperVolume();
    TSynthMixerValues now{};
    ASSERT_TRUE(ReadSynthMixer(now));
    EXPECT_EQ(now.Volume, 30000u);
    EXPECT_EQ(now.Mute, 1);
    WriteSynthMixer(start);
}

}  // namespace
