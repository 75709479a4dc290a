// The file open and file save dialogs driven by keyboard and messages from the modal hook: folders and
// filters, picking and typing names, the checks before OK, the overwrite prompt, the Explorer hook's
// notifications and messages, and the errors.
#include "platform/wm/file_dialog.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

namespace fs = std::filesystem;

const char kSongFilter[] =
    "Song Files\0*.qsm;*.qsmtxt;*.mid;*.midi;*.kar;*.rmi\0QuillStave Composer "
    "Files\0*.qsm;*.qsmtxt\0All\0*.*\0";

class FileDialogTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        char tmpl[] = "/tmp/qsm-filedlg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        for (const char* f : {"a.qsm", "B.MID", "c.txt", "song.qsmtxt", ".hidden.qsm", "locked.qsm"})
            std::ofstream(dir_ + "/" + f) << "x";
        chmod((dir_ + "/locked.qsm").c_str(), 0444);
        fs::create_directory(dir_ + "/sub");
        std::ofstream(dir_ + "/sub/inner.qsm") << "x";
        owner_ = MakeTop(0, 0, 600, 400);
        file_[0] = '\0';
        ofn_ = OPENFILENAMEA{};
        ofn_.lStructSize = sizeof ofn_;
        ofn_.hwndOwner = owner_;
        ofn_.lpstrFilter = kSongFilter;
        ofn_.nFilterIndex = 1;
        ofn_.lpstrFile = file_;
        ofn_.nMaxFile = sizeof file_;
        ofn_.lpstrFileTitle = title_;
        ofn_.nMaxFileTitle = sizeof title_;
        ofn_.lpstrInitialDir = dir_.c_str();
        ofn_.lpstrDefExt = "qsm";
        ofn_.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;
    }
    void TearDown() override {
        WmTest::TearDown();
        fs::remove_all(dir_);
    }

    // The modal hook: `on_dialog` for the file dialog, `on_box` for every message box over it (given its
    // text), which must end the box.
    void Drive(std::function<void(HWND)> on_dialog,
               std::function<void(HWND, const std::string&)> on_box = {}) {
        SetModalHook([this, on_dialog, on_box](HWND h) {
            if (GetPropA(h, "qsm.messagebox") != nullptr) {
                std::string text;
                EnumChildWindows(
                    h,
                    [](HWND c, LPARAM p) {
                        char b[512];
                        GetWindowTextA(c, b, sizeof b);
                        if (GetDlgCtrlID(c) == 0xFFFF) *reinterpret_cast<std::string*>(p) = b;
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&text));
                boxes_.push_back(text);
                if (on_box) {
                    on_box(h, text);
                } else {
                    PressKey(VK_RETURN);
                    PumpMessages();
                }
                return;
            }
            dlg_ = h;
            on_dialog(h);
        });
    }
    std::vector<std::string> ListItems() const {
        HWND list = GetDlgItem(dlg_, lst1);
        std::vector<std::string> out;
        for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
            char b[300];
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(b));
            out.push_back(b);
        }
        return out;
    }
    std::string Text(int id) const {
        char b[600];
        GetDlgItemTextA(dlg_, id, b, sizeof b);
        return b;
    }
    void Type(const char* text) {
        InputText(text);
        PumpMessages();
    }
    void Key(int vk) {
        PressKey(vk);
        PumpMessages();
    }

    std::string dir_;
    HWND owner_ = nullptr;
    HWND dlg_ = nullptr;
    char file_[260];
    char title_[64];
    OPENFILENAMEA ofn_{};
    std::vector<std::string> boxes_;
};

TEST_F(FileDialogTest, OpenListsFoldersAndFilteredFilesAndPicksOneFromTheList) {
    Drive([&](HWND dlg) {
        EXPECT_FALSE(IsWindowEnabled(owner_));
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, edt1));
        EXPECT_EQ(Text(stc5), dir_);
        EXPECT_EQ(ListItems(),
                  (std::vector<std::string>{"[..]", "[sub]", "a.qsm", "B.MID", "locked.qsm", "song.qsmtxt"}));
        EXPECT_EQ(SendDlgItemMessageA(dlg, cmb1, CB_GETCOUNT, 0, 0), 3);
        // Shift+Tab reaches the list; the arrow keys walk it; a file's name goes into the name field.
        InputKey(VK_SHIFT, true);
        Key(VK_TAB);
        InputKey(VK_SHIFT, false);
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, lst1));
        Key(VK_DOWN);  // [sub]: a folder leaves the name alone
        EXPECT_EQ(Text(edt1), "");
        Key(VK_DOWN);
        EXPECT_EQ(Text(edt1), "a.qsm");
        Key(VK_DOWN);
        EXPECT_EQ(Text(edt1), "B.MID");
        Key(VK_RETURN);
    });
    ASSERT_TRUE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    std::string path = dir_ + "/B.MID";
    EXPECT_EQ(std::string(file_), path);
    EXPECT_EQ(ofn_.nFileOffset, dir_.size() + 1);
    EXPECT_EQ(ofn_.nFileExtension, path.size() - 3);
    EXPECT_STREQ(title_, "B.MID");
    EXPECT_EQ(ofn_.nFilterIndex, 1u);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindow(dlg_));
}

TEST_F(FileDialogTest, TypedNamesFoldersAndPatternsAndTheChecksBeforeOk) {
    Drive(
        [&](HWND dlg) {
            // A folder typed in is entered; "[..]" in the list goes back up.
            Type("sub");
            Key(VK_RETURN);
            EXPECT_EQ(Text(stc5), dir_ + "/sub");
            EXPECT_EQ(ListItems(), (std::vector<std::string>{"[..]", "inner.qsm"}));
            SendDlgItemMessageA(dlg, lst1, LB_SETCURSEL, 0, 0);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(lst1, LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, lst1)));
            EXPECT_EQ(Text(stc5), dir_);
            // A pattern lists what it matches in place of the filter.
            SetFocus(GetDlgItem(dlg, edt1));
            Type("*.txt");
            Key(VK_RETURN);
            EXPECT_EQ(ListItems(), (std::vector<std::string>{"[..]", "[sub]", "c.txt"}));
            // A missing file and a missing folder are refused with a box; the dialog stays.
            SetDlgItemTextA(dlg, edt1, "missing");
            Key(VK_RETURN);
            SetDlgItemTextA(dlg, edt1, "nowhere/x.qsm");
            Key(VK_RETURN);
            EXPECT_TRUE(IsWindowVisible(dlg));
            // The default extension completes a name typed without one.
            SetDlgItemTextA(dlg, edt1, "a");
            SetFocus(GetDlgItem(dlg, edt1));
            Key(VK_RETURN);
        },
        [&](HWND, const std::string&) {
            EXPECT_TRUE(IsWindowVisible(dlg_));
            EXPECT_FALSE(IsWindowEnabled(dlg_));
            Key(VK_RETURN);
        });
    ASSERT_TRUE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(std::string(file_), dir_ + "/a.qsm");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0], dir_ + "/missing.qsm\nFile not found.\nCheck the file name and try again.");
    EXPECT_EQ(boxes_[1], dir_ + "/nowhere/x.qsm\nThe folder does not exist.\nCheck the path and try again.");
}

TEST_F(FileDialogTest, CancelAndEscapeReturnFalseWithoutAnError) {
    std::strcpy(file_, "unchanged");
    Drive([&](HWND dlg) { PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(file_, "unchanged");
    Drive([&](HWND) { Key(VK_ESCAPE); });
    EXPECT_FALSE(GetSaveFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(FileDialogTest, SaveAsksBeforeReplacingAndRefusesReadOnlyFiles) {
    ofn_.Flags =
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN | OFN_EXPLORER;
    ofn_.lpstrFilter = "Standard QSM File\0*.qsm\0";
    std::strcpy(file_, "a");  // the score's title as the first name
    int answer = 0;
    Drive(
        [&](HWND dlg) {
            EXPECT_EQ(Text(edt1), "a");
            GetWindowTextA(dlg, title_, sizeof title_);
            EXPECT_STREQ(title_, "Save As");
            Key(VK_RETURN);  // a.qsm exists: No keeps the dialog
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, edt1));
            Type("locked");
            Key(VK_RETURN);  // read-only: refused
            Type("a.qsm");
            Key(VK_RETURN);  // Yes this time
        },
        [&](HWND box, const std::string&) {
            if (++answer == 1) {
                Key('N');
            } else if (answer == 2) {
                Key(VK_RETURN);
            } else {
                SendMessageA(box, WM_COMMAND, IDYES, 0);
            }
        });
    ASSERT_TRUE(GetSaveFileNameA(&ofn_));
    EXPECT_EQ(std::string(file_), dir_ + "/a.qsm");
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[0], dir_ + "/a.qsm already exists.\nDo you want to replace it?");
    EXPECT_EQ(boxes_[1], dir_ + "/locked.qsm\nThe file is read-only.\nUse a different name.");

    // A new name needs no question; a file that need not exist may be missing.
    boxes_.clear();
    Drive([&](HWND) {
        Type("fresh");
        Key(VK_RETURN);
    });
    ASSERT_TRUE(GetSaveFileNameA(&ofn_));
    EXPECT_EQ(std::string(file_), dir_ + "/fresh.qsm");
    EXPECT_TRUE(boxes_.empty());
}

// The save-a-copy hook: centres the dialog on CDN_INITDONE and, on CDN_TYPECHANGE, makes the typed name's
// extension follow the chosen filter.
struct HookLog {
    std::vector<UINT> codes;
    HWND child = nullptr;
    HWND notifier_parent = nullptr;
    DWORD index_seen = 0;
    LPARAM init_param = 0;
};
HookLog* g_hook = nullptr;

UINT_PTR SaveHook(HWND h, UINT msg, WPARAM, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        g_hook->child = h;
        g_hook->init_param = lparam;
        return TRUE;
    }
    if (msg != WM_NOTIFY) return 0;
    auto* n = reinterpret_cast<OFNOTIFYA*>(lparam);
    g_hook->codes.push_back(n->hdr.code);
    HWND dlg = GetParent(n->hdr.hwndFrom);
    g_hook->notifier_parent = dlg;
    if (n->hdr.code == CDN_INITDONE) {
        RECT r;
        GetWindowRect(dlg, &r);
        MoveWindow(dlg, 10, 20, r.right - r.left, r.bottom - r.top, TRUE);
        return 1;
    }
    if (n->hdr.code == CDN_TYPECHANGE) {
        g_hook->index_seen = n->lpOFN->nFilterIndex;
        const char* ext = n->lpOFN->nFilterIndex == 2 ? "qsmtxt" : "qsm";
        SendMessageA(dlg, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(ext));
        char typed[260];
        // Sent to the hook's own window this time: it goes to the dialog too.
        if (SendMessageA(h, CDM_GETSPEC, sizeof typed, reinterpret_cast<LPARAM>(typed)) > 0) {
            std::string name = typed;
            size_t dot = name.rfind('.');
            if (dot != std::string::npos) {
                name = name.substr(0, dot + 1) + ext;
                SendMessageA(dlg, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(name.c_str()));
            }
        }
    }
    return 0;
}

TEST_F(FileDialogTest, ExplorerHookGetsInitDoneAndTypeChangeAndSendsTheDialogMessages) {
    HookLog log;
    g_hook = &log;
    ofn_.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn_.lpstrFilter = "Standard QSM File\0*.qsm\0qsmtxt File\0*.qsmtxt\0";
    ofn_.lpfnHook = SaveHook;
    std::strcpy(file_, "My Song.qsm");
    Drive([&](HWND dlg) {
        EXPECT_EQ(log.init_param, reinterpret_cast<LPARAM>(&ofn_));
        EXPECT_EQ(GetParent(log.child), dlg);
        EXPECT_EQ(log.notifier_parent, dlg);
        EXPECT_EQ(log.codes, std::vector<UINT>{CDN_INITDONE});
        RECT r;
        GetWindowRect(dlg, &r);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        // The short buffer: the size needed comes back, the text is cut.
        char small[4];
        EXPECT_EQ(SendMessageA(dlg, CDM_GETSPEC, sizeof small, reinterpret_cast<LPARAM>(small)), 12);
        EXPECT_STREQ(small, "My ");
        // The user picks the second type with the keyboard.
        SetFocus(GetDlgItem(dlg, cmb1));
        Key(VK_DOWN);
        EXPECT_EQ(log.codes, (std::vector<UINT>{CDN_INITDONE, CDN_TYPECHANGE}));
        EXPECT_EQ(log.index_seen, 2u);
        EXPECT_EQ(Text(edt1), "My Song.qsmtxt");
        EXPECT_EQ(ListItems(), (std::vector<std::string>{"[..]", "[sub]", "song.qsmtxt"}));
        // A name without a point keeps its name; the new default extension completes it.
        SetDlgItemTextA(dlg, edt1, "copy");
        SetFocus(GetDlgItem(dlg, edt1));
        Key(VK_RETURN);
    });
    ASSERT_TRUE(GetSaveFileNameA(&ofn_));
    EXPECT_EQ(std::string(file_), dir_ + "/copy.qsmtxt");
    EXPECT_EQ(ofn_.nFilterIndex, 2u);
    g_hook = nullptr;
}

UINT_PTR PlainHook(HWND h, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) g_hook->child = h;
    if (msg == WM_NOTIFY) g_hook->codes.push_back(0);
    return 0;
}

TEST_F(FileDialogTest, WithoutExplorerTheHookSeesTheDialogItselfAndNoNotifications) {
    HookLog log;
    g_hook = &log;
    ofn_.Flags = OFN_ENABLEHOOK | OFN_FILEMUSTEXIST;
    ofn_.lpfnHook = PlainHook;
    ofn_.nFilterIndex = 3;
    Drive([&](HWND dlg) {
        EXPECT_EQ(log.child, dlg);
        SetFocus(GetDlgItem(dlg, cmb1));
        Key(VK_UP);
        SetDlgItemTextA(dlg, edt1, "c.txt");
        Key(VK_RETURN);
    });
    ASSERT_TRUE(GetOpenFileNameA(&ofn_));
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(std::string(file_), dir_ + "/c.txt");
    EXPECT_EQ(ofn_.nFilterIndex, 2u);
    g_hook = nullptr;
}

TEST_F(FileDialogTest, ErrorsOfTheRecordAndOfTheNameBuffer) {
    OPENFILENAMEA bad = ofn_;
    bad.lStructSize = 12;
    EXPECT_FALSE(GetOpenFileNameA(&bad));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    EXPECT_FALSE(GetOpenFileNameA(nullptr));
    bad = ofn_;
    bad.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameA(&bad));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
    bad = ofn_;
    bad.Flags |= OFN_ENABLEHOOK;
    EXPECT_FALSE(GetOpenFileNameA(&bad));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_NOHOOK));

    // A name longer than the buffer: FALSE, the error and the size needed in the buffer's first bytes.
    char tiny[8] = "";
    ofn_.lpstrFile = tiny;
    ofn_.nMaxFile = sizeof tiny;
    Drive([&](HWND) {
        Type("a.qsm");
        Key(VK_RETURN);
    });
    EXPECT_FALSE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    WORD need = 0;
    std::memcpy(&need, tiny, sizeof need);
    EXPECT_EQ(need, dir_.size() + 7);
    // The next dialog starts without the old error.
    ofn_.lpstrFile = file_;
    ofn_.nMaxFile = sizeof file_;
    Drive([&](HWND) { Key(VK_ESCAPE); });
    EXPECT_FALSE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

}  // namespace
}  // namespace qsm::wm::testing
