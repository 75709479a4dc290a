// A settings store, a machine store and a window-finding folder of their own for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/file_stream.h"
#include "core/sys_info.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

namespace qsm::viewer_test {

// The window's text (its first 2047 characters).
inline std::string Text(HWND h) {
    char buf[2048] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

// A message box as it was shown: its caption and its text.
struct ShownBox {
    std::string caption, text;
};
inline ShownBox ShownBoxOf(HWND box) {
    char buf[4096] = {};
    GetWindowTextA(box, buf, sizeof buf);
    ShownBox shown{buf, ""};
    GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
    shown.text = buf;
    return shown;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qsm-viewer-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        // Programs the tests start keep their font matches here rather than in the user's cache folder.
        setenv("XDG_CACHE_HOME", dir_.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (dir_ + "/system.reg").c_str(), 1);
        unsetenv("QSM_WM_IPC_DIR");
        qsm::wm::ResetForTests();
        SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    }
    void TearDown() override {
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    // Creates a key of the machine store, with a string value when a name is given.
    static void MachineKey(const char* path, const char* name = nullptr, const char* value = nullptr) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        if (name != nullptr)
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(strlen(value) + 1));
        RegCloseKey(key);
    }
    // The test data's piano score saved as a compact file, and its quartet text score, in the folder.
    void MakePianoAndQuartet(std::string* piano, std::string* quartet) {
        const std::string data = QSM_TESTDATA_DIR;
        *piano = dir_ + "/Piano.qsm";
        TQSRFStream in(TQSRFStream::kRead, (data + "/layout/piano.qsmtxt").c_str());
        std::unique_ptr<TMusicScore> score(ImportTextScore(in, nullptr, -1));
        ASSERT_TRUE(score);
        ASSERT_TRUE(SaveScoreFile(piano->c_str(), true, *score));
        *quartet = dir_ + "/quartet.qsmtxt";
        std::filesystem::copy_file(data + "/layout/quartet.qsmtxt", *quartet);
    }
    std::string dir_;
};

}  // namespace qsm::viewer_test
