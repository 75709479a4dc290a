#include "viewer/message_dlg.h"

#include "core/ram_stream.h"
#include "viewer/app.h"

namespace {

constexpr const char* kSearchPage = "https://www.quillstave.com/search.php?q=";
constexpr size_t kAddressLimit = 254;

}  // namespace

DEFINE_RESPONSE_TABLE1(TQSMViewErrorDlg, TQSMViewerDlg)
EV_COMMAND(110, CmOnlineHelp), END_RESPONSE_TABLE;

TQSMViewErrorDlg::TQSMViewErrorDlg(TWindow* parent, int index, TModule* module)
    : TQSMViewerDlg(parent, IDD_MESSAGE, module), Index(index) {}

std::string TQSMViewErrorDlg::MessageText() const {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app == nullptr) return "";
    const std::vector<std::string>& warnings = app->GetLoadWarnings();
    if (Index < 0 || static_cast<size_t>(Index) >= warnings.size()) return "";
    return warnings[static_cast<size_t>(Index)];
}

void TQSMViewErrorDlg::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    SetDlgItemTextA(Handle, 101, MessageText().c_str());
}

std::string TQSMViewErrorDlg::SearchAddress(const char* text) {
    TQSRFlatRamStream out(256, 256);
    out.WriteText(kSearchPage, false);
    out.WriteText("qsmviewer:", false);
    out.WriteUrlEncoded(text != nullptr ? text : "");
    std::string address(reinterpret_cast<const char*>(out.GetData()), out.GetSize());
    if (address.size() > kAddressLimit) address.resize(kAddressLimit);
    return address;
}

void TQSMViewErrorDlg::CmOnlineHelp() {
    std::string address = SearchAddress(MessageText().c_str());
    if (ViewerLinkOpener()) ViewerLinkOpener()(address.c_str());
}

int ShowMessageDialog(int n) {
    TApplication* app = TApplication::Get();
    TQSMViewErrorDlg dialog(app != nullptr ? app->GetMainWindow() : nullptr, n - 1);
    return dialog.Execute();
}
