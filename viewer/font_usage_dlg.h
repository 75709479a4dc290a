// The fonts the current score uses and where each came from, one row each: the face, a tab and its status.
#pragma once

#include <string>

#include "viewer/viewer_dlg.h"

class TQSColumnHeader;
class TQSColumnListBox;
class TPrivateFonts;

enum : int {
    IDD_FONTUSAGE = 522,
};

class TQSMViewFontUsageDlg : public TQSMViewerDlg {
public:
    // rows: the initial rows, each ended by a zero byte, the list by an empty row.
    TQSMViewFontUsageDlg(TWindow* parent, const char* rows, TModule* module = nullptr);

    void SetupWindow() override;

    TQSColumnHeader* Header;
    TQSColumnListBox* List;
};

// The rows of the font usage list from the last font check: "<Used Alternate '...'>" for a face that took its
// alternate, else "<Not Found>", "Dynamic Font" (added for this process) or "System Font". Each row ends with
// a zero byte and the list with one more, however long the names.
std::string MakeFontUsageRows(const TPrivateFonts& fonts);
