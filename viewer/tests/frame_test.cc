#include "viewer/frame.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/framework/dib.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "platform/wm/file_dialog.h"
#include "platform/wm/surface.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"
#include "viewer/tool_glyphs.h"
#include "viewer/toolbar_list.h"

namespace {

using qsm::viewer_test::StoreTest;

// A client that records what the frame hands it.
class TRecordingClient : public TWindow, public TQSMFrameClient {
public:
    TRecordingClient() : TWindow(static_cast<TWindow*>(nullptr), "Client") {}
    void ProcessCmdLine(const char* cmdLine) override { CmdLines.emplace_back(cmdLine); }
    bool OpenFile(const char* path, int addToRecent) override {
        Opened.emplace_back(path);
        AddToRecent = addToRecent;
        return true;
    }
    void UpdatePlayPosition() override { ++Updates; }
    int GetPositionBar() override { return 7; }
    std::vector<std::string> CmdLines, Opened;
    int AddToRecent = -1;
    int Updates = 0;
};

class FrameTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        SessionOptions = TSessionOptions{};
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
    }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        DestroyFrame();
        app_.reset();
        StoreTest::TearDown();
    }
    TQSMViewerFrame* MakeFrame() {
        client_ = new TRecordingClient;
        frame_ = new TQSMViewerFrame("QuillStave Composer Viewer", client_);
        frame_->Attr.Style |= WS_VISIBLE;
        app_->SetMainWindow(frame_);
        EXPECT_TRUE(frame_->Create());
        qsm::wm::PumpMessages();
        return frame_;
    }
    void DestroyFrame() {
        if (frame_ == nullptr) return;
        delete frame_;
        frame_ = nullptr;
        qsm::wm::PumpMessages();
    }
    std::unique_ptr<TQSMViewerApp> app_;
    TQSMViewerFrame* frame_ = nullptr;
    TRecordingClient* client_ = nullptr;
};

TEST_F(FrameTest, BuildsToolbarStatusBarMenuAndKeys) {
    MakeFrame();
    char name[64] = "";
    GetClassNameA(frame_->GetHandle(), name, sizeof(name));
    EXPECT_STREQ(name, "TQSMViewerFrame");
    EXPECT_EQ(FindWindowA("TQSMViewerFrame", nullptr), frame_->GetHandle());

    HMENU menu = GetMenu(frame_->GetHandle());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    char text[64] = "";
    GetMenuStringA(menu, 110, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Open...\tCtrl+O");
    GetMenuStringA(menu, 20304, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Toolbars...");
    ASSERT_NE(frame_->Attr.AccelTable, nullptr);
    EXPECT_EQ(CopyAcceleratorTableA(frame_->Attr.AccelTable, nullptr, 0), 23);

    // Without editors the toolbar has no editor buttons: 8 buttons and 3 separators.
    TToolbar* tools = frame_->GetToolsBar();
    ASSERT_NE(tools, nullptr);
    EXPECT_STREQ(tools->GetTitle(), "Tools");
    EXPECT_EQ(tools->DockMask, 0xf000);
    EXPECT_EQ(tools->Placement & 0xff00, 0x2800);
    EXPECT_EQ(tools->GadgetWithId(CM_QSM_SENDTOEDITOR1), nullptr);
    for (int id : {110, 111, 114, 113, 118, 119, 122, 54})
        EXPECT_NE(tools->GadgetWithId(id), nullptr) << id;

    TQSMViewerStatus* status = frame_->GetStatusBar();
    ASSERT_NE(status, nullptr);
    for (int id : {IDG_PLAYTIME, IDG_BAR, IDG_TRANSPOSE, IDG_SPEED, IDG_WARNINGS})
        EXPECT_NE(status->GadgetWithId(id), nullptr) << id;
    // The status bar is outermost at the bottom.
    EXPECT_EQ(frame_->GetDecorations(TDecoratedFrame::Bottom).front(), status);
}

TEST_F(FrameTest, TheToolbarStartsARowInAnEightPointFontAndHasNoContextMenu) {
    MakeFrame();
    TToolbar* tools = frame_->GetToolsBar();
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->StartsRow, 1);
    TCreatedDC screen("DISPLAY");
    LOGFONTA font{};
    GetObjectA(tools->GetFont(), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
    EXPECT_EQ(ContextMenuId, 0);
    int menus = 0;
    qsm::wm::SetModalHook([&](HWND) { ++menus; });
    SendMessageA(tools->GetHandle(), WM_RBUTTONDOWN, 0, MAKELPARAM(6, 6));
    SendMessageA(tools->GetHandle(), WM_RBUTTONUP, 0, MAKELPARAM(6, 6));
    qsm::wm::PumpMessages();
    EXPECT_EQ(menus, 0);
    EXPECT_FALSE(tools->Placement & tpHidden);
    EXPECT_TRUE(IsWindowVisible(tools->GetHandle()));
}

TEST_F(FrameTest, EditorButtonsOnlyWhenInstalledAndEnabledOnlyWithAFile) {
    SessionOptions.Editor1Installed = 1;
    SessionOptions.Editor2Installed = 1;
    MakeFrame();
    EXPECT_NE(frame_->GetToolsBar()->GadgetWithId(CM_QSM_SENDTOEDITOR1), nullptr);
    EXPECT_NE(frame_->GetToolsBar()->GadgetWithId(CM_QSM_SENDTOEDITOR2), nullptr);
    // The blank score has no path: both commands are off.
    TCommandEnabler one(CM_QSM_SENDTOEDITOR1), two(CM_QSM_SENDTOEDITOR2);
    frame_->CeSendToEditor1(one);
    frame_->CeSendToEditor2(two);
    EXPECT_FALSE(one.GetEnabled());
    EXPECT_FALSE(two.GetEnabled());
}

TEST_F(FrameTest, StatusTexts) {
    EXPECT_EQ(TQSMViewerFrame::TranspositionText(0), "");
    EXPECT_EQ(TQSMViewerFrame::TranspositionText(-5), "- 5");
    EXPECT_EQ(TQSMViewerFrame::TranspositionText(12), "+ 12");
    EXPECT_EQ(TQSMViewerFrame::SpeedText(100), "");
    EXPECT_EQ(TQSMViewerFrame::SpeedText(120), "1.2x");
    EXPECT_EQ(TQSMViewerFrame::SpeedText(45), "0.5x");

    MakeFrame();
    TQSMViewerStatus* status = frame_->GetStatusBar();
    app_->CmFaster();
    app_->SetTranspose(-3);
    EXPECT_STREQ(status->GetGadgetText(IDG_SPEED), "1.2x");
    EXPECT_STREQ(status->GetGadgetText(IDG_TRANSPOSE), "- 3");
    frame_->PlayTick();
    EXPECT_STREQ(status->GetGadgetText(IDG_BAR), "Bar 7");
    EXPECT_STREQ(status->GetGadgetText(IDG_PLAYTIME),
                 (std::string("0:00 / ") + app_->GetTotalPlayText()).c_str());
    EXPECT_EQ(client_->Updates, 1);
    EXPECT_EQ(frame_->GetPlayLength(), app_->GetScorePlayer().GetPlayLengthMs() + 600);
}

// The colour of the main window's pixel under a point of a child's client area.
uint32_t PixelAt(HWND top, HWND child, POINT p) {
    ClientToScreen(child, &p);
    RECT wr{};
    GetWindowRect(top, &wr);
    cairo_surface_t* s = qsm::wm::TopLevelSurface(top);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    return reinterpret_cast<const uint32_t*>(data + (p.y - wr.top) * stride)[p.x - wr.left] & 0xFFFFFF;
}

TEST_F(FrameTest, LoadWarningsShowInRedOnYellowAndKeysReachTheCommands) {
    MakeFrame();
    TQSMViewerStatus* status = frame_->GetStatusBar();
    TGadget* warnings = status->GadgetWithId(IDG_WARNINGS);
    TRect r = warnings->GetBounds();
    POINT corner{r.left + 3, r.top + 3};
    qsm::wm::PumpMessages();
    EXPECT_EQ(PixelAt(frame_->GetHandle(), status->GetHandle(), corner),
              GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
    app_->GetBlankScore()->GetStaff(0)->Device = 1;  // a second MIDI port: one warning at least
    app_->BuildLoadWarnings();
    ASSERT_FALSE(app_->GetLoadWarnings().empty());
    EXPECT_STREQ(status->GetGadgetText(IDG_WARNINGS), app_->GetWarningsText().c_str());
    qsm::wm::PumpMessages();
    EXPECT_EQ(PixelAt(frame_->GetHandle(), status->GetHandle(), corner), 0xFFFF00u);

    // A click on the pane shows the warnings as a menu at the click; elsewhere on the bar it shows nothing.
    // Choosing a warning shows it in the message dialog.
    int menus = 0;
    bool choose = false;
    std::vector<std::string> dialogs;
    qsm::wm::SetModalHook([&](HWND modal) {
        char caption[64] = "";
        GetWindowTextA(modal, caption, sizeof caption);
        if (caption[0] != '\0') {
            dialogs.emplace_back(caption);
            PostMessageA(modal, WM_COMMAND, IDOK, 0);
            return;
        }
        ++menus;
        if (choose) PostMessageA(modal, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(modal, WM_KEYDOWN, choose ? VK_RETURN : VK_ESCAPE, 0);
    });
    TPoint inPane = r.TopLeft().OffsetBy(4, 4);
    status->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(inPane.x, inPane.y));
    status->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 4));
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(dialogs.empty());
    choose = true;
    status->SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(inPane.x, inPane.y));
    EXPECT_EQ(menus, 2);
    EXPECT_EQ(dialogs.size(), 1u);
    qsm::wm::SetModalHook(nullptr);

    // 'r' toggles repeat play through the accelerator table.
    SessionOptions.RepeatPlay = 0;
    SetFocus(frame_->GetHandle());
    qsm::wm::PressKey('R', 'r');
    qsm::wm::PumpMessages();
    EXPECT_EQ(SessionOptions.RepeatPlay, 1);
}

TEST_F(FrameTest, StatusBarToggleIsRememberedAndRestored) {
    MakeFrame();
    EXPECT_TRUE(frame_->GetStatusBar()->IsWindowVisible());
    frame_->SendMessage(WM_COMMAND, IDW_STATUSBAR, 0);
    EXPECT_FALSE(frame_->GetStatusBar()->IsWindowVisible());
    EXPECT_EQ(SysInfo.ReadInt("Options", "ShowStatusBar", 1), 0);
    DestroyFrame();
    MakeFrame();
    EXPECT_FALSE(frame_->GetStatusBar()->IsWindowVisible());
    frame_->SendMessage(WM_COMMAND, IDW_STATUSBAR, 0);
    EXPECT_EQ(SysInfo.ReadInt("Options", "ShowStatusBar", 0), 1);
}

TEST_F(FrameTest, DroppedFilesOpenOnlyTheFirst) {
    MakeFrame();
    OpenRequest = TOpenRequest{1, 1, 1};
    ViewerOptions.AutoPlay = 0;
    qsm::wm::InputDropFiles(frame_->GetHandle(), POINT{50, 50}, {"/tmp/one.qsm", "/tmp/two.mid"});
    qsm::wm::PumpMessages();
    ASSERT_EQ(client_->Opened.size(), 1u);
    EXPECT_EQ(client_->Opened[0], "/tmp/one.qsm");
    EXPECT_EQ(client_->AddToRecent, 1);
    // The open request was reset before the open.
    EXPECT_EQ(OpenRequest.PlayAfterOpen, 0);
    EXPECT_EQ(OpenRequest.CloseAfterPlay, 0);
    EXPECT_EQ(OpenRequest.FromCache, 0);
}

TEST_F(FrameTest, TheOpenCommandOpensTheChosenFile) {
    std::string song = dir_ + "/Chosen Song.qsm";
    std::ofstream(song) << "x";
    MakeFrame();
    OpenRequest = TOpenRequest{1, 1, 1};
    ViewerOptions.AutoPlay = 1;
    bool cancel = true;
    qsm::wm::SetModalHook([&](HWND dlg) {
        SetDlgItemTextA(dlg, edt1, song.c_str());
        PostMessageA(dlg, WM_COMMAND, cancel ? IDCANCEL : IDOK, 0);
    });
    frame_->SendMessage(WM_COMMAND, CM_QSM_FILEOPEN, 0);
    EXPECT_TRUE(client_->Opened.empty());
    EXPECT_EQ(OpenRequest.FromCache, 1);  // Cancel touches nothing
    cancel = false;
    frame_->SendMessage(WM_COMMAND, CM_QSM_FILEOPEN, 0);
    ASSERT_EQ(client_->Opened.size(), 1u);
    EXPECT_EQ(client_->Opened[0], song);
    EXPECT_EQ(client_->AddToRecent, 1);
    EXPECT_EQ(OpenRequest.PlayAfterOpen, 1);  // from AutoPlay
    EXPECT_EQ(OpenRequest.FromCache, 0);
}

TEST_F(FrameTest, CopyDataIsAnsweredAtOnceAndGoesToTheClientOnceNoDialogIsOpen) {
    MakeFrame();
    std::string line = "/play \"/tmp/a b.qsm\"";
    COPYDATASTRUCT cds{0, static_cast<DWORD>(line.size()), line.data()};
    frame_->SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    EXPECT_TRUE(client_->CmdLines.empty());  // from the message loop, not while the sender waits
    qsm::wm::PumpMessages();
    ASSERT_EQ(client_->CmdLines.size(), 1u);
    EXPECT_EQ(client_->CmdLines[0], line);

    // Bytes past cbData are not read; an oversized block is refused.
    char block[8] = {'/', 'p', 'l', 'a', 'y', 'X', 'X', 'X'};
    COPYDATASTRUCT cut{0, 5, block};
    frame_->SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cut));
    std::string huge(TQSMViewerFrame::kMaxCopyData + 1, 'a');
    COPYDATASTRUCT big{0, static_cast<DWORD>(huge.size()), huge.data()};
    frame_->SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&big));
    qsm::wm::PumpMessages();
    ASSERT_EQ(client_->CmdLines.size(), 2u);
    EXPECT_EQ(client_->CmdLines[1], "/play");

    // With the toolbar list open, and a message box over it, the request is answered without a box of its
    // own and waits; it is processed once the dialog has closed.
    std::vector<std::string> modals;
    size_t whileOpen = 0;
    qsm::wm::SetModalHook([&](HWND modal) {
        char caption[64] = "";
        GetWindowTextA(modal, caption, sizeof(caption));
        modals.push_back(caption);
        if (std::string(caption) == "Toolbar List") {
            MessageBoxA(modal, "Over the dialog", "Box", MB_OK);
            frame_->SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
            qsm::wm::PumpMessages();
            whileOpen = client_->CmdLines.size();
            PostMessageA(modal, WM_COMMAND, IDCANCEL, 0);
        } else if (std::string(caption) == "Box") {
            frame_->SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cut));
            PostMessageA(modal, WM_COMMAND, IDOK, 0);
        }
    });
    frame_->SendMessage(WM_COMMAND, CM_TOOLBAR_LIST, 0);
    EXPECT_EQ(modals, (std::vector<std::string>{"Toolbar List", "Box"}));
    EXPECT_EQ(whileOpen, 2u);
    qsm::wm::PumpMessages();
    ASSERT_EQ(client_->CmdLines.size(), 4u);
    EXPECT_EQ(client_->CmdLines[2], "/play");
    EXPECT_EQ(client_->CmdLines[3], line);
}

TEST_F(FrameTest, PlacementIsSavedAndRestoredUnlessOffScreen) {
    MakeFrame();
    EXPECT_FALSE(frame_->RestorePlacement());  // nothing stored
    WINDOWPLACEMENT wp{};
    wp.length = 44;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{40, 30, 540, 430};
    TQSMViewerFrame::SavePlacement(wp);
    EXPECT_EQ(SysInfo.ReadInt("Placement", "x2", 0), 540);
    ASSERT_TRUE(frame_->RestorePlacement());
    RECT r{};
    GetWindowRect(frame_->GetHandle(), &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 540);
    EXPECT_EQ(r.bottom, 430);

    // A left edge beyond the screen width less two icons is ignored.
    int cx = GetSystemMetrics(SM_CXSCREEN);
    wp.rcNormalPosition = RECT{cx - 2 * GetSystemMetrics(SM_CXICON) + 1, 30, cx + 400, 430};
    TQSMViewerFrame::SavePlacement(wp);
    EXPECT_FALSE(frame_->RestorePlacement());
    GetWindowRect(frame_->GetHandle(), &r);
    EXPECT_EQ(r.left, 40);

    // Closing with RecallSizePos stores the window's placement.
    ViewerOptions.RecallSizePos = 1;
    SysInfo.WriteInt("Placement", "x1", -99);
    frame_->SendMessage(WM_CLOSE);
    qsm::wm::PumpMessages();
    EXPECT_EQ(SysInfo.ReadInt("Placement", "x1", -99), 40);
    EXPECT_EQ(SysInfo.ReadInt("Placement", "y2", 0), 430);
}

TEST_F(FrameTest, TheToolbarKeepsItsSideAcrossARestart) {
    MakeFrame();
    TToolbar* tools = frame_->GetToolsBar();
    tools->ShowToolbar(static_cast<uint16_t>(tpLeft | 0x0100 | (tools->Placement & tpNewLook)), 1);
    qsm::wm::PumpMessages();
    ASSERT_EQ(tools->Placement & tpSideMask, tpLeft);
    DestroyFrame();
    EXPECT_TRUE(TToolbar::Toolbars().empty());
    MakeFrame();
    EXPECT_EQ(frame_->GetToolsBar()->Placement & tpSideMask, tpLeft);
    EXPECT_EQ(frame_->GetToolsBar()->Station, TToolbar::StationOfSide(tpLeft));
}

TEST_F(FrameTest, AClosingThatChangesNothingWritesNothing) {
    ViewerOptions.RecallSizePos = 1;
    const std::string store = std::string(qsm::RegistryFolder()) + "/HKCU.reg";
    auto stamp = [&store] {
        struct stat st {};
        return stat(store.c_str(), &st) == 0 ? std::make_pair(st.st_ino, st.st_mtim.tv_nsec)
                                             : std::make_pair(ino_t{}, 0L);
    };
    for (int run = 0; run < 2; ++run) {
        MakeFrame();
        const auto before = stamp();
        frame_->SendMessage(WM_CLOSE);
        qsm::wm::PumpMessages();
        DestroyFrame();
        // The first close stores the toolbars and the placement; closing again as they were writes nothing
        // (a write replaces the file).
        if (run == 1) {
            EXPECT_EQ(stamp(), before);
        }
    }
}

TEST_F(FrameTest, ToolbarListShowsAndHidesOnlyOnOk) {
    MakeFrame();
    TToolbar* tools = frame_->GetToolsBar();
    ASSERT_EQ(tools->Placement & tpHidden, 0);
    int rowsSeen = -1, selectedSeen = -1;
    bool ok = false;
    qsm::wm::SetModalHook([&](HWND modal) {
        HWND list = GetDlgItem(modal, 101);
        rowsSeen = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        selectedSeen = static_cast<int>(SendMessageA(list, LB_GETSEL, 0, 0));
        SendMessageA(list, LB_SETSEL, FALSE, 0);
        PostMessageA(modal, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    });
    frame_->SendMessage(WM_COMMAND, CM_TOOLBAR_LIST, 0);
    EXPECT_EQ(rowsSeen, 1);
    EXPECT_GT(selectedSeen, 0);
    EXPECT_EQ(tools->Placement & tpHidden, 0);  // Cancel changes nothing
    ok = true;
    frame_->SendMessage(WM_COMMAND, CM_TOOLBAR_LIST, 0);
    EXPECT_NE(tools->Placement & tpHidden, 0);
}

TEST(ToolGlyphTest, CharactersAndBitmaps) {
    EXPECT_EQ(TQSMViewToolbarBtn::CommandToGlyphChar(110), 'L');
    EXPECT_EQ(TQSMViewToolbarBtn::CommandToGlyphChar(133), '<');
    EXPECT_EQ(TQSMViewToolbarBtn::CommandToGlyphChar(209), 'Z');
    EXPECT_EQ(TQSMViewToolbarBtn::CommandToGlyphChar(124), 0);
    // Without the symbol font every tool button has its bitmap.
    for (int id : {54,  110, 111, 113, 114, 116, 117, 118, 119, 120,
                   121, 122, 123, 125, 128, 129, 132, 133, 134, 136}) {
        std::unique_ptr<TDib> dib(TQSMViewToolbarBtn::GetGlyph(MAKEINTRESOURCEA(id)));
        ASSERT_NE(dib, nullptr);
        EXPECT_TRUE(dib->IsOK()) << id;
        EXPECT_EQ(dib->Width(), 16);
    }
}

}  // namespace
