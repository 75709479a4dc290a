// The "Toolbar List" dialog: one row per toolbar of the process, selected while the toolbar is shown; OK
// shows the selected toolbars and hides the others.
#pragma once

#include "ui/controls.h"
#include "viewer/viewer_dlg.h"

enum : int { IDD_TOOLBARLIST = 510 };

class TToolbarDlg : public TQSMViewerDlg {
public:
    explicit TToolbarDlg(TWindow* parent, TModule* module = nullptr);
    void TransferData(TTransferDirection direction) override;

    TQSRMultiSelListBox* List;
};

// Runs the dialog owned by the window (the main window when null).
int ShowToolbarListDialog(TWindow* owner);
