#include "viewer/app.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/kernel/shell.h"
#include "platform/registry/registry.h"
#include "platform/wm/controls.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

using qsm::viewer_test::StoreTest;

TEST(SpeedStepTest, StepsOfTwentyAboveAHundredAndTenBelow) {
    struct Case {
        int from;
        bool faster;
        int to;
    } cases[] = {
        {100, true, 120},
        {120, true, 140},
        {100, false, 90},
        {90, false, 80},
        {95, true, 100},
        {95, false, 90},
        {130, false, 120},
        {130, true, 140},
        {400, true, 400},
        {390, true, 400},
        {40, false, 40},
        {45, false, 40},
        {50, false, 40},
        {99, true, 100},
        {100, true, 120},
        // Below 40 (the Play Speed dialog allows 10): slower never speeds up, faster never slows down.
        {10, false, 10},
        {30, false, 30},
        {10, true, 40},
        {39, true, 40},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TQSMViewerApp::StepSpeed(c.from, c.faster), c.to)
            << c.from << (c.faster ? " faster" : " slower");
}

TEST(PlayTimeTest, MinutesAndSecondsWithHoursWhenThereAreAny) {
    char text[32];
    TQSMViewerApp::FormatPlayTime(0, text);
    EXPECT_STREQ(text, "0:00");
    TQSMViewerApp::FormatPlayTime(65999, text);
    EXPECT_STREQ(text, "1:05");
    TQSMViewerApp::FormatPlayTime(3599000, text);
    EXPECT_STREQ(text, "59:59");
    TQSMViewerApp::FormatPlayTime((3600 + 5 * 60 + 3) * 1000, text);
    EXPECT_STREQ(text, "1:05:03");
    TQSMViewerApp::FormatPlayTime(0xFFFFFFFFu, text);
    EXPECT_STREQ(text, "1193:02:47");
}

TEST(CaptionTest, FileNameOrNameThenTheProgram) {
    EXPECT_EQ(TQSMViewerApp::MakeCaption(nullptr, true, false), "Untitled - QuillStave Composer Viewer");
    EXPECT_EQ(TQSMViewerApp::MakeCaption("/home/u/Songs/Minuet.qsm", true, false),
              "Minuet - QuillStave Composer Viewer");
    EXPECT_EQ(TQSMViewerApp::MakeCaption("Sample Song", false, true),
              "*Sample Song - QuillStave Composer Viewer");
    std::string longName(80, 'n');
    EXPECT_EQ(TQSMViewerApp::MakeCaption(longName.c_str(), false, false),
              std::string(63, 'n') + " - QuillStave Composer Viewer");
}

class AppTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
    }
    void TearDown() override {
        app_.reset();
        StoreTest::TearDown();
    }
    std::unique_ptr<TQSMViewerApp> app_;
};

TEST_F(AppTest, StartsWithTheBlankScore) {
    EXPECT_EQ(TQSMViewerApp::Get(), app_.get());
    TMusicScore* blank = app_->GetBlankScore();
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(app_->GetScore(), blank);
    EXPECT_EQ(blank->GetStaffCount(), 1);
    EXPECT_STREQ(blank->SongInfo.Title, "QuillStave Composer 2 Viewer");
    EXPECT_STREQ(blank->SongInfo.Author, "by QuillStave Software, Inc.");
    EXPECT_STREQ(blank->SongInfo.Lyricist, "Version 2.51a");
    const TQSFontSpec& title = blank->GetFontData()->Fonts[FONTSLOT_PAGE_TITLE];
    EXPECT_STREQ(title.GetFaceName(), "Times New Roman");
    EXPECT_EQ(title.GetPointSize(), 24);
    EXPECT_TRUE(title.IsBold() && title.IsItalic());
    const TQSFontSpec& text = blank->GetFontData()->Fonts[FONTSLOT_PAGE_TEXT];
    EXPECT_FALSE(text.IsBold());
    EXPECT_TRUE(text.IsItalic());
    EXPECT_EQ(app_->GetPlaySpeed(), 100);
    EXPECT_EQ(app_->GetTranspose(), 0);
    EXPECT_EQ(app_->GetToolButtonSize().cx, MulDiv(app_->GetToolButtonSize().cy, 22, 18));
    EXPECT_GT(app_->GetToolButtonSize().cy, 0);
    EXPECT_EQ(app_->GetMidiManager().GetOutPortCount(), 1);
    app_.reset();
    EXPECT_EQ(TQSMViewerApp::Get(), nullptr);
}

TEST_F(AppTest, SpeedAndTranspositionCommands) {
    app_->CmFaster();
    EXPECT_EQ(app_->GetPlaySpeed(), 120);
    EXPECT_FLOAT_EQ(app_->GetMidiManager().GetPlaySpeed(), 100.0f / 120.0f);
    TCommandEnabler faster(CM_QSM_FASTER), slower(CM_QSM_SLOWER);
    app_->CeFaster(faster);
    app_->CeSlower(slower);
    EXPECT_EQ(faster.GetCheck(), 1);
    EXPECT_EQ(slower.GetCheck(), 0);
    app_->CmSlower();  // 100
    app_->CmSlower();
    EXPECT_EQ(app_->GetPlaySpeed(), 90);
    app_->SetSpeed(0);  // refused
    EXPECT_EQ(app_->GetPlaySpeed(), 90);

    app_->SetTranspose(3);
    EXPECT_EQ(app_->GetTranspose(), 3);
    EXPECT_TRUE(app_->WasMovedWhilePaused());
    app_->SetTranspose(-24);
    EXPECT_EQ(app_->GetTranspose(), -24);

    int keep = SessionOptions.RepeatPlay;
    SessionOptions.RepeatPlay = 0;
    app_->CmRepeatPlay();
    TCommandEnabler repeat(CM_QSM_REPEATPLAY);
    app_->CeRepeatPlay(repeat);
    EXPECT_EQ(repeat.GetCheck(), 1);
    SessionOptions.RepeatPlay = keep;
}

TEST_F(AppTest, TransposeMenuEntries) {
    EXPECT_EQ(TQSMViewerApp::TransposeMenuValue(0), 0);
    EXPECT_EQ(TQSMViewerApp::TransposeMenuValue(5), -5);
    EXPECT_EQ(TQSMViewerApp::TransposeMenuValue(12), 0);
    EXPECT_EQ(TQSMViewerApp::TransposeMenuValue(15), 3);
    EXPECT_EQ(TQSMViewerApp::TransposeMenuValue(23), 11);

    HMENU menu = app_->BuildTransposeMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 24);
    char text[16];
    std::vector<std::string> texts;
    for (UINT id = 0; id < 24; ++id) {
        GetMenuStringA(menu, id, text, sizeof(text), MF_BYPOSITION);
        texts.emplace_back(text);
    }
    EXPECT_EQ(texts[0], "0");
    EXPECT_EQ(texts[5], "- 5");
    EXPECT_EQ(texts[12], "0");
    EXPECT_EQ(texts[15], "+ 3");
    // Both "0" entries are checked at no transposition; the columns start at 0, the second 0 and +1.
    for (UINT pos = 0; pos < 24; ++pos) {
        UINT state = GetMenuState(menu, pos, MF_BYPOSITION);
        EXPECT_EQ((state & MF_CHECKED) != 0, pos == 0 || pos == 12) << pos;
        EXPECT_EQ((state & MF_MENUBARBREAK) != 0, pos == 0 || pos == 12 || pos == 13) << pos;
    }
    DestroyMenu(menu);
    app_->SetTranspose(-5);
    menu = app_->BuildTransposeMenu();
    EXPECT_NE(GetMenuState(menu, 5, MF_BYPOSITION) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
    DestroyMenu(menu);
}

TEST_F(AppTest, RecentViewsRoundTripThroughTheStore) {
    app_->LoadViewerMru();
    EXPECT_EQ(app_->GetRecentViews().GetCount(), 0);
    app_->AddRecentView("/home/u/a.qsm", true);
    app_->AddRecentView("/home/u/b.qsm", true);
    app_->AddRecentView("/HOME/U/A.QSM", true);  // the same file again goes first
    const TQSStringQueue& list = app_->GetRecentViews();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_STREQ(list.GetEntry(0), "/HOME/U/A.QSM");
    EXPECT_STREQ(list.GetEntry(1), "/home/u/b.qsm");
    // The latest file opened again changes nothing: the store file is not written (a write replaces it).
    const std::string store = std::string(qsm::RegistryFolder()) + "/HKCU.reg";
    auto inode = [&store] {
        struct stat st {};
        return stat(store.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const ino_t before = inode();
    ASSERT_NE(before, 0u);
    app_->AddRecentView("/HOME/U/A.QSM", true);
    EXPECT_EQ(inode(), before);
    app_->AddRecentView("/home/u/b.qsm", false);  // removed only
    EXPECT_NE(inode(), before);

    // Another process's writes are seen: the list is read again before each change.
    TQSMViewerApp* first = app_.release();
    delete first;
    TQSMViewerApp other("QuillStave Composer Viewer");
    other.LoadViewerMru();
    ASSERT_EQ(other.GetRecentViews().GetCount(), 1);
    EXPECT_STREQ(other.GetRecentViews().GetEntry(0), "/HOME/U/A.QSM");

    // At most 16 entries.
    for (int i = 0; i < 20; ++i)
        other.AddRecentView(("/s/" + std::to_string(i) + ".qsm").c_str(), true);
    other.LoadViewerMru();
    ASSERT_EQ(other.GetRecentViews().GetCount(), 16);
    EXPECT_STREQ(other.GetRecentViews().GetEntry(0), "/s/19.qsm");

    // Names that do not compress: the stored value stays below 2500 bytes and keeps the newest entries.
    std::mt19937 random(7);
    std::vector<std::string> names;
    for (int i = 0; i < 16; ++i) {
        std::string name = "/r/";
        for (int k = 0; k < 250; ++k)
            name.push_back(static_cast<char>('!' + random() % 90));
        names.push_back(name);
        other.AddRecentView(name.c_str(), true);
    }
    BYTE blob[4000];
    DWORD size = SysInfo.ReadBlob("Options", "z-mru", nullptr, blob, sizeof(blob));
    EXPECT_GT(size, 0u);
    EXPECT_LT(size, 2500u);
    other.LoadViewerMru();
    int kept = other.GetRecentViews().GetCount();
    EXPECT_GT(kept, 3);
    EXPECT_LT(kept, 16);
    for (int i = 0; i < kept; ++i)
        EXPECT_EQ(other.GetRecentViews().GetEntry(i), names[static_cast<size_t>(15 - i)]);

    // A damaged value gives what could be read, never more.
    SysInfo.WriteBlob("Options", "z-mru", "[QSZ]\0garbage", 13);
    other.LoadViewerMru();
    EXPECT_LE(other.GetRecentViews().GetCount(), 16);
}

TEST_F(AppTest, LoadWarningsCountPortsAndMissingFonts) {
    app_->BuildLoadWarnings();
    EXPECT_TRUE(app_->GetLoadWarnings().empty());
    EXPECT_EQ(app_->GetWarningsText(), "");

    TMusicScore* blank = app_->GetBlankScore();
    blank->GetStaff(0)->Device = 2;
    std::snprintf(blank->GetFontData()->MusicFontFace, 32, "%s", "No Such Music Face");
    app_->CheckScoreFonts(*blank);
    app_->BuildLoadWarnings();
    ASSERT_GE(app_->GetLoadWarnings().size(), 2u);
    EXPECT_EQ(app_->GetLoadWarnings()[0], "This file uses 3 MIDI ports; only one will be performed");
    EXPECT_EQ(app_->GetLoadWarnings()[1], "The 'No Such Music Face' font is not available");
    EXPECT_EQ(app_->GetWarningsText(), std::to_string(app_->GetLoadWarnings().size()) + " Notes");
    blank->GetStaff(0)->Device = 0;
    std::snprintf(blank->GetFontData()->MusicFontFace, 32, "%s", "QSM2STDA");
    for (TQSFontSpec& f : blank->GetFontData()->Fonts)
        f.SetFaceName("Missing Everywhere");
    app_->CheckScoreFonts(*blank);
    app_->BuildLoadWarnings();
    std::vector<std::string> expected{"The 'Missing Everywhere' font is not available"};
    if (app_->GetLoadWarnings().size() == 2)  // no QSM2STDA on this machine and no private fonts
        expected.insert(expected.begin(), "The 'QSM2STDA' font is not available");
    EXPECT_EQ(app_->GetLoadWarnings(), expected);
    EXPECT_EQ(app_->GetWarningsText(), expected.size() == 1 ? "1 Note" : "2 Notes");
}

TEST_F(AppTest, TheMainWindowTakesTheViewersClassCommandsAndHandedOverText) {
    app_->InitInstance();
    ASSERT_NE(GlobalToolTip, nullptr);
    HWND frame = FindWindowA("TQSMViewerFrame", nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame, app_->GetMainWindow()->GetHandle());
    EXPECT_TRUE(IsWindowVisible(frame));

    app_->SetCaption("/home/u/Minuet.qsm", true, false);
    char caption[128];
    GetWindowTextA(frame, caption, sizeof caption);
    EXPECT_STREQ(caption, "Minuet - QuillStave Composer Viewer");
    EXPECT_STREQ(app_->GetTotalPlayText(), "0:00");  // nothing played: 600 ms

    // A second instance's text, bounded by its size, goes to the client.
    ResetOpenRequest(OpenRequest);
    char text[] = {'/', 'p', 'l', 'a', 'y', 'X'};
    COPYDATASTRUCT cds{0, 5, text};
    // The frame answers 0 whether it takes the text or not.
    EXPECT_EQ(SendMessageA(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
    // It is taken from the message loop (only the frame's own messages run here: the start's are not for
    // this test).
    MSG m;
    while (PeekMessageA(&m, frame, WM_APP, 0xBFFF, PM_REMOVE))
        DispatchMessageA(&m);
    // The client took the command line: "/play" asks for play after the next open.
    EXPECT_EQ(OpenRequest.PlayAfterOpen, 1);

    SendMessageA(frame, WM_COMMAND, CM_QSM_FASTER, 0);
    EXPECT_EQ(app_->GetPlaySpeed(), 120);
    EXPECT_TRUE(app_->StartPlayTimer());
    app_->StopPlayTimer();
    app_->CmExit();
    qsm::wm::PumpMessages();
    EXPECT_FALSE(IsWindow(frame));
    app_.reset();
    EXPECT_EQ(GlobalToolTip, nullptr);
}

struct RecordingLauncher : qsm::Launcher {
    std::vector<std::string> opened;
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return true;
    }
    bool Run(const std::vector<std::string>&, const std::string&) override { return false; }
};

TEST_F(AppTest, WebPagesOpenInTheBrowser) {
    RecordingLauncher launcher;
    qsm::Launcher* old = qsm::SetLauncher(&launcher);
    app_->CmCheckForUpdates();
    app_->CmWebSite();
    qsm::SetLauncher(old);
    ASSERT_EQ(launcher.opened.size(), 2u);
    EXPECT_NE(launcher.opened[0].find("/vercheck.php?app=qsm2vwr&ver=2.51a"), std::string::npos);
    EXPECT_EQ(launcher.opened[1].rfind("https://", 0), 0u);
}

class FolderTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            const char* v = getenv(name);
            saved_.emplace_back(name, v ? v : "");
        }
        home_ = dir_ + "/home";
        std::filesystem::create_directories(home_ + "/Documents");
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    }
    void TearDown() override {
        for (auto& [name, value] : saved_)
            setenv(name.c_str(), value.c_str(), 1);
        AppTest::TearDown();
    }
    std::string Folder(const char* name) {
        char out[MAX_PATH];
        app_->GetFolder(name, out);
        return out;
    }
    std::vector<std::pair<std::string, std::string>> saved_;
    std::string home_;
};

TEST_F(FolderTest, SongsAndConfigurationFolders) {
    EXPECT_EQ(Folder("Songs"), home_ + "/Documents");
    std::filesystem::create_directories(home_ + "/Documents/QuillStave Composer");
    EXPECT_EQ(Folder("songs"), home_ + "/Documents/QuillStave Composer");
    // The local application-data folder is made when missing.
    EXPECT_EQ(Folder("Config"), dir_ + "/data/Quillstave Software/qsm2");
    EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/data/Quillstave Software/qsm2"));
    // Any other name is the program's folder; the editor's settings come first.
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    EXPECT_EQ(Folder("Other"), std::filesystem::path(program).parent_path().string());
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuillStave Software\\QuillStave Composer 2\\Folders", 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const std::string config = dir_ + "/editor config";
    RegSetValueExA(key, "Config", 0, REG_SZ, reinterpret_cast<const BYTE*>(config.c_str()),
                   static_cast<DWORD>(config.size() + 1));
    RegCloseKey(key);
    EXPECT_EQ(Folder("Config"), config);
    EXPECT_EQ(app_->GetConfigFilePath("FileMRU", "FileMRU.dat"), config + "/FileMRU.dat");
}

TEST_F(FolderTest, TheEditorsRecentFilesAreReadAgainOnlyWhenTheyChanged) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuillStave Software\\QuillStave Composer 2\\Folders", 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Config", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir_.c_str()),
                   static_cast<DWORD>(dir_.size() + 1));
    RegCloseKey(key);
    const std::string list = dir_ + "/FileMRU.dat";
    auto write = [&](const std::string& text, time_t when) {
        std::ofstream(list, std::ios::binary) << text;
        timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, list.c_str(), times, 0);
    };
    write("/s/one.qsm\r\n/s/two.qsm\r\n\r\n/s/three.qsm", 1000000);

    int keep = SessionOptions.Editor2Installed;
    SessionOptions.Editor2Installed = 0;
    app_->LoadEditorMru();
    EXPECT_EQ(app_->GetRecentEdits(), nullptr);  // only with editor 2
    SessionOptions.Editor2Installed = 1;
    app_->LoadEditorMru();
    ASSERT_NE(app_->GetRecentEdits(), nullptr);
    ASSERT_EQ(app_->GetRecentEdits()->GetCount(), 3);
    EXPECT_STREQ(app_->GetRecentEdits()->GetEntry(2), "/s/three.qsm");

    write("/s/four.qsm\n", 1000000);  // the same time: not read again
    app_->LoadEditorMru();
    EXPECT_EQ(app_->GetRecentEdits()->GetCount(), 3);
    write("/s/four.qsm\n", 2000000);
    app_->LoadEditorMru();
    ASSERT_EQ(app_->GetRecentEdits()->GetCount(), 1);
    EXPECT_STREQ(app_->GetRecentEdits()->GetEntry(0), "/s/four.qsm");
    SessionOptions.Editor2Installed = keep;
}

TEST_F(AppTest, ConfigStringsWithoutAnIniFileAreTheirDefaults) {
    char value[16];
    app_->GetConfigString("FileMRU", value, sizeof(value), "FileMRU.dat");
    EXPECT_STREQ(value, "FileMRU.dat");
    app_->GetConfigString("FileMRU", value, 5, "FileMRU.dat");
    EXPECT_STREQ(value, "File");
}

// ---------------------------------------------------------------- private fonts

std::vector<std::string> g_fontCalls;
int FakeAdd(LPCSTR path, DWORD, LPVOID) {
    g_fontCalls.push_back(std::string("add ") + path);
    return std::string(path).find("broken") == std::string::npos ? 1 : 0;
}
BOOL FakeRemove(LPCSTR path, DWORD, LPVOID) {
    g_fontCalls.push_back(std::string("remove ") + path);
    return TRUE;
}

class FakeFonts : public TPrivateFonts {
public:
    using TPrivateFonts::TPrivateFonts;
    qsm::gdi::FaceLookup LookUpFace(const char* face) const override {
        using K = qsm::gdi::FaceLookup;
        if (std::string(face) == "Installed Face") return {K::Installed, face};
        if (std::string(face) == "Metric Face") return {K::StandIn, "Liberation Serif"};
        return {};
    }
};

class PrivateFontsTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        g_fontCalls.clear();
        ini_ = dir_ + "/Fonts/fonts.ini";
        std::filesystem::create_directories(dir_ + "/Fonts");
        FILE* f = fopen(ini_.c_str(), "w");
        fputs(
            "[Fonts]\nQSM2STDA=qsm2stda.ttf\nShared A=shared.ttf\nShared B=shared.ttf\nBroken=broken.ttf\n"
            "[FontAlternates]\nTimes New Roman=Liberation Serif\n",
            f);
        fclose(f);
    }
    std::string ini_;
};

TEST_F(PrivateFontsTest, FacesFromTheFontListAreAddedOnceAndRemovedNewestFirst) {
    const std::string folder = dir_ + "/Fonts/";
    {
        FakeFonts fonts(ini_, FakeAdd, FakeRemove);
        EXPECT_EQ(fonts.LoadPrivateFont("qsm2stda"), 1);
        EXPECT_EQ(fonts.LoadPrivateFont("QSM2STDA"), 1);  // known already: not added again
        EXPECT_EQ(fonts.LoadPrivateFont("Shared A"), 1);
        EXPECT_EQ(fonts.LoadPrivateFont("Shared B"), 0);  // its file is added already
        EXPECT_EQ(fonts.LoadPrivateFont("Broken"), 0);
        EXPECT_EQ(fonts.LoadPrivateFont("Not Listed"), 0);
        EXPECT_EQ(fonts.GetAddedFiles(), (std::vector<std::string>{"shared.ttf", "qsm2stda.ttf"}));
        fonts.RemoveAll();
        EXPECT_TRUE(fonts.GetAddedFiles().empty());
        EXPECT_EQ(fonts.LoadPrivateFont("Shared A"), 1);  // added again after removal
        fonts.RemoveAll();
    }
    EXPECT_EQ(g_fontCalls,
              (std::vector<std::string>{"add " + folder + "qsm2stda.ttf", "add " + folder + "shared.ttf",
                                        "add " + folder + "broken.ttf", "remove " + folder + "shared.ttf",
                                        "remove " + folder + "qsm2stda.ttf", "add " + folder + "shared.ttf",
                                        "remove " + folder + "shared.ttf"}));
    // Without the add function nothing is ever loaded.
    FakeFonts none(ini_, nullptr, nullptr);
    EXPECT_EQ(none.LoadPrivateFont("QSM2STDA"), 0);
}

TEST_F(PrivateFontsTest, ScoreFontsUseAlternatesOrAreListedMissing) {
    FakeFonts fonts(ini_, FakeAdd, FakeRemove);
    TMusicScore score;
    TMusicFontsData* data = score.GetFontData();
    std::snprintf(data->MusicFontFace, sizeof(data->MusicFontFace), "%s", "QSM2STDA");
    for (TQSFontSpec& f : data->Fonts)
        f.SetFaceName("Times New Roman");
    data->Fonts[1].SetFaceName("Installed Face");
    data->Fonts[2].SetFaceName("Nowhere Sans");
    data->Fonts[3].SetFaceName("Shared A");
    data->Fonts[4].SetFaceName("Metric Face");
    fonts.CheckScoreFonts(score);
    EXPECT_EQ(fonts.GetCheckedFaces(),
              (std::vector<std::string>{"QSM2STDA", "Times New Roman", "Installed Face", "Nowhere Sans",
                                        "Shared A", "Metric Face"}));
    EXPECT_EQ(fonts.GetAlternates(), (std::vector<std::string>{"", "Liberation Serif", "", "", "", ""}));
    // A face the system answers with a metric-compatible one is there: no alternate, not missing.
    EXPECT_EQ(fonts.GetStandIns(), (std::vector<std::string>{"", "", "", "", "", "Liberation Serif"}));
    EXPECT_EQ(fonts.GetMissingFaces(), (std::vector<std::string>{"Nowhere Sans"}));
    EXPECT_STREQ(data->Fonts[4].GetFaceName(), "Metric Face");
    for (int i = 0; i < FONTSLOT_COUNT; ++i) {
        if (i >= 1 && i <= 4) continue;
        EXPECT_STREQ(data->Fonts[i].GetFaceName(), "Liberation Serif") << i;
    }
    EXPECT_STREQ(data->Fonts[1].GetFaceName(), "Installed Face");
    EXPECT_STREQ(data->Fonts[2].GetFaceName(), "Nowhere Sans");
    EXPECT_STREQ(data->Fonts[3].GetFaceName(), "Shared A");
    fonts.RemoveAll();
}

}  // namespace
