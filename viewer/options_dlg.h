// The Options dialog, which shows and changes the process-wide options record, and the volume dialog of the
// MIDI synthesizer's mixer line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/controls.h"
#include "ui/edit_number.h"
#include "viewer/options.h"
#include "viewer/viewer_dlg.h"

// A check box whose transfer field is a 32-bit flag (0 or 1), as the option records keep them.
class TFlagCheckBox : public TCheckBox {
public:
    TFlagCheckBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    UINT Transfer(void* buffer, TTransferDirection direction) override;
};

// The Options dialog on `options` itself: the nine values are its transfer buffer, in record order.
class TOptionsDlg : public TQSMViewerDlg {
public:
    // deviceList: the play device texts, each ended by a zero byte, the list by an empty text; kept alive
    // by the caller while the dialog runs.
    TOptionsDlg(TWindow* parent, TViewerOptions& options, const char* deviceList, TModule* module = nullptr);

    TEditNumber* PlayDelay;
    TQSRComboBox* PlayDevice;
    TEditNumber* ToolSize;
};

// The play device texts for the Options dialog's list: "Default (Midi Mapper)", then the names of the MIDI
// output devices, in the block form the combo box takes.
std::string MakePlayDeviceItems();

// Runs the Options dialog over `parent` on `options`. On OK the options are saved; selectDevice is called
// with the new device id when the device changed; a changed tool size brings the restart notice. Returns the
// dialog's result.
int RunOptionsDialog(TWindow* parent, TViewerOptions& options, const std::function<void(int)>& selectDevice);

// The synthesizer volume dialog on a buffer of the volume (0..65535) and the mute flag.
struct TSynthVolumeBuffer {
    int32_t Volume;
    int32_t Mute;
};
class TSynthVolumeDlg : public TQSMViewerDlg {
public:
    TSynthVolumeDlg(TWindow* parent, TSynthVolumeBuffer& buffer, TModule* module = nullptr);
    TEditNumber* Volume;
    TFlagCheckBox* Mute;
};
// The synthesizer volume command: nothing when the mixer cannot be opened; a notice when its synthesizer
// line or volume control is missing; else the dialog over `parent`, whose OK writes the values back.
void RunSynthVolumeDialog(TWindow* parent);
