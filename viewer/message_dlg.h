// One of the messages collected while the current file was loaded, with a search for it on the maker's web
// site.
#pragma once

#include <string>

#include "viewer/viewer_dlg.h"

enum : int {
    IDD_MESSAGE = 523,
};

class TQSMViewErrorDlg : public TQSMViewerDlg {
public:
    // index: 0-based into the application's load warnings.
    TQSMViewErrorDlg(TWindow* parent, int index, TModule* module = nullptr);

    void SetupWindow() override;
    void CmOnlineHelp();

    // The search address for a message text: the search page, "qsmviewer:" and the text URL-encoded, cut
    // at 254 characters.
    static std::string SearchAddress(const char* text);

    DECLARE_RESPONSE_TABLE(TQSMViewErrorDlg);

private:
    // The message shown (empty when the index lies outside the list).
    std::string MessageText() const;

    int Index;
};

// Shows message n (1-based) of the application's load warnings.
int ShowMessageDialog(int n);
