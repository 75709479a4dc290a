// The Welcome dialog, the load message, the font usage and the mute list on the headless window system,
// answered through the modal hook, with the sample songs built in and a settings store of their own.
#include <gtest/gtest.h>

#include <strings.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "ui/column_header.h"
#include "ui/column_list.h"
#include "viewer/app.h"
#include "viewer/font_usage_dlg.h"
#include "viewer/message_dlg.h"
#include "viewer/mute_list_dlg.h"
#include "viewer/options.h"
#include "viewer/samples.h"
#include "viewer/tests/viewer_test_env.h"
#include "viewer/welcome_dlg.h"

namespace {

using qsm::wm::PumpMessages;

using qsm::viewer_test::Text;
std::string Row(HWND list, int row) {
    int n = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0));
    if (n < 0) return "";
    std::string s(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}
std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows;
    int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
        rows.push_back(Row(list, i));
    return rows;
}
int Selection(HWND list) {
    return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
}
void Command(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    PumpMessages();
}

// A main window that counts the commands it is sent.
class TCountingMain : public TWindow {
public:
    TCountingMain() : TWindow(static_cast<TWindow*>(nullptr), "main") {}
    void CmOpenFile() { ++OpenFileCommands; }
    int OpenFileCommands = 0;
    DECLARE_RESPONSE_TABLE(TCountingMain);
};
DEFINE_RESPONSE_TABLE1(TCountingMain, TWindow)
EV_COMMAND(110, CmOpenFile), END_RESPONSE_TABLE;

class ViewerDialogsTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        TQSOpenSamplesDlg::CurrentGroup = -1;
        TQSOpenSamplesDlg::Selection = 0;
        TQSOpenSamplesDlg::TopIndex = -1;
        SessionOptions.Editor2Installed = 0;
        app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        main = new TCountingMain;
        main->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        main->Attr.X = 20;
        main->Attr.Y = 20;
        main->Attr.W = 760;
        main->Attr.H = 560;
        app->SetMainWindow(main);
        ASSERT_TRUE(main->Create());
        PumpMessages();
        ViewerLinkOpener() = [this](const char* address) { opened.push_back(address); };
        savedOpener = ViewerFileOpener();
        ViewerFileOpener() = [this](const char* path, bool add) {
            opens.push_back({path != nullptr ? path : "", add});
            return true;
        };
    }
    void TearDown() override {
        ViewerLinkOpener() = [](const char*) {};
        ViewerFileOpener() = savedOpener;
        qsm::wm::SetModalHook(nullptr);
        app.reset();
        StoreTest::TearDown();
    }
    // The dialog is answered by `drive`; message boxes over it are logged and answered by `box`.
    void Drive(std::function<void(HWND)> drive, int boxKey = VK_RETURN) {
        boxes.clear();
        qsm::wm::SetModalHook([this, drive, boxKey](HWND hwnd) {
            if (GetDlgItem(hwnd, 0xFFFF) != nullptr) {
                boxes.push_back(Text(hwnd) + ": " + Text(GetDlgItem(hwnd, 0xFFFF)));
                qsm::wm::PressKey(boxKey);
                return;
            }
            char cls[64] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (menuKeys.size() > 0 && std::strcmp(cls, "#32768") == 0) {
                for (int key : menuKeys)
                    qsm::wm::PressKey(key);
                menuKeys.clear();
                return;
            }
            drive(hwnd);
        });
    }
    std::string WriteFile(const char* name) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << "x";
        return path;
    }

    struct Open {
        std::string path;
        bool add;
    };
    std::unique_ptr<TQSMViewerApp> app;
    TCountingMain* main = nullptr;
    std::vector<std::string> opened;
    std::vector<Open> opens;
    std::vector<std::string> boxes;
    std::vector<int> menuKeys;
    TViewerFileOpener savedOpener;
};

// ---- Welcome ----

TEST_F(ViewerDialogsTest, StoredGroupChoosesTheGroupAndSamplesShowTheirTitles) {
    // A stored group outside 0..3 shows the samples.
    SysInfo.WriteInt("Options", "OpenGrp", 7);
    std::vector<std::string> rows;
    std::string caption, header;
    int checked = 0;
    HWND focus = nullptr, list = nullptr;
    int selected = -1;
    Drive([&](HWND dlg) {
        caption = Text(dlg);
        // The list has the keyboard: Down moves to the next row, not to the next group.
        focus = GetFocus();
        list = GetDlgItem(dlg, 151);
        qsm::wm::PressKey(VK_DOWN);
        qsm::wm::PumpMessages();
        selected = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
        rows = Rows(GetDlgItem(dlg, 151));
        for (int id = 101; id <= 104; ++id)
            if (IsDlgButtonChecked(dlg, id) == BST_CHECKED) checked = id;
        Command(dlg, 2);
    });
    app->CmWelcome();
    EXPECT_EQ(caption, "Welcome");
    EXPECT_EQ(focus, list);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(checked, 103);
    ASSERT_EQ(rows.size(), 7u);
    for (int id = 1; id <= 7; ++id) {
        TSongInfo info;
        ASSERT_EQ(ReadSampleInfo(id, info), 1);
        EXPECT_EQ(rows[static_cast<size_t>(id - 1)], std::string(info.Title) + "\t<built-in>");
    }
    EXPECT_EQ(ReadSampleInfo(8, *std::make_unique<TSongInfo>()), 0);
    // Cancel stores nothing.
    EXPECT_EQ(SysInfo.ReadInt("Options", "OpenGrp", -5), 7);

    // A stored group of 1 shows the recent views; Open stores the group shown.
    TQSOpenSamplesDlg::CurrentGroup = -1;
    SysInfo.WriteInt("Options", "OpenGrp", 1);
    std::string path = WriteFile("a.qsm");
    app->AddRecentView(path.c_str(), true);
    Drive([&](HWND dlg) {
        rows = Rows(GetDlgItem(dlg, 151));
        Command(dlg, 1);
    });
    app->CmWelcome();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], "a.qsm\t" + dir_);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].path, path);
    EXPECT_TRUE(opens[0].add);
}

TEST_F(ViewerDialogsTest, GroupButtonsSwitchRowsAndHeaderAndTheGroupIsRememberedOnOpen) {
    std::vector<std::string> findMore, edits;
    Drive([&](HWND dlg) {
        HWND list = GetDlgItem(dlg, 151);
        Command(dlg, 104);
        findMore = Rows(list);
        Command(dlg, 101);
        edits = Rows(list);
        EXPECT_EQ(Selection(list), 0);
        Command(dlg, 103);
        SendMessageA(list, LB_SETCURSEL, 4, 0);
        Command(dlg, 1);
    });
    app->CmWelcome();
    EXPECT_EQ(findMore, (std::vector<std::string>{"Browse for a file on your computer\t<Browse Local>",
                                                  "Visit www.quillstave.com\t<Browse Web>"}));
    EXPECT_EQ(edits, std::vector<std::string>{"QuillStave Composer 2.5 not found\t<Browse Web>"});
    EXPECT_EQ(SysInfo.ReadInt("Options", "OpenGrp", -1), 2);
    // The fifth sample replaced the blank score and was shown without a path.
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].path, "");
    EXPECT_FALSE(opens[0].add);
    TSongInfo info;
    ReadSampleInfo(5, info);
    EXPECT_STREQ(app->GetBlankScore()->SongInfo.Title, info.Title);

    // Reopened: the samples with the fifth row still selected.
    int selection = -1;
    Drive([&](HWND dlg) {
        selection = Selection(GetDlgItem(dlg, 151));
        Command(dlg, 2);
    });
    app->CmWelcome();
    EXPECT_EQ(selection, 4);

    // A second sample replaces the first, which is not shown: it goes at once (the leak check sees to it),
    // while the first blank, still shown, stays until the application ends.
    TMusicScore* shown = app->GetScore();
    Drive([&](HWND dlg) {
        SendMessageA(GetDlgItem(dlg, 151), LB_SETCURSEL, 5, 0);
        Command(dlg, 1);
    });
    app->CmWelcome();
    ReadSampleInfo(6, info);
    EXPECT_STREQ(app->GetBlankScore()->SongInfo.Title, info.Title);
    EXPECT_EQ(app->GetScore(), shown);
}

TEST_F(ViewerDialogsTest, FindMoreAndMissingEditorOpenTheirPages) {
    struct Case {
        int group, row;
        std::vector<std::string> pages;
        int openFile;
    } cases[] = {
        {104, 0, {}, 1},
        {104, 1, {"https://www.quillstave.com/composer/userlinks.htm"}, 0},
        {101, 0, {"https://www.quillstave.com/composer/"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group * 10 + c.row);
        opened.clear();
        main->OpenFileCommands = 0;
        Drive([&](HWND dlg) {
            Command(dlg, c.group);
            SendMessageA(GetDlgItem(dlg, 151), LB_SETCURSEL, static_cast<WPARAM>(c.row), 0);
            Command(dlg, 1);
        });
        app->CmWelcome();
        EXPECT_EQ(opened, c.pages);
        EXPECT_EQ(main->OpenFileCommands, c.openFile);
    }
    // The Browse button ends the dialog for the file dialog.
    main->OpenFileCommands = 0;
    Drive([&](HWND dlg) { Command(dlg, 112); });
    app->CmWelcome();
    EXPECT_EQ(main->OpenFileCommands, 1);
    EXPECT_TRUE(opens.empty());
}

TEST_F(ViewerDialogsTest, MissingRecentViewIsOfferedForRemovalAndTheSelectionMovesUp) {
    std::string kept1 = WriteFile("one.qsm"), kept2 = WriteFile("two.qsm");
    std::string gone = dir_ + "/gone.qsm";
    app->AddRecentView(kept2.c_str(), true);
    app->AddRecentView(gone.c_str(), true);
    app->AddRecentView(kept1.c_str(), true);  // one, gone, two
    std::vector<std::string> rows;
    int selection = -1;
    bool stillOpen = false;
    Drive([&](HWND dlg) {
        HWND list = GetDlgItem(dlg, 151);
        Command(dlg, 102);
        SendMessageA(list, LB_SETCURSEL, 1, 0);
        Command(dlg, 1);
        stillOpen = IsWindowVisible(dlg) != FALSE;
        rows = Rows(list);
        selection = Selection(list);
        Command(dlg, 2);
    });
    app->CmWelcome();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(boxes,
              std::vector<std::string>{
                  "File Not Found: This file could not be found.\n\nShould it be removed from this list?"});
    EXPECT_EQ(rows, (std::vector<std::string>{"one.qsm\t" + dir_, "two.qsm\t" + dir_}));
    EXPECT_EQ(selection, 0);
    EXPECT_EQ(app->GetRecentViews().GetCount(), 2);
    EXPECT_TRUE(opens.empty());

    // Cancel keeps the entry; the context menu's Remove takes it away.
    app->AddRecentView(gone.c_str(), true);  // gone, one, two
    Drive(
        [&](HWND dlg) {
            HWND list = GetDlgItem(dlg, 151);
            SendMessageA(list, LB_SETCURSEL, 0, 0);
            Command(dlg, 1);
            rows = Rows(list);
            menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
            SendMessageA(dlg, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(0xFFFF, 0xFFFF));
            PumpMessages();
            selection = Selection(list);
            Command(dlg, 2);
        },
        VK_ESCAPE);
    app->CmWelcome();
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(app->GetRecentViews().GetCount(), 2);
    EXPECT_EQ(std::string(app->GetRecentViews().GetEntry(0)), kept1);
    EXPECT_EQ(selection, 0);
}

// ---- message and font usage ----

TEST_F(ViewerDialogsTest, SearchAddressEncodesTheMessageAndStopsAt254) {
    EXPECT_EQ(TQSMViewErrorDlg::SearchAddress("Font 'A&B' not found"),
              "https://www.quillstave.com/search.php?q=qsmviewer:Font+%27A%26B%27+not+found");
    std::string longText(400, 'x');
    EXPECT_EQ(TQSMViewErrorDlg::SearchAddress(longText.c_str()).size(), 254u);

    // Outside the list the text is empty, and Online Help searches for nothing more than the prefix.
    std::string shown = "?";
    Drive([&](HWND dlg) {
        shown = Text(GetDlgItem(dlg, 101));
        Command(dlg, 110);
        Command(dlg, 1);
    });
    ShowMessageDialog(3);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(opened, std::vector<std::string>{"https://www.quillstave.com/search.php?q=qsmviewer:"});
}

class TFakeFonts : public TPrivateFonts {
public:
    explicit TFakeFonts(std::string list) : TPrivateFonts(std::move(list), nullptr, nullptr) {}
    qsm::gdi::FaceLookup LookUpFace(const char* face) const override {
        using K = qsm::gdi::FaceLookup;
        if (std::strncmp(face, "Sys", 3) == 0) return {K::Installed, face};
        if (strncasecmp(face, "Own", 3) == 0) return {K::Private, face};
        if (std::strncmp(face, "Times", 5) == 0) return {K::StandIn, "Liberation Serif"};
        return {};
    }
};

class FontUsageRows : public qsm::viewer_test::StoreTest {};

TEST_F(FontUsageRows, StatusByAlternateMissingOrSystemAndEveryRowKeptHoweverLong) {
    // Twelve faces of 31 characters, most with an alternate of 31: every row is kept whole and terminated.
    std::string ini = dir_ + "/fonts.ini";
    std::ofstream list(ini);
    list << "[FontAlternates]\n";
    TMusicScore score;
    TMusicFontsData* data = score.GetFontData();
    ASSERT_NE(data, nullptr);
    std::vector<std::string> faces;
    for (int i = 0; i < 12; ++i) {
        faces.push_back(std::string(30, 'F') + char('a' + i));
        if (i > 0) list << faces.back() << "=" << std::string(30, 'A') << char('a' + i) << "\n";
        data->Fonts[i].Set(faces.back().c_str(), 0, 10, 0);
    }
    list.close();
    data->Fonts[11].Set("SysSerif", 0, 10, 0);
    TFakeFonts fonts(ini);
    fonts.CheckScoreFonts(score);
    std::string rows = MakeFontUsageRows(fonts);
    EXPECT_GT(rows.size(), 900u);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows.substr(rows.size() - 2), std::string("\0\0", 2));
    std::vector<std::string> split;
    for (const char* p = rows.c_str(); *p != '\0'; p += std::strlen(p) + 1)
        split.emplace_back(p);
    ASSERT_EQ(split.size(), fonts.GetCheckedFaces().size());
    EXPECT_EQ(split.back(), "SysSerif\tSystem Font");
    EXPECT_NE(std::find(split.begin(), split.end(), faces[0] + "\t<Not Found>"), split.end());
    EXPECT_NE(std::find(split.begin(), split.end(),
                        faces[10] + "\t<Used Alternate '" + std::string(30, 'A') + "k'>"),
              split.end());
}

// A face the system answers with a metric-compatible one says which stands in; a font the program added
// itself is a dynamic font, found whatever the case of the name a score gives it.
TEST_F(FontUsageRows, StandInsAndTheProgramsOwnFonts) {
    TFakeFonts fonts(dir_ + "/fonts.ini");
    TMusicScore earlier;
    std::snprintf(earlier.GetFontData()->MusicFontFace, 32, "%s", "OwnMusic");
    fonts.CheckScoreFonts(earlier);
    TMusicScore score;
    std::snprintf(score.GetFontData()->MusicFontFace, 32, "%s", "OWNMUSIC");
    for (TQSFontSpec& f : score.GetFontData()->Fonts)
        f.Set("Times New Roman", 0, 10, 0);
    fonts.CheckScoreFonts(score);
    EXPECT_TRUE(fonts.GetMissingFaces().empty());
    std::string rows = MakeFontUsageRows(fonts);
    EXPECT_EQ(rows,
              std::string("OWNMUSIC\tDynamic Font\0Times New Roman\tSystem Font (Liberation Serif)\0\0", 70));
}

}  // namespace

namespace {

// ---- mute list ----

// Staves: 0 Violin (Strings), 1 Viola (Strings), 2 Flute (Winds), 3 Drums (Rhythm, muted by the file),
// 4 Oboe (Winds).
std::unique_ptr<TMusicScore> Band() {
    auto score = std::make_unique<TMusicScore>();
    const char* parts[][2] = {{"Violin", "Strings"},
                              {"Viola", "Strings"},
                              {"Flute", "Winds"},
                              {"Drums", "Rhythm"},
                              {"Oboe", "Winds"}};
    for (auto& p : parts) {
        auto* staff = new TMusicStaff;
        staff->SetName(p[0]);
        staff->SetGroup(p[1]);
        score->AddStaff(staff);
    }
    return score;
}

bool Sel(HWND dlg, int list, int row) {
    return SendDlgItemMessageA(dlg, list, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0;
}
// The user clicks a row of a multi-select list: its selection flips and the dialog hears of it.
void Toggle(HWND dlg, int list, int row) {
    SendDlgItemMessageA(dlg, list, LB_SETSEL, Sel(dlg, list, row) ? FALSE : TRUE, row);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(list, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, list)));
    PumpMessages();
}
std::string Selected(HWND dlg, int list) {
    std::string s;
    int n = static_cast<int>(SendDlgItemMessageA(dlg, list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
        s += Sel(dlg, list, i) ? '1' : '0';
    return s;
}

TEST_F(ViewerDialogsTest, MuteListGroupAndPartRules) {
    auto score = Band();
    TQSBoolArray muted(255), leftOut(255);
    muted.Set(2, 1);  // Flute
    muted.Set(3, 1);  // Drums, muted by the file
    leftOut.Set(3, 1);
    std::vector<std::string> parts, groups;
    std::vector<std::string> steps;
    Drive([&](HWND dlg) {
        EXPECT_EQ(Text(dlg), "Mute List");
        parts = Rows(GetDlgItem(dlg, 102));
        groups = Rows(GetDlgItem(dlg, 101));
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Toggle(dlg, 102, 3);  // Oboe: the Winds are all muted
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Toggle(dlg, 101, 1);  // Winds off: both winds play
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Toggle(dlg, 101, 0);  // Strings on: both strings muted
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Toggle(dlg, 102, 1);  // Viola plays again: the Strings row goes off
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Command(dlg, 112);
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Command(dlg, 112);
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Command(dlg, 111);
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Command(dlg, 110);
        steps.push_back(Selected(dlg, 101) + "/" + Selected(dlg, 102));
        Toggle(dlg, 102, 0);  // Violin muted
        Command(dlg, 1);
    });
    TMuteListDlg dialog(main, *score, muted, leftOut);
    EXPECT_EQ(dialog.Execute(), IDOK);
    EXPECT_EQ(parts, (std::vector<std::string>{"Violin", "Viola", "Flute", "Oboe"}));
    EXPECT_EQ(groups, (std::vector<std::string>{"Strings", "Winds"}));
    EXPECT_EQ(steps, (std::vector<std::string>{"00/0010", "01/0011", "00/0000", "10/1100", "00/1000",
                                               "01/0111", "00/1000", "11/1111", "00/0000"}));
    EXPECT_EQ(muted.Get(0), 1);
    EXPECT_EQ(muted.Get(1) + muted.Get(2) + muted.Get(4), 0);
    // The drums were not listed and stay muted.
    EXPECT_EQ(muted.Get(3), 1);

    // Cancel gives nothing back.
    Drive([&](HWND dlg) {
        Command(dlg, 111);
        Command(dlg, 2);
    });
    TMuteListDlg again(main, *score, muted, leftOut);
    EXPECT_EQ(again.Execute(), IDCANCEL);
    EXPECT_EQ(muted.Get(1), 0);
}

}  // namespace
