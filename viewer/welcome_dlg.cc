#include "viewer/welcome_dlg.h"

#include <cstring>
#include <string>

#include "core/file_utils.h"
#include "core/sys_info.h"
#include "platform/framework/controls.h"
#include "score/music_score.h"
#include "ui/column_header.h"
#include "ui/column_list.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"
#include "viewer/samples.h"

namespace {

constexpr UINT kCmOpenFile = 110;
constexpr const char* kMakerDomain = "www.quillstave.com";
constexpr const char* kProductPage = "https://www.quillstave.com/composer/";
constexpr const char* kUserLinksPage = "https://www.quillstave.com/composer/userlinks.htm";
constexpr const char* kGroupNames[4] = {"Recent Edits", "Recent Views", "Samples", "Find More"};

void OpenPage(const char* address) {
    if (ViewerLinkOpener()) ViewerLinkOpener()(address);
}

}  // namespace

TViewerFileOpener& ViewerFileOpener() {
    static TViewerFileOpener opener = [](const char* path, bool addToRecent) {
        TQSMViewerApp* app = TQSMViewerApp::Get();
        TQSMViewerClient* client = app != nullptr ? app->GetClient() : nullptr;
        return client != nullptr && client->OpenFile(path, addToRecent);
    };
    return opener;
}

int32_t TQSOpenSamplesDlg::CurrentGroup = -1;
int32_t TQSOpenSamplesDlg::Selection = 0;
int32_t TQSOpenSamplesDlg::TopIndex = -1;

DEFINE_RESPONSE_TABLE1(TQSOpenSamplesDlg, TQSMViewerDlg)
EV_COMMAND(IDOK, CmOpen), EV_COMMAND(TQSOpenSamplesDlg::IdBrowse, CmBrowse),
    EV_COMMAND_AND_ID(TQSOpenSamplesDlg::IdFirstGroup, CmGroupButton),
    EV_COMMAND_AND_ID(TQSOpenSamplesDlg::IdFirstGroup + 1, CmGroupButton),
    EV_COMMAND_AND_ID(TQSOpenSamplesDlg::IdFirstGroup + 2, CmGroupButton),
    EV_COMMAND_AND_ID(TQSOpenSamplesDlg::IdFirstGroup + 3, CmGroupButton),
    EV_CHILD_NOTIFY(TQSOpenSamplesDlg::IdList, LBN_DBLCLK, EvListDblClk), EV_WM_CONTEXTMENU,
    END_RESPONSE_TABLE;

TQSOpenSamplesDlg::TQSOpenSamplesDlg(TWindow* parent, TModule* module)
    : TQSMViewerDlg(parent, IDD_WELCOME, module) {
    if (CurrentGroup == -1) {
        CurrentGroup = SysInfo.ReadInt("Options", "OpenGrp", GroupSamples);
        if (CurrentGroup < 0 || CurrentGroup > 3) CurrentGroup = GroupSamples;
    }
    TSongInfo info;
    for (int id = 1; id <= 50; ++id) {
        if (ReadSampleInfo(id, info) == 0) break;
        std::string row(info.Title, strnlen(info.Title, sizeof(info.Title)));
        row += "\t<built-in>";
        SampleRows.InsertAt(SampleRows.GetCount(), row.c_str());
    }
    Header = new TQSColumnHeader(this, 150, module);
    Header->SetOption(TQSColumnHeader::OptionPlaceOverList);
    Header->AddItem(new TQSHdrItem("Name", nullptr, 100));
    Header->AddItem(new TQSHdrItem("Location", nullptr, 100));
    List = new TQSColumnListBox(Header, IdList, module);
}

void TQSOpenSamplesDlg::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    ShowGroup(CurrentGroup, -1);
    CheckRadioButton(Handle, IdFirstGroup, IdFirstGroup + 3, IdFirstGroup + CurrentGroup);
    // The list takes the keyboard once the dialog shows (the dialog manager gives it to the first control
    // when it activates the dialog).
    PostMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(List->GetHandle()), TRUE);
}

void TQSOpenSamplesDlg::ShowGroup(int group, int selectIndex) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    List->ClearList();
    bool adjustFirstColumn = true;
    int selection = Selection;
    int top = TopIndex;

    RecentList = nullptr;
    if (app != nullptr && group == GroupRecentEdits) {
        app->LoadEditorMru();
        if (SessionOptions.Editor2Installed) RecentList = app->GetRecentEdits();
    } else if (app != nullptr && group == GroupRecentViews) {
        RecentList = &app->GetRecentViews();
    }
    if (RecentList != nullptr) {
        for (int32_t i = 0; i < RecentList->GetCount(); ++i) {
            std::string path = RecentList->GetEntry(i);
            size_t slash = path.find_last_of('/');
            std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
            if (name.empty()) break;
            List->AddString((name + "\t" + folder).c_str());
        }
    } else if (group == GroupRecentEdits && !SessionOptions.Editor2Installed) {
        List->AddString("QuillStave Composer 2.5 not found\t<Browse Web>");
        selection = top = 0;
        adjustFirstColumn = false;
    }
    if (group == GroupSamples)
        for (int32_t i = 0; i < SampleRows.GetCount(); ++i)
            List->AddString(SampleRows.GetEntry(i));
    if (group == GroupFindMore) {
        List->AddString("Browse for a file on your computer\t<Browse Local>");
        List->AddString((std::string("Visit ") + kMakerDomain + "\t<Browse Web>").c_str());
        adjustFirstColumn = false;
    }

    if (selectIndex >= 0) {
        selection = selectIndex;
        top = -1;
    } else if (group == CurrentGroup && group != GroupRecentViews) {
        if (top > selection) top = selection;
    } else {
        selection = top = 0;
    }
    CurrentGroup = group;
    Selection = selection;
    TopIndex = top;

    List->AutoSizeColumns(2);
    if (adjustFirstColumn) {
        RECT client;
        ::GetClientRect(List->GetHandle(), &client);
        int half = (client.right - client.left) / 2;
        if (Header->GetColumnWidth(0) > half) Header->SetColumnWidth(0, half);
    }
    List->SetSelIndex(selection);
    if (top >= 0) List->SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(top));
}

void TQSOpenSamplesDlg::CmGroupButton(UINT id) {
    int group = static_cast<int>(id) - IdFirstGroup;
    if (group < 0 || group > 3) group = GroupFindMore;
    ShowGroup(group, -1);
    if (TQSHdrItem* item = Header->GetItem(0)) item->SetText(kGroupNames[group]);
    ::InvalidateRect(Header->GetHandle(), nullptr, TRUE);
}

void TQSOpenSamplesDlg::EvListDblClk() {
    PostMessageA(Handle, WM_COMMAND, IDOK, 0);
}

void TQSOpenSamplesDlg::CmOpen() {
    TopIndex = List->GetTopIndex();
    Selection = List->GetSelIndex();
    // Nothing chosen: nothing to open, the dialog stays.
    if (Selection < 0) return;
    if (RecentList != nullptr) {
        const char* path = Selection < RecentList->GetCount() ? RecentList->GetEntry(Selection) : "";
        if (!IsPlainFile(path)) {
            if (CurrentGroup == GroupRecentViews) {
                if (FormatMessageBox(
                        this, MB_OKCANCEL | MB_ICONINFORMATION, "File Not Found", "%s",
                        "This file could not be found.\n\nShould it be removed from this list?") == IDOK)
                    RemoveRecentView(Selection);
            } else {
                InfoBox(this, "%s", "This file could not be found, so it cannot be viewed.");
            }
            return;
        }
    }
    CloseWindow(IDOK);
}

void TQSOpenSamplesDlg::CmBrowse() {
    CloseWindow(IdBrowse);
}

void TQSOpenSamplesDlg::RemoveRecentView(int index) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app == nullptr || index < 0 || index >= app->GetRecentViews().GetCount()) return;
    std::string path = app->GetRecentViews().GetEntry(index);
    app->AddRecentView(path.c_str(), false);
    ShowGroup(GroupRecentViews, index > 0 ? index - 1 : 0);
}

void TQSOpenSamplesDlg::EvContextMenu(HWND wnd, const TPoint& p) {
    if (wnd != List->GetHandle()) return;
    HMENU menu = LoadMenuA(GetModule() != nullptr ? GetModule()->GetInstance() : nullptr, "FileHistoryCmds");
    if (menu == nullptr) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup == nullptr) {
        DestroyMenu(menu);
        return;
    }
    if (CurrentGroup != GroupRecentViews) EnableMenuItem(popup, 2, MF_BYCOMMAND | MF_GRAYED);

    POINT at = {p.x, p.y};
    RECT listRect;
    ::GetWindowRect(List->GetHandle(), &listRect);
    bool inside =
        at.x >= listRect.left && at.x < listRect.right && at.y >= listRect.top && at.y < listRect.bottom;
    if (p.x < 0 || !inside) {
        RECT item;
        int selection = List->GetSelIndex();
        if (selection >= 0 && List->SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(selection),
                                                reinterpret_cast<LPARAM>(&item)) != LB_ERR) {
            at = {5, (item.top + item.bottom) / 2};
            ::ClientToScreen(List->GetHandle(), &at);
        } else {
            GetCursorPos(&at);
        }
    } else {
        POINT client = at;
        ::ScreenToClient(List->GetHandle(), &client);
        LRESULT hit = List->SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, client.y));
        if (HIWORD(hit) == 0) List->SetSelIndex(LOWORD(hit));
    }
    int selection = List->GetSelIndex();
    if (selection >= 0) {
        int command = TrackPopupMenu(popup, TPM_NONOTIFY | TPM_RETURNCMD, at.x, at.y, 0, Handle, nullptr);
        if (command == 1) {
            PostMessageA(Handle, WM_COMMAND, IDOK, 0);
        } else if (command == 2 && CurrentGroup == GroupRecentViews && selection < List->GetCount()) {
            RemoveRecentView(selection);
        }
    }
    DestroyMenu(menu);
}

void TQSOpenSamplesDlg::OpenSample(int index) {
    if (index < 0 || index >= SampleRows.GetCount()) return;
    TMusicScore* score = ReadSampleScore(index + 1);
    if (score == nullptr) return;
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app == nullptr) {
        delete score;
        return;
    }
    app->ReplaceBlankScore(score);
    if (ViewerFileOpener()) ViewerFileOpener()(nullptr, false);
}

void TQSOpenSamplesDlg::OpenRecent(int index) {
    if (RecentList != nullptr) {
        if (index >= 0 && index < RecentList->GetCount() && ViewerFileOpener()) {
            std::string path = RecentList->GetEntry(index);
            ViewerFileOpener()(path.c_str(), true);
        }
    } else if (CurrentGroup == GroupRecentEdits && !SessionOptions.Editor2Installed) {
        OpenPage(kProductPage);
    }
}

// ---- the application's side ----

void TQSMViewerApp::ReplaceBlankScore(TMusicScore* score) {
    if (score == nullptr || score == BlankScore) return;
    FinishSong();
    // The old blank goes at once unless it is shown: then it is an ordinary current score, which the open
    // routine deletes when it replaces it (or the application at its end).
    if (BlankScore != nullptr && BlankScore != Score) delete BlankScore;
    BlankScore = score;
}

void TQSMViewerApp::CmWelcome() {
    TQSOpenSamplesDlg dialog(GetMainWindow());
    int result = dialog.Execute();
    ++LoadCount;
    TWindow* main = GetMainWindow();
    HWND mainHandle = main != nullptr ? main->GetHandle() : nullptr;
    int group = TQSOpenSamplesDlg::CurrentGroup;
    int selection = TQSOpenSamplesDlg::Selection;
    if (result == IDOK) {
        SysInfo.WriteInt("Options", "OpenGrp", group);
        if (group == TQSOpenSamplesDlg::GroupRecentEdits || group == TQSOpenSamplesDlg::GroupRecentViews)
            dialog.OpenRecent(selection);
        else if (group == TQSOpenSamplesDlg::GroupSamples)
            dialog.OpenSample(selection);
        else if (selection == 1)
            OpenPage(kUserLinksPage);
        else if (mainHandle != nullptr)
            SendMessageA(mainHandle, WM_COMMAND, kCmOpenFile, 0);
    } else if (result == TQSOpenSamplesDlg::IdBrowse) {
        if (mainHandle != nullptr) SendMessageA(mainHandle, WM_COMMAND, kCmOpenFile, 0);
    }
}
