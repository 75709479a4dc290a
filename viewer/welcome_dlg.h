// The Welcome dialog: the viewer's start page. Four groups of entries (the editor's recent files, the
// viewer's recent views, the built-in sample songs and ways to find more) in a two-column list, opened with
// Open, a double click or the list's context menu.
#pragma once

#include <cstdint>
#include <functional>

#include "core/multi_field.h"
#include "viewer/viewer_dlg.h"

class TQSColumnHeader;
class TQSColumnListBox;
class TMusicScore;

enum : int {
    IDD_WELCOME = 521,
};

// How the dialog opens what was chosen: a file path (null: the score shown without a file) and whether it
// joins the recent views. The client's open routine unless replaced (tests do).
using TViewerFileOpener = std::function<bool(const char* path, bool addToRecent)>;
TViewerFileOpener& ViewerFileOpener();

class TQSOpenSamplesDlg : public TQSMViewerDlg {
public:
    enum : int { GroupRecentEdits = 0, GroupRecentViews = 1, GroupSamples = 2, GroupFindMore = 3 };
    // Ids of the dialog's controls and of its second way out (ends the dialog, then the frame's Open File).
    enum : int { IdGroupBox = 100, IdFirstGroup = 101, IdList = 151, IdBrowse = 112 };

    explicit TQSOpenSamplesDlg(TWindow* parent, TModule* module = nullptr);

    void SetupWindow() override;
    // Fills the list with the group's rows; select index -1 keeps or resets the selection by the group.
    void ShowGroup(int group, int selectIndex);
    // Opens sample index (0-based) in place of the blank score.
    void OpenSample(int index);
    // Opens entry index of the shown recent-file list; without a list in the Recent Edits group, the
    // editor's product page.
    void OpenRecent(int index);

    const TQSStringQueue& GetSampleRows() const { return SampleRows; }
    TQSColumnListBox* GetList() const { return List; }
    TQSColumnHeader* GetHeader() const { return Header; }

    // Kept between runs while the program runs: the group shown (-1 until read from the settings), the
    // selection and the top row (-1: not set).
    static int32_t CurrentGroup;
    static int32_t Selection;
    static int32_t TopIndex;

    void CmOpen();
    void CmBrowse();
    void CmGroupButton(UINT id);
    void EvListDblClk();
    void EvContextMenu(HWND wnd, const TPoint& p);

    DECLARE_RESPONSE_TABLE(TQSOpenSamplesDlg);

private:
    // Removes entry index from the recent views and shows the group again with the entry above selected.
    void RemoveRecentView(int index);

    TQSStringQueue SampleRows{50, false, 16};
    TQSColumnHeader* Header;
    TQSColumnListBox* List;
    const TQSStringQueue* RecentList = nullptr;
};
