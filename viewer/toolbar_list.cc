#include "viewer/toolbar_list.h"

#include "ui/toolbar.h"
#include "viewer/app.h"

TToolbarDlg::TToolbarDlg(TWindow* parent, TModule* module)
    : TWindow(parent, nullptr, module), TQSMViewerDlg(parent, IDD_TOOLBARLIST, module) {
    List = new TQSRMultiSelListBox(this, 101, module);
}

void TToolbarDlg::TransferData(TTransferDirection direction) {
    const std::vector<TToolbar*>& bars = TToolbar::Toolbars();
    if (direction == tdSetData) {
        List->ClearList();
        for (TToolbar* bar : bars)
            List->AddString(bar->GetTitle());
        for (size_t i = 0; i < bars.size(); ++i)
            if ((bars[i]->Placement & tpHidden) == 0)
                List->SendMessage(LB_SETSEL, TRUE, static_cast<LPARAM>(i));
        List->SendMessage(LB_SETCARETINDEX, 0);
        List->Invalidate();
    } else if (direction == tdGetData) {
        // Toolbars whose state already matches the row are not touched.
        int rows = List->GetCount();
        for (int i = 0; i < rows && static_cast<size_t>(i) < bars.size(); ++i) {
            TToolbar* bar = bars[static_cast<size_t>(i)];
            bool selected = List->SendMessage(LB_GETSEL, static_cast<WPARAM>(i)) > 0;
            bool hidden = (bar->Placement & tpHidden) != 0;
            if (selected && hidden)
                bar->ShowToolbar(static_cast<uint16_t>(bar->Placement & ~tpHidden), 1);
            else if (!selected && !hidden)
                bar->ShowToolbar(static_cast<uint16_t>(bar->Placement | tpHidden), 1);
        }
    }
}

int ShowToolbarListDialog(TWindow* owner) {
    if (owner == nullptr && TQSMViewerApp::Get()) owner = TQSMViewerApp::Get()->GetMainWindow();
    TToolbarDlg dialog(owner);
    return dialog.Execute();
}
