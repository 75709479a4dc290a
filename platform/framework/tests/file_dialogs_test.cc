#include "platform/framework/file_dialogs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/wm/backend.h"

namespace {

class FileDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        char tmpl[] = "/tmp/qsm-file-dialogs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ + "/song.qsm") << "x";
        std::ofstream(dir_ + "/tune.mid") << "x";
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    // Types a name into the dialog's name field and presses OK (or Cancel when name is null).
    static void Answer(const char* name) {
        qsm::wm::SetModalHook([name](HWND dlg) {
            if (name == nullptr) {
                PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            SetDlgItemTextA(dlg, edt1, name);
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
    }
    std::string dir_;
};

TEST_F(FileDialogsTest, DataConvertsTheFilterAndKeepsTheChoice) {
    TOpenSaveDialog::TData data(OFN_FILEMUSTEXIST, "Songs|*.qsm|MIDI|*.mid", dir_.c_str(), "qsm");
    EXPECT_EQ(std::string(data.Filter.data(), data.Filter.size()),
              std::string("Songs\0*.qsm\0MIDI\0*.mid\0\0", 24));
    TOpenSaveDialog::TData none;
    EXPECT_TRUE(none.Filter.empty());
    EXPECT_EQ(none.MaxPath, MAX_PATH);

    Answer("song");
    TFileOpenDialog open(nullptr, data);
    ASSERT_EQ(open.Execute(), IDOK);
    EXPECT_EQ(std::string(data.FileName), dir_ + "/song.qsm");  // the default extension completes it
    EXPECT_EQ(data.Error, 0u);

    // Cancel leaves the name as it was.
    Answer(nullptr);
    EXPECT_EQ(open.Execute(), IDCANCEL);
    EXPECT_EQ(std::string(data.FileName), dir_ + "/song.qsm");

    // A save dialog accepts a name that does not exist yet.
    TOpenSaveDialog::TData save(OFN_OVERWRITEPROMPT, "MIDI|*.mid|", dir_.c_str(), "mid");
    Answer("new");
    TFileSaveDialog saveDialog(nullptr, save, "Save a Copy");
    ASSERT_EQ(saveDialog.Execute(), IDOK);
    EXPECT_EQ(std::string(save.FileName), dir_ + "/new.mid");
}

}  // namespace
