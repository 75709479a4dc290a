#include "viewer/options_dlg.h"

#include "platform/mm/mmsystem.h"
#include "ui/message_box.h"

TFlagCheckBox::TFlagCheckBox(TWindow* parent, int resourceId, TModule* module)
    : TCheckBox(parent, resourceId, module) {}

UINT TFlagCheckBox::Transfer(void* buffer, TTransferDirection direction) {
    auto* flag = static_cast<int32_t*>(buffer);
    if (direction == tdGetData)
        *flag = GetCheck() == BF_CHECKED ? 1 : 0;
    else if (direction == tdSetData)
        SetCheck(*flag != 0 ? BF_CHECKED : BF_UNCHECKED);
    return sizeof(int32_t);
}

TOptionsDlg::TOptionsDlg(TWindow* parent, TViewerOptions& options, const char* deviceList, TModule* module)
    : TQSMViewerDlg(parent, IDD_OPTIONS, module) {
    static_assert(sizeof(TViewerOptions) == 9 * sizeof(int32_t), "nine packed transfer fields");
    PlayDelay = new TEditNumber(this, 101, 0, 60, 1, module);
    PlayDevice = new TQSRComboBox(this, 120, 32, module);
    PlayDevice->SetValueMode(deviceList);
    new TFlagCheckBox(this, 102, module);
    new TFlagCheckBox(this, 103, module);
    new TFlagCheckBox(this, 104, module);
    new TFlagCheckBox(this, 105, module);
    new TFlagCheckBox(this, 106, module);
    new TFlagCheckBox(this, 107, module);
    ToolSize = new TEditNumber(this, 130, 5, 32, 1, module);
    SetTransferBuffer(&options);
}

std::string MakePlayDeviceItems() {
    TQSMultiField list = BuildPlayDeviceList();
    std::string items;
    for (int32_t i = 0; i < list.GetFieldCount(); ++i) {
        const char* text = list.GetField(i);
        // The first device that could not be asked ends the list.
        if (text == nullptr || *text == '\0') break;
        items.append(text);
        items.push_back('\0');
    }
    items.push_back('\0');
    return items;
}

int RunOptionsDialog(TWindow* parent, TViewerOptions& options, const std::function<void(int)>& selectDevice) {
    const TViewerOptions before = options;
    std::string devices = MakePlayDeviceItems();
    TOptionsDlg dialog(parent, options, devices.c_str());
    int result = dialog.Execute();
    if (result != IDOK) return result;
    SaveOptions(options);
    int device = GetPlayDeviceId(options);
    if (device != GetPlayDeviceId(before) && selectDevice) selectDevice(device);
    if (options.ToolSize != before.ToolSize)
        AppInfoBox("Some options will not take effect until the program is restarted.");
    return result;
}

TSynthVolumeDlg::TSynthVolumeDlg(TWindow* parent, TSynthVolumeBuffer& buffer, TModule* module)
    : TQSMViewerDlg(parent, IDD_SYNTHVOLUME, module) {
    Volume = new TEditNumber(this, 101, 0, 65535, 1, module);
    Mute = new TFlagCheckBox(this, 102, module);
    SetTransferBuffer(&buffer);
}

void RunSynthVolumeDialog(TWindow* parent) {
    HMIXER mixer = nullptr;
    if (mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return;
    mixerClose(mixer);
    TSynthMixerValues values{};
    if (!ReadSynthMixer(values)) {
        AppInfoBox("The system MIDI Synth volume control could not be accessed.");
        return;
    }
    TSynthVolumeBuffer buffer{static_cast<int32_t>(values.Volume > 65535 ? 65535 : values.Volume),
                              values.Mute != 0 ? 1 : 0};
    TSynthVolumeDlg dialog(parent, buffer);
    if (dialog.Execute() != IDOK) return;
    values.Volume = static_cast<DWORD>(buffer.Volume);
    values.Mute = buffer.Mute;
    WriteSynthMixer(values);
}
