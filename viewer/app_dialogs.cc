// The application's dialogs: about, the options, the synthesizer volume, the play speed and the
// transposition.
#include <cstdint>

#include "platform/framework/controls.h"
#include "ui/controls.h"
#include "ui/edit_number.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/options_dlg.h"

namespace {

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
    RunOptionsDialog(GetMainWindow(), ViewerOptions,
                     [this](int device) { MidiManager.SelectOutDevice(static_cast<UINT>(device)); });
}

void TQSMViewerApp::CmMidiMapperVolume() {
    RunSynthVolumeDialog(GetMainWindow());
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
