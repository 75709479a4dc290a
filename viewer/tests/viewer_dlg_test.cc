// The viewer's dialogs on the headless window system, answered through the modal hook: the countdown driven
// by the manual clock, the song information and help texts with their links, the Options dialog against a
// settings store of its own, the synthesizer volume, and the Launchpad.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "score/music_score.h"
#include "viewer/file_open_dlg.h"
#include "viewer/launchpad.h"
#include "viewer/options_dlg.h"
#include "viewer/tests/viewer_test_env.h"
#include "viewer/viewer_dlg.h"

namespace {

using qsm::wm::PumpMessages;

using qsm::viewer_test::Text;
std::string Item(HWND dlg, int id) {
    return Text(GetDlgItem(dlg, id));
}
bool Checked(HWND dlg, int id) {
    return SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}
POINT Centre(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
void ClickItem(HWND dlg, int id) {
    POINT c = Centre(GetDlgItem(dlg, id));
    qsm::wm::Click(c.x, c.y);
    PumpMessages();
}

// Finds a point of a link in a rich-edit control by pressing along its text until the link opener hears of
// it; returns the address opened (empty when none was found).
std::string ClickFirstLink(HWND text, std::vector<std::string>& opened) {
    RECT r;
    GetClientRect(text, &r);
    size_t before = opened.size();
    for (int y = 2; y < r.bottom; y += 3)
        for (int x = 2; x < r.right; x += 3) {
            POINT s{x, y};
            ClientToScreen(text, &s);
            qsm::wm::Click(s.x, s.y);
            PumpMessages();
            if (opened.size() > before) return opened.back();
        }
    return "";
}

class DialogsTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        app = std::make_unique<TApplication>("dialogs test");
        main = new TWindow(static_cast<TWindow*>(nullptr), "main");
        main->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        main->Attr.X = 40;
        main->Attr.Y = 30;
        main->Attr.W = 700;
        main->Attr.H = 500;
        app->SetMainWindow(main);
        ASSERT_TRUE(main->Create());
        PumpMessages();
        ViewerLinkOpener() = [this](const char* address) { opened.push_back(address); };
    }
    void TearDown() override {
        ViewerLinkOpener() = [](const char*) {};
        qsm::wm::SetModalHook(nullptr);
        app.reset();
        StoreTest::TearDown();
    }
    // The dialog is answered by `drive`; message boxes on top of it are logged and confirmed.
    void Drive(std::function<void(HWND)> drive) {
        boxes.clear();
        dialogs = 0;
        qsm::wm::SetModalHook([this, drive](HWND hwnd) {
            char cls[64] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (GetDlgItem(hwnd, 0xFFFF) != nullptr && dialogs > 0) {
                boxes.push_back(Item(hwnd, 0xFFFF));
                qsm::wm::PressKey(VK_RETURN);
                return;
            }
            ++dialogs;
            drive(hwnd);
        });
    }
    // The dialog is centred over the main window.
    void ExpectCentredOverMain(HWND dlg) {
        POINT a = Centre(dlg), b = Centre(main->GetHandle());
        EXPECT_NEAR(a.x, b.x, 1);
        EXPECT_NEAR(a.y, b.y, 1);
    }

    std::unique_ptr<TApplication> app;
    TWindow* main = nullptr;
    std::vector<std::string> opened;
    std::vector<std::string> boxes;
    int dialogs = 0;
};

// ---- countdown ----

TEST_F(DialogsTest, CountdownShowsTheSecondsLeftAndEndsByItselfOrByPlayNow) {
    qsm::wm::SetManualClock(true, 5000);
    for (int seconds : {1, 3}) {
        std::vector<std::string> shown;
        int ticks = 0;
        Drive([&](HWND dlg) {
            EXPECT_EQ(Text(dlg), "Starting Play in...");
            ExpectCentredOverMain(dlg);
            // The digits are as tall as their control.
            auto font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dlg, 101, WM_GETFONT, 0, 0));
            LOGFONTA lf{};
            ASSERT_NE(font, nullptr);
            GetObjectA(font, sizeof lf, &lf);
            RECT r;
            GetClientRect(GetDlgItem(dlg, 101), &r);
            EXPECT_EQ(lf.lfHeight, r.bottom);
            EXPECT_EQ(lf.lfWeight, 800);
            EXPECT_STREQ(lf.lfFaceName, "Courier New");
            while (IsWindowVisible(dlg) && ticks < 100) {
                qsm::wm::AdvanceClock(100);
                PumpMessages();
                ++ticks;
                if (IsWindowVisible(dlg) && (shown.empty() || shown.back() != Item(dlg, 101)))
                    shown.push_back(Item(dlg, 101));
            }
        });
        RunCountDown(seconds);
        EXPECT_EQ(ticks, seconds * 10 + 1);
        std::vector<std::string> want;
        for (int s = seconds; s >= 1; --s)
            want.push_back(std::to_string(s));
        EXPECT_EQ(shown, want);
    }

    // Play Now ends it at once, with the same result.
    TQSCountDownDlg dialog(main, 5);
    Drive([&](HWND dlg) {
        qsm::wm::AdvanceClock(100);
        PumpMessages();
        EXPECT_EQ(Item(dlg, 101), "5");
        ClickItem(dlg, IDCANCEL);
    });
    EXPECT_EQ(dialog.Execute(), IDCANCEL);
    EXPECT_EQ(dialog.TickCount, 49);
}

// ---- song information ----

TEST_F(DialogsTest, SongInformationShowsTheBlockKeepsItAndOpensLinks) {
    TSongInfo info{};
    std::strcpy(info.Title, "Invention No. 1");
    std::strcpy(info.Author, "J. S. Bach");
    std::strcpy(info.Lyricist, "none");
    std::strcpy(info.Copyright1, "Public domain");
    std::strcpy(info.Copyright2, "Typeset 2026");
    std::strcpy(info.Comments, "Notes at http://www.example.com/inventions for all.");
    const TSongInfo copy = info;
    int result = 0;
    std::string link;
    CHARRANGE selection{};
    Drive([&](HWND dlg) {
        EXPECT_EQ(Text(dlg), "Song Information");
        ExpectCentredOverMain(dlg);
        EXPECT_EQ(Item(dlg, 100), "Invention No. 1");
        EXPECT_EQ(Item(dlg, 101), "J. S. Bach");
        EXPECT_EQ(Item(dlg, 105), "none");
        EXPECT_EQ(Item(dlg, 102), "Public domain");
        EXPECT_EQ(Item(dlg, 103), "Typeset 2026");
        HWND comments = GetDlgItem(dlg, 104);
        EXPECT_EQ(Text(comments), info.Comments);
        EXPECT_TRUE(SendMessageA(comments, EM_GETEVENTMASK, 0, 0) & ENM_LINK);
        // The press on the link opened it and selected it: the control did not place its caret there.
        link = ClickFirstLink(comments, opened);
        SendMessageA(comments, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        // Edits are never copied back.
        SetDlgItemTextA(dlg, 100, "Changed");
        SetDlgItemTextA(dlg, 104, "Changed");
        ClickItem(dlg, IDCANCEL);
    });
    result = ShowScoreInfo(main, info);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(link, "http://www.example.com/inventions");
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(selection.cpMax - selection.cpMin, static_cast<LONG>(link.size()));
    EXPECT_EQ(std::memcmp(&info, &copy, sizeof info), 0);
}

// ---- help ----

TEST_F(DialogsTest, HelpLiesOverTheMainWindowWithTheProgramsTextFillingIt) {
    Drive([&](HWND dlg) {
        EXPECT_EQ(Text(dlg), "Help");
        RECT m, d;
        GetWindowRect(main->GetHandle(), &m);
        GetWindowRect(dlg, &d);
        EXPECT_EQ(d.left, m.left + GetSystemMetrics(SM_CXHSCROLL));
        EXPECT_EQ(d.top, m.top + GetSystemMetrics(SM_CYCAPTION));
        EXPECT_EQ(d.right, m.right);
        EXPECT_EQ(d.bottom, m.bottom - 5);
        HWND text = GetDlgItem(dlg, 101);
        RECT c, t;
        GetClientRect(dlg, &c);
        GetWindowRect(text, &t);
        EXPECT_EQ(t.right - t.left, c.right);
        EXPECT_EQ(t.bottom - t.top, c.bottom);
        std::string help = Text(text);
        EXPECT_EQ(help.rfind("QuillStave Composer 2 Viewer\r\n", 0), 0u) << help;
        EXPECT_NE(help.find("Opening a score"), std::string::npos);
        // Bold headings from the rich text.
        CHARRANGE first{0, 5};
        SendMessageA(text, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
        CHARFORMATA cf{};
        cf.cbSize = sizeof cf;
        SendMessageA(text, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        EXPECT_TRUE(cf.dwEffects & CFE_BOLD);
        LRESULT margins = SendMessageA(text, EM_GETMARGINS, 0, 0);
        EXPECT_EQ(LOWORD(margins), GetSystemMetrics(SM_CXHSCROLL));
        EXPECT_EQ(HIWORD(margins), GetSystemMetrics(SM_CXHSCROLL) / 2);
        // A larger dialog: the text follows.
        MoveWindow(dlg, d.left, d.top, 500, 420, TRUE);
        PumpMessages();
        GetClientRect(dlg, &c);
        GetWindowRect(text, &t);
        EXPECT_EQ(t.right - t.left, c.right);
        EXPECT_EQ(t.bottom - t.top, c.bottom);
        qsm::wm::PressKey(VK_ESCAPE);
    });
    CmHelp();
    EXPECT_EQ(dialogs, 1);
}

// ---- options ----

class OptionsDialogTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        qsm::mm::EnableTestRecorder(true);
        SetDefaultOptions(options);
    }
    void TearDown() override {
        qsm::mm::EnableTestRecorder(false);
        DialogsTest::TearDown();
    }
    int Run() {
        selected.clear();
        return RunOptionsDialog(main, options, [this](int device) { selected.push_back(device); });
    }
    static int DeviceCount(HWND dlg) {
        return static_cast<int>(SendDlgItemMessageA(dlg, 120, CB_GETCOUNT, 0, 0));
    }
    static int DeviceSel(HWND dlg) {
        return static_cast<int>(SendDlgItemMessageA(dlg, 120, CB_GETCURSEL, 0, 0));
    }

    TViewerOptions options{};
    std::vector<int> selected;
};

TEST_F(OptionsDialogTest, ShowsTheOptionsAndOkSavesWhatLoadReadsBack) {
    Drive([&](HWND dlg) {
        EXPECT_EQ(Text(dlg), "Options");
        ExpectCentredOverMain(dlg);
        EXPECT_EQ(Item(dlg, 101), "1");
        EXPECT_EQ(Item(dlg, 130), "16");
        EXPECT_EQ(DeviceSel(dlg), 0);
        char first[64] = {};
        SendDlgItemMessageA(dlg, 120, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_STREQ(first, "Default (Midi Mapper)");
        EXPECT_GE(DeviceCount(dlg), 2);
        const bool want[] = {false, true, false, true, true, true};  // 102 .. 107
        for (int id = 102; id <= 107; ++id)
            EXPECT_EQ(Checked(dlg, id), want[id - 102]) << id;
        SetDlgItemTextA(dlg, 101, "12");
        ClickItem(dlg, 102);  // recall size and position on
        ClickItem(dlg, 104);  // start play automatically on
        ClickItem(dlg, 107);  // welcome off
        SetDlgItemTextA(dlg, 130, "24");
        ClickItem(dlg, IDOK);
    });
    EXPECT_EQ(Run(), IDOK);
    // The tool size changed, the device did not.
    EXPECT_EQ(boxes,
              std::vector<std::string>{"Some options will not take effect until the program is restarted."});
    EXPECT_TRUE(selected.empty());
    TViewerOptions want = {12, 0, 1, 1, 1, 1, 1, 0, 24};
    EXPECT_EQ(std::memcmp(&options, &want, sizeof want), 0);
    TViewerOptions loaded;
    SetDefaultOptions(loaded);
    LoadOptions(loaded);
    EXPECT_EQ(std::memcmp(&loaded, &want, sizeof want), 0);
}

TEST_F(OptionsDialogTest, ADeviceNoLongerListedIsKeptWhenNothingIsChosen) {
    options.PlayDevice = 40;  // stored while a device that is gone now was plugged in
    Drive([&](HWND dlg) {
        EXPECT_EQ(DeviceSel(dlg), -1);
        ClickItem(dlg, IDOK);
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(options.PlayDevice, 40);
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(SysInfo.ReadInt("Options", "PlayDevice", -7), 40);
}

TEST_F(OptionsDialogTest, DeviceItemsStartWithTheMapperAndEndWithAnEmptyText) {
    std::string items = MakePlayDeviceItems();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.rfind("Default (Midi Mapper)", 0), 0u);
    EXPECT_EQ(items.substr(items.size() - 2), std::string("\0\0", 2));
    EXPECT_NE(items.find(std::string("\0Test Recorder\0", 15)), std::string::npos);
}

// ---- synthesizer volume ----

TEST_F(DialogsTest, SynthVolumeIsCentredAndCancelWritesNothing) {
    TSynthMixerValues start{};
    ASSERT_TRUE(ReadSynthMixer(start));
    ASSERT_TRUE(WriteSynthMixer({1234, 1}));
    Drive([&](HWND dlg) {
        EXPECT_EQ(Text(dlg), "Internal Synth Mixer Volume");
        ExpectCentredOverMain(dlg);
        EXPECT_EQ(Item(dlg, 101), "1234");
        EXPECT_TRUE(Checked(dlg, 102));
        SetDlgItemTextA(dlg, 101, "99");
        ClickItem(dlg, 102);
        qsm::wm::PressKey(VK_ESCAPE);
    });
    RunSynthVolumeDialog(main);
    TSynthMixerValues v{};
    ASSERT_TRUE(ReadSynthMixer(v));
    EXPECT_EQ(v.Volume, 1234u);
    EXPECT_EQ(v.Mute, 1);
    EXPECT_EQ(dialogs, 1);
    WriteSynthMixer(start);
}

// ---- Launchpad ----

TEST_F(DialogsTest, LaunchpadOffersTheProgramsThatCanOpenTheFile) {
    const TSessionOptions saved = SessionOptions;
    struct Case {
        int version, editor1, editor2;
        bool view, qsm1, qsm2;
    };
    const Case cases[] = {
        {2, 1, 1, true, false, true}, {1, 0, 0, true, false, false}, {1, 1, 1, true, true, true}};
    for (const Case& c : cases) {
        SessionOptions.Editor1Installed = c.editor1;
        SessionOptions.Editor2Installed = c.editor2;
        Drive([&](HWND dlg) {
            EXPECT_EQ(Text(dlg), "QuillStave Composer Launchpad");
            EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr);
            POINT p = Centre(dlg);
            EXPECT_NEAR(p.x, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
            EXPECT_NEAR(p.y, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
            // Each button shows its icon.
            for (int id : {101, 102, 103}) {
                auto image =
                    reinterpret_cast<HCURSOR>(SendDlgItemMessageA(dlg, id, BM_GETIMAGE, IMAGE_ICON, 0));
                qsm::wm::CursorImage icon;
                ASSERT_TRUE(qsm::wm::GetCursorImage(image, &icon)) << id;
                EXPECT_EQ(icon.width, 32);
            }
            EXPECT_EQ(Enabled(dlg, 101), c.view);
            EXPECT_EQ(Enabled(dlg, 102), c.qsm1);
            EXPECT_EQ(Enabled(dlg, 103), c.qsm2);
            EXPECT_EQ(Item(dlg, 200),
                      "File: Song of the Sea.qsm\n\nCreated by QSM Version " + std::to_string(c.version));
            ClickItem(dlg, c.qsm2 ? 103 : 101);
        });
        EXPECT_EQ(RunLaunchpad("/home/me/songs/Song of the Sea.qsm", c.version), c.qsm2 ? 103 : 101);
    }
    // The close box cancels.
    Drive([&](HWND dlg) { qsm::wm::InputClose(dlg); });
    EXPECT_EQ(RunLaunchpad("x.qsm", 2), IDCANCEL);
    SessionOptions = saved;
}

// ---- file open ----

TEST_F(DialogsTest, FileOpenIsCentredOverTheMainWindowAndKeepsTheFileTypeChosen) {
    std::string path = dir_ + "/Minuet.mid";
    std::ofstream(path) << "MThd";
    EXPECT_EQ(TQSFileOpenDialog::MakeFilter("A|*.a|B|*.b;*.c|"), std::string("A\0*.a\0B\0*.b;*.c\0\0", 17));
    // Owned by another window than the main one, far from its middle.
    TWindow other(static_cast<TWindow*>(nullptr), "other");
    other.Attr.Style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    other.Attr.X = 760;
    other.Attr.Y = 560;
    other.Attr.W = 200;
    other.Attr.H = 150;
    ASSERT_TRUE(other.Create());
    for (DWORD explorer : {static_cast<DWORD>(OFN_EXPLORER), 0u}) {
        TOpenFileData data{OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | explorer,
                           "Song Files|*.qsm;*.mid|QuillStave Composer Files|*.qsm;*.qsmtxt|", "qsm", 1, ""};
        // The second file type, then a file typed whole: OK.
        Drive([&](HWND dlg) {
            ExpectCentredOverMain(dlg);
            SetFocus(GetDlgItem(dlg, cmb1));
            qsm::wm::PressKey(VK_DOWN);
            PumpMessages();
            SetDlgItemTextA(dlg, edt1, path.c_str());
            SetFocus(GetDlgItem(dlg, edt1));
            qsm::wm::PressKey(VK_RETURN);
            PumpMessages();
        });
        EXPECT_EQ(TQSFileOpenDialog(&other, data).Execute(), IDOK) << explorer;
        EXPECT_EQ(std::string(data.FileName), path);
        EXPECT_EQ(data.FilterIndex, 2);
        // It starts with that type; Cancel keeps what was there.
        Drive([&](HWND dlg) {
            EXPECT_EQ(SendDlgItemMessageA(dlg, cmb1, CB_GETCURSEL, 0, 0), 1);
            SetFocus(GetDlgItem(dlg, cmb1));
            qsm::wm::PressKey(VK_UP);
            qsm::wm::PressKey(VK_ESCAPE);
            PumpMessages();
        });
        EXPECT_EQ(TQSFileOpenDialog(&other, data).Execute(), IDCANCEL);
        EXPECT_EQ(data.FilterIndex, 2);
    }
}

TEST(LaunchpadText, TheNameIsCutAt300Characters) {
    std::string name(400, 'n');
    std::string text = TLauncherDlg::MakeFileText(("C:\\songs\\" + name).c_str(), 0);
    EXPECT_EQ(text, "File: " + std::string(300, 'n') + "\n\nCreated by QSM Version 0");
}

}  // namespace
