// The application's dialogs: about, the options, the synthesizer volume, the play speed and the
// transposition.
#include <cstdint>

#include "platform/framework/controls.h"
#include "ui/controls.h"
#include "ui/edit_number.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/options.h"

namespace {

// A check box whose transfer field is a 32-bit flag, as the option records hold them.
class TFlagCheckBox : public TCheckBox {
public:
    TFlagCheckBox(TWindow* parent, int resourceId) : TCheckBox(parent, resourceId) { EnableTransfer(); }
    UINT Transfer(void* buffer, TTransferDirection direction) override {
        auto* flag = static_cast<int32_t*>(buffer);
        if (direction == tdGetData)
            *flag = GetCheck() == BF_CHECKED ? 1 : 0;
        else if (direction == tdSetData)
            SetCheck(*flag != 0 ? BF_CHECKED : BF_UNCHECKED);
        return sizeof(int32_t);
    }
};

TEditNumber* NumberEdit(TWindow* dialog, int id, int32_t min, int32_t max) {
    auto* edit = new TEditNumber(dialog, id, min, max, 1);
    edit->EnableTransfer();
    return edit;
}

// A dialog with one numeric edit (id 101) on the value; true (and the new value) on OK.
bool AskNumber(TWindow* owner, int dialogId, int32_t min, int32_t max, int32_t& value) {
    int32_t field = value;
    TDialog dialog(owner, dialogId);
    NumberEdit(&dialog, 101, min, max);
    dialog.SetTransferBuffer(&field);
    if (dialog.Execute() != IDOK) return false;
    value = field;
    return true;
}

}  // namespace

void TQSMViewerApp::CmAbout() {
    TDialog dialog(GetMainWindow(), 512);
    dialog.Execute();
}

void TQSMViewerApp::CmOptions() {
    const TViewerOptions old = ViewerOptions;
    TDialog dialog(GetMainWindow(), 513);
    // Created in the order of the record's fields: the order the transfer moves them.
    NumberEdit(&dialog, 101, 0, 60);
    auto* device = new TQSRComboBox(&dialog, 120, 32);
    device->EnableTransfer();
    for (int id : {102, 103, 104, 105, 106, 107})
        new TFlagCheckBox(&dialog, id);
    NumberEdit(&dialog, 130, 5, 32);
    TQSMultiField devices = BuildPlayDeviceList();
    device->SetValueMode(devices.GetBuffer());
    dialog.SetTransferBuffer(&ViewerOptions);
    if (dialog.Execute() != IDOK) return;

    SaveOptions(ViewerOptions);
    if (GetPlayDeviceId(ViewerOptions) != GetPlayDeviceId(old))
        MidiManager.SelectOutDevice(static_cast<UINT>(GetPlayDeviceId(ViewerOptions)));
    if (ViewerOptions.ToolSize != old.ToolSize)
        AppInfoBox("%s", "Some options will not take effect until the program is restarted.");
}

void TQSMViewerApp::CmMidiMapperVolume() {
    TSynthMixerValues values{};
    if (!ReadSynthMixer(values)) {
        AppInfoBox("%s", "The system MIDI Synth volume control could not be accessed.");
        return;
    }
    struct {
        int32_t Volume;
        int32_t Mute;
    } fields = {static_cast<int32_t>(values.Volume), values.Mute};
    TDialog dialog(GetMainWindow(), 518);
    NumberEdit(&dialog, 101, 0, 65535);
    new TFlagCheckBox(&dialog, 102);
    dialog.SetTransferBuffer(&fields);
    if (dialog.Execute() != IDOK) return;
    WriteSynthMixer({static_cast<DWORD>(fields.Volume), fields.Mute});
}

void TQSMViewerApp::CmPlaySpeed() {
    int32_t speed = PlaySpeed;
    if (AskNumber(GetMainWindow(), 520, 10, 400, speed)) SetSpeed(speed);
}

void TQSMViewerApp::CmTranspose() {
    int32_t semitones = Transposition;
    if (AskNumber(GetMainWindow(), 526, -24, 24, semitones)) SetTranspose(semitones);
}

void TQSMViewerApp::CeTranspose(TCommandEnabler& ce) {
    ce.SetCheck(Transposition != 0 ? 1 : 0);
}
