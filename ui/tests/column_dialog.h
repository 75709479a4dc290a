// A dialog with a file list in two columns, "Name" and "Location", made from the template of
// column_dialog.dlg (dialog 640), for the end-to-end test and the screenshot.
#pragma once

#include "platform/framework/controls.h"
#include "ui/column_list.h"

class TColumnDemoDialog : public TDialog {
public:
    static constexpr int kTemplate = 640;
    explicit TColumnDemoDialog(TWindow* parent) : TDialog(parent, kTemplate) {
        Header = new TQSColumnHeader(this, 150);
        Header->SetOption(TQSColumnHeader::OptionPlaceOverList);
        Header->AddItem(new TQSHdrItem("Name", nullptr, 110));
        Header->AddItem(new TQSHdrItem("Location", nullptr, 200));
        List = new TQSColumnListBox(Header, 151);
        List->SetInitialItems(
            "Minuet in G\t/home/anna/Music/Bach/Notebook for Anna Magdalena\0"
            "Greensleeves\t/home/anna/Music/Traditional\0"
            "Ode to Joy (four voices, with the lyrics of the last movement)\t/home/anna/Music/Beethoven\0"
            "Canon in D\t/home/anna/Music/Pachelbel\0"
            "Scarborough Fair\t/home/anna/Music/Traditional/England\0");
    }
    TQSColumnHeader* Header;
    TQSColumnListBox* List;
};
