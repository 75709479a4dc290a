#include "viewer/font_usage_dlg.h"

#include <algorithm>

#include "platform/kernel/text.h"
#include "ui/column_header.h"
#include "ui/column_list.h"
#include "viewer/app.h"
#include "viewer/private_fonts.h"

namespace {

// The font lists are looked up as the font system looks up faces: without regard to case.
bool Listed(const std::vector<std::string>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& entry) {
        return qsm::CompareNoCase(entry.c_str(), name.c_str()) == 0;
    });
}

}  // namespace

TQSMViewFontUsageDlg::TQSMViewFontUsageDlg(TWindow* parent, const char* rows, TModule* module)
    : TQSMViewerDlg(parent, IDD_FONTUSAGE, module) {
    Header = new TQSColumnHeader(this, 110, module);
    Header->SetOption(TQSColumnHeader::OptionPlaceOverList);
    Header->AddItem(new TQSHdrItem("Font", nullptr, 100));
    Header->AddItem(new TQSHdrItem("Availability", nullptr, 100));
    List = new TQSColumnListBox(Header, 101, module);
    List->SetInitialItems(rows);
}

void TQSMViewFontUsageDlg::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    List->AutoSizeColumns(2);
}

std::string MakeFontUsageRows(const TPrivateFonts& fonts) {
    const std::vector<std::string>& faces = fonts.GetCheckedFaces();
    const std::vector<std::string>& alternates = fonts.GetAlternates();
    const std::vector<std::string>& standIns = fonts.GetStandIns();
    std::string rows;
    for (size_t i = 0; i < faces.size(); ++i) {
        const std::string& name = faces[i];
        rows += name;
        rows += '\t';
        const std::string alternate = i < alternates.size() ? alternates[i] : std::string();
        if (!alternate.empty())
            rows += "<Used Alternate '" + alternate + "'>";
        else if (Listed(fonts.GetMissingFaces(), name))
            rows += "<Not Found>";
        else if (Listed(fonts.GetLoadedFaces(), name))
            rows += "Dynamic Font";
        else if (i < standIns.size() && !standIns[i].empty())
            rows += "System Font (" + standIns[i] + ")";
        else
            rows += "System Font";
        rows += '\0';
    }
    rows += '\0';
    return rows;
}

void TQSMViewerApp::CmFontUsage() {
    std::string rows = MakeFontUsageRows(*PrivateFonts);
    TQSMViewFontUsageDlg dialog(GetMainWindow(), rows.c_str());
    dialog.Execute();
}
